// The settings store: sections without regard to case, the INI file under
// XDG_CONFIG_HOME, the three runtime operations, and damaged files.
#include "settings/settingsstore.h"
#include "support/files.h"
#include "support/specialfiles.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace qln;

class TstSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void sectionsIgnoreCase()
    {
        auto backend = std::make_unique<MemorySettingsBackend>();
        auto *mem = backend.get();
        SettingsStore store(std::move(backend));

        store.save("JAVAX-COMPILE", "exe", "/k/bin/javac");
        store.save("javax-compile", "LeaveSpaces", "1");
        store.save("preferences", "opta1", "1");
        QCOMPARE(mem->sections(), QStringList({"JavaX-Compile", "Preferences"}));
        QCOMPARE(store.get("Javax-Compile", "exe"), QStringLiteral("/k/bin/javac"));

        // A section the program does not know is matched against the groups
        // already there, whatever its case.
        store.save("MyTool", "a", "1");
        store.save("MYTOOL", "b", "2");
        QCOMPARE(mem->keys("MyTool"), QStringList({"a", "b"}));
        QCOMPARE(store.get("mytool", "b"), QStringLiteral("2"));
        QVERIFY(!store.find("mytool", "c").has_value());

        // Keys keep their case; absent and empty are told apart.
        store.save("Preferences", "empty", "");
        QCOMPARE(store.find("Preferences", "empty"), std::optional<QString>(QString()));
        QVERIFY(!store.find("Preferences", "EMPTY").has_value());
    }

    void iniFileUnderConfigHomeKeepsValuesExactly()
    {
        test::TestEnv env;
        const QString path = env.configHome() + "/QLN/QLN.ini";
        QCOMPARE(defaultSettingsFilePath(), path);

        const QString tmpl = "\r\nif ( <>= )\r\n{\r\n\r\n}\r\n";
        const QString expr = R"(textbox2.text & " " & options & " " & textbox1.text)";
        {
            SettingsStore store(makeQSettingsBackend());
            store.save("Preferences", "insertifelse", tmpl);
            store.save("JavaX-Compile", "CommandLineOptions", expr);
            store.save("Preferences", "list", "a, b,c");
            store.save("Preferences", "at", "@Variant(x)");
        }
        QVERIFY(QFile::exists(path));
        {
            SettingsStore again(makeQSettingsBackend());
            QCOMPARE(again.get("preferences", "insertifelse"), tmpl);
            QCOMPARE(again.get("JAVAX-compile", "CommandLineOptions"), expr);
            QCOMPARE(again.get("Preferences", "list"), QStringLiteral("a, b,c"));
            QCOMPARE(again.get("Preferences", "at"), QStringLiteral("@Variant(x)"));
        }

        // A list value edited by hand reads as text.
        QVERIFY(test::writeFile(path, "[Preferences]\ndefcbotreeposx=1,2\n"));
        SettingsStore edited(makeQSettingsBackend());
        QCOMPARE(edited.get("Preferences", "defcbotreeposx"), QStringLiteral("1, 2"));
    }

    void runtimeOperationsAndDeleteSetting()
    {
        test::TestEnv env;
        setSettingsStore(std::make_unique<SettingsStore>(makeQSettingsBackend()));
        SaveSetting(kApp, "Preferences", "firstrun", "1");
        SaveSetting("qln", "JavaX-Jar", "IgnoreDashes", "1");
        SaveSetting(kApp, "MyTool", "x", "y");
        QCOMPARE(GetSetting(kApp, "Preferences", "firstrun", "0"), QStringLiteral("1"));
        QCOMPARE(GetSetting(kApp, "JAVAX-JAR", "IgnoreDashes"), QStringLiteral("1"));
        // Another application's name reaches nothing of ours.
        QCOMPARE(GetSetting("Other", "Preferences", "firstrun", "0"), QStringLiteral("0"));
        DeleteSetting("Other");
        QCOMPARE(GetSetting(kApp, "Preferences", "firstrun", "0"), QStringLiteral("1"));

        DeleteSetting(kApp);
        QCOMPARE(GetSetting(kApp, "Preferences", "firstrun", "0"), QStringLiteral("0"));
        QVERIFY(settingsStore().backend().sections().isEmpty());

        // The removal reached the file, not only the memory.
        setSettingsStore(std::make_unique<SettingsStore>(makeQSettingsBackend()));
        QVERIFY(settingsStore().backend().sections().isEmpty());
        setSettingsStore(nullptr);
    }

    void unusableFileDoesNotStopTheProgram()
    {
        test::TestEnv env;
        // The settings "file" is a folder: nothing can be read or written.
        QVERIFY(QDir().mkpath(env.configHome() + "/QLN/QLN.ini"));
        {
            SettingsStore store(makeQSettingsBackend());
            QCOMPARE(store.get("Preferences", "firstrun", "0"), QStringLiteral("0"));
            store.save("Preferences", "firstrun", "1"); // still read back in this run
            QCOMPARE(store.get("Preferences", "firstrun", "0"), QStringLiteral("1"));
            store.sync();
            QVERIFY(store.problem().contains(" is a folder, not a regular file"));
        }
        QVERIFY(QFileInfo(env.configHome() + "/QLN/QLN.ini").isDir());

        // A named pipe there: never opened (it would wait for a writer for
        // ever), the values kept in memory, and the reason named.
        test::TestEnv piped;
        const QString pipe = piped.configHome() + "/QLN/QLN.ini";
        QVERIFY(QDir().mkpath(piped.configHome() + "/QLN") && test::makeFifo(pipe));
        {
            test::PipeUnblocker unblocker(pipe);
            SettingsStore store(makeQSettingsBackend());
            store.save("Preferences", "firstrun", "1");
            store.sync();
            QCOMPARE(store.get("Preferences", "firstrun"), QStringLiteral("1"));
            QCOMPARE(store.problem(),
                     "The settings file " + pipe
                         + " is a named pipe (FIFO), not a regular file, "
                           "so it was not read. Settings are kept only until the program ends.");
            QVERIFY(!unblocker.blocked());
        }
        QVERIFY(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());

        // The configuration folder cannot be created at all.
        test::TestEnv blocked;
        QVERIFY(test::writeFile(blocked.configHome() + "/QLN"));
        SettingsStore store(makeQSettingsBackend());
        store.save("Preferences", "x", "1");
        store.sync();
        QCOMPARE(store.get("Preferences", "x"), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
