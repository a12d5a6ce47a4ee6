// The preferences dialog driven through its controls: Apply, OK and Cancel,
// word lists and spelling pairs, list files, the colour rule, number boxes,
// the style manifest box, closing and the help window. Load Defaults:
// tst_frmedit and tst_unsaved, through the main window.
#include "dialogs/ui/frmhelp.h"
#include "settings/convert.h"
#include "settings/prefsession.h"
#include "settings/settingsstore.h"
#include "settings/ui/frmpref.h"
#include "support/datarow.h"
#include "support/files.h"
#include "support/scriptedprompter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace qln;
using qln::test::readFile;
using qln::test::writeFile;

namespace {

QStringList items(QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// A message box as one comparable line: title, icon, buttons, text.
QString msg(const QString &title, MsgIcon icon, const QString &text,
            MsgButtons buttons = MsgButtons::Ok)
{
    return QStringLiteral("[%1] icon %2 buttons %3: %4")
        .arg(title)
        .arg(int(icon))
        .arg(int(buttons))
        .arg(text);
}
QString shown(const MessageRequest &m)
{
    return msg(m.title, m.icon, m.text, m.buttons);
}
// A caption as the user reads it: without the mnemonic marker.
QString visible(QString caption)
{
    return caption.remove('&');
}

struct Dialog {
    QTemporaryDir dir;
    test::ScriptedPrompter prompter;
    Preferences shared;
    std::unique_ptr<PreferencesSession> session;
    QWidget main;
    QPointer<frmpref> dlg;

    Dialog()
    {
        setSettingsStore(
            std::make_unique<SettingsStore>(std::make_unique<MemorySettingsBackend>()));
        FirstRunInputs inputs;
        inputs.manifestPath = dir.filePath("quillon.exe.manifest");
        session = std::make_unique<PreferencesSession>(settingsStore(), prompter, shared, inputs);
        dlg = new frmpref(*session, prompter, &main);
        dlg->setManifestPath(inputs.manifestPath);
        main.show();
        dlg->Form_Load();
    }
    ~Dialog() { delete dlg; }

    template <class T> T *w(const char *name) const
    {
        T *found = dlg->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    void click(const char *button) { w<QPushButton>(button)->click(); }
    bool applyEnabled() const { return w<QPushButton>("cmdapply")->isEnabled(); }
    QString stored(const QString &key) const
    {
        return settingsStore().get("Preferences", key, "<absent>");
    }
    QString lastMessage() const { return shown(prompter.asked().back().message); }
    const PrefModel &model() const { return session->model(); }
    void pair(const QString &from, const QString &to, const char *button = "cmdsadd")
    {
        w<QLineEdit>("txtsfrom")->setText(from);
        w<QLineEdit>("txtsto")->setText(to);
        click(button);
    }
    // Load with "Yes" to the question, the file named, OK to any message.
    void loadList(const QString &path)
    {
        prompter.clear();
        prompter.answer(MsgAnswer::Yes);
        prompter.answerText(path);
        prompter.answer(MsgAnswer::Ok);
        click("cmdsload");
    }
};

} // namespace

class TstFrmPref : public QObject {
    Q_OBJECT
private slots:
    void cancelApplyAndOk()
    {
        Dialog d;
        QCOMPARE(d.dlg->windowTitle(), QStringLiteral("Preferences"));
        // The captions as shown; the "&" only marks the Alt key.
        QStringList captions;
        QTabBar *tabs = d.w<QTabBar>("tbsOptions");
        for (int i = 0; i < tabs->count(); ++i)
            captions << visible(tabs->tabText(i));
        for (const char *button : {"cmddefaults", "cmdapply", "cmdok", "cmdcancel"})
            captions << visible(d.w<QPushButton>(button)->text());
        QCOMPARE(captions,
                 (QStringList{"General", "Allignment Options", "Spelling corrections",
                              "Coloring and Font", "Load Defaults", "Apply", "OK", "Cancel"}));
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY(tabs->tabText(i).contains('&'));
        QCOMPARE(d.w<QListWidget>("lstckeyword")->count(), 56);
        QCOMPARE(items(d.w<QListWidget>("lstcother")), (QStringList{"null", "true", "false"}));
        QCOMPARE(visible(d.w<QCheckBox>("chkckeywordwholeword")->text()),
                 QStringLiteral("Wole word"));
        // Comments are italic by default: the pressed button shows it.
        QVERIFY(d.w<QToolBar>("tbrccommentsfont")->findChild<QAction *>("Italic")->isChecked());
        QVERIFY(!d.applyEnabled());

        d.dlg->showPreferences();
        QVERIFY(!d.main.isEnabled());
        d.prompter.answerText("module");
        d.click("cmdckeywordadd");
        QCOMPARE(d.w<QListWidget>("lstckeyword")->count(), 57);
        d.pair("recieve", "receive");
        QVERIFY(d.applyEnabled());
        d.click("cmdcancel"); // the lists as stored again
        QCOMPARE(d.w<QListWidget>("lstckeyword")->count(), 56);
        QCOMPARE(d.w<QListWidget>("lstsfrom")->count() + d.model().lststo.size(), 0);
        QCOMPARE(d.stored("ckeywordcount"), QStringLiteral("56"));
        QVERIFY(d.main.isEnabled() && !d.dlg->isVisible());

        // Apply and OK store the pairs lower-cased and sorted.
        settingsStore().save("Preferences", "fromtocount", "1");
        settingsStore().save("Preferences", "lstsfrom1", "Bx");
        settingsStore().save("Preferences", "lststo1", "By");
        d.dlg->showPreferences();
        d.pair("Teh", "the");
        QCOMPARE(d.w<QLineEdit>("txtsfrom")->text(), QString());
        QCOMPARE(d.w<QListWidget>("lststo")->currentRow(), 1);
        d.pair("adn", "and");
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"Bx", "teh", "adn"}));
        QSignalSpy applied(d.dlg.data(), &frmpref::applied);
        d.click("cmdapply");
        QCOMPARE(applied.count(), 1);
        // Binary order: the capital B comes before every small letter.
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"Bx", "adn", "teh"}));
        QCOMPARE(items(d.w<QListWidget>("lststo")), (QStringList{"By", "and", "the"}));
        QCOMPARE(d.stored("fromtocount") + d.stored("lstsfrom3") + d.stored("lststo3"),
                 QStringLiteral("3tehthe"));
        QCOMPARE(d.shared.arrsfrom.mid(1), (QStringList{"Bx", "adn", "teh"}));
        QVERIFY(!d.applyEnabled() && d.dlg->isVisible());

        // "Keep indentation", on by default, goes to the store and the
        // shared values with Apply.
        auto *keep = d.w<QCheckBox>("chkkeepindent");
        QCOMPARE(visible(keep->text()), QStringLiteral("Keep indentation"));
        QVERIFY(keep->isChecked() && d.shared.keepindent);
        keep->click();
        QVERIFY(d.applyEnabled());
        d.click("cmdapply");
        QVERIFY(!d.shared.keepindent);
        QCOMPARE(d.stored("keepindent"), QStringLiteral("0"));

        d.pair("Zz", "Z");
        d.click("cmdok");
        QCOMPARE(d.stored("lstsfrom4") + d.stored("lststo4"), QStringLiteral("zzZ"));
        QVERIFY(d.main.isEnabled() && !d.dlg->isVisible());
    }

    void wordListEditing()
    {
        // A word already in any of the lists, in any case, is refused.
        Dialog d;
        const PrefModel before = d.model();
        for (auto [button, word, list] : {std::tuple{"cmdckeywordadd", "While", "Keyword"},
                                          {"cmdcmoreadd", "null", "Other"},
                                          {"cmdckeywordadd", "{", "More"}}) {
            d.prompter.clear();
            d.prompter.answerText(word);
            d.prompter.answer(MsgAnswer::Ok);
            d.click(button);
            QCOMPARE(d.prompter.asked()[0].title + ": " + d.prompter.asked()[0].prompt,
                     QStringLiteral("Add word: Enter the word to add "));
            QCOMPARE(d.lastMessage(),
                     msg(QStringLiteral("Field already exists in %1 list").arg(list),
                         MsgIcon::Exclamation, "The field will not be added to the list"));
        }
        QVERIFY(d.model().lstckeyword == before.lstckeyword
                && d.model().lstcmore == before.lstcmore);
        QVERIFY(!d.applyEnabled());

        auto *more = d.w<QListWidget>("lstcmore");
        d.prompter.answerText("Module");
        d.prompter.answerText(""); // an empty answer adds nothing
        d.prompter.cancel();
        for (int i = 0; i < 3; ++i)
            d.click("cmdcmoreadd");
        QCOMPARE(items(more), (QStringList{"{", "}", ";", "Module"}));
        more->setCurrentRow(1);
        d.click("cmdcmoreremove");
        QCOMPARE(items(more), (QStringList{"{", ";", "Module"}));
        QCOMPARE(more->currentRow(), 1);
        d.click("cmdcmoreremoveall");
        QCOMPARE(more->count(), 0);
        d.click("cmdapply");
        QCOMPARE(d.stored("cmorecount"), QStringLiteral("0"));
    }

    void spellingPairRules()
    {
        Dialog d;
        auto *add = d.w<QPushButton>("cmdsadd");
        auto *save = d.w<QPushButton>("cmdssave");
        QVERIFY(!add->isEnabled() && !save->isEnabled());
        d.pair("teh", "the");
        d.pair("adn", "and");
        QVERIFY(save->isEnabled());

        // A wrong form already listed, in any case.
        d.prompter.answer(MsgAnswer::Ok);
        d.pair("TEH", "other");
        QCOMPARE(d.lastMessage(), msg("Field already exists", MsgIcon::Exclamation,
                                      "The field will not be added to the list"));
        QCOMPARE(d.model().lstsfrom.size(), 2);

        // Change onto another pair's wrong form is refused.
        d.w<QListWidget>("lstsfrom")->setCurrentRow(1);
        d.prompter.answer(MsgAnswer::Ok);
        d.pair("Teh", "x", "cmdschange");
        QCOMPARE(d.lastMessage(), msg("Duplicate item", MsgIcon::None,
                                      "No Changes will be made to the list\r\n"
                                      "Identical field found in \"From\" list"));
        QCOMPARE(d.model().lstsfrom, (QStringList{"teh", "adn"}));

        // Change of the selected pair onto its own wrong form moves it last.
        d.w<QListWidget>("lstsfrom")->setCurrentRow(0);
        d.pair("TEH", "The", "cmdschange");
        QCOMPARE(d.model().lstsfrom, (QStringList{"adn", "teh"}));
        QCOMPARE(d.model().lststo, (QStringList{"and", "The"}));

        // Change with an empty box would make a pair of nothing.
        d.prompter.answer(MsgAnswer::Ok);
        d.pair("TEH", "", "cmdschange");
        QCOMPARE(d.lastMessage(), msg("Null value", MsgIcon::Exclamation,
                                      "Please input value in both from and to fields"));
        QCOMPARE(d.model().lstsfrom, (QStringList{"adn", "teh"}));

        d.click("cmdsremoveall");
        QVERIFY(!save->isEnabled() && d.model().lststo.isEmpty());
    }

    void saveAndLoadListRoundTrip()
    {
        Dialog d;
        d.pair("teh", "The");
        d.pair("adn", "and");
        QString path = d.dir.filePath("pairs.txt");
        d.prompter.answerText(path);
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdssave");
        QVERIFY(d.prompter.asked()[0].file.mode == FileDialogRequest::Save
                && d.prompter.asked()[0].file.filter
                       == QStringLiteral("Text Files(*.txt);;All Files(*)"));
        QCOMPARE(d.lastMessage(), msg("Reminding", MsgIcon::Information, "File saved"));
        QCOMPARE(readFile(path), QByteArray("\"teh\",\"The\"\r\n\"adn\",\"and\"\r\n"));

        // A file written by hand with capital wrong forms.
        QVERIFY(writeFile(path, "\"Recieve\",\"receive\"\r\n\"teh\",\"The\"\r\n"));
        d.loadList(path);
        QCOMPARE(shown(d.prompter.asked()[0].message),
                 msg("Continue?", MsgIcon::Question,
                     "The current list will be lost if you load new list\r\n"
                     "Do you wish to continue",
                     MsgButtons::YesNo));
        QCOMPARE(d.prompter.asked()[1].file.mode, FileDialogRequest::Open);
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"recieve", "teh"}));
        QCOMPARE(items(d.w<QListWidget>("lststo")), (QStringList{"receive", "The"}));

        // No keeps the list.
        d.prompter.clear();
        d.prompter.answer(MsgAnswer::No);
        d.click("cmdsload");
        QCOMPARE(d.prompter.asked().size(), size_t(1));
        QCOMPARE(d.model().lstsfrom.size(), 2);

        // A read-only file is refused and left as it was.
        path = d.dir.filePath("locked.txt");
        QVERIFY(writeFile(path, "old"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        d.prompter.answerText(path);
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdssave");
        QCOMPARE(d.lastMessage(), msg("Error saving file [" + path + "]", MsgIcon::Critical,
                                      "The file you are trying to save is read only"));
        QCOMPARE(readFile(path), QByteArray("old"));

        // A binary file is refused; a file with a bad line loads the rest
        // and says what was skipped.
        const QString binary = d.dir.filePath("binary.txt");
        QVERIFY(writeFile(binary, QByteArray("\"a\",\"b\"\r\n\x00\x00\x7f", 12)));
        d.loadList(binary);
        QCOMPARE(d.lastMessage(), msg("Error loading file [" + binary + "]", MsgIcon::Critical,
                                      "The file is not a spelling list: it holds binary data"));
        QCOMPARE(d.model().lstsfrom, (QStringList{"recieve", "teh"}));
        const QString partial = d.dir.filePath("partial.txt");
        QVERIFY(writeFile(partial, "\"a\",\"b\"\r\n\r\n\"lonely\"\r\n\"c\",\"d\"\r\n"));
        d.loadList(partial);
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"a", "c"}));
        QCOMPARE(d.lastMessage(), msg("Load List", MsgIcon::Exclamation,
                                      "1 line(s) of the file did not hold a "
                                      "pair of words and were skipped\r\nThe first one is line 3"));
    }

    void coloursMustDiffer()
    {
        Dialog d;
        const PrefModel &m = d.model();
        const BgrColor keyword = m.cmdckeywordcolor;
        const BgrColor comments = m.cmdccommentscolor;

        // A cancelled dialog changes nothing.
        d.prompter.cancel();
        d.click("cmdccommentscolor");
        QCOMPARE(m.cmdccommentscolor, comments);
        QVERIFY(!d.applyEnabled());

        // The keyword colour is refused until another one is chosen.
        d.prompter.answerColor(toQColor(keyword));
        d.prompter.answer(MsgAnswer::Ok);
        d.prompter.answerColor(QColor(1, 2, 3));
        d.click("cmdccommentscolor");
        QCOMPARE(shown(d.prompter.asked()[2].message),
                 msg("", MsgIcon::None, "You must choose a diferent color"));
        QCOMPARE(m.cmdccommentscolor, fromQColor(QColor(1, 2, 3)));
        QVERIFY(d.w<QPushButton>("cmdccommentscolor")->styleSheet().contains("#010203"));
        d.click("cmdok");
        QCOMPARE(settingsStore().get("Preferences", "ccommentscolor"),
                 QString::number(fromQColor(QColor(1, 2, 3))));

        // Cancelling the reopened colour dialog keeps the old colour.
        d.prompter.answerColor(toQColor(keyword));
        d.prompter.answer(MsgAnswer::Ok);
        d.prompter.cancel();
        d.click("cmdctextcolor");
        QVERIFY(m.cmdctextcolor != keyword);
    }

    void styleButtonsNumberBoxesAndManifest()
    {
        Dialog d;
        QAction *bold = d.w<QToolBar>("tbrckeywordfont")->findChild<QAction *>("Bold");
        const bool was = bold->isChecked();
        bold->trigger();
        QCOMPARE(d.w<QListWidget>("lstckeyword")->font().bold(), !was);
        d.click("cmdapply");
        QCOMPARE(settingsStore().get("Preferences", "tbrckeywordfont1"), QString(!was ? "1" : "0"));

        // The indent number is a box of 0 to 100: 150 cannot be entered.
        auto *number = d.w<QSpinBox>("txtaindnum");
        QCOMPARE(QPair(number->minimum(), number->maximum()), QPair(0, 100));
        number->selectAll();
        QTest::keyClicks(number, "150");
        QCOMPARE(number->value(), 15);
        number->setValue(4);
        QCOMPARE(d.model().txtaindnum, QStringLiteral("4"));
        d.w<QRadioButton>("opta2")->setChecked(true);
        QCOMPARE(visible(d.w<QGroupBox>("fraindnum")->title()), QStringLiteral("Number of spaces"));
        d.click("cmdapply");
        QCOMPARE(d.shared.indentstring, QStringLiteral("    "));

        // The fixed tree-box position must stay under 32000.
        d.w<QRadioButton>("optgfixedcbopos")->setChecked(true);
        auto *x = d.w<QLineEdit>("txtgdefcboposX");
        auto *y = d.w<QLineEdit>("txtgdefcboposY");
        d.prompter.answer(MsgAnswer::Ok);
        x->setText("40000");
        QCOMPARE(x->text(), QStringLiteral("X"));
        QCOMPARE(d.lastMessage(), msg("", MsgIcon::None, "The value should be less than 32000"));
        d.prompter.answer(MsgAnswer::Ok);
        y->setText("32000");
        QCOMPARE(y->text(), QStringLiteral("Y"));
        y->setText("31999");
        QCOMPARE(d.prompter.messages().size(), 2);
        d.click("cmdok");
        QCOMPARE(d.stored("defcbotreeposy") + " " + d.stored("fixedcbotreepos"),
                 QStringLiteral("31999 True"));

        // The style manifest box writes and removes the manifest.
        auto *box = d.w<QCheckBox>("chkusexptheme");
        d.prompter.answer(MsgAnswer::Ok);
        box->click();
        QVERIFY(box->isChecked() && QFile::exists(d.dlg->manifestPath()));
        d.prompter.answer(MsgAnswer::Ok);
        box->click();
        QVERIFY(!box->isChecked() && !QFile::exists(d.dlg->manifestPath()));

        // A folder that cannot be written: the box goes back.
        QVERIFY(writeFile(d.dir.filePath("bin"), ""));
        d.dlg->setManifestPath(d.dir.filePath("bin/quillon.exe.manifest"));
        d.prompter.answer(MsgAnswer::Ok);
        box->click();
        QVERIFY(!box->isChecked());
        QVERIFY(d.lastMessage().startsWith(msg("Error", MsgIcon::Critical, "")));
    }

    void escapeCancelsEnterConfirms_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("focus"); // the control that has the focus
        QTest::addColumn<bool>("stored");   // the edit reached the store
        row("Escape in a text box", int(Qt::Key_Escape), "txtgString1", false);
        row("Escape on OK", int(Qt::Key_Escape), "cmdok", false);
        row("Enter in a text box", int(Qt::Key_Return), "txtgString1", true);
        row("keypad Enter in the indent box", int(Qt::Key_Enter), "txtaindnum", true);
        row("Enter on Cancel", int(Qt::Key_Return), "cmdcancel", false);
    }
    void escapeCancelsEnterConfirms()
    {
        QFETCH(int, key);
        QFETCH(QString, focus);
        QFETCH(bool, stored);
        Dialog d;
        d.main.setEnabled(false);
        d.dlg->show();
        d.w<QLineEdit>("txtgString1")->setText("`");
        QWidget *target = d.dlg->findChild<QWidget *>(focus);
        QVERIFY(target);
        d.dlg->activateWindow();
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QVERIFY(!d.dlg->isVisible());
        QVERIFY(d.main.isEnabled());
        QCOMPARE(d.stored("String1_String"), QString(stored ? "`" : "\""));
        QCOMPARE(d.w<QLineEdit>("txtgString1")->text(), QString(stored ? "`" : "\""));
    }

    void tabReachesEveryOptionAndTheListsLookLikeTheEditor()
    {
        Dialog d;
        d.dlg->show();
        d.w<QRadioButton>("optgautotreesearchyes")->setChecked(true);
        d.dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d.dlg));
        // Walks the focus chain with Tab from the first box round to it again.
        const auto tabWalk = [&d] {
            QStringList reached;
            QWidget *w = d.w<QLineEdit>("txtgSingleLineComment");
            w->setFocus();
            for (int i = 0; i < 60 && w && !reached.contains(w->objectName()); ++i) {
                reached << w->objectName();
                QTest::keyClick(w, Qt::Key_Tab);
                w = QApplication::focusWidget();
            }
            return reached;
        };
        // Tab stops on the chosen option of each pair (the arrow keys move
        // between the two), then on the position boxes when they show.
        QStringList reached = tabWalk();
        QVERIFY2(reached.contains("optgautotreesearchyes") && reached.contains("optgautocbopos"),
                 qPrintable(reached.join(' ')));
        d.w<QRadioButton>("optgautocbopos")->setFocus();
        QTest::keyClick(d.w<QRadioButton>("optgautocbopos"), Qt::Key_Right);
        QVERIFY(d.w<QRadioButton>("optgfixedcbopos")->isChecked());
        reached = tabWalk();
        const qsizetype fixed = reached.indexOf("optgfixedcbopos");
        QVERIFY2(fixed > 0
                     && reached.mid(fixed + 1, 2)
                            == (QStringList{"txtgdefcboposX", "txtgdefcboposY"}),
                 qPrintable(reached.join(' ')));

        // The word lists take the editor's font name and background and
        // show each category's words in its colour.
        const QString family = QFontDatabase::families().value(0);
        d.dlg->setEditorLook(family, 0x000000);
        for (const char *name : {"lstckeyword", "lstcother", "lstcmore"}) {
            QListWidget *list = d.w<QListWidget>(name);
            QCOMPARE(list->font().family(), family);
            QCOMPARE(list->palette().color(QPalette::Base), QColor(Qt::black));
        }
        QCOMPARE(d.w<QListWidget>("lstckeyword")->palette().color(QPalette::Text),
                 toQColor(d.model().cmdckeywordcolor));
        QVERIFY(d.w<QListWidget>("lstcmore")->font().bold() == d.model().tbrstyle[3][1]);
    }

    void helpWindowThenCloseBox()
    {
        Dialog d;
        d.dlg->showPreferences();
        d.click("cmdgtreehelp");
        frmhelp *help = d.dlg->helpWindow();
        QVERIFY(help && !d.dlg->isEnabled() && help->isPanelVisible(frmhelp::Panel::ObjectTree));
        help->findChild<QPushButton *>("cmdok")->click();
        QVERIFY(d.dlg->isEnabled());

        QSignalSpy unloaded(d.dlg.data(), &frmpref::unloaded);
        d.dlg->close();
        QVERIFY(unloaded.count() == 1 && d.main.isEnabled());
        QTRY_VERIFY(d.dlg.isNull()); // deleted once the event loop runs
    }
};

QTEST_MAIN(TstFrmPref)
#include "tst_frmpref.moc"
