#include "tools/toolmodes.h"

#include "base/pathutil.h"
#include "base/prompter.h"
#include "settings/convert.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "tools/javapackage.h"

#include <QDir>
#include <QFileInfo>

namespace qln {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

OptionDef opt(int slot, const char *sw, const QString &description, const char *placeholder,
              EntryKind entry, int row = -1)
{
    return OptionDef{slot,  QString::fromLatin1(sw), description, QString::fromLatin1(placeholder),
                     entry, row < 0 ? slot : row};
}

QString vmDescription(const char *vm)
{
    return QStringLiteral("to select the \"%1\" VM").arg(QLatin1String(vm));
}

std::vector<ModeDef> buildModes()
{
    using E = EntryKind;
    const QString gHelp = QStringLiteral("-g").leftJustified(26)
                          + QStringLiteral("Generate all debugging info") + kCrLf
                          + QStringLiteral("-g:none").leftJustified(26)
                          + QStringLiteral("Generate no debugging info") + kCrLf
                          + QStringLiteral("-g:{lines,vars,source}").leftJustified(26)
                          + QStringLiteral("Generate only some debugging info");

    ModeDef compile{QStringLiteral("Compile"),
                    QStringLiteral("Compiler"),
                    QStringLiteral("Compile"),
                    false,
                    QString(),
                    true,
                    {}};
    compile.options = {
        opt(0, "-classpath", QStringLiteral("Specify where to find user class files"), "<path>",
            E::FolderBrowse),
        opt(1, "-sourcepath", QStringLiteral("Specify where to find input source files"), "<path>",
            E::FolderBrowse),
        opt(2, "-bootclasspath", QStringLiteral("Override location of bootstrap class files"),
            "<path>", E::FolderBrowse),
        opt(3, "-extdirs", QStringLiteral("Override location of installed extensions"), "<dirs>",
            E::FolderBrowse),
        opt(4, "-d", QStringLiteral("Specify where to place generated class files"), "<directory>",
            E::FolderBrowse),
        opt(5, "-target", QStringLiteral("Generate class files for specific VM version"),
            "<release>", E::Text),
        opt(6, "-encoding", QStringLiteral("Specify character encoding used by source files"),
            "<encoding>", E::EncodingList),
        opt(7, "-g", gHelp, ":none or :{lines,vars,source}", E::Text),
        opt(8, "-O", QStringLiteral("Optimize; may hinder debugging or enlarge class file"), "",
            E::None),
        opt(9, "-nowarn", QStringLiteral("Generate no warnings"), "", E::None),
        opt(10, "-verbose", QStringLiteral("Output messages about what the compiler is doing"), "",
            E::None),
        opt(11, "-deprecation",
            QStringLiteral("Output source locations where deprecated APIs are us"), "", E::None),
    };

    ModeDef run{QStringLiteral("Run"),
                QStringLiteral("Interpreter"),
                QStringLiteral("Run"),
                false,
                QString(),
                true,
                {}};
    run.options = {
        opt(0, "-classpath",
            QStringLiteral("set search path for application classes and resources"),
            "<directories and zip/jar files separated by ;>", E::FolderOrArchive),
        opt(1, "-D", QStringLiteral("set a system property"), "<name>=<value>", E::Text),
        opt(2, "-verbose", QStringLiteral("enable verbose output"), "[:class|gc|jni]", E::Text),
        opt(3, "-hotspot", vmDescription("hotspot"), "", E::None),
        opt(4, "-server", vmDescription("server"), "", E::None),
        opt(7, "-classic",
            vmDescription("classic") + kCrLf
                + QStringLiteral("If present, the option to select the VM must be first.") + kCrLf
                + QStringLiteral("The default VM is -hotspot."),
            "", E::None),
        opt(8, "-version", QStringLiteral("print product version and exit"), "", E::None),
        opt(9, "-showversion", QStringLiteral("print product version and continue"), "", E::None),
        opt(10, "-help", QStringLiteral("print this help message"), "", E::None),
        opt(11, "-X", QStringLiteral("print help on non-standard options"), "", E::None),
    };

    ModeDef applet{QStringLiteral("Appletviewer"),
                   QStringLiteral("Appletviewer"),
                   QStringLiteral("View"),
                   false,
                   QString(),
                   true,
                   {}};
    applet.options = {
        opt(0, "-debug", QStringLiteral("Start the applet viewer in the Java debugger"), "",
            E::None),
        opt(6, "-encoding", QStringLiteral("Specify character encoding used by HTML files"),
            "<encoding>", E::EncodingList, 1),
        opt(7, "-J", QStringLiteral("Pass argument to the java interpreter"), "<runtime flag>",
            E::Text),
    };

    ModeDef jar{QStringLiteral("Jar"),
                QStringLiteral("JAR (Java Archive Tool)"),
                QStringLiteral("Jar"),
                true,
                QStringLiteral("Archive"),
                true,
                {}};
    jar.options = {
        opt(0, "-c", QStringLiteral("create new archive"), "", E::None),
        opt(1, "-t", QStringLiteral("list table of contents for archive"), "", E::None),
        opt(2, "-x", QStringLiteral("extract named (or all) files from archive"), "<file(s)>",
            E::Text),
        opt(3, "-m", QStringLiteral("include manifest information from specified manifest file"),
            "<file>", E::FileBrowse),
        opt(4, "-M", QStringLiteral("do not create a manifest file for the entries"), "", E::None),
        opt(5, "-u", QStringLiteral("update existing archive"), "", E::None),
        opt(7, "-v", QStringLiteral("generate verbose output on standard output"), "", E::None),
        opt(8, "-0", QStringLiteral("store only; use no ZIP compression"), "", E::None),
        opt(9, "-i", QStringLiteral("generate index information for the specified jar files"), "",
            E::None),
        opt(10, "-C",
            QStringLiteral("change to the specified directory and include the following file"), "",
            E::None),
    };

    ModeDef native{
        QStringLiteral("Native2Ascii"), QString(), QString(), true, QString(), false, {}};
    return {compile, run, applet, jar, native};
}

// A stored tick or flag: a number (non-zero is on) or True/False; anything
// else reads as off.
bool readFlag(const SettingsStore &store, const QString &section, const QString &key, bool def)
{
    const std::optional<QString> v = store.find(section, key);
    if (!v)
        return def;
    try {
        return toBool(*v);
    } catch (const ConversionError &) {
        return false;
    }
}

QString flagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

bool modeIs(const QString &mode, const char *name)
{
    return mode.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The input box takes a new text: saved as LastInFile when it changed.
void setInputBox(JavaXState &state, const QString &text, SettingsStore &store)
{
    if (state.boxes.inFile == text)
        return;
    state.boxes.inFile = text;
    store.save(toolSectionOf(state.mode), toolkeys::kLastInFile, text);
}

void setArchiveBox(JavaXState &state, const QString &text, SettingsStore &store)
{
    if (state.boxes.archive == text)
        return;
    state.boxes.archive = text;
    store.save(toolSectionOf(state.mode), toolkeys::kLastArchive, text);
}

// A path or a list of paths reaches the tool as one word, exactly as
// typed or chosen: "*" included (a class path's "lib/*" is the tool's own
// wildcard). Other arguments are shell text, as the user wrote them.
QString optionArgument(const OptionSlot &s)
{
    switch (s.def.entry) {
    case EntryKind::FolderBrowse:
    case EntryKind::FolderOrArchive:
    case EntryKind::FileBrowse: return shellPath(s.argument, false);
    default: return s.argument;
    }
}

} // namespace

const std::vector<ModeDef> &toolModes()
{
    static const std::vector<ModeDef> modes = buildModes();
    return modes;
}

const ModeDef *findMode(const QString &name)
{
    for (const ModeDef &m : toolModes())
        if (m.name.compare(name, Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

const QStringList &encodingList()
{
    static const QStringList list{
        QStringLiteral("Arabic (ar) 8859_6"),     QStringLiteral("Byelorussian (be) 8859_5"),
        QStringLiteral("Czech (cs) 8859_2"),      QStringLiteral("Dutch (nl) 8859_1"),
        QStringLiteral("Dutch (nl) Cp1252"),      QStringLiteral("English (en) 8859_1"),
        QStringLiteral("English (en) Cp1252"),    QStringLiteral("German (de) 8859_1"),
        QStringLiteral("German (de) Cp1252"),     QStringLiteral("Greek (el) 8859_7"),
        QStringLiteral("Hebrew (iw) 8859_8"),     QStringLiteral("Japanese (ja) EUCJIS"),
        QStringLiteral("Japanese (ja) JIS"),      QStringLiteral("Japanese (ja) SJIS"),
        QStringLiteral("Macedonian (mk) 8859_5"), QStringLiteral("Maltese (mt) 8859_3"),
        QStringLiteral("Norwegian (no) Cp1252"),  QStringLiteral("Norwegian (no) 8859_1"),
        QStringLiteral("Polish (pl) 8859_2"),     QStringLiteral("Russian (ru) KOI8_R"),
        QStringLiteral("Russian (ru) 8859_5"),    QStringLiteral("Ukrainian (uk) 8859_5"),
    };
    return list;
}

QString LastWord(const QString &text)
{
    const qsizetype blank = text.lastIndexOf(QLatin1Char(' '));
    return blank < 0 ? text : text.mid(blank + 1);
}

QStringList FillModeList(const QString &current)
{
    QStringList items;
    for (const ModeDef &m : toolModes())
        if (m.name != current)
            items << m.name;
    return items;
}

QString toolSectionOf(const QString &mode)
{
    return schema::toolSection(mode);
}

QString BuildOptionString(const JavaXState &state)
{
    const QString sep = state.leaveSpaces ? QStringLiteral(" ") : QString();
    const bool jar = isJarMode(state.mode);
    QString result;
    for (const OptionSlot &s : state.options) {
        if (!s.ticked)
            continue;
        const QString &sw = s.def.switchText;
        result += sep + (state.ignoreDashes ? sw.mid(1) : sw);
        const bool argumentAtEnd = jar && (sw == QLatin1String("-m") || sw == QLatin1String("-x"));
        if (!s.argument.isEmpty() && !argumentAtEnd)
            result += QLatin1Char(' ') + optionArgument(s);
    }
    if (jar && !state.boxes.archive.isEmpty())
        result = (state.ignoreDashes ? QStringLiteral("f") : QStringLiteral("-f")) + sep + result;
    result += sep + state.other;
    return result;
}

void resetDialog(JavaXState &state, SettingsStore &store)
{
    state.runEnabled = true;
    for (OptionSlot &s : state.options)
        s = OptionSlot{};
    state.encodingVisible = false;
    state.encodingEnabled = false;
    state.encodingText.clear();
    state.panelOpen = false;
    state.commandLine.clear();
    // A path typed before switching modes survives the switch.
    if (!state.mode.isEmpty())
        store.save(toolSectionOf(state.mode), toolkeys::kExe, state.boxes.executable);
}

void applyTicks(JavaXState &state)
{
    for (OptionSlot &s : state.options)
        s.argumentEnabled = s.ticked;
    state.encodingEnabled = state.options[6].argumentEnabled;
}

BuildOutcome chkOPT_Click(JavaXState &state, int slot, Prompter &prompter)
{
    if (slot >= 0 && slot < kOptionSlots) {
        OptionSlot &s = state.options[size_t(slot)];
        s.argumentEnabled = s.ticked;
        if (slot == 6)
            state.encodingEnabled = s.argumentEnabled;
    }
    return BuildCommandLine(state, prompter);
}

BuildOutcome encodingChanged(JavaXState &state, const QString &text, Prompter &prompter)
{
    state.encodingText = text;
    state.options[6].argument = LastWord(text);
    return BuildCommandLine(state, prompter);
}

BuildOutcome fileBoxChanged(JavaXState &state, FileBox box, const QString &text,
                            SettingsStore &store, Prompter &prompter)
{
    qsizetype lead = 0;
    while (lead < text.size() && text.at(lead) == QLatin1Char(' '))
        ++lead;
    const QString value = text.mid(lead);
    const QString section = toolSectionOf(state.mode);
    switch (box) {
    case FileBox::Input:
        state.boxes.inFile = value;
        store.save(section, toolkeys::kLastInFile, value);
        break;
    case FileBox::Archive:
        state.boxes.archive = value;
        store.save(section, toolkeys::kLastArchive, value);
        break;
    case FileBox::Executable:
        state.boxes.executable = value;
        store.save(section, toolkeys::kExe, value);
        break;
    }
    return BuildCommandLine(state, prompter);
}

void saveOptions(const JavaXState &state, SettingsStore &store)
{
    const QString section = toolSectionOf(state.mode);
    for (int i = 0; i < kOptionSlots; ++i) {
        store.save(section, toolkeys::chk(i), flagText(state.options[size_t(i)].ticked));
        store.save(section, toolkeys::txt(i), state.options[size_t(i)].argument);
    }
    store.save(section, toolkeys::kOtherOptions, state.other);
}

void loadOptions(JavaXState &state, SettingsStore &store)
{
    const QString section = toolSectionOf(state.mode);
    for (int i = 0; i < kOptionSlots; ++i) {
        OptionSlot &s = state.options[size_t(i)];
        // A tick stored for a slot the mode does not show would add an
        // empty switch; such slots stay clear.
        if (!s.used())
            continue;
        s.ticked = readFlag(store, section, toolkeys::chk(i), false);
        s.argument = store.get(section, toolkeys::txt(i));
    }
    state.encodingText = state.options[6].argument;
    state.other = store.get(section, toolkeys::kOtherOptions);
}

bool closeCodePanel(JavaXState &state, SettingsStore &store, Prompter &prompter)
{
    if (!succeeded(BuildCommandLine(state, prompter)))
        return false;
    state.runEnabled = true;
    state.panelOpen = false;
    const QString section = toolSectionOf(state.mode);
    store.save(section, toolkeys::kIgnoreDashes, flagText(state.ignoreDashes));
    store.save(section, toolkeys::kLeaveSpaces, flagText(state.leaveSpaces));
    store.save(section, toolkeys::kCommandLineOptions, state.code);
    store.save(section, toolkeys::kLaunchInSeparateWindow, flagText(state.launchInSeparateWindow));
    return true;
}

void setOptionsShown(JavaXState &state, bool shown, SettingsStore &store)
{
    state.showOptions = shown;
    store.save(toolSectionOf(state.mode), toolkeys::kShowOptions, flagText(shown));
}

BuildOutcome LoadJavaXMode(JavaXState &state, const QString &mode, SettingsStore &store,
                           Prompter &prompter, const QString &documentPath)
{
    state.ready = false;
    state.mode = mode;
    for (OptionSlot &s : state.options)
        s = OptionSlot{};
    state.encodingVisible = false;
    const ModeDef *def = findMode(mode);
    if (def && def->hasCatalogue) {
        for (const OptionDef &o : def->options) {
            state.options[size_t(o.slot)].def = o;
            if (o.entry == EntryKind::EncodingList)
                state.encodingVisible = true;
        }
        state.archiveShown = def->archiveInUse;
        state.boxes.archiveInUse = def->archiveInUse;
        state.archiveCaption = def->archiveCaption;
        state.executableCaption = def->executableCaption;
        state.runCaption = def->runCaption;
    } else {
        state.archiveShown = true;
        state.boxes.archiveInUse = true;
        state.archiveCaption.clear();
        state.executableCaption.clear();
        state.runCaption.clear();
        prompter.message(kOptionNotSupported, QString(), MsgIcon::None, MsgButtons::Ok);
    }

    const QString section = toolSectionOf(mode);
    const std::optional<QString> shown = store.find(section, toolkeys::kShowOptions);
    setOptionsShown(state, !shown || *shown == QLatin1String("1"), store);

    const std::optional<QString> code = store.find(section, toolkeys::kCommandLineOptions);
    codeChanged(state, code ? *code : defaultCode(mode), prompter);
    state.ignoreDashes = readFlag(store, section, toolkeys::kIgnoreDashes, false);
    state.leaveSpaces = readFlag(store, section, toolkeys::kLeaveSpaces, false);
    state.launchInSeparateWindow =
        readFlag(store, section, toolkeys::kLaunchInSeparateWindow, false);
    state.boxes.executable = store.get(section, toolkeys::kExe);
    loadOptions(state, store);
    applyTicks(state);
    PickDefaultInput(state, documentPath, store);
    state.ready = true;
    return BuildCommandLine(state, prompter);
}

void PickDefaultInput(JavaXState &state, const QString &documentPath, SettingsStore &store)
{
    const QString section = toolSectionOf(state.mode);
    const QString last = store.get(section, toolkeys::kLastInFile);
    QString base;
    // A "*" is a pattern (no document yet) unless a file has that name.
    if (!namesNoFile(documentPath) && FileExists(documentPath))
        base = documentPath;
    else if (namesNoFile(last) || !FileExists(SplitPath(last, 2) + QLatin1Char('*')))
        base = documentPath;
    else
        base = last;
    base = ShortFolderPath(base);

    const QString stem = SplitPath(base, 2) + SplitPath(base, 5);
    const QString folder = SplitPath(base, 2);
    auto firstExisting = [](std::initializer_list<QString> candidates, const QString &otherwise) {
        for (const QString &c : candidates)
            if (FileExists(c))
                return c;
        return otherwise;
    };

    const QString &mode = state.mode;
    if (modeIs(mode, "Compile")) {
        setInputBox(
            state,
            firstExisting({stem + QStringLiteral(".java")}, folder + QStringLiteral("*.java")),
            store);
    } else if (modeIs(mode, "Run")) {
        setInputBox(
            state,
            firstExisting({stem + QStringLiteral(".class")}, folder + QStringLiteral("*.class")),
            store);
    } else if (modeIs(mode, "Appletviewer")) {
        if (!FileExists(stem + QStringLiteral(".ht*")))
            setInputBox(state,
                        !last.isEmpty() && FileExists(last) ? last
                                                            : folder + QStringLiteral("*.ht*"),
                        store);
        else
            setInputBox(
                state,
                firstExisting({stem + QStringLiteral(".htm"), stem + QStringLiteral(".html")},
                              stem + QStringLiteral(".ht*")),
                store);
    } else if (isJarMode(mode)) {
        setInputBox(state, FileExists(stem + QStringLiteral(".*")) ? base : QString(), store);
        const QString lastArchive = store.get(section, toolkeys::kLastArchive);
        setArchiveBox(state,
                      !lastArchive.isEmpty() && FileExists(lastArchive) ? lastArchive : QString(),
                      store);
    } else {
        setInputBox(state, base, store);
    }
}

bool CheckInputBox(FileBox box, const QString &text, const QString &label, Prompter &prompter)
{
    if (box != FileBox::Input) {
        if (FileExists(text))
            return true;
        prompter.message(QStringLiteral("Make sure ") + label + QStringLiteral(" path is correct"),
                         label + QStringLiteral(" file not found"), MsgIcon::Exclamation,
                         MsgButtons::Ok);
        return false;
    }
    if (!FileExists(text)) {
        const MsgAnswer a = prompter.message(
            label + QStringLiteral(" path is not correct") + kCrLf
                + QStringLiteral("Do you wish to continue execution?"),
            label + QStringLiteral(" not found"), MsgIcon::Question, MsgButtons::YesNo);
        if (a != MsgAnswer::Yes)
            return false;
    }
    // A file whose name holds "*" is one file, not many.
    if (SplitPath(text, 3).contains(QLatin1Char('*')) && !QFileInfo::exists(text)) {
        const MsgAnswer a =
            prompter.message(QStringLiteral("The Input File references to multiple files in folder")
                                 + kCrLf + SplitPath(text, 2),
                             QStringLiteral("Continue?"), MsgIcon::Question, MsgButtons::YesNo);
        if (a != MsgAnswer::Yes)
            return false;
    }
    return true;
}

namespace {

bool askContinue(Prompter &prompter, const QString &first, const QString &title)
{
    return prompter.message(first + kCrLf + QStringLiteral("Do you wish to continue execution?"),
                            title, MsgIcon::Question, MsgButtons::YesNo)
           == MsgAnswer::Yes;
}

// Compile's -d and the -encoding of Compile and Appletviewer.
bool checkOptionArguments(JavaXState &state, const QString &workingFolder, bool outputFolder,
                          Prompter &prompter)
{
    for (OptionSlot &s : state.options) {
        if (!s.ticked)
            continue;
        if (outputFolder && s.def.switchText == QLatin1String("-d")) {
            const QString arg = s.argument.trimmed();
            const QString resolved =
                arg.isEmpty() ? QString()
                              : QDir(workingFolder.isEmpty() ? QDir::currentPath() : workingFolder)
                                    .filePath(arg);
            if (resolved.isEmpty() || !QFileInfo(resolved).isDir()) {
                if (!askContinue(prompter, QStringLiteral("Output path does not exist"),
                                 QStringLiteral("Output path not found")))
                    return false;
                // The class files then go next to the sources.
                s.argument = QStringLiteral("./");
            }
        }
        if (s.def.switchText == QLatin1String("-encoding") && s.argument.isEmpty()) {
            if (!askContinue(prompter, QStringLiteral("Encoding is not correct"),
                             QStringLiteral("Error")))
                return false;
        }
    }
    return true;
}

} // namespace

namespace {

// The folder of a box's path when it exists, else "" (the run then starts
// in the program's current folder, as a failed change of folder leaves it,
// and as a file named without a folder means).
QString existingFolderOf(const QString &path)
{
    // A bare file name lies in the current folder, not in the root.
    if (path.isEmpty() || !path.contains(QLatin1Char('/')))
        return QString();
    const QString folder = SplitPath(path, 2);
    return QFileInfo(folder).isDir() ? folder : QString();
}

// A package whose folder does not match, or whose root cannot be read, is
// said before the run; the user may go on.
bool checkPackagePlace(const JavaXState &state, Prompter &prompter)
{
    const QString text = packagePlaceMessage(deriveArguments(state).place);
    return text.isEmpty() || askContinue(prompter, text, kPackageMessageTitle);
}

// The kit's own message when it has no applet viewer at all.
bool checkAppletviewer(const QString &executable, Prompter &prompter)
{
    if (!kitLacksAppletviewer(executable))
        return CheckInputBox(FileBox::Executable, executable, QStringLiteral("Appletviewer"),
                             prompter);
    prompter.message(kNoAppletviewerMessage, QStringLiteral("Appletviewer file not found"),
                     MsgIcon::Exclamation, MsgButtons::Ok);
    return false;
}

} // namespace

QString runFolderOf(const JavaXState &state)
{
    return existingFolderOf(isJarMode(state.mode) ? state.boxes.archive.trimmed()
                                                  : state.boxes.inFile.trimmed());
}

RunPlan prepareRun(JavaXState &state, Prompter &prompter)
{
    RunPlan plan;
    FileBoxes &b = state.boxes;
    b.inFile = b.inFile.trimmed();
    b.archive = b.archive.trimmed();
    b.executable = b.executable.trimmed();
    plan.workingFolder = runFolderOf(state);

    const QString &mode = state.mode;
    if (modeIs(mode, "Compile")) {
        plan.proceed =
            CheckInputBox(FileBox::Input, b.inFile, QStringLiteral("Input File"), prompter)
            && CheckInputBox(FileBox::Executable, b.executable, QStringLiteral("Compiler"),
                             prompter)
            && checkOptionArguments(state, plan.workingFolder, true, prompter)
            && checkPackagePlace(state, prompter);
    } else if (modeIs(mode, "Run")) {
        plan.proceed =
            CheckInputBox(FileBox::Input, b.inFile, QStringLiteral("Input File"), prompter)
            && CheckInputBox(FileBox::Executable, b.executable, QStringLiteral("Interpreter"),
                             prompter)
            && checkPackagePlace(state, prompter);
    } else if (modeIs(mode, "Appletviewer")) {
        plan.proceed =
            CheckInputBox(FileBox::Input, b.inFile, QStringLiteral("Input File"), prompter)
            && checkAppletviewer(b.executable, prompter)
            && checkOptionArguments(state, plan.workingFolder, false, prompter);
    } else if (isJarMode(mode)) {
        // A new archive (-c ticked) does not exist yet: its folder must.
        bool creating = false;
        for (const OptionSlot &s : state.options)
            if (s.ticked && s.def.switchText == QLatin1String("-c"))
                creating = true;
        const QString archiveCheck = creating && !b.archive.isEmpty() && !FileExists(b.archive)
                                         ? SplitPath(b.archive, 2)
                                         : b.archive;
        plan.proceed =
            CheckInputBox(FileBox::Archive, archiveCheck, QStringLiteral("Archive"), prompter)
            && CheckInputBox(FileBox::Executable, b.executable, QStringLiteral("Java Archive Tool"),
                             prompter);
    } else {
        plan.proceed = false; // Native2Ascii runs nothing
    }
    return plan;
}

} // namespace qln
