#pragma once
// The main window: the editing surface, menus, the standard and formatting
// toolbars and the status bar. It builds the editing environment when it is
// created (start-up), restores itself from the settings store, and on close
// offers to save and writes its settings back. It holds controls and hands
// each event on; the work lives in the core classes.

#include "base/prompter.h"
#include "completion/objecttree.h"
#include "settings/preferences.h"
#include "settings/prefloader.h"
#include "shell/windowgeometry.h"
#include "surface/textfile.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolBar;

namespace qln {

class DocumentFiles;
class DocumentHost;
class DocumentRecovery;
class WindowDestroyedWatch;
class CompletionBox;
class frmFind;
class frmpref;
class PreferencesSession;
class TypingAssist;
class WindowCommandHost;
class WindowTypingHost;
class frmwait;
class Surface;
class SurfaceView;
class frmSplash;
class ToolLocations;
class CompilerMarkers;
class RecentFiles;
class RecentFilesMenu;

class frmedit : public QMainWindow {
    Q_OBJECT
public:
    // Runs the start-up sequence with the whole command-line text as the
    // document path. Without a prompter the window asks the user with real
    // dialogs; without probe places first use probes this machine.
    explicit frmedit(const QString &commandLine, Prompter *prompter = nullptr,
                     std::optional<ProbePlaces> probePlaces = std::nullopt);
    ~frmedit() override;

    // False when start-up ended the program (the user refused to restore
    // the missing settings): the window was never shown.
    bool isLoaded() const { return m_loaded; }

    SurfaceView *rtfedit() const { return m_rtfedit; }
    // The document rtfedit shows.
    Surface *surface() const { return m_surface; }
    // The scratch surface Insert File reads a file through; never shown.
    Surface *rtftemp() const { return m_rtftemp; }
    QComboBox *cbofontlist() const { return m_cbofontlist; }
    QComboBox *cbofontsize() const { return m_cbofontsize; }
    QProgressBar *progress() const { return m_progress; }
    Prompter &prompter() const { return *m_prompter; }
    PreferencesSession *preferencesSession() const { return m_prefs.get(); }
    // The shared in-memory preferences the editing features read.
    Preferences &preferences() { return m_preferences; }

    // A menu item by its name ("Save_as", "viewstatusbar", ...).
    QAction *menuItem(const QString &name) const;
    // A toolbar item by its key ("New", "Bold", ...), or by its position
    // counted from 1 with separators included.
    QAction *toolbarButton(const QString &key) const;
    QAction *toolbarItem(int position) const;
    QLabel *statusPanel(int panel) const; // 1..6

    // The path of the current document: "" for none, or a folder followed
    // by "*.java", which also means none (the Open dialog starts there).
    QString documentPath() const;
    void setDocumentPath(const QString &path);
    // Encoding and line breaks of the file the document came from.
    std::optional<TextFileFormat> documentFormat() const;
    // The document commands of the File and Insert menus.
    DocumentFiles &documents() const { return *m_documents; }
    // The status bar's Cancel for a file read in the background.
    void showLoadCancel(bool on);
    // The copy of unsaved changes kept for crash recovery.
    DocumentRecovery &recovery() const { return *m_recovery; }
    // The File menu's "Recent Files" list.
    RecentFiles &recentFiles() const { return *m_recent; }
    RecentFilesMenu *recentFilesMenu() const { return m_recentMenu; }

    // The object tree the completion box draws from, the box, and the
    // typing-time assistance that drives it.
    ObjectTree &objectTree() { return m_tree; }
    const ObjectTree &objectTree() const { return m_tree; }
    CompletionBox *cbotree() const { return m_cbotree; }
    TypingAssist &typing() const { return *m_typing; }
    QCheckBox *chkautotreesearch() const { return m_chkautotreesearch; }
    QCheckBox *chkautospellcorrect() const { return m_chkautospellcorrect; }
    QCheckBox *chkautosyntaxcolor() const { return m_chkautosyntaxcolor; }
    // Loads the object tree file at path, with the wait window up.
    void loadObjectTree(const QString &path);
    // The font name the common dialog offers.
    QString dialogFontName() const { return m_dialogFontName; }

    void LoadWindowSettings();
    void SaveWindowSettings();
    void Form_Activate();
    void Form_Resize();
    void UpdateStatusBar();
    void setStatusText(const QString &text);
    // Sets the caption; its modified marker "*" always follows the
    // document's own state, whatever the caption given ends with.
    void setCaption(const QString &caption);
    // Files dropped on the text: the first opens as Open opens a file
    // (the save question first), each other one in a new window.
    void openDroppedFiles(const QStringList &paths);
    // The desktop session is ending: the save question when interaction is
    // allowed. False when the user chose to stay (the session end is then
    // cancelled).
    bool commitData(bool interactionAllowed);

    // The window geometry in twips, as stored.
    struct Twips {
        double top, left, height, width;
    };
    Twips geometryTwips() const;
    // The screen size in twips.
    static QSizeF screenTwips();

    // The places named by the last tool run's output. F4 and Shift+F4 go
    // to the next and previous one whose file is there.
    ToolLocations &toolLocations() const { return *m_toolLocations; }
    void gotoToolLocation(int direction);
    // Opens a file of a tool's output at a line (through the save question
    // when another file is named and the document is modified), lands the
    // caret on the line's first non-blank (nothing selected, the line
    // banded until the caret moves) and says "Error i of n" for location
    // index. Answers whether the line is shown.
    bool openToolLocation(const QString &path, int line, int index);
    // The last compile's errors and warnings marked in the document.
    CompilerMarkers &compilerMarkers() const { return *m_markers; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    // Moves a restored window whose frame the window manager put in the
    // wrong place; true once nothing is left to do.
    bool placeRestoredFrame();
    // Moves and shrinks the window onto the screen it mostly lies on, frame
    // included (a geometry stored on a larger or another screen).
    void fitOnScreen();
    // CAPS, NUM and SCRL as the keyboard has them now.
    void updateLockPanels();
    PixelGeometry fittedOnScreens(const PixelGeometry &g) const;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load(const QString &commandLine);
    bool loadPreferences();
    bool openCommandLineFile(const QString &commandLine);
    void buildMenus();
    void buildToolbar();
    void buildFormattingBand();
    void buildStatusBar();
    void connectEditCommands();
    void connectTypingAssist();
    void connectDialogCommands();
    void connectFormattingCommands();

public:
    // Alt+L/U/I/C and the Change Case menu: 'L', 'U', 'I' or 'C'.
    void runCaseCommand(char which);

private:
    void openTool(const QString &mode);
    // The question before a compile (Yes saves); the document's path when
    // the save gave it a new one, else "".
    QString saveBeforeCompile();
    frmpref *loadPreferencesDialog();
    void showPreferences();
    // What the Editor options of the preferences change in the window.
    void applyEditorPreferences();
    // Marks the last compile's messages about the document in it.
    void placeCompilerMarkers();
    TreeLoadHooks treeLoadHooks();
    void toggleView(QAction *item, QWidget *bar);
    void Toolbar1_ButtonClick(QAction *button);
    void toggleStyle(QAction *button);
    void cbofontlist_Click();
    void cbofontsize_Click();
    void rtfedit_Change();
    void rtfedit_SelChange();
    void Timer1_Timer();
    void connectDocumentCommands();
    void connectRecovery();
    void startRecovery();
    void updateHistoryItems();

    ObjectTree m_tree;
    CompletionBox *m_cbotree = nullptr;
    std::unique_ptr<WindowTypingHost> m_typingHost;
    std::unique_ptr<WindowCommandHost> m_commandHost;
    std::unique_ptr<TypingAssist> m_typing;
    QPointer<frmwait> m_wait;
    QPointer<frmpref> m_frmpref;
    QPointer<frmFind> m_find;
    // "Load Defaults" ends the program without the usual closing steps.
    bool m_endAtOnce = false;
    std::unique_ptr<Prompter> m_ownPrompter;
    Prompter *m_prompter = nullptr;
    std::optional<ProbePlaces> m_probePlaces;
    Preferences m_preferences;
    std::unique_ptr<PreferencesSession> m_prefs;
    bool m_loaded = false;

    // The surfaces belong to the window and are created before the view
    // that shows the document.
    Surface *m_surface = nullptr;
    Surface *m_rtftemp = nullptr;
    QWidget *m_client = nullptr; // the inner area the controls are laid out in
    SurfaceView *m_rtfedit = nullptr;
    QWidget *m_picdummy = nullptr;
    QToolBar *m_Toolbar1 = nullptr;
    QToolBar *m_cblf = nullptr;
    QComboBox *m_cbofontlist = nullptr;
    QComboBox *m_cbofontsize = nullptr;
    QCheckBox *m_chkautotreesearch = nullptr;
    QCheckBox *m_chkautospellcorrect = nullptr;
    QCheckBox *m_chkautosyntaxcolor = nullptr;
    QStatusBar *m_stb = nullptr;
    QLabel *m_panels[6] = {};
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancelLoad = nullptr;
    QTimer *m_Timer1 = nullptr;
    QTimer *m_clock = nullptr;
    QPointer<frmSplash> m_splash;
    // Where the restored frame belongs until the window manager has put the
    // frame around the window.
    std::optional<QPoint> m_restoreFrameAt;
    // The frame's margins around the inner area, as last seen on a normal
    // (not maximised) window; none until the window manager gives a frame.
    QMargins m_frameMargins;

    // The common dialog's state: the font it offers.
    QString m_dialogFontName;
    double m_dialogFontSize = 0;
    // The document path and file format live with the document commands.
    std::unique_ptr<DocumentHost> m_documentHost;
    std::unique_ptr<DocumentFiles> m_documents;
    std::unique_ptr<DocumentRecovery> m_recovery;
    std::unique_ptr<WindowDestroyedWatch> m_windowWatch;
    bool m_diskCheckQueued = false;
    std::unique_ptr<ToolLocations> m_toolLocations;
    std::unique_ptr<CompilerMarkers> m_markers;
    QString m_markedPath; // the document's path when its markers were placed
    std::unique_ptr<RecentFiles> m_recent;
    RecentFilesMenu *m_recentMenu = nullptr;
};

} // namespace qln
