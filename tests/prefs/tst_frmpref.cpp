// The preferences dialog driven through its controls: Apply, OK and Cancel
// against the store, the word lists and spelling pairs with their duplicate
// rules, list files, the colour rule, the position and indent boxes, the
// style manifest box, Load Defaults, closing and the help window.
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

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
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
    bool applyEnabled() const { return w<QPushButton>("cmdapply")->isEnabled(); }
    QString stored(const QString &key) const { return settingsStore().get("Preferences", key, "<absent>"); }
    const MessageRequest &lastMessage() const { return prompter.asked().back().message; }
    void addPair(const QString &from, const QString &to)
    {
        w<QLineEdit>("txtsfrom")->setText(from);
        w<QLineEdit>("txtsto")->setText(to);
        click("cmdsadd");
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
    void loadThenCancelRestoresTheStoredLists()
    {
        Dialog d;
        QCOMPARE(d.dlg->windowTitle(), QStringLiteral("Preferences"));
        QCOMPARE(d.w<QTabBar>("tbsOptions")->tabText(1), QStringLiteral("Allignment Options"));
        QCOMPARE(items(d.w<QListWidget>("lstckeyword")).size(), 48);
        QCOMPARE(items(d.w<QListWidget>("lstcother")), (QStringList{"null", "true", "false"}));
        QCOMPARE(d.w<QCheckBox>("chkckeywordwholeword")->text(), QStringLiteral("Wole word"));
        // Comments are italic by default: the pressed button shows it.
        QVERIFY(d.w<QToolBar>("tbrccommentsfont")->findChild<QAction *>("Italic")->isChecked());
        QVERIFY(!d.applyEnabled());

        d.dlg->showPreferences();
        QVERIFY(!d.main.isEnabled());
        d.prompter.answerText("assert");
        d.click("cmdckeywordadd");
        QCOMPARE(items(d.w<QListWidget>("lstckeyword")).size(), 49);
        QVERIFY(d.applyEnabled());
        d.click("cmdcancel");
        QCOMPARE(items(d.w<QListWidget>("lstckeyword")).size(), 48);
        QCOMPARE(d.session->model().lstckeyword.size(), 48);
        QCOMPARE(d.stored("ckeywordcount"), QStringLiteral("48"));
        QVERIFY(d.main.isEnabled());
        QVERIFY(!d.dlg->isVisible());
    }

    void applyAndOkStoreSortedLowerCasedPairs()
    {
        Dialog d;
        settingsStore().save("Preferences", "fromtocount", "1");
        settingsStore().save("Preferences", "lstsfrom1", "Bx");
        settingsStore().save("Preferences", "lststo1", "By");
        d.dlg->showPreferences();
        d.addPair("Teh", "the");
        QCOMPARE(d.w<QLineEdit>("txtsfrom")->text(), QString());
        QCOMPARE(d.w<QListWidget>("lststo")->currentRow(), 1);
        d.addPair("adn", "and");
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"Bx", "teh", "adn"}));
        QSignalSpy applied(d.dlg.data(), &frmpref::applied);
        d.click("cmdapply");
        QCOMPARE(applied.count(), 1);
        // Binary order: the capital B comes before every small letter.
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"Bx", "adn", "teh"}));
        QCOMPARE(items(d.w<QListWidget>("lststo")), (QStringList{"By", "and", "the"}));
        QCOMPARE(d.stored("fromtocount"), QStringLiteral("3"));
        QCOMPARE(d.stored("lstsfrom3"), QStringLiteral("teh"));
        QCOMPARE(d.stored("lststo3"), QStringLiteral("the"));
        QCOMPARE(d.shared.arrsfrom.mid(1), (QStringList{"Bx", "adn", "teh"}));
        QVERIFY(!d.applyEnabled());
        QVERIFY(d.dlg->isVisible());

        d.addPair("Zz", "Z");
        d.click("cmdok");
        QCOMPARE(d.stored("lstsfrom4"), QStringLiteral("zz"));
        QCOMPARE(d.stored("lststo4"), QStringLiteral("Z"));
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
        const MessageRequest &m = d.lastMessage();
        QCOMPARE(m.text, QStringLiteral("The field will not be added to the list"));
        QCOMPARE(m.title, title);
        QCOMPARE(m.icon, MsgIcon::Exclamation);
        QCOMPARE(d.session->model().lstckeyword, before.lstckeyword);
        QCOMPARE(d.session->model().lstcmore, before.lstcmore);
        QVERIFY(!d.applyEnabled());
    }

    void wordListEditing()
    {
        Dialog d;
        auto *more = d.w<QListWidget>("lstcmore");
        d.prompter.answerText("Assert");
        d.prompter.answerText(""); // an empty answer adds nothing
        d.prompter.cancel();
        for (int i = 0; i < 3; ++i)
            d.click("cmdcmoreadd");
        QCOMPARE(items(more), (QStringList{"{", "}", ";", "Assert"}));
        more->setCurrentRow(1);
        d.click("cmdcmoreremove");
        QCOMPARE(items(more), (QStringList{"{", ";", "Assert"}));
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
        d.addPair("teh", "the");
        d.addPair("adn", "and");
        QVERIFY(save->isEnabled());

        // A wrong form already listed, in any case.
        d.prompter.answer(MsgAnswer::Ok);
        d.addPair("TEH", "other");
        QCOMPARE(d.lastMessage().title, QStringLiteral("Field already exists"));
        QCOMPARE(d.session->model().lstsfrom.size(), 2);

        // Change onto another pair's wrong form is refused.
        d.w<QListWidget>("lstsfrom")->setCurrentRow(1);
        d.w<QLineEdit>("txtsfrom")->setText("Teh");
        d.w<QLineEdit>("txtsto")->setText("x");
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdschange");
        QCOMPARE(d.lastMessage().text, QStringLiteral("No Changes will be made to the list\r\n"
                                                      "Identical field found in \"From\" list"));
        QCOMPARE(d.lastMessage().title, QStringLiteral("Duplicate item"));
        QCOMPARE(d.session->model().lstsfrom, (QStringList{"teh", "adn"}));

        // Change of the selected pair onto its own wrong form moves it last.
        d.w<QListWidget>("lstsfrom")->setCurrentRow(0);
        d.w<QLineEdit>("txtsfrom")->setText("TEH");
        d.w<QLineEdit>("txtsto")->setText("The");
        d.click("cmdschange");
        QCOMPARE(d.session->model().lstsfrom, (QStringList{"adn", "teh"}));
        QCOMPARE(d.session->model().lststo, (QStringList{"and", "The"}));

        // Change with an empty box would make a pair of nothing.
        d.w<QLineEdit>("txtsto")->clear();
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdschange");
        QCOMPARE(d.lastMessage().text, QStringLiteral("Please input value in both from and to fields"));
        QCOMPARE(d.lastMessage().title, QStringLiteral("Null value"));
        QCOMPARE(d.session->model().lstsfrom, (QStringList{"adn", "teh"}));

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
        QCOMPARE(d.lastMessage().text, QStringLiteral("File saved"));
        QCOMPARE(d.lastMessage().title, QStringLiteral("Reminding"));
        QCOMPARE(readFile(path), QByteArray("\"teh\",\"The\"\r\n\"adn\",\"and\"\r\n"));

        // A file written by hand with capital wrong forms.
        QVERIFY(writeFile(path, "\"Recieve\",\"receive\"\r\n\"teh\",\"The\"\r\n"));
        d.loadList(path);
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
        QVERIFY(writeFile(path, "old"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        d.prompter.answerText(path);
        d.prompter.answer(MsgAnswer::Ok);
        d.click("cmdssave");
        QCOMPARE(d.lastMessage().text, QStringLiteral("The file you are trying to save is read only"));
        QCOMPARE(d.lastMessage().title, QStringLiteral("Error saving file [") + path + "]");
        QCOMPARE(d.lastMessage().icon, MsgIcon::Critical);
        QCOMPARE(readFile(path), QByteArray("old"));
    }

    void badListFiles()
    {
        Dialog d;
        d.addPair("keep", "me");
        const QString binary = d.dir.filePath("binary.txt");
        QVERIFY(writeFile(binary, QByteArray("\"a\",\"b\"\r\n\x00\x00\x7f", 12)));
        d.loadList(binary);
        QCOMPARE(d.lastMessage().title, QStringLiteral("Error loading file [") + binary + "]");
        QCOMPARE(d.lastMessage().icon, MsgIcon::Critical);
        QCOMPARE(d.session->model().lstsfrom, QStringList{"keep"});

        // A file with a bad line loads the rest and says what was skipped.
        const QString partial = d.dir.filePath("partial.txt");
        QVERIFY(writeFile(partial, "\"a\",\"b\"\r\n\r\n\"lonely\"\r\n\"c\",\"d\"\r\n"));
        d.loadList(partial);
        QCOMPARE(items(d.w<QListWidget>("lstsfrom")), (QStringList{"a", "c"}));
        QCOMPARE(d.lastMessage().text, QStringLiteral("1 line(s) of the file did not hold a pair of "
                                                      "words and were skipped\r\nThe first one is line 3"));
    }

    void coloursMustDiffer()
    {
        Dialog d;
        PrefModel &m = d.session->model();
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
        QCOMPARE(d.prompter.messages(), QStringList{"You must choose a diferent color"});
        QCOMPARE(d.prompter.asked()[1].message.title, QString());
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

    void styleButtonsAndNumberBoxes()
    {
        Dialog d;
        QAction *bold = d.w<QToolBar>("tbrckeywordfont")->findChild<QAction *>("Bold");
        const bool was = bold->isChecked();
        bold->trigger();
        QCOMPARE(d.w<QListWidget>("lstckeyword")->font().bold(), !was);
        d.click("cmdapply");
        QCOMPARE(settingsStore().get("Preferences", "tbrckeywordfont1"), QString(!was ? "1" : "0"));

        auto *number = d.w<QLineEdit>("txtaindnum");
        number->setText("abc");
        QCOMPARE(number->text(), QStringLiteral("0"));
        number->setText("4x");
        QCOMPARE(number->text(), QStringLiteral("4"));
        d.w<QRadioButton>("opta2")->setChecked(true);
        QCOMPARE(d.w<QGroupBox>("fraindnum")->title(), QStringLiteral("Number of spaces"));
        d.click("cmdapply");
        QCOMPARE(d.shared.indentstring, QStringLiteral("    "));

        // The fixed tree-box position must stay under 32000.
        d.w<QRadioButton>("optgfixedcbopos")->setChecked(true);
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
        QCOMPARE(d.prompter.messages().size(), 2);
        d.click("cmdok");
        QCOMPARE(d.stored("defcbotreeposy"), QStringLiteral("31999"));
        QCOMPARE(d.stored("fixedcbotreepos"), QStringLiteral("True"));
    }

    void styleManifestBox()
    {
        Dialog d;
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
        QCOMPARE(d.lastMessage().title, QStringLiteral("Error"));
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
    }

    void helpWindowThenCloseBox()
    {
        Dialog d;
        d.dlg->showPreferences();
        d.click("cmdgtreehelp");
        frmhelp *help = d.dlg->helpWindow();
        QVERIFY(help);
        QVERIFY(!d.dlg->isEnabled());
        QVERIFY(help->isPanelVisible(frmhelp::Panel::ObjectTree));
        help->findChild<QPushButton *>("cmdok")->click();
        QVERIFY(d.dlg->isEnabled());

        QSignalSpy unloaded(d.dlg.data(), &frmpref::unloaded);
        d.dlg->close();
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(d.main.isEnabled());
        QTRY_VERIFY(d.dlg.isNull()); // deleted once the event loop runs
    }
};

QTEST_MAIN(TstFrmPref)
#include "tst_frmpref.moc"
