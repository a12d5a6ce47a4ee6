#pragma once
// The preferences dialog: four pages ("General", "Allignment Options",
// "Spelling corrections", "Coloring and Font") whose controls show and edit
// the PrefModel of a PreferencesSession. Edits go to the model at once and
// enable Apply; nothing reaches the store before Apply or OK, and Cancel
// reloads the controls from the store.
//
// Lifecycle: the main window creates the dialog at start-up and runs
// Form_Load (the start-up load of the preferences); the dialog then stays,
// hidden, until the user closes it with its close box. Closing unloads it:
// it emits unloaded() and deletes itself, and the main window creates a new
// one (and runs Form_Load again) at its next use.

#include "settings/prefloader.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabBar;
class QToolBar;
class QAction;

namespace qln {

class PreferencesSession;
class Prompter;
class frmhelp;

class frmpref : public QWidget {
    Q_OBJECT
public:
    // The session, prompter and main window outlive the dialog. The dialog
    // is a window of its own (not a child of the main window, which it
    // disables while it shows).
    frmpref(PreferencesSession &session, Prompter &prompter, QWidget *mainWindow);
    ~frmpref() override;

    // The dialog's load: selects "General", loads the help window, runs the
    // session's start-up load and fills the controls. Quit: the user
    // refused to restore missing settings and the program must end.
    LoadOutcome Form_Load();
    // Fills every control from the model (after any load of the model).
    void loadControls();

    // The main window's preferences command: shows the dialog, disables the
    // main window and refills the controls from the store.
    LoadOutcome showPreferences();

    // The buttons below the pages.
    void cmdapply_Click();
    void cmdok_Click();
    void cmdcancel_Click();
    void cmddefaults_Click();

    // "Locate existing object tree"; the main window connects it.
    std::function<void()> locateObjectTree;
    // Asked before "Load Defaults" does anything: whether the open document
    // may be left (saved or declined). False leaves everything as it was.
    std::function<bool()> leaveDocument;
    // Told after leaveDocument let Load Defaults go on whether the settings
    // were then removed (true) or the user kept them (false): only then is
    // a declined document given up.
    std::function<void(bool left)> documentLeft;

    // Where the visual-style manifest lives (next to the program unless set).
    void setManifestPath(const QString &path) { m_manifestPath = path; }
    QString manifestPath() const { return m_manifestPath; }

    // The editor's font name and background, which the three word lists
    // take (their words in their category's colour).
    void setEditorLook(const QString &fontName, BgrColor background);

    // The help window the dialog loads with itself.
    frmhelp *helpWindow() const;
    PreferencesSession &session() const { return m_session; }

signals:
    // The user closed the dialog with its close box; it deletes itself.
    void unloaded();
    // Apply or OK changed the shared preferences.
    void applied();
    // "Load Defaults" removed every setting: end the program now, without
    // the usual closing steps.
    void endProgram();
    // The user refused to restore missing settings: close the main window.
    void closeMainWindow();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct WordListControls {
        QListWidget *list = nullptr;
        QStringList PrefModel::*items = nullptr;
        int category = 0;
    };

    QWidget *buildGeneralPage();
    QWidget *buildAllignmentPage();
    QWidget *buildSpellingPage();
    QWidget *buildColoringPage();
    QGroupBox *buildWordListFrame(const QString &caption, const QString &name, int category,
                                  const QString &wholeWordCaption);
    QToolBar *buildStyleToolbar(const QString &name, int category, QWidget *parent);
    QPushButton *buildColourButton(const QString &name, BgrColor PrefModel::*colour,
                                   QWidget *parent);

    void tbsOptions_Click(int index);
    void edited();
    void bindSwitch(QAbstractButton *button, bool PrefModel::*field,
                    std::function<void()> also = {});
    void showHelp(int panel);
    void mainWindowBack();

    // Word lists of the colour categories.
    void addWord(int category);
    void removeWord(int category);
    void removeAllWords(int category);
    void showListStyle(int category);

    // Spelling pairs.
    void cmdsadd_Click();
    void cmdschange_Click();
    void cmdsremove_Click();
    void cmdsremoveall_Click();
    void cmdsload_Click();
    void cmdssave_Click();
    void selectPair(int row);
    void appendPair(const QString &from, const QString &to);
    void refillSpellingLists();
    void updateSpellingButtons();

    void chooseColour(BgrColor PrefModel::*colour);
    void showColour(BgrColor PrefModel::*colour);

    void chkusexptheme_Click(bool checked);
    void txtaindnum_Change();
    void positionBox_Change(QLineEdit *box, const QString &placeholder);
    void showTreeSearchFrames();
    void showPositionControls();
    void showIndentCaption();

    PreferencesSession &m_session;
    Prompter &m_prompter;
    QPointer<QWidget> m_main;
    QString m_manifestPath;
    QPointer<frmhelp> m_help;
    bool m_loading = false;

    QTabBar *m_tbsOptions = nullptr;
    QWidget *m_pages[4] = {};
    QPushButton *m_cmdapply = nullptr;
    QPushButton *m_cmdok = nullptr;
    QPushButton *m_cmdcancel = nullptr;
    QString m_editorFontName;
    std::optional<BgrColor> m_editorBackground;

    // General.
    QLineEdit *m_reserved[8] = {};
    QRadioButton *m_optgautotreesearchyes = nullptr, *m_optgautotreesearchno = nullptr;
    QGroupBox *m_fraifitemfound = nullptr, *m_fracbopos = nullptr;
    QCheckBox *m_chkgsetfocuscbox = nullptr, *m_chkgdropdowncbo = nullptr;
    QRadioButton *m_optgautocbopos = nullptr, *m_optgfixedcbopos = nullptr;
    QLineEdit *m_txtgdefcboposX = nullptr, *m_txtgdefcboposY = nullptr;
    QLabel *m_lblgdefcboposX = nullptr, *m_lblgdefcboposY = nullptr, *m_lblgautopos = nullptr;
    QCheckBox *m_chkusexptheme = nullptr;

    // Allignment.
    QRadioButton *m_opta1 = nullptr, *m_opta2 = nullptr;
    QGroupBox *m_fraindnum = nullptr;
    QSpinBox *m_txtaindnum = nullptr;
    QCheckBox *m_chkkeepindent = nullptr;
    QCheckBox *m_chklinenumbers = nullptr;

    // Spelling.
    QListWidget *m_lstsfrom = nullptr, *m_lststo = nullptr;
    QLineEdit *m_txtsfrom = nullptr, *m_txtsto = nullptr;
    QPushButton *m_cmdsadd = nullptr, *m_cmdschange = nullptr, *m_cmdsremove = nullptr;
    QPushButton *m_cmdsremoveall = nullptr, *m_cmdsload = nullptr, *m_cmdssave = nullptr;
    QCheckBox *m_chksautosc = nullptr;

    // Coloring and Font.
    WordListControls m_wordLists[4]; // by category 1..3
    QCheckBox *m_wholeWord[4] = {};
    QAction *m_style[6][4] = {};
    struct ColourControl {
        BgrColor PrefModel::*colour;
        QPushButton *button;
    };
    std::vector<ColourControl> m_colours;
};

} // namespace qln
