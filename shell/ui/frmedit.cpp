#include "shell/ui/frmedit.h"

#include "base/editorstate.h"
#include "base/keytable.h"
#include "base/pathutil.h"
#include "dialogs/ui/frmdatetime.h"
#include "dialogs/ui/frmfind.h"
#include "formatting/casechange.h"
#include "formatting/colorizeall.h"
#include "formatting/indenter.h"
#include "formatting/spellcorrect.h"
#include "formatting/templates.h"
#include "formatting/typingassist.h"
#include "formatting/ui/frmstructures.h"
#include "settings/convert.h"
#include "settings/preferences.h"
#include "settings/prefsession.h"
#include "settings/settingsstore.h"
#include "settings/ui/frmpref.h"
#include "shell/commandtables.h"
#include "shell/documentfiles.h"
#include "shell/documenttitle.h"
#include "shell/editcommands.h"
#include "shell/recentfiles.h"
#include "shell/recovery.h"
#include "shell/statustext.h"
#include "shell/ui/completionbox.h"
#include "shell/ui/frmabout.h"
#include "shell/ui/frmsplash.h"
#include "shell/ui/frmwait.h"
#include "shell/ui/print.h"
#include "shell/ui/qtprompter.h"
#include "shell/ui/recentmenu.h"
#include "shell/ui/windowhosts.h"
#include "shell/windowsettings.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"
#include "tools/compilermarkers.h"
#include "tools/toollocations.h"
#include "tools/ui/frmjavax.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <vector>

static void initShellResources()
{
    Q_INIT_RESOURCE(shell_icons);
    // Outside a desktop that names an icon theme, the pictures come from
    // the theme the install script puts on every machine.
    if (QIcon::fallbackThemeName().isEmpty()
        || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    // Without any theme name the fallback is never consulted.
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    // Platforms without a desktop theme (offscreen) look only in the
    // resources: add the system's icon folders.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString &dir :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                   QStandardPaths::LocateDirectory))
        if (!paths.contains(dir) && !paths.contains(dir + QLatin1Char('/')))
            paths << dir;
    QIcon::setThemeSearchPaths(paths);
}

namespace qln {

namespace {

// The window as designed, in twips: 800 x 600 pixels at 96 dots an inch.
constexpr double kDesignedWidth = 12000;
constexpr double kDesignedHeight = 9000;

double screenDpi()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

int toPixels(double twips)
{
    return qRound(twipsToPixels(twips, screenDpi()));
}

double toTwips(int pixels)
{
    return pixelsToTwips(pixels, screenDpi());
}

// The main window as the document commands see it.
class WindowDocumentHost final : public DocumentHost {
public:
    explicit WindowDocumentHost(frmedit &window) : m_window(window) {}
    ~WindowDocumentHost() override { setHourglass(false); }

    QString caption() const override { return m_window.windowTitle(); }
    void setCaption(const QString &caption) override { m_window.setCaption(caption); }
    QString statusText() const override { return m_window.statusPanel(1)->text(); }
    void setStatusText(const QString &text) override
    {
        m_window.setStatusText(text);
        m_window.statusPanel(1)->repaint();
    }
    void setSurfacePainted(bool painted) override { m_window.rtfedit()->setPainted(painted); }
    void setHourglass(bool on) override
    {
        if (on == m_hourglass)
            return;
        m_hourglass = on;
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
    QString dialogFontName() const override { return m_window.dialogFontName(); }
    QString fontListText() const override { return m_window.cbofontlist()->currentText(); }
    QString fontSizeText() const override { return m_window.cbofontsize()->currentText(); }
    double windowTopTwips() const override { return m_window.geometryTwips().top; }
    void SaveWindowSettings() override { m_window.SaveWindowSettings(); }
    void closeWindow() override { m_window.close(); }
    void documentLoaded() override
    {
        if (coloursWhileTyping())
            ColorizeDocument(*m_window.surface(), m_window.preferences());
    }
    std::function<void(Surface &)> colouringForLoad() override
    {
        if (!coloursWhileTyping())
            return {};
        // A large file is coloured as far as it is shown: its first screens
        // here, the rest as the view, printing or copying reach it. There
        // are no suppression flags to set: they belong to the window's
        // thread, and this surface has no listeners.
        return [prefs = m_window.preferences()](Surface &s) {
            auto colourer = [prefs](Surface &surface, int from, int upTo) {
                return ColorizeAhead(surface, prefs, from, upTo);
            };
            s.colourAheadWith(colourer, ColorizeAhead(s, prefs, 0, 0));
        };
    }
    void setLoading(bool on) override { m_window.showLoadCancel(on); }

private:
    bool coloursWhileTyping() const
    {
        // The document named on the command line is read before the window
        // first shows and sets its check boxes from the store.
        return m_window.isVisible() ? m_window.chkautosyntaxcolor()->isChecked()
                                    : leadingNumber(settingsStore().get(
                                          kPrefs, QStringLiteral("chkautosyntaxcolor")))
                                          != 0;
    }

    frmedit &m_window;
    bool m_hourglass = false;
};

} // namespace

frmedit::frmedit(const QString &commandLine, Prompter *prompter,
                 std::optional<ProbePlaces> probePlaces)
    : m_probePlaces(std::move(probePlaces))
{
    initShellResources();
    setObjectName(QStringLiteral("frmedit"));
    // Any size is allowed; restoring applies its own lower limits.
    setMinimumSize(1, 1);
    if (prompter) {
        m_prompter = prompter;
    } else {
        m_ownPrompter = std::make_unique<QtPrompter>(this);
        m_prompter = m_ownPrompter.get();
    }

    // The document first: the view attaches to it.
    m_surface = new Surface(this);
    m_surface->setObjectName(QStringLiteral("document"));
    m_rtftemp = new Surface(this);
    m_rtftemp->setObjectName(QStringLiteral("rtftemp"));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setAutoFillBackground(true);
    m_client->installEventFilter(this);
    setCentralWidget(m_client);

    m_rtfedit = new SurfaceView(m_surface, m_client);
    m_rtfedit->setObjectName(QStringLiteral("rtfedit"));
    m_rtfedit->setAccessibleName(QStringLiteral("Document"));
    connect(m_rtfedit, &SurfaceView::filesDropped, this, &frmedit::openDroppedFiles,
            Qt::QueuedConnection); // not inside the drag and drop
    m_picdummy = new QWidget(m_client);
    m_picdummy->setObjectName(QStringLiteral("picdummy"));
    m_picdummy->hide();

    buildMenus();
    buildToolbar();
    buildFormattingBand();
    buildStatusBar();

    m_Timer1 = new QTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    m_Timer1->setSingleShot(true);
    connect(m_Timer1, &QTimer::timeout, this, &frmedit::Timer1_Timer);

    connect(surface(), &Surface::changed, this, &frmedit::rtfedit_Change);
    // The "*" appears the moment the text changes by any path, before any
    // handler runs, and goes when Undo returns to the saved text.
    connect(surface(), &Surface::modifiedChanged, this, [this] { setCaption(windowTitle()); });
    connect(surface(), &Surface::historyChanged, this, &frmedit::updateHistoryItems);
    connect(surface(), &Surface::selChanged, this, &frmedit::rtfedit_SelChange);
    connect(surface(), &Surface::textRefused, this, &frmedit::setStatusText);
    connectTypingAssist();
    connectDialogCommands();
    connectFormattingCommands();
    // A key that reaches the text runs the window's menu command first
    // (while its item is shown and enabled, as its shortcut would), then the
    // typing assistance's; the view does the rest. The menu is built once,
    // so its items are looked up once, not with every key.
    QHash<const KeyCommandDef *, QAction *> menuKeys;
    for (const KeyCommandDef &command : keyCommands())
        if (command.scope == KeyScope::Window)
            if (QAction *item = menuItem(QLatin1String(command.name)))
                menuKeys.insert(&command, item);
    connect(m_rtfedit, &SurfaceView::keyDown, this, [this, menuKeys](KeyEventInfo *info) {
        const KeyCommandDef *command =
            keyCommandFor(QKeyCombination(info->modifiers, Qt::Key(info->key)), KeyScope::Window);
        QAction *item = menuKeys.value(command);
        if (item && item->isVisible() && item->isEnabled()) {
            info->consumed = true;
            item->trigger();
            return;
        }
        if (m_typing->onKeyDown(info->key, info->modifiers))
            info->consumed = true;
    });

    m_documentHost = std::make_unique<WindowDocumentHost>(*this);
    m_documents = std::make_unique<DocumentFiles>(*m_documentHost, *m_prompter, *m_surface,
                                                  *m_rtftemp, m_preferences);
    connectDocumentCommands();
    connectRecovery();
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (!commitData(manager.allowsInteraction()))
            manager.cancel();
        manager.release();
    });

    resize(toPixels(kDesignedWidth), toPixels(kDesignedHeight));
    Form_Load(commandLine);
}

frmedit::~frmedit()
{
    // A font box that loses the focus while the controls are destroyed
    // reports a choice; the surface may be gone by then.
    m_cbofontlist->disconnect(this);
    m_cbofontsize->disconnect(this);
    // Unsaved changes the user never declined stay recoverable.
    m_recovery->finish();
    if (m_splash)
        m_splash->dismiss();
}

QString frmedit::documentPath() const
{
    return m_documents->path();
}

void frmedit::setDocumentPath(const QString &path)
{
    m_documents->setPath(path);
}

std::optional<TextFileFormat> frmedit::documentFormat() const
{
    return m_documents->format();
}

void frmedit::connectDocumentCommands()
{
    DocumentFiles *docs = m_documents.get();
    auto on = [this](const char *name, auto handler) {
        connect(menuItem(QLatin1String(name)), &QAction::triggered, this, handler);
    };
    on("new", [docs] { docs->New(); });
    on("newwindow", [docs] { docs->NewWindow(); });
    on("Open", [docs] { docs->Open(); });
    on("Save", [docs] { docs->Save(); });
    on("Save_as", [docs] { docs->SaveAs(); });
    on("Exit", [docs] { docs->Exit(); });
    on("infile", [docs] { docs->InsertFile(); });

    // "Recent Files" sits above the separator before "E&xit".
    m_recent = std::make_unique<RecentFiles>(settingsStore());
    docs->setFileUsed([this](const QString &path) { m_recent->add(path); });
    QMenu *file = findChild<QMenu *>(QStringLiteral("file"));
    const QList<QAction *> items = file->actions();
    const qsizetype exitAt = items.indexOf(menuItem(QStringLiteral("Exit")));
    QAction *before = exitAt > 0 ? items[exitAt - 1] : nullptr;
    auto *recent = new QMenu(QStringLiteral("Recent &Files"), file);
    recent->setObjectName(QStringLiteral("recentfiles"));
    recent->menuAction()->setObjectName(QStringLiteral("recentfiles"));
    file->insertMenu(before, recent);
    file->insertSeparator(recent->menuAction());
    m_recentMenu = new RecentFilesMenu(recent, *m_recent, *m_prompter, [docs](const QString &path) {
        return docs->openPath(path);
    });
}

// The copy of unsaved changes follows the document: brought up to date two
// seconds after the last edit (ten at most while typing goes on), dropped
// when the document is saved, cleared or its changes are declined, and
// written before the program ends by a signal, a lost display or its window
// destroyed by another program.
void frmedit::connectRecovery()
{
    DocumentRecovery::installEndHandlers();
    m_recovery = std::make_unique<DocumentRecovery>();
    Surface *s = surface();
    DocumentFiles *docs = m_documents.get();
    RecoverySource source;
    source.modified = [docs] { return docs->isModified(); };
    source.details = [docs] {
        // A path holding "*" is only where the Open dialog starts.
        const QString path = docs->path().contains(QLatin1Char('*')) ? QString() : docs->path();
        return RecoveryRecord{path, docs->format(), docs->fileStamp(), QString()};
    };
    m_recovery->setSource(std::move(source));
    m_recovery->follow(*s);
    docs->addListener([this](DocumentEvent event) {
        switch (event) {
        case DocumentEvent::KeptModified: m_recovery->noteEdit(); break;
        case DocumentEvent::Closed:
            // What happens to the copy is settled when the window goes:
            // changes nobody declined stay recoverable.
            break;
        default: m_recovery->discard(); break;
        }
    });
    // Said once in the status bar, never as a box per edit.
    connect(m_recovery.get(), &DocumentRecovery::problem, this,
            [this](const QString &message) { m_stb->showMessage(message, 30000); });
    // Another program destroyed the window: nothing can be shown or asked
    // any more, so the text is kept for recovery and the program ends.
    m_windowWatch = std::make_unique<WindowDestroyedWatch>(
        [this] {
            const QWindow *window = windowHandle();
            return window && window->handle() ? quintptr(window->winId()) : quintptr(0);
        },
        [this] {
            m_recovery->writeBeforeEnd();
            QCoreApplication::exit(0);
        });
    qApp->installNativeEventFilter(m_windowWatch.get());
}

// Start-up: recovery begins, and what an editor that did not end normally
// left behind is offered back.
void frmedit::startRecovery()
{
    if (!m_recovery->start())
        return;
    offerRecovery(*m_recovery, *m_prompter, [this](const RecoveryRecord &record) {
        m_documents->openRecovered(record);
        UpdateStatusBar();
    });
}

// --- start-up ---------------------------------------------------------------

void frmedit::Form_Load(const QString &commandLine)
{
    for (const char *name : {"htmlconverter", "native2asciiconverter", "javadoc", "javap"})
        menuItem(QLatin1String(name))->setVisible(false);

    m_cbofontlist->addItems(QFontDatabase::families());
    for (int size = 5; size <= 72; ++size)
        m_cbofontsize->addItem(QString::number(size));

    setCaption(documentCaption(QString()));

    // A settings file the store could not use is named first: what this run
    // sets, first-use defaults included, is lost when it ends.
    const QString settingsProblem = settingsStore().problem();
    if (!settingsProblem.isEmpty())
        m_prompter->message(settingsProblem, QStringLiteral("Settings file"), MsgIcon::Exclamation,
                            MsgButtons::Ok);

    if (!loadPreferences())
        return;

    // The find dialog is created by its own command when it first runs.

    surface()->setRightMargin(int(screenTwips().width() * 5));
    LoadWindowSettings();
    Form_Resize();
    UpdateStatusBar();

    m_loaded = true;
    const bool opened = openCommandLineFile(commandLine); // says why when it fails
    show();
    startRecovery();
    if (opened)
        m_Timer1->start(1000);
}

void frmedit::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Showing the window activates it, even where the window system hands
    // out no focus (no window manager); the first-use splash stays on top.
    if (m_loaded && !event->spontaneous())
        Form_Activate();
    if (m_splash)
        m_splash->raise();
    // The frame arrives from the window manager a little after the window
    // shows, without a move of the window: look for it for a while.
    if (m_restoreFrameAt) {
        auto *check = new QTimer(this);
        check->setInterval(50);
        connect(check, &QTimer::timeout, this, [this, check, tries = 0]() mutable {
            if (placeRestoredFrame() || ++tries >= 60) {
                m_restoreFrameAt.reset();
                check->deleteLater();
            }
        });
        check->start();
    }
}

bool frmedit::loadPreferences()
{
    const QSizeF screen = screenTwips();
    FirstRunInputs inputs;
    inputs.places = m_probePlaces ? *m_probePlaces : defaultProbePlaces();
    // The real family behind the fixed-pitch alias, so the font list shows it.
    inputs.designed.fontName =
        QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    inputs.designed.fontSize = QString::number(kFactoryFontSize);
    inputs.designed.heightTwips = float(kDesignedHeight);
    inputs.designed.widthTwips = float(kDesignedWidth);
    inputs.designed.screenHeightTwips = float(screen.height());
    inputs.designed.screenWidthTwips = float(screen.width());
    inputs.manifestPath = manifestPath();
    inputs.splash.show = [this] {
        m_splash = new frmSplash(this);
        m_splash->show();
        m_splash->repaint();
    };
    m_prefs = std::make_unique<PreferencesSession>(settingsStore(), *m_prompter, m_preferences,
                                                   std::move(inputs));
    m_prefs->loadObjectTree = [this](const QString &path) { loadObjectTree(path); };
    // The preferences dialog's own load runs the start-up load of the
    // preferences; it stays loaded, hidden.
    return loadPreferencesDialog() != nullptr;
}

frmpref *frmedit::loadPreferencesDialog()
{
    m_frmpref = new frmpref(*m_prefs, *m_prompter, this);
    frmpref *dialog = m_frmpref;
    dialog->locateObjectTree = [this] { LocateObjectTree(*m_prompter, settingsStore()); };
    // Load Defaults ends the program: the document is offered for saving
    // first, and Cancel there leaves everything as it was. A No is final
    // only when the settings were removed.
    dialog->leaveDocument = [this] { return m_documents->mayLeave(); };
    dialog->documentLeft = [this](bool left) {
        if (left)
            m_documents->left();
        else
            m_documents->stayed();
    };
    // Both end the program; they are delivered after the dialog's own
    // handler has returned, since closing deletes the dialog.
    connect(
        dialog, &frmpref::endProgram, this,
        [this] {
            m_endAtOnce = true;
            close();
        },
        Qt::QueuedConnection);
    connect(
        dialog, &frmpref::closeMainWindow, this,
        [this] {
            m_endAtOnce = true;
            close();
        },
        Qt::QueuedConnection);
    connect(dialog, &frmpref::applied, this, &frmedit::applyEditorPreferences);
    if (dialog->Form_Load() == LoadOutcome::Quit) {
        delete dialog;
        return nullptr;
    }
    applyEditorPreferences();
    return dialog;
}

void frmedit::showPreferences()
{
    // A dialog the user closed with its close box is loaded again.
    if (!m_frmpref && !loadPreferencesDialog()) {
        m_endAtOnce = true;
        close();
        return;
    }
    if (!m_frmpref->isVisible()) {
        // Over the main window; the dialog keeps itself wholly on the screen.
        m_frmpref->adjustSize();
        m_frmpref->move(frameGeometry().center() - m_frmpref->rect().center());
    }
    m_frmpref->setEditorLook(surface()->fontName(), surface()->backColor());
    m_frmpref->showPreferences();
}

bool frmedit::openCommandLineFile(const QString &commandLine)
{
    if (commandLine.isEmpty())
        return true;
    // The same loading routine as the Open command; a relative path is
    // taken against the folder the program was started in. Nothing at all
    // at that path (not even a broken link): a new document of that name.
    const QString path = stripCommandLineQuotes(commandLine);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        m_documents->startNamed(path);
        return true;
    }
    if (!m_documents->openFile(path)) {
        // Nothing was read: keep no path, so a later Save asks for a name
        // instead of overwriting the file with an empty document.
        m_documents->setPath(QString());
        return false;
    }
    // The caret's place replaces "Done", but not a note about the file
    // (bytes that are not UTF-8), which the user must get to see.
    if (m_panels[0]->text() == QLatin1String("Done"))
        UpdateStatusBar();
    return true;
}

QSizeF frmedit::screenTwips()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QSizeF(pixelsToTwips(1024, 96), pixelsToTwips(768, 96));
    const QSize px = screen->geometry().size();
    return QSizeF(toTwips(px.width()), toTwips(px.height()));
}

frmedit::Twips frmedit::geometryTwips() const
{
    // The frame's corner (title bar included), so the window comes back
    // where the user sees it; the size is the inner area's.
    const QPoint corner = frameGeometry().topLeft();
    const WindowGeometry g =
        toTwipsGeometry(PixelGeometry{corner.x(), corner.y(), width(), height()}, screenDpi());
    return Twips{g.top, g.left, g.height, g.width};
}

void frmedit::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    placeRestoredFrame();
}

PixelGeometry frmedit::fittedOnScreens(const PixelGeometry &g) const
{
    std::vector<QRect> screens;
    QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        screens.push_back(primary->availableGeometry());
    for (QScreen *screen : QGuiApplication::screens())
        if (screen != primary)
            screens.push_back(screen->availableGeometry());
    return fitOnScreens(g, m_frameMargins, screens);
}

void frmedit::fitOnScreen()
{
    const QPoint corner = frameGeometry().topLeft();
    const PixelGeometry now{corner.x(), corner.y(), width(), height()};
    const PixelGeometry fit = fittedOnScreens(now);
    if (fit == now)
        return;
    resize(fit.width, fit.height);
    move(fit.x, fit.y);
}

bool frmedit::placeRestoredFrame()
{
    // A window manager may put the inner area where the frame was asked
    // for, before it knows the frame; once the frame is there, move the
    // window so that the frame is where it was stored.
    if (!m_restoreFrameAt || !isVisible())
        return !m_restoreFrameAt;
    const QPoint wanted = *m_restoreFrameAt;
    const bool framed = geometry() != frameGeometry();
    if (framed && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QRect in = geometry(), out = frameGeometry();
        m_frameMargins = QMargins(in.left() - out.left(), in.top() - out.top(),
                                  out.right() - in.right(), out.bottom() - in.bottom());
    }
    const bool inPlace = frameGeometry().topLeft() == wanted;
    if (!framed && (inPlace || geometry().topLeft() == wanted))
        return false; // no frame yet
    m_restoreFrameAt.reset();
    // The inner area at the frame's place is that misplacement; any other
    // place is a move of its own (the first-run centring, the user).
    if (framed && !inPlace && geometry().topLeft() == wanted)
        move(wanted);
    // The frame's real margins are known now: the window with its frame
    // goes wholly on a screen (a scaled screen may round the frame's place
    // off the one asked for, so this does not wait for an exact match).
    if (framed && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        fitOnScreen();
    return true;
}

void frmedit::LoadWindowSettings()
{
    Surface *s = surface();
    s->setSelStart(0);
    const QSizeF screen = screenTwips();
    const RestoredWindowSettings r =
        readWindowSettings(settingsStore(), screen.width(), screen.height());
    if (r.fontSize) {
        m_cbofontsize->setCurrentText(QString::number(*r.fontSize));
        m_dialogFontSize = *r.fontSize;
        s->setSelFontSize(*r.fontSize);
    }
    if (r.fontName) {
        m_cbofontlist->setCurrentText(*r.fontName);
        m_dialogFontName = *r.fontName;
        s->setFontName(*r.fontName);
        s->setSelFontName(*r.fontName);
        cbofontlist_Click();
    }
    if (r.documentPath)
        m_documents->setPath(*r.documentPath);
    if (r.geometry) {
        // Wholly on a screen (the frame is added once it is known).
        const PixelGeometry g = fittedOnScreens(toPixelGeometry(*r.geometry, screenDpi()));
        move(g.x, g.y);
        resize(g.width, g.height);
        m_restoreFrameAt = QPoint(g.x, g.y);
    }
    if (r.showState == WindowShowState::Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    else if (r.showState == WindowShowState::FullScreen)
        setWindowState(windowState() | Qt::WindowFullScreen);
    // The text area alone takes the stored background; the bars around it
    // keep the desktop's palette, so their text stays readable in a dark one.
    if (r.background)
        s->setBackColor(*r.background);
    setCaption(documentCaption(QString()));
}

void frmedit::SaveWindowSettings()
{
    Twips g = geometryTwips();
    WindowSettingsSnapshot snap;
    // A maximised or full-screen window keeps the geometry it returns to.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        snap.showState = (windowState() & Qt::WindowFullScreen) ? WindowShowState::FullScreen
                                                                : WindowShowState::Maximized;
        const QRect normal = normalGeometry();
        if (normal.isValid()) {
            const QPoint corner =
                normal.topLeft() - QPoint(m_frameMargins.left(), m_frameMargins.top());
            const WindowGeometry n = toTwipsGeometry(
                PixelGeometry{corner.x(), corner.y(), normal.width(), normal.height()},
                screenDpi());
            g = Twips{n.top, n.left, n.height, n.width};
        }
    }
    snap.fontName = m_cbofontlist->currentText();
    snap.fontSize = m_cbofontsize->currentText();
    snap.documentPath = m_documents->path();
    snap.geometry = WindowGeometry{g.top, g.left, g.height, g.width};
    snap.background = surface()->backColor();
    snap.textColor = m_preferences.ctextcolor;
    writeWindowSettings(settingsStore(), snap);
}

// --- window events ------------------------------------------------------------

void frmedit::Form_Activate()
{
    const SettingsStore &store = settingsStore();
    m_chkautospellcorrect->setChecked(leadingNumber(store.get(kPrefs, QStringLiteral("chksautosc")))
                                      != 0);
    m_chkautosyntaxcolor->setChecked(
        leadingNumber(store.get(kPrefs, QStringLiteral("chkautosyntaxcolor"))) != 0);
    m_chkautotreesearch->setChecked(
        isTreeSearchOn(store.get(kPrefs, QStringLiteral("autotreesearch"))));
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    for (QCheckBox *box : {m_chkautotreesearch, m_chkautospellcorrect, m_chkautosyntaxcolor}) {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, m_cblf->palette().color(QPalette::Window));
        box->setPalette(pal);
    }
    Form_Resize();
    // Looked at once the activation is over, so its questions are not
    // asked from inside the window system's event.
    if (!m_diskCheckQueued) {
        m_diskCheckQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_diskCheckQueued = false;
                m_documents->checkFileOnDisk();
            },
            Qt::QueuedConnection);
    }
}

void frmedit::Form_Resize()
{
    const int width = m_client->width();
    int top = 0;
    if (menuItem(QStringLiteral("viewStandardtoolbar"))->isChecked()) {
        const int h = m_Toolbar1->sizeHint().height();
        m_Toolbar1->setGeometry(0, top, width, h);
        top += h;
    }
    if (menuItem(QStringLiteral("viewformattingtoolbar"))->isChecked()) {
        const int h = m_cblf->sizeHint().height();
        m_cblf->setGeometry(0, top, width, h);
        top += h;
    }
    int bottom = m_client->height();
    if (menuItem(QStringLiteral("viewstatusbar"))->isChecked()) {
        const int h = m_stb->sizeHint().height();
        bottom -= h;
        m_stb->setGeometry(0, bottom, width, h);
    }
    // A window too small for the bars leaves the surface as it was.
    if (bottom - top < 0 || width <= 0)
        return;
    m_rtfedit->setGeometry(0, top, width, bottom - top);
}

void frmedit::toggleView(QAction *item, QWidget *bar)
{
    // The item's check mark has already been inverted by the menu.
    bar->setVisible(item->isChecked());
    Form_Resize();
}

void frmedit::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_loaded)
        Form_Activate();
}

bool frmedit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        Form_Resize();
    if (watched == m_cancelLoad && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_cancelLoad->click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmedit::closeEvent(QCloseEvent *event)
{
    // Every way out passes the one save question; one that asked it
    // already (Load Defaults, the session ending) is not asked again.
    if (!m_documents->mayLeave()) {
        m_endAtOnce = false;
        event->ignore();
        return;
    }
    // A tool dialog still open goes first, ending its tool; closing it
    // would otherwise show this window again after it closed.
    if (frmJavaX *tool = frmJavaX::instance())
        tool->close();
    if (!m_endAtOnce)
        SaveWindowSettings();
    if (m_splash)
        m_splash->dismiss();
    m_Timer1->stop();
    if (m_frmpref)
        m_frmpref->deleteLater();
    m_documents->closing();
    event->accept();
}

bool frmedit::commitData(bool interactionAllowed)
{
    // Without interaction nothing can be asked; the session manager ends
    // the program as it likes.
    if (!interactionAllowed)
        return true;
    // A No here is made final by the close that ends the session (it asks
    // nothing again); a session end that is called off keeps the copy.
    return m_documents->mayLeave();
}

void frmedit::setCaption(const QString &caption)
{
    QString title = caption;
    if (title.endsWith(QLatin1Char('*')))
        title.chop(1);
    if (surface()->isModified())
        title += QLatin1Char('*');
    setWindowTitle(title);
    // The document now holds another file (Open, New, Save As to another
    // name): the last compile's markers were not about it.
    if (m_markers && m_documents && m_documents->path() != m_markedPath) {
        m_markers->clear();
        m_markedPath.clear();
    }
    // Assistive technology names the text "Document" and describes it
    // with its file's name.
    const QString path = m_documents ? m_documents->path() : QString();
    m_rtfedit->setAccessibleDescription(namesNoFile(path) ? QString() : QFileInfo(path).fileName());
}

void frmedit::openDroppedFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    m_documents->openPath(paths.first());
    for (qsizetype i = 1; i < paths.size(); ++i)
        m_documents->NewWindow(paths[i]);
}

void frmedit::updateHistoryItems()
{
    if (QAction *undo = menuItem(QStringLiteral("undo")))
        undo->setEnabled(surface()->canUndo());
    if (QAction *redo = menuItem(QStringLiteral("redo")))
        redo->setEnabled(surface()->canRedo());
}

// --- control events -----------------------------------------------------------

void frmedit::Toolbar1_ButtonClick(QAction *button)
{
    const QString key = button->objectName();
    if (key == QLatin1String("Bold") || key == QLatin1String("Italic")
        || key == QLatin1String("Underline")) {
        toggleStyle(button);
        return;
    }
    if (const char *command = menuCommandOfKey(key.toLatin1().constData()))
        if (QAction *item = menuItem(QLatin1String(command)))
            item->trigger();
}

void frmedit::toggleStyle(QAction *button)
{
    Surface *s = surface();
    const QString key = button->objectName();
    if (key == QLatin1String("Bold")) {
        s->setSelBold(!s->selBold().value_or(false));
        button->setChecked(s->selBold().value_or(false));
    } else if (key == QLatin1String("Italic")) {
        s->setSelItalic(!s->selItalic().value_or(false));
        button->setChecked(s->selItalic().value_or(false));
    } else {
        s->setSelUnderline(!s->selUnderline().value_or(false));
        button->setChecked(s->selUnderline().value_or(false));
    }
}

void frmedit::cbofontlist_Click()
{
    const QString name = m_cbofontlist->currentText();
    if (name.isEmpty())
        return;
    m_dialogFontName = name;
    surface()->setFontName(m_dialogFontName);
    m_cbofontlist->setCurrentText(m_dialogFontName);
}

void frmedit::cbofontsize_Click()
{
    const double size = leadingNumber(m_cbofontsize->currentText());
    if (size > 0) {
        m_dialogFontSize = size;
        surface()->setFontSize(size);
    }
    m_rtfedit->setFocus();
}

void frmedit::rtfedit_Change()
{
    m_typing->onChange();
}

void frmedit::rtfedit_SelChange()
{
    m_typing->onSelChange();
}

void frmedit::connectDialogCommands()
{
    auto on = [this](const char *name, auto &&handler) {
        connect(menuItem(QLatin1String(name)), &QAction::triggered, this, handler);
    };
    // Tools.
    on("compile", [this] {
        saveBeforeCompile();
        openTool(QStringLiteral("Compile"));
    });
    on("run", [this] { openTool(QStringLiteral("Run")); });
    on("appletviewer", [this] { openTool(QStringLiteral("Appletviewer")); });
    on("jar", [this] { openTool(QStringLiteral("Jar")); });
    m_toolLocations = std::make_unique<ToolLocations>();
    m_markers = std::make_unique<CompilerMarkers>(*surface());
    on("nexterror", [this] { gotoToolLocation(1); });
    on("previouserror", [this] { gotoToolLocation(-1); });
    for (const char *name : {"htmlconverter", "native2asciiconverter", "javadoc", "javap"})
        on(name, [this] {
            m_prompter->message(QStringLiteral("this option doesn't work yet"), QString(),
                                MsgIcon::None, MsgButtons::Ok);
        });

    // Find and replace: one dialog, loaded hidden and kept.
    m_find = new frmFind(*surface(), m_rtfedit, *m_prompter, this);
    m_find->setSuspendOffer(
        [this] { return AskSuspendAutoFeatures(*m_prompter, m_typingHost->switches()); });
    on("Find", [this] { m_find->showFromMenu(); });
    on("replace", [this] { m_find->showFromMenu(); });
    on("Find_next", [this] { m_find->findNext(); });
    on("timeanddate", [this] {
        frmDateTime::timeanddate(*surface(), m_preferences.singleLineComment, settingsStore(),
                                 this);
    });

    on("preferences", [this] { showPreferences(); });
    on("about", [this] { frmAbout::showAbout(*m_prompter, this); });
    on("printa", [this] {
        // The hourglass is on while pages print, not while a question is open.
        printDocumentOrPdf(*surface(), *m_prompter, m_documents->path());
    });
    on("printd", [this] {
        printWithDialog(
            *surface(),
            [this](QPrinter &printer, bool hasSelection) {
                return execPrintDialog(printer, hasSelection, this);
            },
            nullptr, printJobTitle(m_documents->path()));
    });
}

void frmedit::connectFormattingCommands()
{
    m_commandHost = std::make_unique<WindowCommandHost>(*this);
    auto on = [this](const char *name, auto &&handler) {
        connect(menuItem(QLatin1String(name)), &QAction::triggered, this, handler);
    };
    on("colorizeallrtf", [this] { colorizeallrtf(*m_commandHost); });
    // Each whole-document command is one undo step, however it edits.
    on("spellcorrectallrtf", [this] {
        Surface::UndoGroup step(*surface());
        spellcorrectallrtf(*m_commandHost);
    });
    on("indentallrtf", [this] {
        Surface::UndoGroup step(*surface());
        indentallrtf(*m_commandHost);
    });
    on("lowercase", [this] { runCaseCommand('L'); });
    on("uppercase", [this] { runCaseCommand('U'); });
    on("invertcase", [this] { runCaseCommand('I'); });
    on("capitalize", [this] { runCaseCommand('C'); });
    on("editstructures", [this] { editstructures(*m_commandHost, this); });
    const char *templates[] = {"insertif",      "insertifelse",    "insertswitch",
                               "insertforloop", "insertwhileloop", "insertdowhileloop"};
    for (int k = 1; k <= kTemplateCount; ++k)
        on(templates[k - 1], [this, k] { insertTemplate(*m_commandHost, k); });
}

void frmedit::runCaseCommand(char which)
{
    switch (which) {
    case 'L': lowercase(*m_commandHost); break;
    case 'U': uppercase(*m_commandHost); break;
    case 'I': invertcase(*m_commandHost, m_typingHost->switches()); break;
    case 'C': capitalize(*m_commandHost, m_typingHost->switches()); break;
    }
}

QString frmedit::saveBeforeCompile()
{
    const QString before = m_documents->path();
    if (m_documents->isModified()
        && m_prompter->message(QStringLiteral("Do you wish to save the file before compiling?"),
                               QStringLiteral("File not saved"), MsgIcon::Question,
                               MsgButtons::YesNo)
               == MsgAnswer::Yes)
        m_documents->Save();
    return m_documents->path() != before ? m_documents->path() : QString();
}

void frmedit::openTool(const QString &mode)
{
    // A path that is only the Open dialog's starting folder names no document.
    const QString path = namesNoFile(m_documents->path()) ? QString() : m_documents->path();
    frmJavaX *dialog = frmJavaX::open(mode, path, *m_prompter, settingsStore(), this);
    if (!dialog)
        return;
    dialog->setCompileCommand([this] { menuItem(QStringLiteral("compile"))->trigger(); });
    dialog->setSaveDocument([this] { return saveBeforeCompile(); });
    dialog->setLocations(m_toolLocations.get());
    dialog->setLocationOpener(
        [this](const QString &file, int line, int index) { openToolLocation(file, line, index); });
    connect(dialog, &frmJavaX::compileStarted, this, [this] {
        m_markers->clear();
        UpdateStatusBar();
    });
    connect(dialog, &frmJavaX::compileEnded, this, &frmedit::placeCompilerMarkers);
}

void frmedit::gotoToolLocation(int direction)
{
    const int index = m_toolLocations->step(direction);
    if (index < 0) {
        setStatusText(m_toolLocations->count() == 0
                          ? QStringLiteral("No errors in the last tool run")
                          : QStringLiteral("No file of the last tool run's errors was found"));
        return;
    }
    openToolLocation(m_toolLocations->resolve(index), m_toolLocations->at(index).line, index);
}

void frmedit::placeCompilerMarkers()
{
    const QString path = m_documents->path();
    if (namesNoFile(path)) {
        m_markers->clear();
        return;
    }
    m_markers->place(*m_toolLocations, path);
    m_markedPath = path;
    UpdateStatusBar();
}

void frmedit::showLoadCancel(bool on)
{
    if (on == m_cancelLoad->isVisible())
        return;
    if (on) {
        m_cancelLoad->show();
        // Also for the window about to show with the file named at start.
        if (m_rtfedit->hasFocus() || !isActiveWindow())
            m_cancelLoad->setFocus();
    } else {
        const bool hadFocus = focusWidget() == m_cancelLoad;
        m_cancelLoad->hide();
        if (hadFocus)
            m_rtfedit->setFocus();
    }
}

void frmedit::applyEditorPreferences()
{
    m_rtfedit->setLineNumbers(m_preferences.linenumbers);
}

bool frmedit::openToolLocation(const QString &path, int line, int index)
{
    const QFileInfo wanted(path);
    const bool same =
        !namesNoFile(m_documents->path())
        && QFileInfo(m_documents->path()).canonicalFilePath() == wanted.canonicalFilePath();
    if (!same && !m_documents->openPath(path, false))
        return false;
    // A file the last compile named, opened from its messages, shows them.
    if (!same)
        placeCompilerMarkers();
    Surface &s = *surface();
    const int target = std::clamp(line - 1, 0, std::max(0, s.lineCount() - 1));
    // At the compiler's column when its message gave one, else at the code.
    const int column =
        index >= 0 && index < m_toolLocations->count() ? m_toolLocations->at(index).column : -1;
    m_rtfedit->land(column >= 0 && column <= s.lineLength(target) ? s.lineIndex(target) + column
                                                                  : firstNonBlank(s, target));
    if (index >= 0)
        setStatusText(locationStatus(*m_toolLocations, index));
    return true;
}

void frmedit::connectTypingAssist()
{
    m_cbotree = new CompletionBox(m_client);
    m_typingHost = std::make_unique<WindowTypingHost>(*this);
    m_typing = std::make_unique<TypingAssist>(*m_typingHost);
    connect(m_rtfedit, &SurfaceView::clicked, this, [this] { m_typing->onClick(); });
    // "INS" reads grey while typing overwrites.
    connect(m_rtfedit, &SurfaceView::overwriteModeToggled, this,
            [this](bool overwrite) { m_panels[5]->setEnabled(!overwrite); });
    // The box's own keys; after a choice the surface gets the focus back
    // a moment later.
    connect(m_cbotree, &CompletionBox::boxKeyDown, this, [this](int key) {
        m_typing->boxKeyDown(key);
        const KeyCommandDef *command =
            keyCommandFor(QKeyCombination(Qt::Key(key)), KeyScope::CompletionBox);
        if (command && command->id == KeyCommand::ChooseInBox)
            m_Timer1->start(100);
    });
    connect(m_cbotree, &CompletionBox::boxActivated, this, [this](int item) {
        m_typing->boxActivated(item);
        m_Timer1->start(100);
    });
    connect(m_cbotree, &CompletionBox::boxKeyPress, this,
            [this](const QString &text) { m_typing->boxKeyPress(text); });
    connect(m_cbotree, &CompletionBox::typedThrough, this,
            [this](int key, Qt::KeyboardModifiers modifiers, const QString &text) {
                m_rtfedit->setFocus();
                QKeyEvent typed(QEvent::KeyPress, key, modifiers, text);
                QApplication::sendEvent(m_rtfedit, &typed);
            });
    connect(m_chkautotreesearch, &QCheckBox::clicked, this, [this](bool on) {
        AutoTreeSearchTicked(on, m_tree, settingsStore(), *m_prompter, treeLoadHooks());
        if (!on)
            m_typing->clearBox();
    });
}

TreeLoadHooks frmedit::treeLoadHooks()
{
    TreeLoadHooks hooks;
    hooks.showWait = [this](const QString &text) {
        if (!m_wait)
            m_wait = new frmwait(this);
        m_wait->setWaitText(text);
        m_wait->show();
        m_wait->repaint();
    };
    hooks.setWaitText = [this](const QString &text) {
        if (m_wait) {
            m_wait->setWaitText(text);
            m_wait->repaint();
        }
    };
    hooks.hideWait = [this] {
        if (m_wait)
            m_wait->deleteLater();
    };
    hooks.yield = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    return hooks;
}

void frmedit::loadObjectTree(const QString &path)
{
    QString file = path;
    LoadObjectTree(file, m_tree, settingsStore(), *m_prompter, treeLoadHooks());
}

void frmedit::UpdateStatusBar()
{
    // On a compiler's marker, its message follows the caret's place.
    const QString note = m_markers ? m_markers->noteAt(surface()->selStart()) : QString();
    setStatusText(note.isEmpty() ? statusText(*surface())
                                 : statusText(*surface()) + QStringLiteral("   ") + note);
}

void frmedit::setStatusText(const QString &text)
{
    m_panels[0]->setText(text);
}

void frmedit::Timer1_Timer()
{
    m_Timer1->stop();
    if (m_cancelLoad->isVisible())
        m_cancelLoad->setFocus(); // the text waits for its file
    else
        m_rtfedit->setFocus();
}

} // namespace qln
