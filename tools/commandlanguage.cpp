#include "tools/commandlanguage.h"

#include "base/pathutil.h"
#include "base/prompter.h"
#include "formatting/formatrtf.h"
#include "settings/schema.h"
#include "surface/surface.h"
#include "tools/javapackage.h"
#include "tools/toolmodes.h"

#include <QFileInfo>

namespace qln {

namespace {

const QString kTextBox = QStringLiteral("TextBox");
const QString kOptions = QStringLiteral("Options");

const QStringList &partNames()
{
    static const QStringList names{QStringLiteral("Text"), QStringLiteral("Path"),
                                   QStringLiteral("FileTitle"), QStringLiteral("FileName"),
                                   QStringLiteral("FileExt")};
    return names;
}

QStringList boxNames(bool archiveInUse)
{
    QStringList names{QStringLiteral("TextBox1"), QStringLiteral("TextBox2")};
    if (archiveInUse)
        names << QStringLiteral("TextBox3");
    return names;
}

// The surface's whole-word rule: a needle that begins (ends) with a word
// character must not touch another word character on that side.
bool wholeWordAt(const QString &text, qsizetype pos, const QString &needle)
{
    if (Surface::isWordCharacter(needle.front()) && pos > 0
        && Surface::isWordCharacter(text.at(pos - 1)))
        return false;
    const qsizetype after = pos + needle.size();
    if (Surface::isWordCharacter(needle.back()) && after < text.size()
        && Surface::isWordCharacter(text.at(after)))
        return false;
    return true;
}

qsizetype findWholeWord(const QString &text, const QString &needle, qsizetype from,
                        Qt::CaseSensitivity cs)
{
    while (from <= text.size() - needle.size()) {
        const qsizetype p = text.indexOf(needle, from, cs);
        if (p < 0)
            return -1;
        if (wholeWordAt(text, p, needle))
            return p;
        from = p + 1;
    }
    return -1;
}

// One replacement pair applied as the from-to replacement does it: every
// whole-word occurrence in any letter case, each search continuing after
// the text just inserted.
void replacePair(QString &text, const QString &from, const QString &to)
{
    if (from.isEmpty())
        return;
    qsizetype pos = 0;
    while ((pos = findWholeWord(text, from, pos, Qt::CaseInsensitive)) >= 0) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

bool isBoxPart(const QString &token, bool archiveInUse)
{
    const qsizetype dot = token.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    return boxNames(archiveInUse).contains(token.left(dot))
           && partNames().contains(token.mid(dot + 1));
}

bool isLiteral(const QString &token)
{
    // A lone double quote is an unclosed literal, not an empty one.
    return token.size() >= 2 && token.front() == QLatin1Char('"')
           && token.back() == QLatin1Char('"');
}

QString operandValue(const QString &token, const FileBoxes &boxes)
{
    const qsizetype dot = token.indexOf(QLatin1Char('.'));
    const int n = token.mid(kTextBox.size(), dot - kTextBox.size()).toInt();
    const QString text = boxes.box(n);
    const QString part = token.mid(dot + 1);
    auto is = [&](const char *name) {
        return part.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    if (is("Text"))
        return text;
    if (is("Path"))
        return SplitPath(text, 2);
    if (is("FileTitle"))
        return SplitPath(text, 3);
    if (is("FileName"))
        return SplitPath(text, 5);
    if (is("FileExt"))
        return SplitPath(text, 4);
    return QString();
}

} // namespace

std::vector<CodeClass> classifyCode(const QString &code, bool archiveInUse)
{
    std::vector<CodeClass> cls(size_t(code.size()), CodeClass::Other);
    auto markWords = [&](const QStringList &words) {
        for (const QString &w : words) {
            qsizetype from = 0;
            qsizetype p;
            while ((p = findWholeWord(code, w, from, Qt::CaseSensitive)) >= 0) {
                for (qsizetype i = p; i < p + w.size(); ++i)
                    cls[size_t(i)] = CodeClass::Keyword;
                from = p + 1;
            }
        }
    };
    markWords(partNames());
    markWords(boxNames(archiveInUse) << kOptions);
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char(' ') || c == QLatin1Char('&') || c == QLatin1Char('.'))
            cls[size_t(i)] = CodeClass::Separator;
    }
    // Literals: quotes pair up from the left; what lies strictly between a
    // pair is literal text whatever it is.
    qsizetype open = code.indexOf(QLatin1Char('"'));
    while (open >= 0) {
        const qsizetype close = code.indexOf(QLatin1Char('"'), open + 1);
        if (close < 0)
            break;
        for (qsizetype i = open + 1; i < close; ++i)
            cls[size_t(i)] = CodeClass::Literal;
        open = code.indexOf(QLatin1Char('"'), close + 1);
    }
    return cls;
}

QString NormaliseCode(const QString &code, bool archiveInUse)
{
    QString text = code;
    const QStringList keywords{QStringLiteral("TextBox1"),
                               QStringLiteral("TextBox2"),
                               archiveInUse ? QStringLiteral("TextBox3") : QString(),
                               kOptions,
                               QStringLiteral("Text"),
                               QStringLiteral("Path"),
                               QStringLiteral("FileTitle"),
                               QStringLiteral("FileName"),
                               QStringLiteral("FileExt")};
    for (const QString &k : keywords)
        replacePair(text, k, k);
    const QString one = QStringLiteral(" "), two = QStringLiteral("  ");
    replacePair(text, two, one);
    replacePair(text, QStringLiteral("  &"), QStringLiteral(" &"));
    replacePair(text, QStringLiteral("&  "), QStringLiteral("& "));
    replacePair(text, QStringLiteral("   "), one);
    replacePair(text, two, one);
    replacePair(text, two, one);
    return text;
}

bool limitCodeLength(QString &code, Prompter &prompter)
{
    if (code.size() <= kMaxCodeLength)
        return false;
    prompter.message(QStringLiteral("Maximum 255 characters allowed"), QString(),
                     MsgIcon::Exclamation, MsgButtons::Ok);
    code.truncate(kMaxCodeLength);
    return true;
}

void codeChanged(JavaXState &state, const QString &text, Prompter &prompter)
{
    QString code = text;
    limitCodeLength(code, prompter);
    state.code = NormaliseCode(code, state.boxes.archiveInUse);
}

bool ParseCode(const QString &code, bool archiveInUse, QStringList *tokens)
{
    QStringList kept;
    auto done = [&](bool valid) {
        if (tokens)
            *tokens = kept;
        return valid;
    };
    if (code.isEmpty())
        return done(false);
    const std::vector<CodeClass> cls = classifyCode(code, archiveInUse);
    for (qsizetype i = 0; i < code.size(); ++i)
        if (cls[size_t(i)] == CodeClass::Other && code.at(i) != QLatin1Char('"'))
            return done(false);

    const qsizetype n = code.size();
    qsizetype pos = 0;
    int count = 0;
    while (pos < n) {
        while (pos < n && code.at(pos) == QLatin1Char(' '))
            ++pos;
        qsizetype end = pos;
        while (end < n
               && !(code.at(end) == QLatin1Char(' ') && cls[size_t(end)] != CodeClass::Literal))
            ++end;
        const QString token = code.mid(pos, end - pos);
        pos = end;
        if (++count % 2 == 0) {
            if (token != QLatin1String("&"))
                return done(false);
            if (pos >= n)
                kept << token; // a code that ends with "&"
        } else {
            kept << token;
        }
    }
    if (!kept.isEmpty() && kept.last() == QLatin1String("&"))
        return done(false);
    for (const QString &t : kept)
        if (!(isBoxPart(t, archiveInUse) || t == QLatin1String("&") || t == kOptions
              || isLiteral(t)))
            return done(false);
    return done(true);
}

namespace {

QString escapeForShell(const QString &text, bool keepWildcards)
{
    static const QString special = QStringLiteral(" \t|&;<>()$`\\\"'[]#~={}!^");
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            // A backslash before a line break would remove it.
            out += QLatin1Char('\'') + c + QLatin1Char('\'');
            continue;
        }
        if (special.contains(c)
            || (!keepWildcards && (c == QLatin1Char('*') || c == QLatin1Char('?'))))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

} // namespace

QString shellEscape(const QString &text)
{
    return escapeForShell(text, true);
}

QString shellPath(const QString &path, bool keepWildcards)
{
    const QString safe = path.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + path : path;
    return escapeForShell(safe, keepWildcards);
}

QString fileBoxArgument(const QString &boxText, const QString &value)
{
    const bool literal = !boxText.isEmpty() && QFileInfo::exists(boxText);
    return shellPath(value, !literal);
}

std::optional<QString> EvaluateCode(const QString &code, const CodeContext &context)
{
    QStringList tokens;
    if (!ParseCode(code, context.boxes.archiveInUse, &tokens))
        return std::nullopt;
    const bool withOptions = tokens.contains(kOptions, Qt::CaseInsensitive);
    const bool jarExtras = withOptions && isJarMode(context.mode);

    QString out;
    for (const QString &t : tokens) {
        if (t == QLatin1String("&"))
            continue;
        if (t.compare(kOptions, Qt::CaseInsensitive) == 0) {
            out += context.options;
        } else if (t.startsWith(kTextBox, Qt::CaseInsensitive) && !isLiteral(t)) {
            const qsizetype dot = t.indexOf(QLatin1Char('.'));
            const int n = t.mid(kTextBox.size(), dot - kTextBox.size()).toInt();
            const bool qualified =
                n == 1 && !context.className.isEmpty()
                && t.mid(dot + 1).compare(QLatin1String("FileName"), Qt::CaseInsensitive) == 0;
            QString value = qualified ? context.className : operandValue(t, context.boxes);
            // A code that writes the package itself ("a.b." & TextBox1.FileName)
            // keeps working: the package is not given twice.
            const qsizetype lastDot = value.lastIndexOf(QLatin1Char('.'));
            if (qualified && lastDot > 0 && out.endsWith(value.left(lastDot + 1)))
                value = value.mid(lastDot + 1);
            out += fileBoxArgument(context.boxes.box(n), value);
        } else {
            out += t.mid(1, t.size() - 2);
        }
    }
    if (jarExtras) {
        const QString manifest = context.manifestExtra.trimmed();
        const QString extract = context.extractExtra.trimmed();
        if (!manifest.isEmpty() || !extract.isEmpty())
            out += QLatin1Char(' ') + manifest + QLatin1Char(' ') + extract;
    }
    return out;
}

bool isJarMode(const QString &mode)
{
    return mode.compare(QLatin1String("Jar"), Qt::CaseInsensitive) == 0
           || mode.compare(QLatin1String("JAR (JAVA ARCHIVE TOOL)"), Qt::CaseInsensitive) == 0;
}

QString defaultCode(const QString &mode)
{
    // Copied from the schema once, so later changes of the store never
    // reach them.
    static const QStringList codes = [] {
        QStringList c;
        for (const QString &m : schema::modes())
            c << schema::factoryDefault(schema::toolSection(m), toolkeys::kCommandLineOptions);
        return c;
    }();
    for (int i = 0; i < schema::modes().size(); ++i)
        if (schema::modes()[i].compare(mode, Qt::CaseInsensitive) == 0)
            return codes[i];
    return QString();
}

CodeContext codeContext(const JavaXState &state)
{
    CodeContext c;
    c.boxes = state.boxes;
    c.mode = state.mode;
    if (!isJarMode(state.mode))
        return c;
    bool manifestSeen = false, extractSeen = false;
    for (const OptionSlot &s : state.options) {
        if (!manifestSeen && s.def.switchText == QLatin1String("-m")) {
            manifestSeen = true;
            // A file: one word, whatever its name holds.
            c.manifestExtra = s.ticked ? shellPath(s.argument.trimmed(), false) : QString();
        } else if (!extractSeen && s.def.switchText == QLatin1String("-x")) {
            extractSeen = true;
            // Unticked, the input files are what jar adds or extracts: a
            // file box, so escaped like one.
            const QString inFile = state.boxes.inFile.trimmed();
            c.extractExtra = s.ticked ? s.argument : fileBoxArgument(inFile, inFile);
        }
    }
    return c;
}

QString invalidCodeQuestion()
{
    return QStringLiteral("The code for command line that you may have changed is invalid\r\n"
                          "Do you want to load the Default code?\r\n"
                          "If you need help on coding click the help button");
}

BuildOutcome BuildCommandLine(JavaXState &state, Prompter &prompter)
{
    if (!state.ready)
        return BuildOutcome::NotReady;
    const DerivedArguments derived = deriveArguments(state);
    CodeContext context = codeContext(state);
    context.options = BuildOptionString(derived.optionState);
    context.className = derived.className;
    if (derived.jarInputsSet)
        context.extractExtra = derived.jarInputs;
    if (const std::optional<QString> line = EvaluateCode(state.code, context)) {
        state.commandLine = *line;
        return BuildOutcome::Built;
    }
    state.runEnabled = false;
    state.panelOpen = true;
    const MsgAnswer a = prompter.message(invalidCodeQuestion(), QStringLiteral("Invalid Code"),
                                         MsgIcon::Exclamation, MsgButtons::YesNo);
    if (a == MsgAnswer::Yes) {
        state.code = NormaliseCode(defaultCode(state.mode), state.boxes.archiveInUse);
        return BuildOutcome::InvalidDefaultLoaded;
    }
    return BuildOutcome::InvalidBlink;
}

void colourCode(Surface &codingBox, bool archiveInUse)
{
    const int length = codingBox.length();
    codingBox.setStyleRanges({{0, length}},
                             Surface::TextStyle{kCodeOtherColour, false, false, false});

    // One style row: bold, whole word; literals (category 4) plain.
    FontStyleTable style{};
    style[1][1] = true;
    style[1][4] = true;
    QStringList parts{QString()};
    parts << partNames();
    QStringList boxes{QString()};
    boxes << QStringLiteral("TextBox1") << QStringLiteral("TextBox2")
          << (archiveInUse ? QStringLiteral("TextBox3") : QString()) << kOptions;
    int start = 0;
    ColorWordList(parts, int(parts.size() - 1), style, 1, start, length, codingBox,
                  kCodeKeywordColour, nullptr, 0, 0);
    ColorWordList(boxes, int(boxes.size() - 1), style, 1, start, length, codingBox,
                  kCodeKeywordColour, nullptr, 0, 0);
    style[1][4] = false;
    const QStringList separators{QString(), QStringLiteral(" "), QStringLiteral("&"),
                                 QStringLiteral(".")};
    ColorWordList(separators, 3, style, 1, start, length, codingBox, kCodeSeparatorColour, nullptr,
                  0, 0);

    int end = length;
    ColorLine(start, end, codingBox, QStringLiteral("\""), QString(), QString(), QString(),
              QString(), kCodeLiteralColour, kCodeOtherColour, style, 4, 5);
}

} // namespace qln
