// First run: the keys and their order, the factory values, the first font,
// the marker, the kit probe and the object tree probe.
#include "settings/convert.h"
#include "settings/prefloader.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "support/files.h"
#include "support/requirekit.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;
using schema::Origin;

namespace {

struct Fixture {
    MemorySettingsBackend *mem = new MemorySettingsBackend;
    SettingsStore store{std::unique_ptr<SettingsBackend>(mem)};
    PrefModel model;
    test::ScriptedPrompter prompter;
    QString pref(const QString &key) const { return store.get("Preferences", key); }
};

// A fixed-width family this machine has.
QString installedFixed()
{
    for (const QString &family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family) && !QFontDatabase::isPrivateFamily(family))
            return family;
    return QString();
}

FirstRunInputs inputs(const QStringList &kits = {}, const QString &programFolder = {})
{
    FirstRunInputs in;
    in.places = {kits, programFolder};
    in.designed = {installedFixed(), "10", 6000, 9000, 11520, 15360};
    return in;
}

using test::writeFile;

// A fake kit with the named files (relative to the kit folder).
QString makeKit(const QString &root, const QString &name, const QStringList &files,
                const QString &releaseVersion = {})
{
    const QString kit = root + "/" + name;
    QDir().mkpath(kit);
    for (const QString &f : files)
        writeFile(kit + "/" + f);
    if (!releaseVersion.isEmpty())
        writeFile(kit + "/release",
                  "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"" + releaseVersion.toUtf8() + "\"\n");
    return kit;
}

const QStringList kAllTools{"bin/javac", "bin/java",         "bin/appletviewer",
                            "bin/jar",   "bin/native2ascii", "src.jar"};

QString exe(const SettingsStore &s, const QString &mode)
{
    return s.get("JavaX-" + mode, "exe", "<absent>");
}

} // namespace

class TstFirstRun : public QObject {
    Q_OBJECT
private slots:
    void writesEveryKeyInTableOrder()
    {
        Fixture f;
        bool splashShown = false;
        FirstRunInputs in = inputs();
        in.splash.show = [&] {
            splashShown = true;
            QVERIFY(f.mem->writes().empty()); // before anything is written
        };
        QCOMPARE(FirstRun(f.store, f.model, f.prompter, in), LoadOutcome::Loaded);
        QVERIFY(splashShown && f.prompter.asked().empty());

        // Expected sequence, from the table: the style block writes all
        // fifteen flags as "0" and then sets those whose default is "1".
        QStringList expected, styleOn;
        const auto &table = schema::entries();
        for (size_t i = 0; i < table.size(); ++i) {
            const auto &e = table[i];
            if (e.origin != Origin::Factory && e.origin != Origin::Designed)
                continue;
            expected << e.section + "/" + e.key;
            if (e.form == schema::Form::StyleFlag && e.def == "1")
                styleOn << e.section + "/" + e.key;
            if (e.form == schema::Form::StyleFlag && table[i + 1].form != schema::Form::StyleFlag)
                expected << styleOn;
        }
        expected << "Preferences/firstrun";

        QStringList written;
        for (const auto &w : f.mem->writes())
            written << w.section + "/" + w.key;
        QCOMPARE(written, expected);
        QCOMPARE(styleOn, QStringList{"Preferences/tbrccommentfont2"});

        // Spot checks of the table's order against the stated sequence.
        const int firstStyle = written.indexOf("Preferences/tbrckeywordfont1");
        const int tools = written.indexOf("JavaX-Compile/IgnoreDashes");
        QCOMPARE(QList<qsizetype>({written.indexOf("Preferences/autotreesearch"),
                                   written.indexOf("Preferences/tbrcotherfont1"),
                                   written.indexOf("Preferences/deffontname"),
                                   written.indexOf("Preferences/CustomDateTime"), written.size()}),
                 QList<qsizetype>({8, firstStyle + 1, firstStyle + 16, tools - 1, tools + 21}));

        // Every key ends with its table default.
        for (const auto &e : table)
            if (e.origin == Origin::Factory || e.origin == Origin::Marker)
                QCOMPARE(f.store.get(e.section, e.key, "<absent>"), e.def);

        // No kit, no tree: their keys stay absent, as does the spelling list.
        for (const QString &mode : schema::modes())
            QCOMPARE(exe(f.store, mode), QStringLiteral("<absent>"));
        for (const char *key : {"src", "tree", "fromtocount"})
            QVERIFY(!f.store.find("Preferences", key));

        // The table's values themselves, for a few keys.
        // The keywords the language gained come after the first 48, which keep
        // their numbers ("strictftp" among them, "strictfp" added).
        QCOMPARE(f.pref("lstckeyword37") + " " + f.pref("lstckeyword48"),
                 QStringLiteral("strictftp while"));
        QStringList added;
        for (int i = 49; i <= 56; ++i)
            added << f.pref(QStringLiteral("lstckeyword%1").arg(i));
        QCOMPARE(added.join(' '),
                 QStringLiteral("assert enum strictfp var record sealed permits yield"));
        QVERIFY(!f.store.find("Preferences", "lstckeyword57"));
        QCOMPARE(f.pref("Ignore_String") + " " + f.pref("CustomDateTime"),
                 QStringLiteral("\\\" <custom>"));
        // Templates: CR LF before, between and after the lines.
        QCOMPARE(f.pref("insertif"), QStringLiteral("\r\nif ( <>= ) { }\r\n"));
        QCOMPARE(f.pref("insertswitch"),
                 QStringLiteral("\r\nswitch ( )\r\n{\r\n\r\ncase :\r\n\r\n  break;\r\ncase :"
                                "\r\n\r\n  break;\r\ncase :\r\n\r\n}\r\n"));
        QCOMPARE(f.store.get("JavaX-Run", "CommandLineOptions"),
                 QStringLiteral(R"(textbox2.text & " " & options & " " & textbox1.filename)"));

        // Window as designed, centred on the screen.
        QCOMPARE(QStringList({f.pref("deffontname"), f.pref("deffontsize"), f.pref("fheight"),
                              f.pref("fwidth"), f.pref("ftop"), f.pref("fleft")})
                     .join('|'),
                 installedFixed() + QStringLiteral("|10|6000|9000|2760|3180"));

        // And the dialog's controls were loaded from what was written.
        QVERIFY(f.model.lstckeyword.size() == 56 && f.model.tbrstyle[5][2]
                && !f.model.tbrstyle[5][1]);
    }

    // The surface's first font is fixed-width: a designed family this
    // machine lacks, or a proportional one, gives way to a fixed-width one.
    void firstFontIsFixedWidth()
    {
        QString proportional;
        for (const QString &family : QFontDatabase::families())
            if (!QFontDatabase::isFixedPitch(family) && QFontDatabase::hasFamily(family)) {
                proportional = family;
                break;
            }
        QStringList designed{"No Such Family Qx", installedFixed()};
        if (!proportional.isEmpty())
            designed << proportional;
        for (const QString &name : designed) {
            Fixture f;
            FirstRunInputs in = inputs();
            in.designed.fontName = name;
            QCOMPARE(FirstRun(f.store, f.model, f.prompter, in), LoadOutcome::Loaded);
            const QString written = f.pref("deffontname");
            QVERIFY2(QFontDatabase::hasFamily(written) && QFontDatabase::isFixedPitch(written)
                         && QFontInfo(QFont(written)).fixedPitch(),
                     qPrintable(name + " -> " + written));
            QCOMPARE(written == name, name == installedFixed()); // only a fixed one is kept
        }
    }

    void storeWithMarkerIsNeverRewritten()
    {
        Fixture f;
        f.store.save("Preferences", "firstrun", "1");
        f.store.save("Preferences", "ckeywordcount", "2");
        f.mem->clearWrites();
        QTemporaryDir root;
        const QString kit = makeKit(root.path(), "jdk", kAllTools);
        QCOMPARE(FirstRun(f.store, f.model, f.prompter, inputs({kit})), LoadOutcome::Loaded);
        QVERIFY(f.mem->writes().empty()
                && !f.store.find("Preferences", "SingleLineComment_String"));
        QCOMPARE(f.model.lstckeyword, QStringList({"", ""}));

        // Any marker other than 1 means the defaults are missing.
        Fixture g;
        g.store.save("Preferences", "firstrun", "0");
        FirstRun(g.store, g.model, g.prompter, inputs());
        QCOMPARE(g.pref("firstrun") + " " + g.pref("ckeywordcount"), QStringLiteral("1 56"));

        // A marker that is not a number abandons first run quietly.
        Fixture h;
        h.store.save("Preferences", "firstrun", "abc");
        h.mem->clearWrites();
        QCOMPARE(FirstRun(h.store, h.model, h.prompter, inputs()), LoadOutcome::Loaded);
        QVERIFY(h.mem->writes().empty() && h.prompter.asked().empty());
    }

    void kitProbe()
    {
        // Later kits win tool by tool: the newer kit has javac and java
        // only, and its sources in lib/ as src.zip.
        QTemporaryDir root;
        const QString old = makeKit(root.path(), "old", kAllTools);
        const QString compilerOnly =
            makeKit(root.path(), "new", {"bin/javac", "bin/java", "lib/src.zip"});
        Fixture f;
        FirstRun(f.store, f.model, f.prompter, inputs({old, compilerOnly + "/"}));
        QCOMPARE(QStringList({exe(f.store, "Compile"), exe(f.store, "Jar"),
                              exe(f.store, "Native2Ascii"), f.pref("src")}),
                 QStringList({compilerOnly + "/bin/javac", old + "/bin/jar",
                              old + "/bin/native2ascii", compilerOnly + "/lib/src.zip"}));
        // The probe comes after the tool sections and before the marker.
        const auto &w = f.mem->writes();
        QCOMPARE(w[w.size() - 2].key + " " + w.back().key, QStringLiteral("src firstrun"));

        // Alone, a kit without jar leaves the Jar tool absent.
        Fixture g;
        FirstRun(g.store, g.model, g.prompter, inputs({compilerOnly, root.path() + "/none"}));
        QCOMPARE(exe(g.store, "Compile") + " " + exe(g.store, "Jar"),
                 compilerOnly + "/bin/javac <absent>");
    }

    void kitFoldersInVersionOrder()
    {
        QTemporaryDir root;
        const QString r = root.path();
        for (const char *name : {"jdk-11.0.2", "java-1.8.0-openjdk-amd64", "java-17-openjdk-amd64",
                                 "java-9", "java-7-x"})
            makeKit(r, name, {"bin/javac"});
        makeKit(r, "zulu", {"bin/javac"}, "21.0.1");     // version from release only
        makeKit(r, "jdk-99", {"bin/javac"}, "1.7.0_80"); // release wins over the name
        QVERIFY(QFile::link(r + "/java-17-openjdk-amd64", r + "/java-1.17.0-openjdk-amd64"));
        QVERIFY(writeFile(r + "/.hidden.jinfo"));

        QStringList got;
        for (const QString &g : kitFoldersUnder(r))
            got << QFileInfo(g).fileName();
        QCOMPARE(got, QStringList({"java-7-x", "jdk-99", "java-1.8.0-openjdk-amd64", "java-9",
                                   "jdk-11.0.2", "java-17-openjdk-amd64", "zulu"}));
        QVERIFY(kitFoldersUnder(r + "/absent").isEmpty());
    }

    void javacOnPathNamesItsKit()
    {
        QTemporaryDir root;
        const QString kit = makeKit(root.path(), "kit", {"bin/javac"});
        QFile::setPermissions(kit + "/bin/javac", QFile::ReadOwner | QFile::ExeOwner);
        QDir().mkpath(root.path() + "/path");
        QVERIFY(QFile::link(kit + "/bin/javac", root.path() + "/path/javac"));
        test::ScopedVariable path("PATH", QFile::encodeName(root.path() + "/path"));
        QCOMPARE(kitOfJavacOnPath(), QFileInfo(kit).canonicalFilePath());
    }

    void machineKitIsFound()
    {
        const ProbePlaces places = defaultProbePlaces();
        QLN_REQUIRE_KIT(!places.kitFolders.isEmpty(), "a Java development kit");
        Fixture f;
        FirstRun(f.store, f.model, f.prompter, inputs(places.kitFolders));
        const QString javac = exe(f.store, "Compile");
        for (const char *mode : {"Compile", "Run", "Jar"})
            QVERIFY2(QFileInfo(exe(f.store, mode)).isFile(), mode);
        // The kit of javac on PATH comes after the others and so names the tools.
        const QString onPath = kitOfJavacOnPath();
        if (!onPath.isEmpty() && qEnvironmentVariableIsEmpty("JAVA_HOME"))
            QCOMPARE(javac, onPath + "/bin/javac");
        // Modern kits have neither tool.
        if (!QFile::exists(QFileInfo(javac).path() + "/native2ascii"))
            QCOMPARE(exe(f.store, "Native2Ascii"), QStringLiteral("<absent>"));
    }

    void objectTreeProbe()
    {
        QTemporaryDir dir;
        Fixture none;
        FirstRun(none.store, none.model, none.prompter, inputs({}, dir.path()));
        QVERIFY(!none.store.find("Preferences", "tree"));

        QVERIFY(writeFile(dir.path() + "/JDK1.3.1TreeSorted.txt"));
        for (const QString &folder : {dir.path(), dir.path() + "/"}) {
            Fixture f;
            FirstRun(f.store, f.model, f.prompter, inputs({}, folder));
            QCOMPARE(f.pref("tree"), dir.path() + "/JDK1.3.1TreeSorted.txt");
        }
    }
};

QTEST_MAIN(TstFirstRun)
#include "tst_firstrun.moc"
