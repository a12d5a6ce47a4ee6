#include "tools/ui/frmjavax.h"

#include "tools/frmdosx.h"
#include "tools/terminal.h"

#include "base/pathutil.h"
#include "base/prompter.h"
#include "dialogs/ui/frmhelp.h"
#include "dialogs/ui/screenfit.h"
#include "settings/settingsstore.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

// A captured run goes through frmDosX, which keeps the tool's output and
// shows it at the end of rtfCommandLine as it arrives.

namespace qln {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr BgrColor kWhite = 16777215;
constexpr BgrColor kRed = 255;
constexpr int kBlinkShort = 1000; // white, then red
constexpr int kBlinkLong = 2000;  // red, then white

QPointer<frmJavaX> g_instance;

template <class W> W *named(W *w, const QString &objectName)
{
    w->setObjectName(objectName);
    return w;
}

QString slotName(const char *array, int slot)
{
    return QString::fromLatin1(array) + QLatin1Char('_') + QString::number(slot);
}

bool modeIs(const QString &mode, const char *name)
{
    return mode.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// Puts a text into a line edit without moving the caret more than needed.
void setEditText(QLineEdit *edit, const QString &text)
{
    if (edit->text() == text)
        return;
    const int caret = edit->cursorPosition();
    edit->setText(text);
    edit->setCursorPosition(std::min(caret, int(text.size())));
}

// The kit's tools by name: what an "Applications" filter should find.
const QStringList &kitToolNames()
{
    static const QStringList names{QStringLiteral("javac"), QStringLiteral("java"),
                                   QStringLiteral("appletviewer"), QStringLiteral("jar"),
                                   QStringLiteral("native2ascii")};
    return names;
}

// The Alt letters of the captions that stay; the mode's own captions (the
// executable's and archive's frames, the run button) take free ones.
const QString kFixedLetters = QStringLiteral("fsloaikpdbwncthe");

// Marks a letter of each caption (none may have one yet) so that no two
// captions and none of `taken` share one; the captions' first letters are
// tried first. Captions left without a letter stay as they were.
QStringList withFreeLetters(const QStringList &captions, const QString &taken)
{
    QStringList out = captions;
    std::function<bool(int, QString)> place = [&](int i, QString used) {
        if (i == captions.size())
            return true;
        const QString &caption = captions.at(i);
        QList<int> tries;
        for (int k = 0; k < caption.size(); ++k)
            if (caption.at(k).isLetter() && (k == 0 || caption.at(k - 1) == QLatin1Char(' ')))
                tries << k;
        for (int k = 0; k < caption.size(); ++k)
            if (caption.at(k).isLetter() && !tries.contains(k))
                tries << k;
        for (int k : tries) {
            const QChar letter = caption.at(k).toLower();
            if (used.contains(letter))
                continue;
            out[i] = caption.left(k) + QLatin1Char('&') + caption.mid(k);
            if (place(i + 1, used + letter))
                return true;
        }
        out[i] = caption;
        return caption.isEmpty() && place(i + 1, used);
    };
    if (!place(0, taken))
        return captions;
    return out;
}

// The option grid's frame: as tall as the grid while that leaves room for
// the rest of the dialog on the screen (a third of it), scrolling beyond.
class OptionGridArea : public QScrollArea {
public:
    explicit OptionGridArea(QWidget *parent) : QScrollArea(parent)
    {
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override
    {
        if (!widget())
            return QScrollArea::sizeHint();
        QSize hint = widget()->sizeHint();
        hint.rwidth() += verticalScrollBar()->sizeHint().width();
        const QScreen *screen = screenOf(window());
        if (screen)
            hint.setHeight(std::min(hint.height(), screen->availableGeometry().height() / 3));
        return hint;
    }
};

} // namespace

// --- opening and closing ------------------------------------------------------

frmJavaX *frmJavaX::open(const QString &mode, const QString &documentPath, Prompter &prompter,
                         SettingsStore &store, QWidget *owner)
{
    frmJavaX *dialog = g_instance;
    if (!dialog) {
        dialog = new frmJavaX(prompter, store, owner);
        g_instance = dialog;
    }
    // The main window stays usable, so its tool commands can come while a
    // tool runs: the run is left alone and the dialog only comes forward.
    if (dialog->isRunning()) {
        dialog->raise();
        dialog->activateWindow();
        return dialog;
    }
    // The tool runs in the file's folder: a path as typed on the command
    // line (relative to the program's folder) would name nothing there.
    dialog->m_documentPath =
        namesNoFile(documentPath) ? documentPath : QFileInfo(documentPath).absoluteFilePath();
    dialog->show();
    dialog->LoadJavaXMode(mode);
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

frmJavaX *frmJavaX::instance()
{
    return g_instance;
}

frmJavaX::frmJavaX(Prompter &prompter, SettingsStore &store, QWidget *owner)
    : QDialog(nullptr), m_prompter(prompter), m_store(store), m_owner(owner)
{
    // A window of its own beside the main window, which stays usable (the
    // user fixes the code while the dialog shows the errors); it stays
    // above its owner.
    setObjectName(QStringLiteral("frmJavaX"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    buildControls();
    keepOnScreen(this);
    if (owner)
        setWindowOwner(this, owner);

    m_dosx = new frmDosX(m_prompter, this);
    m_dosx->setLocations(m_locations);
    connect(m_dosx, &frmDosX::outputShown, this, [this] { rtfCommandLine->ensureCursorVisible(); });
    connect(m_dosx, &frmDosX::finished, this,
            [this](const QString &, const RunEnd &end) { onRunEnded(end); });

    Form_Initialize();
    m_colouring = false;
}

frmJavaX::~frmJavaX()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void frmJavaX::closeEvent(QCloseEvent *event)
{
    // A tool still running is killed with the dialog; nothing of its
    // output would have anywhere to go.
    if (m_dosx->isRunning()) {
        m_dosx->disconnect(this);
        m_dosx->stop();
        m_run = RunKind::None;
        unsetCursor();
    }
    if (m_help)
        m_help->hide();
    if (m_owner) {
        m_owner->show();
        m_owner->activateWindow();
    }
    m_owner = nullptr;
    if (g_instance == this)
        g_instance = nullptr;
    // Not QDialog's own handling: it would go through reject(), which here
    // is what Escape does.
    event->accept();
}

void frmJavaX::reject()
{
    // Escape stops a running tool; otherwise it closes the dialog.
    if (isRunning()) {
        cmdStop_Click();
        return;
    }
    close();
}

void frmJavaX::cmdClose_Click()
{
    close();
}

Surface &frmJavaX::commandLineBox() const
{
    return *rtfCommandLine->surface();
}

Surface &frmJavaX::codingBox() const
{
    return *rtfCommandLineOptions->surface();
}

// --- controls -------------------------------------------------------------------

void frmJavaX::buildControls()
{
    auto *layout = new QVBoxLayout(this);

    auto fileBox = [this](QGroupBox *&frame, const char *frameName, const QString &caption,
                          QLineEdit *&edit, const char *editName, QPushButton *&browse,
                          const char *browseName) {
        frame = named(new QGroupBox(caption, this), QString::fromLatin1(frameName));
        auto *row = new QHBoxLayout(frame);
        edit = named(new QLineEdit(frame), QString::fromLatin1(editName));
        browse = named(new QPushButton(QStringLiteral("Browse..."), frame),
                       QString::fromLatin1(browseName));
        row->addWidget(edit, 1);
        row->addWidget(browse);
        return frame;
    };
    layout->addWidget(fileBox(frainfile, "frainfile", QStringLiteral("Input &File"), txtInFIle,
                              "txtInFIle", cmdBrosweInFile, "cmdBrosweInFile"));
    layout->addWidget(fileBox(fra2, "fra2", QString(), txt2, "txt2", cmdBrowse2, "cmdBrowse2"));
    layout->addWidget(fileBox(FraJavaX, "FraJavaX", QString(), txtJavaX, "txtJavaX", cmdBrowseJavaX,
                              "cmdBrowseJavaX"));

    fraOptions =
        named(new QGroupBox(QStringLiteral("Options"), this), QStringLiteral("fraOptions"));
    auto *optionsLayout = new QVBoxLayout(fraOptions);
    m_grid = buildOptionGrid();
    m_gridArea = new OptionGridArea(fraOptions);
    m_gridArea->setObjectName(QStringLiteral("optionGridArea"));
    m_gridArea->setWidget(m_grid);
    optionsLayout->addWidget(m_gridArea, 1);
    auto *optionButtons = new QHBoxLayout;
    cmdshowoptions =
        named(new QPushButton(QStringLiteral("^"), fraOptions), QStringLiteral("cmdshowoptions"));
    cmdshowoptions->setFixedWidth(
        cmdshowoptions->fontMetrics().horizontalAdvance(QStringLiteral("MMM")));
    cmdSaveOptions = named(new QPushButton(QStringLiteral("&Save Options"), fraOptions),
                           QStringLiteral("cmdSaveOptions"));
    cmdLoadOptions = named(new QPushButton(QStringLiteral("&Load Options"), fraOptions),
                           QStringLiteral("cmdLoadOptions"));
    optionButtons->addWidget(cmdshowoptions);
    optionButtons->addStretch(1);
    optionButtons->addWidget(cmdSaveOptions);
    optionButtons->addWidget(cmdLoadOptions);
    optionsLayout->addLayout(optionButtons);
    layout->addWidget(fraOptions);

    layout->addWidget(buildCommandLineFrame(), 1);

    // The standard input of a Run, while it is going.
    picInput = named(new QWidget(this), QStringLiteral("picInput"));
    auto *inputRow = new QHBoxLayout(picInput);
    inputRow->setContentsMargins(0, 0, 0, 0);
    txtInput = named(new QLineEdit(picInput), QStringLiteral("txtInput"));
    txtInput->setPlaceholderText(QStringLiteral("Input for the program: Enter sends the line"));
    cmdCloseInput = named(new QPushButton(QStringLiteral("&Close input"), picInput),
                          QStringLiteral("cmdCloseInput"));
    cmdCloseInput->setToolTip(QStringLiteral("End of input for the program"));
    auto *lblInput = new QLabel(QStringLiteral("I&nput"), picInput);
    lblInput->setBuddy(txtInput);
    inputRow->addWidget(lblInput);
    inputRow->addWidget(txtInput, 1);
    inputRow->addWidget(cmdCloseInput);
    picInput->hide();
    layout->addWidget(picInput);
    connect(txtInput, &QLineEdit::returnPressed, this, &frmJavaX::txtInput_Return);
    connect(cmdCloseInput, &QPushButton::clicked, this, &frmJavaX::cmdCloseInput_Click);

    layout->addWidget(buildButtonRow());

    // Return runs the tool from any box: the run button is the dialog's
    // default, and no other button takes that role when it has the focus.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);
    cmdJavaX->setDefault(true);

    connect(txtInFIle, &QLineEdit::textEdited, this,
            [this](const QString &t) { onFileBoxEdited(FileBox::Input, txtInFIle, t); });
    connect(txt2, &QLineEdit::textEdited, this,
            [this](const QString &t) { onFileBoxEdited(FileBox::Archive, txt2, t); });
    connect(txtJavaX, &QLineEdit::textEdited, this,
            [this](const QString &t) { onFileBoxEdited(FileBox::Executable, txtJavaX, t); });
    connect(cmdBrosweInFile, &QPushButton::clicked, this, &frmJavaX::cmdBrosweInFile_Click);
    connect(cmdBrowse2, &QPushButton::clicked, this, &frmJavaX::cmdBrowse2_Click);
    connect(cmdBrowseJavaX, &QPushButton::clicked, this, &frmJavaX::cmdBrowseJavaX_Click);
    connect(cmdshowoptions, &QPushButton::clicked, this, &frmJavaX::cmdshowoptions_Click);
    connect(cmdSaveOptions, &QPushButton::clicked, this, &frmJavaX::cmdSaveOptions_Click);
    connect(cmdLoadOptions, &QPushButton::clicked, this, &frmJavaX::cmdLoadOptions_Click);

    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &frmJavaX::onBlinkTick);
    cbotimer = named(new QTimer(this), QStringLiteral("cbotimer"));
    cbotimer->setSingleShot(true);
    cbotimer->setInterval(10);
    connect(cbotimer, &QTimer::timeout, this, [this] { cboJavaX->setCurrentIndex(-1); });
}

QWidget *frmJavaX::buildOptionGrid()
{
    auto *grid = new QWidget;
    grid->setObjectName(QStringLiteral("optionGrid"));
    auto *g = new QGridLayout(grid);
    g->setContentsMargins(0, 0, 0, 0);
    g->setColumnStretch(1, 1);
    for (int i = 0; i < kOptionSlots; ++i) {
        chkOPT[size_t(i)] = named(new QCheckBox(grid), slotName("chkOPT", i));
        txtOPT[size_t(i)] = named(new QLineEdit(grid), slotName("txtOPT", i));
        g->addWidget(chkOPT[size_t(i)], i, 0);
        g->addWidget(txtOPT[size_t(i)], i, 1);
        if (i < int(CmdOPTBROWSE.size())) {
            CmdOPTBROWSE[size_t(i)] =
                named(new QPushButton(QStringLiteral("..."), grid), slotName("CmdOPTBROWSE", i));
            CmdOPTBROWSE[size_t(i)]->setFixedWidth(
                CmdOPTBROWSE[size_t(i)]->fontMetrics().horizontalAdvance(QStringLiteral("MMMM")));
            g->addWidget(CmdOPTBROWSE[size_t(i)], i, 2);
            connect(CmdOPTBROWSE[size_t(i)], &QPushButton::clicked, this,
                    [this, i] { CmdOPTBROWSE_Click(i); });
        }
        chkOPT[size_t(i)]->hide();
        txtOPT[size_t(i)]->hide();
        connect(chkOPT[size_t(i)], &QCheckBox::toggled, this,
                [this, i](bool on) { onOptionTicked(i, on); });
        connect(txtOPT[size_t(i)], &QLineEdit::textChanged, this,
                [this, i](const QString &t) { onOptionArgumentEdited(i, t); });
    }
    // The encoding list stands in for slot 6's argument box, which stays hidden.
    CboEncoding = named(new QComboBox(grid), QStringLiteral("CboEncoding"));
    CboEncoding->setEditable(true);
    CboEncoding->setInsertPolicy(QComboBox::NoInsert);
    CboEncoding->setToolTip(kEncodingTip);
    g->addWidget(CboEncoding, 6, 1);
    setTabOrder(chkOPT[6], CboEncoding);
    connect(CboEncoding, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        if (m_showing)
            return;
        afterBuild(encodingChanged(m_state, text, m_prompter));
    });
    // No mode uses the last row: "Other" goes there.
    lblother =
        named(new QLabel(QLatin1Char('&') + kOtherCaption, grid), QStringLiteral("lblother"));
    txtother = named(new QLineEdit(grid), QStringLiteral("txtother"));
    lblother->setBuddy(txtother);
    g->addWidget(lblother, kOptionSlots - 1, 0);
    g->addWidget(txtother, kOptionSlots - 1, 1);
    connect(txtother, &QLineEdit::textChanged, this, [this](const QString &t) {
        if (m_showing)
            return;
        m_state.other = t;
        afterBuild(BuildCommandLine(m_state, m_prompter));
    });
    return grid;
}

QWidget *frmJavaX::buildCommandLineFrame()
{
    fraCommandLine = named(new QGroupBox(QStringLiteral("Comm&and Line"), this),
                           QStringLiteral("fraCommandLine"));
    auto *v = new QVBoxLayout(fraCommandLine);

    rtfCommandLine =
        named(new SurfaceView(new Surface(this), fraCommandLine), QStringLiteral("rtfCommandLine"));
    rtfCommandLine->setMinimumHeight(110);
    rtfCommandLine->surface()->setUndoRecording(false); // output is not a document
    rtfCommandLine->surface()->setRightMargin(1);       // wrap long command lines and output
    // Links in the output: the pointing hand over them, double-click or
    // Enter opens them.
    rtfCommandLine->setMouseTracking(true);
    rtfCommandLine->viewport()->setMouseTracking(true);
    rtfCommandLine->installEventFilter(this);
    rtfCommandLine->viewport()->installEventFilter(this);
    rtfCommandLineOptions = named(new SurfaceView(new Surface(this), fraCommandLine),
                                  QStringLiteral("rtfCommandLineOptions"));
    rtfCommandLineOptions->setMinimumHeight(60);
    rtfCommandLineOptions->surface()->setRightMargin(1);
    rtfCommandLineOptions->hide();
    v->addWidget(rtfCommandLine, 1);
    v->addWidget(rtfCommandLineOptions, 1);

    chkIgnoreDashes = named(
        new QCheckBox(QString(kIgnoreDashesCaption).insert(7, QLatin1Char('&')), fraCommandLine),
        QStringLiteral("chkIgnoreDashes"));
    chkLeaveSpaceBetweenOptions = named(
        new QCheckBox(QString(kLeaveSpacesCaption).insert(12, QLatin1Char('&')), fraCommandLine),
        QStringLiteral("chkLeaveSpaceBetweenOptions"));
    fraCommandLineO =
        named(new QGroupBox(kLaunchModeCaption, fraCommandLine), QStringLiteral("fraCommandLineO"));
    auto *launch = new QHBoxLayout(fraCommandLineO);
    chkLaunchInSeparateWindow =
        named(new QCheckBox(QString(kLaunchSeparateCaption).insert(19, QLatin1Char('&')),
                            fraCommandLineO),
              QStringLiteral("chkLaunchInSeparateWindow"));
    launch->addWidget(chkLaunchInSeparateWindow);
    v->addWidget(chkIgnoreDashes);
    v->addWidget(chkLeaveSpaceBetweenOptions);
    v->addWidget(fraCommandLineO);
    chkIgnoreDashes->hide();
    chkLeaveSpaceBetweenOptions->hide();
    fraCommandLineO->hide();

    auto *buttons = new QHBoxLayout;
    cmdCommandLineOptionsOkAbort =
        named(new QPushButton(QStringLiteral("Opt&ions..."), fraCommandLine),
              QStringLiteral("cmdCommandLineOptionsOkAbort"));
    cmdCommandLineHelp = named(new QPushButton(QStringLiteral("Hel&p"), fraCommandLine),
                               QStringLiteral("cmdCommandLineHelp"));
    buttons->addStretch(1);
    buttons->addWidget(cmdCommandLineOptionsOkAbort);
    buttons->addWidget(cmdCommandLineHelp);
    v->addLayout(buttons);

    connect(cmdCommandLineOptionsOkAbort, &QPushButton::clicked, this,
            &frmJavaX::cmdCommandLineOptionsOkAbort_Click);
    connect(cmdCommandLineHelp, &QPushButton::clicked, this, &frmJavaX::cmdCommandLineHelp_Click);
    connect(rtfCommandLineOptions->surface(), &Surface::changed, this, &frmJavaX::onCodeChanged);
    connect(rtfCommandLineOptions, &SurfaceView::clicked, this, &frmJavaX::stopBlinking);
    connect(chkIgnoreDashes, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_showing)
            m_state.ignoreDashes = on;
    });
    connect(chkLeaveSpaceBetweenOptions, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_showing)
            m_state.leaveSpaces = on;
    });
    connect(chkLaunchInSeparateWindow, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_showing)
            m_state.launchInSeparateWindow = on;
    });
    return fraCommandLine;
}

QWidget *frmJavaX::buildButtonRow()
{
    picJavaX = named(new QWidget(this), QStringLiteral("picJavaX"));
    auto *h = new QHBoxLayout(picJavaX);
    h->setContentsMargins(0, 0, 0, 0);
    cboJavaX = named(new QComboBox(picJavaX), QStringLiteral("cboJavaX"));
    cboJavaX->setPlaceholderText(kSelectText);
    cboJavaX->setMinimumContentsLength(12);
    cboJavaX->installEventFilter(this);
    cmdJavaX = named(new QPushButton(picJavaX), QStringLiteral("cmdJavaX"));
    cmdStop = named(new QPushButton(QStringLiteral("S&top"), picJavaX), QStringLiteral("cmdStop"));
    cmdStop->setToolTip(QStringLiteral("Stop the running tool (Esc)"));
    cmdStop->setEnabled(false);
    cmdOptionsHelp = named(new QPushButton(QStringLiteral("Options &Help"), picJavaX),
                           QStringLiteral("cmdOptionsHelp"));
    cmdClose =
        named(new QPushButton(QStringLiteral("Clos&e"), picJavaX), QStringLiteral("cmdClose"));
    h->addWidget(cboJavaX);
    h->addStretch(1);
    h->addWidget(cmdJavaX);
    h->addWidget(cmdStop);
    h->addWidget(cmdOptionsHelp);
    h->addWidget(cmdClose);

    connect(cboJavaX, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            cboJavaX_Click(cboJavaX->itemText(index));
    });
    connect(cmdJavaX, &QPushButton::clicked, this, &frmJavaX::cmdJavaX_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmJavaX::cmdStop_Click);
    connect(cmdOptionsHelp, &QPushButton::clicked, this, &frmJavaX::cmdOptionsHelp_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmJavaX::cmdClose_Click);
    return picJavaX;
}

bool frmJavaX::eventFilter(QObject *watched, QEvent *event)
{
    if (rtfCommandLine && (watched == rtfCommandLine || watched == rtfCommandLine->viewport()))
        return outputEvent(watched, event) || QDialog::eventFilter(watched, event);
    // Typing into the mode list is refused: it would choose a mode without
    // the user picking one. Opening the list with the keyboard still works.
    if (watched == cboJavaX && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool opensList = key->key() == Qt::Key_F4
                               || ((key->modifiers() & Qt::AltModifier)
                                   && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up));
        const bool navigatesAway = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab
                                   || key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return
                                   || key->key() == Qt::Key_Enter;
        if (!opensList && !navigatesAway) {
            cboJavaX->setCurrentIndex(-1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// --- links in the output ----------------------------------------------------------

bool frmJavaX::outputEvent(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove: {
        if (watched != rtfCommandLine->viewport())
            return false;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const int line = rtfCommandLine->surface()->lineFromChar(
            rtfCommandLine->positionAt(mouse->position().toPoint()));
        rtfCommandLine->viewport()->setCursor(linkOnLine(line) ? Qt::PointingHandCursor
                                                               : Qt::IBeamCursor);
        return false;
    }
    case QEvent::MouseButtonDblClick: {
        if (watched != rtfCommandLine->viewport())
            return false;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        return openLinkOnLine(rtfCommandLine->surface()->lineFromChar(
            rtfCommandLine->positionAt(mouse->position().toPoint())));
    }
    case QEvent::KeyPress: {
        if (watched != rtfCommandLine)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        // Enter opens the link on the caret's line; on any other line it
        // runs the tool, as it does from every other box.
        const Surface &box = commandLineBox();
        if (!openLinkOnLine(box.lineFromChar(box.selStart())) && cmdJavaX->isEnabled()
            && !isRunning())
            cmdJavaX->click();
        return true;
    }
    default: return false;
    }
}

std::optional<ToolLocation> frmJavaX::linkOnLine(int line) const
{
    const Surface &box = commandLineBox();
    const int start = box.lineIndex(line);
    if (start < 0)
        return std::nullopt;
    return parseToolLocation(box.span(start, box.lineLength(line)));
}

bool frmJavaX::openLinkOnLine(int line)
{
    const std::optional<ToolLocation> loc = linkOnLine(line);
    if (!loc)
        return false;
    const QString path = resolveLocation(*loc, m_locations->context());
    if (path.isEmpty()) {
        m_prompter.message(QStringLiteral("The file ") + loc->file
                               + QStringLiteral(" was not found."),
                           QStringLiteral("Go to Error"), MsgIcon::Exclamation, MsgButtons::Ok);
        return true;
    }
    const int index = m_locations->indexOf(*loc);
    if (index >= 0)
        m_locations->setCurrent(index);
    if (m_openLocation)
        m_openLocation(path, loc->line, index);
    return true;
}

void frmJavaX::setLocations(ToolLocations *locations)
{
    m_locations = locations ? locations : &m_ownLocations;
    m_dosx->setLocations(m_locations);
}

// --- state to controls -------------------------------------------------------------

void frmJavaX::showSlot(int i)
{
    const OptionSlot &s = m_state.options[size_t(i)];
    QCheckBox *chk = chkOPT[size_t(i)];
    QLineEdit *txt = txtOPT[size_t(i)];
    chk->setText(s.def.switchText);
    chk->setToolTip(s.def.description);
    chk->setChecked(s.ticked);
    chk->setVisible(s.used());
    txt->setToolTip(s.def.placeholder);
    setEditText(txt, s.argument);
    txt->setVisible(s.used() && s.hasArgument());
    txt->setEnabled(s.argumentEnabled);
    QPalette pal = txt->palette();
    pal.setColor(QPalette::Base,
                 s.argumentEnabled ? toQColor(kWhite) : palette().color(QPalette::Window));
    txt->setPalette(pal);
    if (i < int(CmdOPTBROWSE.size())) {
        CmdOPTBROWSE[size_t(i)]->setVisible(s.used() && s.hasBrowse());
        CmdOPTBROWSE[size_t(i)]->setEnabled(s.argumentEnabled);
    }
}

void frmJavaX::showState()
{
    m_showing = true;
    setWindowTitle(m_state.mode);
    setEditText(txtInFIle, m_state.boxes.inFile);
    setEditText(txt2, m_state.boxes.archive);
    setEditText(txtJavaX, m_state.boxes.executable);
    fra2->setVisible(m_state.archiveShown);
    const QStringList captions = withFreeLetters(
        {m_state.executableCaption, m_state.runCaption, m_state.archiveCaption}, kFixedLetters);
    FraJavaX->setTitle(captions.at(0));
    cmdJavaX->setText(captions.at(1));
    fra2->setTitle(captions.at(2));
    if (!isRunning())
        cmdJavaX->setEnabled(m_state.runEnabled);

    for (int i = 0; i < kOptionSlots; ++i)
        showSlot(i);
    CboEncoding->setVisible(m_state.encodingVisible);
    CboEncoding->setEnabled(m_state.encodingEnabled);
    QPalette pal = CboEncoding->palette();
    pal.setColor(QPalette::Base,
                 m_state.encodingEnabled ? toQColor(kWhite) : palette().color(QPalette::Window));
    CboEncoding->setPalette(pal);
    if (CboEncoding->currentText() != m_state.encodingText)
        CboEncoding->setEditText(m_state.encodingText);
    setEditText(txtother, m_state.other);
    m_gridArea->setVisible(m_state.showOptions);
    // A few rows of options at least (a fifth of the screen), however
    // small the window: the dialog grows for them where the screen has room.
    if (const QScreen *screen = screenOf(this))
        m_gridArea->setMinimumHeight(
            std::min(m_grid->sizeHint().height(), screen->availableGeometry().height() / 5));
    cmdshowoptions->setText(m_state.showOptions ? QStringLiteral("^") : QStringLiteral("v"));

    chkIgnoreDashes->setChecked(m_state.ignoreDashes);
    chkLeaveSpaceBetweenOptions->setChecked(m_state.leaveSpaces);
    chkLaunchInSeparateWindow->setChecked(m_state.launchInSeparateWindow);
    setCodeText(m_state.code);
    const bool panel = m_state.panelOpen;
    rtfCommandLine->setVisible(!panel);
    rtfCommandLineOptions->setVisible(panel);
    chkIgnoreDashes->setVisible(panel);
    chkLeaveSpaceBetweenOptions->setVisible(panel);
    fraCommandLineO->setVisible(panel);
    cmdCommandLineOptionsOkAbort->setText(panel ? QStringLiteral("O&K")
                                                : QStringLiteral("Opt&ions..."));
    m_showing = false;
}

void frmJavaX::setCodeText(const QString &code)
{
    Surface &box = codingBox();
    if (box.text() == code)
        return;
    // Its change handler normalises and colours it.
    box.setText(code);
}

void frmJavaX::setCommandLineText(const QString &line)
{
    Surface &box = commandLineBox();
    box.setText(line);
    box.setStyleRanges({{0, box.length()}}, Surface::TextStyle{0, false, false, false});
    box.setSelStart(box.length());
    box.setSelStyle(0, false, false, false);
}

void frmJavaX::afterBuild(BuildOutcome outcome)
{
    switch (outcome) {
    case BuildOutcome::NotReady: return;
    case BuildOutcome::Built: setCommandLineText(m_state.commandLine); break;
    case BuildOutcome::InvalidDefaultLoaded:
        Timer1->stop();
        Timer1->setInterval(0);
        codingBox().setBackColor(kWhite);
        break;
    case BuildOutcome::InvalidBlink:
        Timer1->setInterval(kBlinkShort);
        Timer1->start();
        break;
    }
    showState();
    if (outcome == BuildOutcome::InvalidBlink) {
        codingBox().setSelStart(0);
        rtfCommandLineOptions->setFocus();
    }
}

void frmJavaX::fillModeList()
{
    cboJavaX->clear();
    cboJavaX->addItems(FillModeList(m_state.mode));
    cboJavaX->setCurrentIndex(-1); // shows "<Select>"
}

// --- loading -------------------------------------------------------------------------

void frmJavaX::Form_Initialize()
{
    resetDialog(m_state, m_store);
    Timer1->stop();
    codingBox().setBackColor(kWhite);
    CboEncoding->blockSignals(true);
    CboEncoding->clear();
    CboEncoding->addItems(encodingList());
    CboEncoding->setCurrentIndex(-1);
    CboEncoding->blockSignals(false);
    commandLineBox().setText(QString());
    showState();
}

void frmJavaX::LoadJavaXMode(const QString &mode)
{
    const BuildOutcome outcome =
        qln::LoadJavaXMode(m_state, mode, m_store, m_prompter, m_documentPath);
    fillModeList();
    afterBuild(outcome);
    adjustSize();
    show();
}

void frmJavaX::cboJavaX_Click(const QString &entry)
{
    Form_Initialize();
    if (modeIs(entry, "Compile") && m_compileCommand)
        m_compileCommand();
    else
        LoadJavaXMode(entry);
    cbotimer->start();
}

// --- boxes and options --------------------------------------------------------------

void frmJavaX::onFileBoxEdited(FileBox box, QLineEdit *edit, const QString &text)
{
    if (m_showing)
        return;
    const BuildOutcome outcome = fileBoxChanged(m_state, box, text, m_store, m_prompter);
    Q_UNUSED(edit);
    afterBuild(outcome);
    if (outcome == BuildOutcome::NotReady)
        showState();
}

void frmJavaX::onOptionTicked(int slot, bool ticked)
{
    if (m_showing)
        return;
    m_state.options[size_t(slot)].ticked = ticked;
    afterBuild(chkOPT_Click(m_state, slot, m_prompter));
}

void frmJavaX::onOptionArgumentEdited(int slot, const QString &text)
{
    if (m_showing)
        return;
    m_state.options[size_t(slot)].argument = text;
    afterBuild(BuildCommandLine(m_state, m_prompter));
}

void frmJavaX::cmdSaveOptions_Click()
{
    saveOptions(m_state, m_store);
}

void frmJavaX::cmdLoadOptions_Click()
{
    loadOptions(m_state, m_store);
    applyTicks(m_state);
    afterBuild(BuildCommandLine(m_state, m_prompter));
    showState();
}

void frmJavaX::cmdshowoptions_Click()
{
    setOptionsShown(m_state, !m_state.showOptions, m_store);
    showState();
    adjustSize();
}

// --- the coding box --------------------------------------------------------------------

void frmJavaX::onCodeChanged()
{
    if (m_colouring)
        return;
    m_colouring = true;
    Surface &box = codingBox();
    const QString typed = box.text();
    const int caret = box.selStart();
    codeChanged(m_state, typed, m_prompter); // the length limit, then normalisation
    if (m_state.code != typed)
        box.setText(m_state.code);
    colourCode(box, m_state.boxes.archiveInUse);
    box.setSelStart(std::min(caret, box.length()));
    m_colouring = false;
}

void frmJavaX::onBlinkTick()
{
    if (Timer1->interval() == kBlinkShort) {
        codingBox().setBackColor(kRed);
        Timer1->setInterval(kBlinkLong);
    } else {
        codingBox().setBackColor(kWhite);
        Timer1->setInterval(kBlinkShort);
    }
}

void frmJavaX::stopBlinking()
{
    Timer1->stop();
    codingBox().setBackColor(kWhite);
}

void frmJavaX::cmdCommandLineOptionsOkAbort_Click()
{
    if (!m_state.panelOpen) {
        m_state.panelOpen = true;
        m_state.runEnabled = false;
        showState();
        rtfCommandLineOptions->setFocus();
        return;
    }
    if (!closeCodePanel(m_state, m_store, m_prompter)) {
        // Declined the default code: blink and stay in the panel.
        afterBuild(BuildOutcome::InvalidBlink);
        return;
    }
    stopBlinking();
    // After "Yes" to the default code the box would still show the line of
    // the code before; build it from the code now in force.
    afterBuild(BuildCommandLine(m_state, m_prompter));
}

void frmJavaX::cmdCommandLineHelp_Click()
{
    if (!m_help)
        m_help = std::make_unique<frmhelp>();
    m_help->showPanel(this, frmhelp::Panel::JavaxCode);
}

// --- browsing ------------------------------------------------------------------------------

QString frmJavaX::dialogFilter(const QString &pipeFilter, const QString &startFolder)
{
    QStringList filters = qtFileFilter(pipeFilter).split(QStringLiteral(";;"));
    for (QString &f : filters) {
        const qsizetype open = f.lastIndexOf(QLatin1Char('('));
        if (open < 0 || !f.endsWith(QLatin1Char(')')))
            continue;
        QStringList patterns =
            f.mid(open + 1, f.size() - open - 2)
                .split(QRegularExpression(QStringLiteral("[,; ]+")), Qt::SkipEmptyParts);
        if (patterns.contains(QStringLiteral("*.exe"), Qt::CaseInsensitive)) {
            QStringList names = kitToolNames();
            if (!startFolder.isEmpty()) {
                const QFileInfoList entries =
                    QDir(startFolder).entryInfoList(QDir::Files | QDir::Executable, QDir::Name);
                for (const QFileInfo &e : entries)
                    if (!e.fileName().contains(QLatin1Char('.')) && !names.contains(e.fileName()))
                        names << e.fileName();
            }
            patterns << names;
        }
        f = f.left(open + 1) + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

void frmJavaX::cmdBrosweInFile_Click()
{
    const QString &mode = m_state.mode;
    QString filter = QStringLiteral("All Files(*.*)|*.*");
    if (modeIs(mode, "Compile"))
        filter = QStringLiteral("Java Files(*.java)|*.java|All Files(*.*)|*.*");
    else if (modeIs(mode, "Run"))
        filter = QStringLiteral("Java Class Files(*.class)|*.class|All Files(*.*)|*.*");
    else if (modeIs(mode, "Appletviewer"))
        filter = QStringLiteral("HTML Files(*.htm, *.html)|*.htm, .html|All Files(*.*)|*.*");
    const std::optional<QString> path = m_prompter.file(FileDialogRequest{
        FileDialogRequest::Open, QString(), txtInFIle->text(), dialogFilter(filter)});
    if (!path)
        return;
    txtInFIle->setText(ShortFolderPath(*path));
    onFileBoxEdited(FileBox::Input, txtInFIle, txtInFIle->text());
}

void frmJavaX::cmdBrowse2_Click()
{
    if (!isJarMode(m_state.mode))
        return;
    bool creating = false;
    for (const OptionSlot &s : m_state.options)
        if (s.ticked && s.def.switchText == QLatin1String("-c"))
            creating = true;
    const std::optional<QString> path = m_prompter.file(FileDialogRequest{
        creating ? FileDialogRequest::Save : FileDialogRequest::Open, QString(), txt2->text(),
        dialogFilter(QStringLiteral("Java Archive Files(*.jar)|*.jar|All Files(*.*)|*.*"))});
    if (!path)
        return;
    txt2->setText(ShortFolderPath(*path));
    onFileBoxEdited(FileBox::Archive, txt2, txt2->text());
}

void frmJavaX::cmdBrowseJavaX_Click()
{
    const QString start = txtJavaX->text();
    const std::optional<QString> path = m_prompter.file(FileDialogRequest{
        FileDialogRequest::Open, QString(), start,
        dialogFilter(QStringLiteral("Applications(*.exe)|*.exe|All Files(*.*)|*.*"),
                     start.isEmpty() ? QString() : SplitPath(start, 2))});
    if (!path)
        return;
    txtJavaX->setText(ShortFolderPath(*path));
    onFileBoxEdited(FileBox::Executable, txtJavaX, txtJavaX->text());
}

QString frmJavaX::BrowseForFolder(const QString &subject, bool shortForm)
{
    const QString title = QStringLiteral("Select ")
                          + (subject.isEmpty() ? QStringLiteral("a") : subject)
                          + QStringLiteral(" directory");
    const QString start =
        m_state.boxes.inFile.isEmpty() ? QString() : SplitPath(m_state.boxes.inFile, 2);
    std::optional<QString> folder = m_prompter.folder(title, start);
    if (!folder || folder->isEmpty())
        return QString();
    QString path = *folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return shortForm ? ShortPath(path) : path;
}

void frmJavaX::CmdOPTBROWSE_Click(int slot)
{
    if (slot < 0 || slot >= kOptionSlots)
        return;
    OptionSlot &s = m_state.options[size_t(slot)];
    const QString sw = s.def.switchText;
    std::optional<QString> chosen;
    bool list = false;
    if (isJarMode(m_state.mode) && sw == QLatin1String("-m")) {
        chosen = m_prompter.file(FileDialogRequest{
            FileDialogRequest::Open, QString(), s.argument,
            dialogFilter(QStringLiteral("Mainfest Files(*.mf)|*.mf|All Files(*.*)|*.*"))});
        if (chosen)
            chosen = ShortFolderPath(*chosen);
    } else {
        list = (sw == QLatin1String("-classpath") || sw == QLatin1String("-cp")
                || sw == QLatin1String("-extdirs"))
               && !s.argument.isEmpty();
        const QString subject = QLatin1Char('"') + sw + QLatin1Char('"');
        bool folders = true;
        if (modeIs(m_state.mode, "Run") && sw == QLatin1String("-classpath"))
            folders = m_prompter.message(QStringLiteral("Browse for folders? (no for files)"),
                                         QStringLiteral("Browse for folders?"), MsgIcon::Question,
                                         MsgButtons::YesNo)
                      == MsgAnswer::Yes;
        if (folders) {
            const QString folder = BrowseForFolder(subject, true);
            if (!folder.isEmpty())
                chosen = folder;
        } else {
            chosen = m_prompter.file(FileDialogRequest{
                FileDialogRequest::Open, QString(), s.argument,
                dialogFilter(QStringLiteral(
                    "Jar Files(*.jar)|*.jar|ZIP Files(*.zip)|*.zip|All Files(*.*)|*.*"))});
            if (chosen)
                chosen = ShortFolderPath(*chosen);
        }
    }
    if (!chosen || chosen->isEmpty())
        return;
    QString value = *chosen;
    if (list
        && m_prompter.message(QStringLiteral("Would you like to append to existing text?"),
                              QStringLiteral("Append?"), MsgIcon::Question, MsgButtons::YesNo)
               == MsgAnswer::Yes)
        // Java's path-list separator here; ";" would also end the command
        // in the shell.
        value = s.argument + QDir::listSeparator() + value;
    txtOPT[size_t(slot)]->setText(value); // its change rebuilds the command line
}

// --- running -------------------------------------------------------------------------------

void frmJavaX::setRunningLook(bool running)
{
    for (QWidget *w : {static_cast<QWidget *>(frainfile), static_cast<QWidget *>(fra2),
                       static_cast<QWidget *>(FraJavaX), static_cast<QWidget *>(fraOptions),
                       static_cast<QWidget *>(fraCommandLine), static_cast<QWidget *>(cboJavaX),
                       static_cast<QWidget *>(cmdOptionsHelp), static_cast<QWidget *>(cmdClose)})
        w->setEnabled(!running);
    cmdJavaX->setEnabled(!running && m_state.runEnabled);
    cmdStop->setEnabled(running);
    if (running) {
        if (picInput->isVisible())
            txtInput->setFocus();
        else
            cmdStop->setFocus();
        // Busy here only: the main window goes on taking edits.
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void frmJavaX::showInputRow(bool shown)
{
    txtInput->clear();
    txtInput->setEnabled(shown);
    cmdCloseInput->setEnabled(shown);
    picInput->setVisible(shown);
}

void frmJavaX::txtInput_Return()
{
    if (!m_dosx->isRunning())
        return;
    // Typed lines show in the output in black, as a terminal echoes them.
    if (m_dosx->sendInput(txtInput->text(), Surface::TextStyle{0, false, false, false}))
        txtInput->clear();
}

void frmJavaX::cmdCloseInput_Click()
{
    m_dosx->objDOS().closeInput();
    txtInput->setEnabled(false);
    cmdCloseInput->setEnabled(false);
    cmdStop->setFocus();
}

void frmJavaX::appendStyled(const QString &text, BgrColor colour, bool bold)
{
    Surface &box = commandLineBox();
    box.setSelStart(box.length());
    box.setSelStyle(colour, bold, false, false);
    box.setSelText(text);
    box.setSelStart(box.length());
}

void frmJavaX::startCaptured(RunKind kind, const QString &commandLine, const QString &folder)
{
    m_run = kind;
    m_runEndSeen = false;
    // A Run takes typed lines; every other run reads end of file at once.
    const bool input = kind == RunKind::Tool && modeIs(m_state.mode, "Run");
    m_dosx->objDOS().setInputOpen(input);
    // Only a tool's run names places in the source.
    m_dosx->setLocations(kind == RunKind::Tool ? m_locations : nullptr);
    showInputRow(input);
    setRunningLook(true);
    const bool started =
        m_dosx->DosExecute(commandLine, &commandLineBox(),
                           Surface::TextStyle{m_outputColour, m_outputBold, false, false}, folder);
    // Nothing was started and no end will be reported (the "Command Line
    // empty" case): the run ends here.
    if (!started && !m_runEndSeen && !m_dosx->isRunning() && m_run == kind)
        onRunEnded(RunEnd{});
}

void frmJavaX::cmdJavaX_Click()
{
    if (isRunning() || !m_state.runEnabled)
        return;
    if (modeIs(m_state.mode, "Compile"))
        saveDocumentFirst();
    const RunPlan plan = prepareRun(m_state, m_prompter);
    showState(); // the boxes were trimmed, "-d" may have changed
    if (!plan.proceed)
        return;

    // The command line the code gives now; an invalid code keeps the one
    // built before, and that is what runs.
    const BuildOutcome outcome = BuildCommandLine(m_state, m_prompter);
    if (outcome != BuildOutcome::Built)
        afterBuild(outcome);
    setCommandLineText(m_state.commandLine);
    const QString commandLine = m_state.commandLine;

    if (m_state.launchInSeparateWindow) {
        if (commandLine.isEmpty())
            return;
        // A visible terminal or none: without one the tool runs here.
        if (terminalLaunch(commandLine, qEnvironmentVariable("TERMINAL"))
            && DOSOutputs::launchInTerminal(commandLine, plan.workingFolder))
            return;
        m_prompter.message(noTerminalMessage(), QStringLiteral("Launch in separate window"),
                           MsgIcon::Exclamation, MsgButtons::Ok);
    }

    const QString folder = plan.workingFolder.isEmpty() ? QDir::currentPath() : plan.workingFolder;
    const QString document = namesNoFile(m_documentPath) ? m_state.boxes.inFile : m_documentPath;
    m_locations->begin(LocationContext{folder, SplitPath(QFileInfo(document).absoluteFilePath(), 2),
                                       searchFoldersOf(m_state, folder)});

    m_compiling = modeIs(m_state.mode, "Compile");
    if (m_compiling)
        emit compileStarted();

    appendStyled(kExecutingMarker, kMarkerColour, true);
    m_outputColour = kToolOutputColour;
    m_outputBold = true;
    startCaptured(RunKind::Tool, commandLine.trimmed(), plan.workingFolder);
}

void frmJavaX::saveDocumentFirst()
{
    if (!m_saveDocument)
        return;
    // The compiler reads the file, not the window: what it runs on is what
    // the save wrote. A save that gave the document its first name (or a
    // new one) makes that file the input, as opening the dialog would have.
    const QString renamed = m_saveDocument();
    if (renamed.isEmpty() || namesNoFile(renamed))
        return;
    const QString path = QFileInfo(renamed).absoluteFilePath();
    if (path == m_documentPath)
        return;
    m_documentPath = path;
    PickDefaultInput(m_state, m_documentPath, m_store);
    afterBuild(BuildCommandLine(m_state, m_prompter));
    showState();
}

void frmJavaX::cmdOptionsHelp_Click()
{
    if (isRunning())
        return;
    const QString exe = txtJavaX->text().trimmed();
    if (exe.isEmpty() || !FileExists(exe)) {
        const QString caption = m_state.executableCaption;
        m_prompter.message(QStringLiteral("Please specify valid ") + caption + kCrLf + caption
                               + QStringLiteral(" not found"),
                           QStringLiteral("Options Help"), MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    commandLineBox().setText(QString());
    m_outputColour = kToolOutputColour;
    m_outputBold = false;
    startCaptured(RunKind::OptionsHelp, shellEscape(exe), QString());
}

void frmJavaX::cmdStop_Click()
{
    if (m_dosx->isRunning())
        m_dosx->stop(); // finished() follows and writes the closing markers
}

void frmJavaX::onRunEnded(const RunEnd &end)
{
    m_runEndSeen = true;
    const RunKind kind = m_run;
    if (kind == RunKind::None)
        return;
    m_run = RunKind::None;
    const QString output = m_dosx->text();
    if (kind == RunKind::Tool) {
        for (const QString &marker : closingMarkers(m_state.mode, end))
            appendStyled(marker, kMarkerColour, true);
    }
    showInputRow(false);
    setRunningLook(false);
    if (m_owner)
        m_owner->show();
    // Someone typing in the main window meanwhile keeps the keyboard.
    if (!m_owner || !m_owner->isActiveWindow()) {
        raise();
        activateWindow();
    }
    if (cmdJavaX->isEnabled())
        cmdJavaX->setFocus();
    rtfCommandLine->ensureCursorVisible();
    if (kind == RunKind::OptionsHelp && end.started)
        m_prompter.message(output.trimmed(), QStringLiteral("Options Help"), MsgIcon::Information,
                           MsgButtons::Ok);
    if (kind == RunKind::Tool && m_compiling) {
        m_compiling = false;
        emit compileEnded();
    }
    emit runFinished();
}

} // namespace qln
