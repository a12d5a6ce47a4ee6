// Loading and saving preferences: the reinstall question, the loaders with
// absent, stale and bad values, the spelling sort, and the dialog's start-up,
// Apply, OK and Cancel sequences.
#include "settings/convert.h"
#include "settings/prefloader.h"
#include "settings/prefsession.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "support/datarow.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

namespace {

struct Fixture {
    MemorySettingsBackend *mem = new MemorySettingsBackend;
    SettingsStore store{std::unique_ptr<SettingsBackend>(mem)};
    PrefModel model;
    Preferences prefs;
    test::ScriptedPrompter prompter;
    void set(const QString &key, const QString &value) { store.save("Preferences", key, value); }
    QString pref(const QString &key) const { return store.get("Preferences", key, "<absent>"); }
    void firstRun() { FirstRun(store, model, prompter, FirstRunInputs{}); }
    LoadOutcome loadDef() { return loadDefPref(store, model, prompter, QString()); }
    // The dialog's session, started up; `treeLoads` records tree loads.
    std::unique_ptr<PreferencesSession> session(QStringList *treeLoads = nullptr)
    {
        auto s = std::make_unique<PreferencesSession>(store, prompter, prefs, FirstRunInputs{});
        if (treeLoads)
            s->loadObjectTree = [treeLoads](const QString &path) { *treeLoads << path; };
        if (s->startUp() != LoadOutcome::Loaded)
            qFatal("start-up failed");
        return s;
    }
    // The stored spelling list as "from=to" pairs.
    QStringList storedSpelling() const
    {
        QStringList out;
        for (int i = 1; i <= pref("fromtocount").toInt(); ++i)
            out << pref(QStringLiteral("lstsfrom%1").arg(i)) + "="
                       + pref(QStringLiteral("lststo%1").arg(i));
        return out;
    }
};

QStringList entries(const QStringList &arr)
{
    return arr.mid(1);
}

} // namespace

class TstPrefLoader : public QObject {
    Q_OBJECT
private slots:
    void cancelAndTheReinstallQuestion()
    {
        // Cancel reads the stored lists again (in the dialog: tst_frmpref);
        Fixture f;
        auto session = f.session();
        QCOMPARE(f.prompter.asked().size(), size_t(0));
        // on a store whose defaults were removed, Yes writes the defaults
        // again and runs the whole start-up load; No quits.
        session->model().lstckeyword << "extra";
        f.store.deleteAll();
        f.prompter.answer(MsgAnswer::Yes);
        QCOMPARE(session->cancel(), LoadOutcome::Loaded);
        QCOMPARE(f.prompter.asked().size(), size_t(1));
        const MessageRequest &m = f.prompter.asked()[0].message;
        QCOMPARE(
            QStringLiteral("%1|%2|%3|%4")
                .arg(m.title)
                .arg(int(m.icon))
                .arg(int(m.buttons))
                .arg(m.text),
            QStringLiteral("Error|%1|%2|").arg(int(MsgIcon::Critical)).arg(int(MsgButtons::YesNo))
                + "It appears that you've uninstalled the program\r\nSome registry entries were "
                  "not found\r\n"
                  "Do you want the program to reinstall the registry entries?\r\n"
                  "If you choose no, the program will close");
        QCOMPARE(f.pref("firstrun"), QStringLiteral("1"));
        QCOMPARE(session->model().lstckeyword.size(), 56);
        QCOMPARE(f.prefs.ckeywordcount, 56);
        f.store.deleteAll();
        f.prompter.answer(MsgAnswer::No);
        QCOMPARE(session->refresh(), LoadOutcome::Quit);
        QCOMPARE(f.pref("firstrun"), QStringLiteral("<absent>"));
        // loadDefPref itself loads nothing into the controls before asking.
        Fixture g;
        g.set("txtaindnum", "7");
        g.prompter.answer(MsgAnswer::Yes);
        QCOMPARE(g.loadDef(), LoadOutcome::Reinstall);
        QCOMPARE(g.model.txtaindnum, QString());
    }

    void absentKeysReadAsEmptyOrZero()
    {
        Fixture f;
        f.set("firstrun", "1");
        load_arrays(f.store, f.prefs);
        QCOMPARE(f.prefs.ckeywordcount, 0);
        QVERIFY(f.prefs.arrckeyword == QStringList{QString()}
                && f.prefs.arrsfrom == QStringList{QString()});

        // Absent entry keys give empty entries that stay in the list.
        f.set("cothercount", "3");
        f.set("lstcother1", "null");
        f.set("lstcother3", "false");
        load_arrays(f.store, f.prefs);
        QCOMPARE(entries(f.prefs.arrcother), QStringList({"null", "", "false"}));

        f.model.txtaindnum = "9";
        f.model.chkkeepindent = false;
        f.loadDef();
        QCOMPARE(f.model.lstcother, QStringList({"null", "", "false"}));
        QVERIFY(f.model.txtaindnum.isEmpty() && !f.model.optgautotreesearchyes);
        // "Keep indentation" came later than the store: absent, it is on;
        // a value that is no number leaves the box as it was.
        QVERIFY(f.model.chkkeepindent);
        f.set("keepindent", "0");
        f.loadDef();
        QVERIFY(!f.model.chkkeepindent);
        f.set("keepindent", "maybe");
        f.loadDef();
        QVERIFY(!f.model.chkkeepindent);
    }

    void staleEntriesBeyondTheCount()
    {
        Fixture f;
        f.firstRun();
        f.set("ckeywordcount", "2");
        load_arrays(f.store, f.prefs);
        QCOMPARE(f.prefs.arrckeyword, QStringList({"", "abstract", "boolean"}));
        f.loadDef();
        QCOMPARE(f.model.lstckeyword, QStringList({"abstract", "boolean"}));

        // Shortening a list leaves the old entry keys in the store.
        f.model.lstcmore = QStringList{"("};
        SaveDefPref(f.model, f.store);
        QCOMPARE(f.pref("cmorecount") + f.pref("lstcmore3"), QStringLiteral("1;"));
        load_arrays(f.store, f.prefs);
        QCOMPARE(f.prefs.arrcmore, QStringList({"", "("}));
    }

    void badCountsStopLoadArrays_data()
    {
        QTest::addColumn<QString>("value");
        for (const char *v : {"abc", "-3", "40000"})
            row(v, QString(v));
    }
    void badCountsStopLoadArrays()
    {
        QFETCH(QString, value);
        Fixture f;
        f.firstRun();
        load_arrays(f.store, f.prefs);
        const Preferences before = f.prefs;

        // A bad keyword count stops load_arrays at that list: it and the
        // lists after it keep what they held.
        f.set("ckeywordcount", value);
        f.set("cothercount", "1");
        load_arrays(f.store, f.prefs);
        QCOMPARE(f.prefs.arrckeyword, before.arrckeyword);
        QCOMPARE(f.prefs.cothercount, 3);

        // loadDefPref stops there too and the keyword box keeps its list.
        const QStringList shown = f.model.lstckeyword;
        f.model.lstcother.clear();
        QCOMPARE(f.loadDef(), LoadOutcome::Loaded);
        QCOMPARE(f.model.lstckeyword, shown);
        QVERIFY(f.model.lstcother.isEmpty());

        // The same for the spelling count, which is 32-bit but bounded.
        f.set("ckeywordcount", "48");
        f.set("fromtocount", value == "40000" ? "1000001" : value);
        load_arrays(f.store, f.prefs);
        QCOMPARE(f.prefs.ckeywordcount, 48);
        QCOMPARE(f.prefs.fromtocount, 0);
        QCOMPARE(f.prefs.arrsfrom, QStringList{QString()});

        // 40000 is a valid spelling count.
        f.set("fromtocount", "40000");
        f.set("lstsfrom40000", "last");
        load_arrays(f.store, f.prefs);
        QCOMPARE(f.prefs.arrsfrom.size(), 40001);
        QCOMPARE(f.prefs.arrsfrom.last(), QStringLiteral("last"));
    }

    // "Line numbers": on from first run, read and saved with the other
    // controls; a bad stored value leaves the control as it was and stops
    // nothing else.
    void lineNumbersSwitch()
    {
        Fixture f;
        f.firstRun();
        QCOMPARE(f.pref("linenumbers"), QStringLiteral("1"));
        QVERIFY(f.model.chklinenumbers);
        load_properties(f.store, f.model, f.prefs);
        QVERIFY(f.prefs.linenumbers);
        f.set("linenumbers", "0");
        f.set("txtaindnum", "4");
        QCOMPARE(f.loadDef(), LoadOutcome::Loaded);
        QVERIFY(!f.model.chklinenumbers);
        load_properties(f.store, f.model, f.prefs);
        QVERIFY(!f.prefs.linenumbers);
        f.set("linenumbers", "yes please");
        f.set("txtaindnum", "3");
        f.loadDef();
        QVERIFY(!f.model.chklinenumbers);
        QCOMPARE(f.model.txtaindnum, QStringLiteral("3"));
        f.model.chklinenumbers = true;
        SaveDefPref(f.model, f.store);
        QCOMPARE(f.pref("linenumbers"), QStringLiteral("1"));
    }

    void badValuesInLoadProperties()
    {
        Fixture f;
        f.firstRun();
        load_properties(f.store, f.model, f.prefs);
        f.model.txtgSingleLineComment = "#";
        f.model.chkgsetfocuscbox = true;
        // One bad value leaves only that value as it was.
        f.set("tbrccommentfont2", "abc");
        f.set("tbrccommentfont3", "True");
        f.set("tbrckeywordfont1", "-1");
        f.set("ckeywordwholeword", "red");
        f.set("cotherwholeword", "0");
        f.set("ckeywordcolor", "red");
        load_properties(f.store, f.model, f.prefs);
        QVERIFY(f.prefs.fontstyle[5][2] && f.prefs.fontstyle[5][3] && f.prefs.fontstyle[1][1]);
        QVERIFY(f.prefs.fontstyle[1][4] && !f.prefs.fontstyle[2][4]);
        QCOMPARE(f.prefs.ckeywordcolor + " " + f.prefs.cstringscolor,
                 QStringLiteral("red 4227072"));
        // Reserved strings and flags come from the controls, not the store.
        QCOMPARE(f.prefs.singleLineComment + f.prefs.ignoreString, QStringLiteral("#\\\""));
        QVERIFY(f.prefs.setfocusontreebox);
        QCOMPARE(f.pref("SingleLineComment_String"), QStringLiteral("//"));

        // In loadDefPref a colour that is no colour stops the routine.
        f.model.chkckeywordwholeword = false;
        f.loadDef();
        QVERIFY(f.model.cmdckeywordcolor == BgrColor(255) && !f.model.chkckeywordwholeword);
    }

    void indentString_data()
    {
        columns<QString, QString, QString>("opta1", "number", "unit");
        row("tabs", "True", "4", "\t\t\t\t");
        row("blanks", "False", "4", "    ");
        row("flag 1", "1", "2", "\t\t");
        row("no number", "True", "abc", "");
        row("absurd", "True", "2000000000", "");
        row("bad flag", "maybe", "3", "   ");
    }
    void indentString()
    {
        QFETCH(QString, opta1);
        QFETCH(QString, number);
        QFETCH(QString, unit);
        Fixture f;
        f.set("opta1", opta1);
        f.model.txtaindnum = number;
        f.prefs.indentstring = "old";
        load_properties(f.store, f.model, f.prefs);
        QCOMPARE(f.prefs.indentstring, unit);
    }

    void saveThenLoadRoundTrip()
    {
        Fixture f;
        f.firstRun();
        PrefModel edited = f.model;
        edited.opta1 = false;
        edited.txtgBlockEnding = "end";
        edited.optgautotreesearchyes = false;
        edited.lstsfrom = {"teh"};
        edited.lststo = {"the"};
        edited.tbrstyle[4][1] = true;
        edited.tbrstyle[5][2] = false;
        edited.cmdctextcolor = 0x123456;
        edited.chkcmorewholeword = true;
        QVERIFY(f.model.chkkeepindent && f.pref("keepindent") == "1"); // first run's
        edited.chkkeepindent = false;
        f.mem->clearWrites();
        SaveDefPref(edited, f.store);
        QCOMPARE(f.pref("opta1") + f.pref("opta2") + f.pref("autotreesearch") + f.pref("ctextcolor")
                     + f.pref("keepindent"),
                 "FalseTrueFalse" + QString::number(0x123456) + "0");
        // Saving never touches the marker or the keys other parts own.
        for (const auto &w : f.mem->writes())
            QVERIFY2(w.key != "firstrun" && !w.key.startsWith("insert")
                         && w.key != "chkautosyntaxcolor" && w.key != "CustomDateTime",
                     qPrintable(w.key));

        PrefModel loaded;
        loaded.opta1 = true;
        QTemporaryDir dir; // the style box is ticked when the manifest exists
        const QString manifest = dir.filePath("quillon.exe.manifest");
        loadDefPref(f.store, loaded, f.prompter, manifest);
        QVERIFY(!loaded.chkusexptheme);
        QVERIFY(QFile(manifest).open(QIODevice::WriteOnly));
        loadDefPref(f.store, loaded, f.prompter, manifest);
        QVERIFY(loaded.chkusexptheme);
        QVERIFY(!loaded.opta1 && !loaded.optgautotreesearchyes && loaded.chkcmorewholeword);
        QVERIFY(!loaded.chkkeepindent);
        load_properties(f.store, loaded, f.prefs);
        QVERIFY(!f.prefs.keepindent);
        QCOMPARE(loaded.txtgBlockEnding, QStringLiteral("end"));
        QCOMPARE(loaded.lstsfrom + loaded.lststo, QStringList({"teh", "the"}));
        QCOMPARE(loaded.lstckeyword, edited.lstckeyword);
        QCOMPARE(loaded.tbrstyle, edited.tbrstyle);
        QVERIFY(loaded.cmdctextcolor == BgrColor(0x123456)
                && loaded.cmdcmorecolor == BgrColor(16711935));
    }

    void spellingSortOnApplyAndOk()
    {
        // Binary order, equal wrong forms keeping their order, in the shared
        // arrays, the dialog's lists and the store.
        Fixture f;
        auto session = f.session();
        session->model().lstsfrom = {"teh", "adn", "a", "B", "adn", "teh"};
        session->model().lststo = {"the", "and", "x", "y", "and2", "the2"};
        session->apply();
        const QStringList to{"y", "x", "and", "and2", "the", "the2"};
        QCOMPARE(entries(f.prefs.arrsfrom), QStringList({"B", "a", "adn", "adn", "teh", "teh"}));
        QVERIFY(entries(f.prefs.arrsto) == to && session->model().lststo == to);
        QCOMPARE(f.storedSpelling(),
                 QStringList({"B=y", "a=x", "adn=and", "adn=and2", "teh=the", "teh=the2"}));

        session->model().lstsfrom = {"teh", "adn"};
        session->model().lststo = {"the", "and"};
        session->ok();
        QCOMPARE(entries(f.prefs.arrsfrom), QStringList({"adn", "teh"}));
        QCOMPARE(f.storedSpelling(), QStringList({"adn=and", "teh=the"}));
    }

    void startUpLoadsEverything()
    {
        test::TestEnv env;
        SettingsStore store(makeQSettingsBackend());
        test::ScriptedPrompter prompter;
        Preferences prefs;
        FirstRunInputs in;
        in.designed.fontName = "Monospace";
        PreferencesSession session(store, prompter, prefs, in);
        QStringList treeLoads;
        session.loadObjectTree = [&](const QString &path) { treeLoads << path; };
        QCOMPARE(session.startUp(), LoadOutcome::Loaded);
        QVERIFY(prompter.asked().empty());
        QCOMPARE(prefs.arrcmore, QStringList({"", "{", "}", ";"}));
        QCOMPARE(prefs.indentstring, QStringLiteral("\t"));
        QVERIFY(prefs.tempFolder.endsWith('/'));
        // autotreesearch is "1" after first run; no tree file was found.
        QCOMPARE(treeLoads, QStringList{QString()});

        // The INI file holds the defaults for the next start.
        SettingsStore next(makeQSettingsBackend());
        QCOMPARE(next.get("Preferences", "firstrun") + next.get("Preferences", "insertif"),
                 QStringLiteral("1\r\nif ( <>= ) { }\r\n"));
    }

    // Start-up loads the tree for a true "autotreesearch", and goes on past
    // bad values elsewhere.
    void autoTreeSearch_data()
    {
        columns<QString, bool>("value", "loads");
        for (const char *v : {"TRUE", "1", "yes", "-1"})
            row(v, QString(v), (v[0] == 'T' || v[0] == '1'));
    }
    void autoTreeSearch()
    {
        QFETCH(QString, value);
        QFETCH(bool, loads);
        Fixture f;
        f.firstRun();
        f.set("autotreesearch", value);
        f.set("tree", "/opt/trees/JDK1.3.1TreeSorted.txt");
        f.set("ckeywordcount", "2000000000");
        f.set("ctextcolor", "red");
        f.set("fheight", "abc");
        QStringList treeLoads;
        f.session(&treeLoads);
        QCOMPARE(treeLoads,
                 loads ? QStringList{"/opt/trees/JDK1.3.1TreeSorted.txt"} : QStringList{});
        QCOMPARE(f.prefs.ckeywordcount, 0);
        QCOMPARE(f.prefs.ctextcolor, QStringLiteral("red"));
        if (value != "yes") // an unreadable flag stops loadDefPref before the indent box
            QCOMPARE(f.prefs.indentstring, QStringLiteral("\t"));
        f.session(); // without a hook nothing is loaded and nothing fails
    }
};

QTEST_GUILESS_MAIN(TstPrefLoader)
#include "tst_prefloader.moc"
