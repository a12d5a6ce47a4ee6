#pragma once
// frmJavaX, the tool dialog: runs the compiler, the interpreter, the applet
// viewer or the archive tool of a Java kit on the open document. The
// dialog's controls mirror a JavaXState, and every rule (modes, option
// string, coding language, checks before a run) is the core's; this class
// shows the state, turns the user's actions into calls of the core, and
// runs the built command line with DOSOutputs without ever blocking the
// event loop. While it is open its owner (the main window) takes edits as
// ever; the run button of a Compile offers to save the document first.
//
// Control arrays of the option grid are named with their index:
// chkOPT_0 .. chkOPT_12, txtOPT_0 .. txtOPT_12, CmdOPTBROWSE_0 .. CmdOPTBROWSE_5.

#include "tools/commandlanguage.h"
#include "tools/dosoutputs.h"
#include "tools/javaxmodel.h"
#include "tools/toollocations.h"
#include "tools/toolmodes.h"

#include <QDialog>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTimer;

namespace qln {

class Prompter;
class SettingsStore;
class Surface;
class SurfaceView;
class frmhelp;
class frmDosX;

class frmJavaX : public QDialog {
    Q_OBJECT
public:
    enum class RunKind { None, Tool, OptionsHelp };

    // The main window's entry point. Opens the dialog in `mode` ("Compile",
    // "Run", "Appletviewer", "Jar") for the document at documentPath ("" for
    // none; a relative path is taken from the current folder and kept
    // absolute), or, when the dialog is open already, loads the mode into it
    // (unless a tool is running: then the dialog only comes forward). The
    // owner stays enabled; it is shown again when the dialog closes. The
    // dialog deletes itself when it closes.
    static frmJavaX *open(const QString &mode, const QString &documentPath, Prompter &prompter,
                          SettingsStore &store, QWidget *owner);
    // The dialog open at the moment, or nullptr.
    static frmJavaX *instance();

    // What choosing "Compile" in the mode list does: the main window's
    // compile command (which offers to save the document first, then calls
    // open() again). Without one, the dialog loads the Compile mode itself.
    void setCompileCommand(std::function<void()> command) { m_compileCommand = std::move(command); }
    // What the run button of a Compile does first: the main window's offer
    // to save its document. It returns the document's path when the save
    // gave it a new one (a first save, or Save As), else "".
    void setSaveDocument(std::function<QString()> save) { m_saveDocument = std::move(save); }

    // Where the places named by a run's output are kept (by default in the
    // dialog itself): the main window keeps them for F4 after the dialog
    // has gone.
    void setLocations(ToolLocations *locations);
    ToolLocations &locations() const { return *m_locations; }
    // What opening a link does: the file, its line (1-based) and the
    // location's index in locations(). Without one, nothing is opened.
    using LocationOpener = std::function<void(const QString &path, int line, int index)>;
    void setLocationOpener(LocationOpener opener) { m_openLocation = std::move(opener); }
    // Opens the location that line `line` (0-based) of the output box
    // names: its file is looked for as the run looks for it; a file not
    // found is said in a message. Returns whether the line is a link.
    bool openLinkOnLine(int line);

    // Loads a mode: relabels the dialog, fills the option grid and restores
    // the mode's settings, picks the default input and builds the command line.
    void LoadJavaXMode(const QString &mode);
    // The reset run at load and before every switch from the mode list.
    void Form_Initialize();

    const JavaXState &state() const { return m_state; }
    QString documentPath() const { return m_documentPath; }
    Surface &commandLineBox() const; // rtfCommandLine
    Surface &codingBox() const;      // rtfCommandLineOptions
    // A tool (or the options help) is running.
    bool isRunning() const { return m_run != RunKind::None; }

    // The folder browser: "Select " + subject + " directory"; returns a
    // folder ending with "/", or "" when nothing was chosen.
    QString BrowseForFolder(const QString &subject, bool shortForm);

    // Handlers, public so that the main window and tests can act as the user.
    void cmdJavaX_Click();
    void cmdStop_Click();
    // The input box of a Run: sends its line; "Close input" ends the input.
    void txtInput_Return();
    void cmdCloseInput_Click();
    void cmdClose_Click();
    void cmdOptionsHelp_Click();
    void cmdSaveOptions_Click();
    void cmdLoadOptions_Click();
    void cmdshowoptions_Click();
    void cmdCommandLineOptionsOkAbort_Click();
    void cmdCommandLineHelp_Click();
    void cmdBrosweInFile_Click();
    void cmdBrowse2_Click();
    void cmdBrowseJavaX_Click();
    void CmdOPTBROWSE_Click(int slot);
    void cboJavaX_Click(const QString &entry);

    // The file-dialog filter for a filter written "Desc(*.a)|*.a|...". Qt
    // patterns are separated by blanks, so commas between them go; "*.exe"
    // also names the kit's tools and the executables of startFolder, since
    // programs here have no extension.
    static QString dialogFilter(const QString &pipeFilter, const QString &startFolder = QString());

signals:
    // A captured run or the options help has ended and the dialog is usable again.
    void runFinished();
    // A Compile run begins (its locations were emptied) and has ended (all
    // its locations are in locations()): the main window marks them.
    void compileStarted();
    void compileEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    frmJavaX(Prompter &prompter, SettingsStore &store, QWidget *owner);
    ~frmJavaX() override;

    void buildControls();
    QWidget *buildOptionGrid();
    QWidget *buildCommandLineFrame();
    QWidget *buildButtonRow();

    // Writes the state into the controls (their change handlers stay quiet).
    void showState();
    void showSlot(int slot);
    // What a rebuild of the command line leads to on screen.
    void afterBuild(BuildOutcome outcome);
    void setCommandLineText(const QString &line);
    void setCodeText(const QString &code);
    void onCodeChanged();
    void onFileBoxEdited(FileBox box, QLineEdit *edit, const QString &text);
    void onOptionTicked(int slot, bool ticked);
    void onOptionArgumentEdited(int slot, const QString &text);
    void onBlinkTick();
    void stopBlinking();
    void fillModeList();

    // The run sequence.
    void setRunningLook(bool running);
    void appendStyled(const QString &text, BgrColor colour, bool bold);
    void startCaptured(RunKind kind, const QString &commandLine, const QString &folder);
    void saveDocumentFirst();
    void onRunEnded(const RunEnd &end);
    void showInputRow(bool shown);
    // The location an output line names, or nothing.
    std::optional<ToolLocation> linkOnLine(int line) const;
    bool outputEvent(QObject *watched, QEvent *event);

    Prompter &m_prompter;
    SettingsStore &m_store;
    QPointer<QWidget> m_owner;
    QString m_documentPath;
    JavaXState m_state;
    std::function<void()> m_compileCommand;
    std::function<QString()> m_saveDocument;
    bool m_colouring = false; // the coding box is being normalised and coloured
    bool m_showing = false;   // controls are being written from the state

    frmDosX *m_dosx = nullptr;
    RunKind m_run = RunKind::None;
    bool m_runEndSeen = false;
    bool m_compiling = false; // the tool running is a Compile
    BgrColor m_outputColour = kToolOutputColour;
    bool m_outputBold = true;
    std::unique_ptr<frmhelp> m_help;
    ToolLocations m_ownLocations;
    ToolLocations *m_locations = &m_ownLocations;
    LocationOpener m_openLocation;

    // Controls.
    QGroupBox *frainfile = nullptr;
    QLineEdit *txtInFIle = nullptr;
    QPushButton *cmdBrosweInFile = nullptr;
    QGroupBox *fra2 = nullptr;
    QLineEdit *txt2 = nullptr;
    QPushButton *cmdBrowse2 = nullptr;
    QGroupBox *FraJavaX = nullptr;
    QLineEdit *txtJavaX = nullptr;
    QPushButton *cmdBrowseJavaX = nullptr;

    QGroupBox *fraOptions = nullptr;
    QWidget *m_grid = nullptr;
    QScrollArea *m_gridArea = nullptr; // holds m_grid
    std::array<QCheckBox *, kOptionSlots> chkOPT{};
    std::array<QLineEdit *, kOptionSlots> txtOPT{};
    std::array<QPushButton *, 6> CmdOPTBROWSE{};
    QComboBox *CboEncoding = nullptr;
    QLabel *lblother = nullptr;
    QLineEdit *txtother = nullptr;
    QPushButton *cmdshowoptions = nullptr;
    QPushButton *cmdSaveOptions = nullptr;
    QPushButton *cmdLoadOptions = nullptr;

    QGroupBox *fraCommandLine = nullptr;
    SurfaceView *rtfCommandLine = nullptr;
    SurfaceView *rtfCommandLineOptions = nullptr;
    QPushButton *cmdCommandLineOptionsOkAbort = nullptr;
    QPushButton *cmdCommandLineHelp = nullptr;
    QCheckBox *chkIgnoreDashes = nullptr;
    QCheckBox *chkLeaveSpaceBetweenOptions = nullptr;
    QGroupBox *fraCommandLineO = nullptr;
    QCheckBox *chkLaunchInSeparateWindow = nullptr;

    QWidget *picJavaX = nullptr;
    QComboBox *cboJavaX = nullptr;
    QPushButton *cmdJavaX = nullptr;
    QPushButton *cmdStop = nullptr;
    QPushButton *cmdOptionsHelp = nullptr;
    QPushButton *cmdClose = nullptr;

    QWidget *picInput = nullptr; // shown while a Run is going
    QLineEdit *txtInput = nullptr;
    QPushButton *cmdCloseInput = nullptr;

    QTimer *Timer1 = nullptr;
    QTimer *cbotimer = nullptr;
};

} // namespace qln
