// The visual-style manifest written and removed by the style check box, and
// "Load Defaults", which removes every setting.
#include "settings/manifest.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "support/files.h"
#include "support/scriptedprompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

namespace {

const char *kExpected =
    "<?xml version=\"1.0\"  encoding=\"UTF-8\"  standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"  manifestVersion=\"1.0\">\r\n"
    "<assemblyIdentity processorArchitecture=\"x86\"  version=\"1.0.0.0\"  type=\"win32\"  "
    "name=\"quillon.exe\"/>\r\n"
    "<description>Quillon.exe_XPTheme</description>\r\n"
    "<dependency>\r\n"
    "<dependentAssembly>\r\n"
    "<assemblyIdentity type=\"win32\"  name=\"Microsoft.Windows.Common-Controls\"  "
    "version=\"6.0.0.0\"  publicKeyToken=\"6595b64144ccf1df\"  language=\"*\"  "
    "processorArchitecture=\"x86\"/>\r\n"
    "</dependentAssembly>\r\n"
    "</dependency>\r\n"
    "</assembly>\r\n";

const QString kRestart =
    QStringLiteral("The program must be restarted for changes to XP style to take effect");

// A message as "title|icon|buttons|text", for one exact comparison.
QString shown(const MessageRequest &m)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(m.title)
        .arg(int(m.icon))
        .arg(int(m.buttons))
        .arg(m.text);
}
QString msg(const char *title, MsgIcon icon, MsgButtons buttons, const QString &text)
{
    return shown(MessageRequest{text, QLatin1String(title), icon, buttons});
}

} // namespace

class TstManifest : public QObject {
    Q_OBJECT
private slots:
    void tickWritesTheTenLinesAndUntickRemoves()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("quillon.exe.manifest");
        test::ScriptedPrompter p;
        p.answer(MsgAnswer::Ok);
        QVERIFY(setVisualStyleManifest(true, path, p));
        QCOMPARE(test::readFile(path), QByteArray(kExpected));
        QCOMPARE(p.asked().size(), size_t(1));
        QCOMPARE(shown(p.asked().at(0).message),
                 msg("", MsgIcon::None, MsgButtons::Ok, kRestart)); // "QLN"

        // Ticking with a file present keeps it and says nothing.
        p.clear();
        QVERIFY(test::writeFile(path, "mine"));
        QVERIFY(setVisualStyleManifest(true, path, p));
        QCOMPARE(test::readFile(path), QByteArray("mine"));
        QVERIFY(p.asked().empty());

        // Unticking removes it with the same message; again does nothing.
        p.answer(MsgAnswer::Ok);
        QVERIFY(!setVisualStyleManifest(false, path, p));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(p.messages(), QStringList{kRestart});
        p.clear();
        QVERIFY(!setVisualStyleManifest(false, path, p));
        QVERIFY(p.asked().empty());

        // The program's own name goes into the manifest.
        QCOMPARE(manifestProgramName("/opt/q/editor.exe.manifest"), QStringLiteral("editor"));
        QVERIFY(manifestText("editor").contains("name=\"editor.exe\"/>"));
    }

    void unwritableFolderPutsTheBoxBack()
    {
        QTemporaryDir dir;
        // The manifest's folder is a file, so nothing can be written there.
        QVERIFY(test::writeFile(dir.filePath("bin")));
        test::ScriptedPrompter p;
        p.answer(MsgAnswer::Ok);
        QVERIFY(!setVisualStyleManifest(true, dir.filePath("bin/quillon.exe.manifest"), p));
        QCOMPARE(shown(p.asked().at(0).message),
                 msg("Error", MsgIcon::Critical, MsgButtons::Ok,
                     "The Program directory\r\n" + dir.filePath("bin")
                         + "\r\nappears to be Read Only\r\n\r\nCannot enable XP style"));

        // A manifest that cannot be removed keeps the box ticked.
        QVERIFY(QDir(dir.path()).mkpath("stuck.exe.manifest/inside"));
        p.clear();
        p.answer(MsgAnswer::Ok);
        QVERIFY(setVisualStyleManifest(false, dir.filePath("stuck.exe.manifest"), p));
        QCOMPARE(p.messages().size(), 1);
        QVERIFY(p.messages()[0].endsWith("Cannot disable XP style"));
    }

    void loadDefaults()
    {
        setSettingsStore(
            std::make_unique<SettingsStore>(std::make_unique<MemorySettingsBackend>()));
        SettingsStore &store = settingsStore();
        PrefModel model;
        test::ScriptedPrompter p;
        FirstRun(store, model, p, FirstRunInputs{});
        store.save("JavaX-Compile", "IgnoreDashes", "1");
        const int keys = int(store.backend().keys("Preferences").size());

        // No leaves everything in place.
        p.answer(MsgAnswer::No);
        QVERIFY(!deleteAllSettings(p));
        QCOMPARE(int(store.backend().keys("Preferences").size()), keys);
        QCOMPARE(store.get("JavaX-Compile", "IgnoreDashes"), QStringLiteral("1"));
        QCOMPARE(
            shown(p.asked().at(0).message),
            msg("Confirm Deletion", MsgIcon::Question, MsgButtons::YesNo,
                "Are you sure you want to delete QLN entries from regiistry?\r\nNOTE: after you "
                "rerun the program the defaults will be loaded"));

        // Yes removes every section and says the program closes.
        p.clear();
        p.answer(MsgAnswer::Yes);
        p.answer(MsgAnswer::Ok);
        QVERIFY(deleteAllSettings(p));
        QVERIFY(store.backend().sections().isEmpty());
        QCOMPARE(shown(p.asked().at(1).message),
                 msg("The program must be closed", MsgIcon::Information, MsgButtons::Ok,
                     "The program will now close, you can run the program later if you want"));

        // The next start writes the factory defaults again.
        PrefModel fresh;
        p.clear();
        QCOMPARE(FirstRun(store, fresh, p, FirstRunInputs{}), LoadOutcome::Loaded);
        QCOMPARE(fresh.lstckeyword.size(), 56);
        QVERIFY(fresh.lstckeyword.contains("strictfp") && fresh.lstckeyword.contains("strictftp"));
    }
};

QTEST_GUILESS_MAIN(TstManifest)
#include "tst_manifest.moc"
