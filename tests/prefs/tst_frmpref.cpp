// The preferences dialog driven through its controls: Apply, OK and Cancel
// against the store, the word lists and their duplicate rules, the
// spelling pairs and list files, the colour rule, the checks of the
// position and indent boxes, the style manifest box, Load Defaults,
// closing, and the help window it opens.
#include "settings/convert.h"
#include "settings/frmpref.h"
#include "settings/prefsession.h"
#include "settings/settingsstore.h"
#include "shell/frmhelp.h"
#include "support/scriptedprompter.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace qln;

namespace {

QStringList items(QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
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
        setSettingsStore(std::make_unique<SettingsStore>(std::make_unique<MemorySettingsBackend>()));
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
    QString stored(const QString &key) const { return settingsStore().get("Preferences", key, "<absent>"); }
    void addPair(const QString &from, const QString &to)
    {
        w<QLineEdit>("txtsfrom")->setText(from);
        w<QLineEdit>("txtsto")->setText(to);
        click("cmdsadd");
    }
    QString colourButtonStyle(const char *name) { return w<QPushButton>(name)->styleSheet(); }
};

} // namespace

class TstFrmPref : public QObject {
    Q_OBJECT
private slots:
    void loadFillsEveryPage()
    {
        Dialog d;
        QCOMPARE(d.dlg->windowTitle(), QStringLiteral("Preferences"));
        auto *tabs = d.w<QTabBar>("tbsOptions");
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(1), QStringLiteral("Allignment Options"));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(items(d.w<QListWidget>("lstckeyword")).size(), 48);
        QCOMPARE(items(d.w<QListWidget>("lstcother")), (QStringList{"null", "true", "false"}));
        QCOMPARE(d.w<QLineEdit>("txtgSingleLineComment")->text(), d.session->model().txtgSingleLineComment);
        QCOMPARE(d.w<QCheckBox>("chkckeywordwholeword")->text(), QStringLiteral("Wole word"));
        QCOMPARE(d.w<QCheckBox>("chkcotherwholeword")->text(), QStringLiteral("Whole word"));
        // Comments are italic by default: the pressed button shows it.
        QVERIFY(d.w<QToolBar>("tbrccommentsfont")->findChild<QAction *>("Italic")->isChecked());
        QVERIFY(!d.w<QPushButton>("cmdapply")->isEnabled());

        // Choosing a tab shows its page only.
        tabs->setCurrentIndex(2);
        QVERIFY(d.w<QWidget>("picspellcorrect")->isVisibleTo(d.dlg));
        QVERIFY(!d.w<QWidget>("picgeneral")->isVisibleTo(d.dlg));
    }

    void cancelRestoresTheStoredLists()
    {
        Dialog d;
        d.dlg->showPreferences();
        QVERIFY(!d.main.isEnabled());
        d.prompter.answerText("assert");
        d.click("cmdckeywordadd");
        QCOMPARE(items(d.w<QListWidget>("lstckeyword")).size(), 49);
        QVERIFY(d.w<QPushButton>("cmdapply")->isEnabled());
        d.click("cmdcancel");
        QCOMPARE(items(d.w<QListWidget>("lstckeyword")).size(), 48);
        QCOMPARE(d.session->model().lstckeyword.size(), 48);
        QCOMPARE(d.stored("ckeywordcount"), QStringLiteral("48"));
        QVERIFY(d.main.isEnabled());
        QVERIFY(!d.dlg->isVisible());
    }

    void applySortsAndStoresThePairs()
    {
        Dialog d;
        settingsStore().save("Preferences", "fromtocount", "1");
        settingsStore().save("Preferences", "lstsfrom1", "Bx");
        settingsStore().save("Preferences", "lststo1", "By");
        d.dlg->showPreferences();
        d.addPair("teh", "the");
        d.addPair("adn", "and");
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"Bx", "teh", "adn"}));
        QSignalSpy applied(d.dlg.data(), &frmpref::applied);
        d.click("cmdapply");
        QCOMPARE(applied.count(), 1);
        // Binary order: the capital B comes before every small letter.
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"Bx", "adn", "teh"}));
        QCOMPARE(items(d.w<QListWidget>("lststo")), (QStringList{"By", "and", "the"}));
        QCOMPARE(d.stored("fromtocount"), QStringLiteral("3"));
        QCOMPARE(d.stored("lstsfrom2"), QStringLiteral("adn"));
        QCOMPARE(d.stored("lststo3"), QStringLiteral("the"));
        QCOMPARE(d.shared.arrsfrom.mid(1), (QStringList{"Bx", "adn", "teh"}));
        QVERIFY(!d.w<QPushButton>("cmdapply")->isEnabled());
        QVERIFY(d.dlg->isVisible());
    }

    void okStoresLowerCasedWrongForm()
    {
        Dialog d;
        d.dlg->showPreferences();
        d.addPair("Teh", "The");
        QCOMPARE(d.w<QLineEdit>("txtsfrom")->text(), QString());
        QCOMPARE(d.w<QListWidget>("lstsfrom")->currentRow(), 0);
        QCOMPARE(d.w<QListWidget>("lststo")->currentRow(), 0);
        d.click("cmdok");
        QCOMPARE(d.stored("lstsfrom1"), QStringLiteral("teh"));
        QCOMPARE(d.stored("lststo1"), QStringLiteral("The"));
        QVERIFY(d.main.isEnabled());
        QVERIFY(!d.dlg->isVisible());
    }

    void wordListDuplicatesAreRefused_data()
    {
        QTest::addColumn<QString>("addButton");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("title");
        QTest::newRow("While in keywords") << "cmdckeywordadd" << "While"
                                           << "Field already exists in Keyword list";
        QTest::newRow("null into more") << "cmdcmoreadd" << "null"
                                        << "Field already exists in Other list";
        QTest::newRow("brace into keywords") << "cmdckeywordadd" << "{"
                                             << "Field already exists in More list";
    }
    void wordListDuplicatesAreRefused()
    {
        QFETCH(QString, addButton);
        QFETCH(QString, word);
        QFETCH(QString, title);
        Dialog d;
        const PrefModel before = d.session->model();
        d.prompter.answerText(word);
        d.prompter.answer(MsgAnswer::Ok);
        d.click(addButton.toLatin1());
        QCOMPARE(d.prompter.asked()[0].prompt, QStringLiteral("Enter the word to add "));
        QCOMPARE(d.prompter.asked()[0].title, QStringLiteral("Add word"));
        const MessageRequest &m = d.prompter.asked()[1].message;
        QCOMPARE(m.text, QStringLiteral("The field will not be added to the list"));
        QCOMPARE(m.title, title);
        QCOMPARE(m.icon, MsgIcon::Exclamation);
        QCOMPARE(d.session->model().lstckeyword, before.lstckeyword);
        QCOMPARE(d.session->model().lstcmore, before.lstcmore);
        QVERIFY(!d.w<QPushButton>("cmdapply")->isEnabled());
    }

    void wordListEditing()
    {
        Dialog d;
        auto *more = d.w<QListWidget>("lstcmore");
        d.prompter.answerText("Assert");
        d.click("cmdcmoreadd");
        QCOMPARE(items(more), (QStringList{"{", "}", ";", "Assert"}));
        QCOMPARE(more->currentRow(), 3);
        d.prompter.answerText(""); // an empty answer adds nothing
        d.click("cmdcmoreadd");
        d.prompter.cancel();
        d.click("cmdcmoreadd");
        QCOMPARE(more->count(), 4);

        more->setCurrentRow(1);
        d.click("cmdcmoreremove");
        QCOMPARE(items(more), (QStringList{"{", ";", "Assert"}));
        QCOMPARE(more->currentRow(), 1);
        d.click("cmdcmoreremoveall");
        QCOMPARE(more->count(), 0);
        QVERIFY(d.session->model().lstcmore.isEmpty());
        d.click("cmdapply");
        QCOMPARE(d.stored("cmorecount"), QStringLiteral("0"));
    }

    void spellingRulesAndButtons()
    {
        Dialog d;
        auto *add = d.w<QPushButton>("cmdsadd");
        auto *change = d.w<QPushButton>("cmdschange");
        auto *save = d.w<QPushButton>("cmdssave");
        QVERIFY(!add->isEnabled() && !change->isEnabled() && !save->isEnabled());
        d.w<QLineEdit>("txtsfrom")->setText("x");
        QVERIFY(!add->isEnabled());
        d.w<QLineEdit>("txtsto")->setText("y");
        QVERIFY(add->isEnabled());
        d.w<QLineEdit>("txtsfrom")->clear();
        d.w<QLineEdit>("txtsto")->clear();

        d.addPair("teh", "the");
        d.addPair("adn", "and");
        QVERIFY(save->isEnabled() && change->isEnabled());

        // A wrong form already listed, in any case.
        d.prompter.answer(MsgAnswer::Ok);
        d.addPair("TEH", "other");
        QCOMPARE(d.prompter.asked().back().message.title, QStringLiteral("Field already exists"));
        QCOMPARE(d.session->model().lstsfrom.size(), 2);

        // Change onto another pair's wrong form is refused.
        d.w<QListWidget>("lstsfrom")->setCurrentRow(1);
        QCOMPARE(d.w<QListWidget>("lststo")->currentRow(), 1);
        d.w<QLineEdit>("txtsfrom")->setText("Teh");
        d.w<QLineEdit>("txtsto")->setText("x");
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdschange");
        const MessageRequest &dup = d.prompter.asked().back().message;
        QCOMPARE(dup.text, QStringLiteral("No Changes will be made to the list\r\nIdentical "
                                          "field found in \"From\" list"));
        QCOMPARE(dup.title, QStringLiteral("Duplicate item"));
        QCOMPARE(d.session->model().lstsfrom, (QStringList{"teh", "adn"}));

        // Change of the selected pair onto its own wrong form moves it last.
        d.w<QListWidget>("lstsfrom")->setCurrentRow(0);
        d.w<QLineEdit>("txtsfrom")->setText("TEH");
        d.w<QLineEdit>("txtsto")->setText("The");
        d.click("cmdschange");
        QCOMPARE(d.session->model().lstsfrom, (QStringList{"adn", "teh"}));
        QCOMPARE(d.session->model().lststo, (QStringList{"and", "The"}));
        QCOMPARE(d.w<QListWidget>("lststo")->currentRow(), 1);

        // Change with an empty box would make a pair of nothing.
        d.w<QLineEdit>("txtsto")->clear();
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdschange");
        QCOMPARE(d.prompter.asked().back().message.text,
                 QStringLiteral("Please input value in both from and to fields"));
        QCOMPARE(d.prompter.asked().back().message.title, QStringLiteral("Null value"));
        QCOMPARE(d.session->model().lstsfrom, (QStringList{"adn", "teh"}));

        // Double-click copies a pair into the boxes.
        auto *from = d.w<QListWidget>("lstsfrom");
        emit from->itemDoubleClicked(from->item(0));
        QCOMPARE(d.w<QLineEdit>("txtsfrom")->text(), QStringLiteral("adn"));
        QCOMPARE(d.w<QLineEdit>("txtsto")->text(), QStringLiteral("and"));

        d.w<QListWidget>("lstsfrom")->setCurrentRow(0);
        d.click("cmdsremove");
        QCOMPARE(items(d.w<QListWidget>("lststo")), QStringList{"The"});
        d.click("cmdsremoveall");
        QVERIFY(!save->isEnabled());
        QVERIFY(d.session->model().lststo.isEmpty());

    }

    void saveAndLoadListRoundTrip()
    {
        Dialog d;
        d.addPair("teh", "The");
        d.addPair("adn", "and");
        const QString path = d.dir.filePath("pairs.txt");
        d.prompter.answerText(path);
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdssave");
        QCOMPARE(d.prompter.asked()[0].file.mode, FileDialogRequest::Save);
        QCOMPARE(d.prompter.asked()[0].file.filter, QStringLiteral("Text Files(*.txt);;All Files(*)"));
        QCOMPARE(d.prompter.asked()[1].message.text, QStringLiteral("File saved"));
        QCOMPARE(d.prompter.asked()[1].message.title, QStringLiteral("Reminding"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\"teh\",\"The\"\r\n\"adn\",\"and\"\r\n"));
        f.close();

        // A file written by hand with capital wrong forms.
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\"Recieve\",\"receive\"\r\n\"teh\",\"The\"\r\n");
        f.close();
        d.prompter.clear();
        d.prompter.answer(MsgAnswer::Yes);
        d.prompter.answerText(path);
        d.click("cmdsload");
        const MessageRequest &q = d.prompter.asked()[0].message;
        QCOMPARE(q.text, QStringLiteral("The current list will be lost if you load new list\r\n"
                                        "Do you wish to continue"));
        QCOMPARE(q.title, QStringLiteral("Continue?"));
        QCOMPARE(q.icon, MsgIcon::Question);
        QCOMPARE(q.buttons, MsgButtons::YesNo);
        QCOMPARE(d.prompter.asked()[1].file.mode, FileDialogRequest::Open);
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"recieve", "teh"}));
        QCOMPARE(items(d.w<QListWidget>("lststo")), (QStringList{"receive", "The"}));

        // No keeps the list.
        d.prompter.clear();
        d.prompter.answer(MsgAnswer::No);
        d.click("cmdsload");
        QCOMPARE(d.prompter.asked().size(), size_t(1));
        QCOMPARE(d.session->model().lstsfrom.size(), 2);
    }

    void saveListRefusesReadOnlyFile()
    {
        Dialog d;
        d.addPair("teh", "the");
        const QString path = d.dir.filePath("locked.txt");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
        f.close();
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        d.prompter.answerText(path);
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdssave");
        const MessageRequest &m = d.prompter.asked()[1].message;
        QCOMPARE(m.text, QStringLiteral("The file you are trying to save is read only"));
        QCOMPARE(m.title, QStringLiteral("Error saving file [") + path + "]");
        QCOMPARE(m.icon, MsgIcon::Critical);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
    }

    void badListFiles()
    {
        Dialog d;
        d.addPair("keep", "me");
        const QString binary = d.dir.filePath("binary.txt");
        QFile f(binary);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\"a\",\"b\"\r\n\x00\x00\x7f", 12));
        f.close();
        d.prompter.answer(MsgAnswer::Yes);
        d.prompter.answerText(binary);
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdsload");
        const MessageRequest &m = d.prompter.asked()[2].message;
        QCOMPARE(m.title, QStringLiteral("Error loading file [") + binary + "]");
        QCOMPARE(m.icon, MsgIcon::Critical);
        QCOMPARE(d.session->model().lstsfrom, QStringList{"keep"});

        // A file with a bad line loads the rest and says what was skipped.
        const QString partial = d.dir.filePath("partial.txt");
        f.setFileName(partial);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\"a\",\"b\"\r\n\r\n\"lonely\"\r\n\"c\",\"d\"\r\n");
        f.close();
        d.prompter.clear();
        d.prompter.answer(MsgAnswer::Yes);
        d.prompter.answerText(partial);
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdsload");
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"a", "c"}));
        QCOMPARE(d.prompter.asked()[2].message.text,
                 QStringLiteral("1 line(s) of the file did not hold a pair of words and were "
                                "skipped\r\nThe first one is line 3"));
    }

    void coloursMustDiffer()
    {
        Dialog d;
        PrefModel &m = d.session->model();
        const BgrColor keyword = m.cmdckeywordcolor;
        const BgrColor comments = m.cmdccommentscolor;
        QVERIFY(keyword != comments);

        // A cancelled dialog changes nothing.
        d.prompter.cancel();
        d.click("cmdccommentscolor");
        QCOMPARE(m.cmdccommentscolor, comments);
        QVERIFY(!d.w<QPushButton>("cmdapply")->isEnabled());

        // The keyword colour is refused until another one is chosen.
        d.prompter.answerColor(toQColor(keyword));
        d.prompter.answer(MsgAnswer::Ok);
        d.prompter.answerColor(QColor(1, 2, 3));
        d.click("cmdccommentscolor");
        QCOMPARE(d.prompter.messages(), QStringList{"You must choose a diferent color"});
        QCOMPARE(d.prompter.asked()[1].message.title, QString());
        QCOMPARE(d.prompter.asked()[1].message.icon, MsgIcon::None);
        QCOMPARE(m.cmdccommentscolor, fromQColor(QColor(1, 2, 3)));
        QVERIFY(d.colourButtonStyle("cmdccommentscolor").contains("#010203"));
        d.click("cmdok");
        QCOMPARE(settingsStore().get("Preferences", "ccommentscolor"),
                 QString::number(fromQColor(QColor(1, 2, 3))));

        // Cancelling the reopened dialog puts the old colour back.
        d.prompter.clear();
        d.prompter.answerColor(toQColor(keyword));
        d.prompter.answer(MsgAnswer::Ok);
        d.prompter.cancel();
        d.click("cmdctextcolor");
        QVERIFY(m.cmdctextcolor != keyword);
    }

    void styleButtonsAndIndent()
    {
        Dialog d;
        QAction *bold = d.w<QToolBar>("tbrckeywordfont")->findChild<QAction *>("Bold");
        const bool was = bold->isChecked();
        bold->trigger();
        QCOMPARE(d.session->model().tbrstyle[1][1], !was);
        QCOMPARE(d.w<QListWidget>("lstckeyword")->font().bold(), !was);
        QVERIFY(d.w<QPushButton>("cmdapply")->isEnabled());
        d.click("cmdapply");
        QCOMPARE(settingsStore().get("Preferences", "tbrckeywordfont1"),
                 QString(!was ? "1" : "0"));

        auto *number = d.w<QLineEdit>("txtaindnum");
        number->setText("abc");
        QCOMPARE(number->text(), QStringLiteral("0"));
        number->setText("4x");
        QCOMPARE(number->text(), QStringLiteral("4"));
        d.w<QRadioButton>("opta2")->setChecked(true);
        QCOMPARE(d.w<QGroupBox>("fraindnum")->title(), QStringLiteral("Number of spaces"));
        d.click("cmdapply");
        QCOMPARE(d.shared.indentstring, QStringLiteral("    "));
        d.w<QRadioButton>("opta1")->setChecked(true);
        QCOMPARE(d.w<QGroupBox>("fraindnum")->title(), QStringLiteral("Number of tabs"));
    }

    void treeSearchAndPositionControls()
    {
        Dialog d;
        d.dlg->show();
        d.w<QRadioButton>("optgautotreesearchno")->setChecked(true);
        QVERIFY(!d.w<QGroupBox>("fragcbopos")->isVisible());
        QVERIFY(!d.w<QGroupBox>("fragifitemfound")->isVisible());
        d.w<QRadioButton>("optgautotreesearchyes")->setChecked(true);
        QVERIFY(d.w<QGroupBox>("fragcbopos")->isVisible());
        d.w<QRadioButton>("optgautocbopos")->setChecked(true);
        QVERIFY(!d.w<QLineEdit>("txtgdefcboposX")->isVisible());
        QVERIFY(d.w<QLabel>("lblgautopos")->isVisible());
        d.w<QRadioButton>("optgfixedcbopos")->setChecked(true);
        QVERIFY(d.w<QLineEdit>("txtgdefcboposY")->isVisible());
        QVERIFY(!d.w<QLabel>("lblgautopos")->isVisible());

        auto *x = d.w<QLineEdit>("txtgdefcboposX");
        auto *y = d.w<QLineEdit>("txtgdefcboposY");
        d.prompter.answer(MsgAnswer::Ok);
        x->setText("40000");
        QCOMPARE(x->text(), QStringLiteral("X"));
        QCOMPARE(d.prompter.messages(), QStringList{"The value should be less than 32000"});
        d.prompter.answer(MsgAnswer::Ok);
        y->setText("32000");
        QCOMPARE(y->text(), QStringLiteral("Y"));
        y->setText("31999");
        QCOMPARE(y->text(), QStringLiteral("31999"));
        QCOMPARE(d.prompter.messages().size(), 2);
        d.click("cmdok");
        QCOMPARE(d.stored("defcbotreeposy"), QStringLiteral("31999"));
        QCOMPARE(d.stored("fixedcbotreepos"), QStringLiteral("True"));
    }

    void styleManifestBox()
    {
        Dialog d;
        auto *box = d.w<QCheckBox>("chkusexptheme");
        QVERIFY(!box->isChecked());
        d.prompter.answer(MsgAnswer::Ok);
        box->click();
        QVERIFY(box->isChecked());
        QVERIFY(QFile::exists(d.dlg->manifestPath()));
        d.prompter.answer(MsgAnswer::Ok);
        box->click();
        QVERIFY(!box->isChecked());
        QVERIFY(!QFile::exists(d.dlg->manifestPath()));

        // A folder that cannot be written: the box goes back.
        QFile blocker(d.dir.filePath("bin"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        d.dlg->setManifestPath(d.dir.filePath("bin/quillon.exe.manifest"));
        d.prompter.clear();
        d.prompter.answer(MsgAnswer::Ok);
        box->click();
        QVERIFY(!box->isChecked());
        QCOMPARE(d.prompter.asked()[0].message.title, QStringLiteral("Error"));
        QVERIFY(d.prompter.messages()[0].endsWith("Cannot enable XP style"));
    }

    void loadDefaults()
    {
        Dialog d;
        QSignalSpy end(d.dlg.data(), &frmpref::endProgram);
        d.prompter.answer(MsgAnswer::No);
        d.click("cmddefaults");
        QCOMPARE(end.count(), 0);
        QCOMPARE(d.stored("ckeywordcount"), QStringLiteral("48"));

        d.prompter.answer(MsgAnswer::Yes);
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmddefaults");
        QCOMPARE(end.count(), 1);
        QVERIFY(settingsStore().backend().sections().isEmpty());

        // The next start-up writes the factory defaults again.
        Preferences shared;
        PreferencesSession next(settingsStore(), d.prompter, shared, FirstRunInputs{});
        QCOMPARE(next.startUp(), LoadOutcome::Loaded);
        QCOMPARE(next.model().lstckeyword.size(), 48);
        QCOMPARE(shared.ckeywordcount, 48);
    }

    void closeBoxUnloads()
    {
        Dialog d;
        d.dlg->showPreferences();
        QVERIFY(!d.main.isEnabled());
        QSignalSpy unloaded(d.dlg.data(), &frmpref::unloaded);
        d.dlg->close();
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(d.main.isEnabled());
        QTRY_VERIFY(d.dlg.isNull()); // deleted once the event loop runs
    }

    void helpWindowGivesTheDialogBack()
    {
        Dialog d;
        d.dlg->showPreferences();
        d.click("cmdgtreehelp");
        frmhelp *help = d.dlg->helpWindow();
        QVERIFY(help);
        QVERIFY(!d.dlg->isEnabled());
        QVERIFY(help->isEnabled());
        QVERIFY(help->isPanelVisible(frmhelp::Panel::ObjectTree));
        QCOMPARE(help->ownerForm(), d.dlg.data());
        help->findChild<QPushButton *>("cmdok")->click();
        QVERIFY(d.dlg->isEnabled());
        QVERIFY(!help->isVisible());

        d.click("cmdglegend");
        QVERIFY(help->isPanelVisible(frmhelp::Panel::Legend));
        QVERIFY(!help->isPanelVisible(frmhelp::Panel::ObjectTree));
        help->cmdok_Click();
        d.click("cmdgatshelp");
        QVERIFY(help->isPanelVisible(frmhelp::Panel::AutoTreeSearch));
        help->findChild<QPushButton *>("cmdlegend")->click();
        QVERIFY(help->isPanelVisible(frmhelp::Panel::Legend));
        QVERIFY(!d.dlg->isEnabled());
        help->close(); // the close box gives the owner back too
        QVERIFY(d.dlg->isEnabled());
    }

    void locateCallsTheHook()
    {
        Dialog d;
        int calls = 0;
        d.dlg->locateObjectTree = [&] { ++calls; };
        d.click("cmdglocatetree");
        QCOMPARE(calls, 1);
        d.click("cmdggeneratetree"); // does nothing
        QCOMPARE(d.prompter.asked().size(), size_t(0));
        QVERIFY(!d.w<QPushButton>("cmdapply")->isEnabled());
    }
};

QTEST_MAIN(TstFrmPref)
#include "tst_frmpref.moc"
