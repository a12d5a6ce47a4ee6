// The command-line coding language: normalisation, validation, colouring,
// evaluation with shell escaping, the Jar extras, the length limit and the
// "Invalid Code" question.
#include "base/pathutil.h"
#include "settings/settingsstore.h"
#include "support/datarow.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"
#include "tools/commandlanguage.h"
#include "tools/toolmodes.h"
#include "toolsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;
using qln::test::factoryStore;
using qln::test::kitBin;
using qln::test::ScriptedPrompter;
using qln::test::stateFor;

namespace {

void tick(JavaXState &s, const QString &sw, const QString &argument, bool on = true)
{
    for (OptionSlot &o : s.options)
        if (o.def.switchText == sw) {
            o.ticked = on;
            o.argument = argument;
        }
}

} // namespace

class TstCommandLanguage : public QObject {
    Q_OBJECT
private slots:
    // A row's code is normalised to the second column (null: not checked)
    // and the result parsed into the tokens (none: invalid).
    void normaliseAndParse_data()
    {
        columns<bool, QString, QString, QStringList>("archive", "code", "normal", "tokens");
        const QStringList invalid;
        row("default code", false, "textbox2.text & \" \" & options & \" \" & textbox1.text",
            "TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text",
            QStringList{"TextBox2.Text", "\" \"", "Options", "\" \"", "TextBox1.Text"});
        row("upper case, runs of blanks around & shrink", false, "TEXTBOX2.TEXT    &   options",
            "TextBox2.Text & Options", QStringList{"TextBox2.Text", "Options"});
        row("blanks inside a literal shrink too", false, "\"a    b\"", "\"a b\"",
            QStringList{"\"a b\""});
        row("keyword inside a literal is rewritten, & in it stays", false, "\"a & options\"",
            "\"a & Options\"", QStringList{"\"a & Options\""});
        row("textbox3 outside Jar", false, "textbox3.text", "textbox3.Text", invalid);
        row("textbox3 in Jar", true, "textbox3.text", "TextBox3.Text",
            QStringList{"TextBox3.Text"});
        row("keyword inside a longer word is left", false, "textboxes.texts", "textboxes.texts",
            invalid);
        row("trailing blank stays", false, "options ", "Options ", invalid);
        row("no blanks around &", false, "TextBox1.Text&TextBox2.Text", QString(), invalid);
        row("trailing &", false, "TextBox1.Text &", QString(), invalid);
        row("unclosed literal", false, "TextBox1.Text & \"abc", QString(), invalid);
        row("unknown word", false, "TextBox1.Text & foo", QString(), invalid);
        row("box without a part", false, "TextBox1 & Options", QString(), invalid);
        row("not normalised", false, "textbox1.text", QString(), invalid);
        row("empty", false, "", "", invalid);
    }
    void normaliseAndParse()
    {
        QFETCH(bool, archive);
        QFETCH(QString, code);
        QFETCH(QString, normal);
        QFETCH(QStringList, tokens);
        if (!normal.isNull())
            QCOMPARE(NormaliseCode(code, archive), normal);
        else
            normal = code;
        QStringList got;
        QCOMPARE(ParseCode(normal, archive, &got), !tokens.isEmpty());
        if (!tokens.isEmpty())
            QCOMPARE(got, tokens);
    }

    // The coding box's colours show exactly the classes that validation reads.
    void colouringMatchesClassification()
    {
        const std::pair<bool, QString> cases[] = {
            {false, "TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text"},
            {false, "TextBox1.Texts & foo.bar"},     // stray word and dot
            {true, "TextBox3.FileExt & Options"},    // TextBox3 in Jar
            {false, "Options & \"abc \"def\" \"x"}}; // unclosed literal
        for (const auto &[archive, code] : cases) {
            Surface box;
            box.setText(code);
            box.setSelStart(0);
            box.setSelLength(box.length());
            box.setSelStyle(16777215, true, true, true); // whatever it held before
            colourCode(box, archive);
            const std::vector<CodeClass> cls = classifyCode(code, archive);
            for (int i = 0; i < code.size(); ++i) {
                const CharFormat &f = box.formatAt(i);
                const CodeClass c = cls[size_t(i)];
                const BgrColor colour = c == CodeClass::Keyword     ? kCodeKeywordColour
                                        : c == CodeClass::Separator ? kCodeSeparatorColour
                                        : c == CodeClass::Literal   ? kCodeLiteralColour
                                                                    : kCodeOtherColour;
                const bool bold = c == CodeClass::Keyword || c == CodeClass::Separator;
                QVERIFY2(f.color == colour && f.bold == bold && !f.italic && !f.underline,
                         qPrintable(QStringLiteral("%1: character %2").arg(code).arg(i)));
            }
        }
    }

    // A null expectation means the code is invalid and evaluates to nothing.
    void evaluate_data()
    {
        columns<QString, QString, QString>("code", "inFile", "expected");
        const QString myClass = "/src/My Class.java";
        row("default compile code", "TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text",
            myClass, "/jdk/bin/javac  -verbose  /src/My\\ Class.java");
        row("& adds no blank", "TextBox1.FileName & TextBox1.FileExt", myClass, "My\\ Class.java");
        row("path", "TextBox1.Path", myClass, "/src/");
        row("name without dot", "TextBox1.FileName", "/src/Makefile", "Makefile");
        row("semicolon is escaped", "TextBox1.Text", "/src/a;rm x.java", "/src/a\\;rm\\ x.java");
        row("wildcards stay", "TextBox1.Text", "/src/*.java", "/src/*.java");
        row("literals and options are not escaped", "\"echo a;b\" & Options", myClass,
            "echo a;b -verbose ");
        row("box 2 is the executable outside Jar", "TextBox2.FileTitle", myClass, "javac");
        row("double literal", "\"a\"\"b\"", myClass, "a\"\"b");
        row("invalid: TextBox3 outside Jar", "TextBox3.Text", myClass, QString());
    }
    void evaluate()
    {
        QFETCH(QString, code);
        QFETCH(QString, inFile);
        QFETCH(QString, expected);
        CodeContext c;
        c.boxes.inFile = inFile;
        c.boxes.executable = "/jdk/bin/javac";
        c.mode = "Compile";
        c.options = " -verbose ";
        const std::optional<QString> line = EvaluateCode(code, c);
        QCOMPARE(bool(line), !expected.isNull());
        if (line)
            QCOMPARE(*line, expected);
    }

    // Escaped names, and file box values made shell paths, reach a program
    // as exactly one argument each, and nothing they spell runs.
    void escapedNamesSurviveTheShell()
    {
        const QStringList names{"it's \"$HOME\" `id`.java",
                                "a|b>c<d&e[1]{2}(3)#~=!\\.java",
                                "a\tb\nc.java",
                                "out dir",
                                "$(touch pwned)",
                                "a;touch pwned",
                                "a&touch pwned|cat",
                                "-leading",
                                "*"};
        for (const QString &name : names)
            for (const bool path : {false, true}) {
                if (!path && name == QLatin1String("*"))
                    continue; // shellEscape keeps wildcards
                QTemporaryDir dir;
                QProcess sh;
                sh.setWorkingDirectory(dir.path());
                sh.start("/bin/sh", {"-c", "printf '%s|' "
                                               + (path ? shellPath(name, false) : shellEscape(name))
                                               + " 'end'"});
                QVERIFY(sh.waitForFinished(30000));
                const QString arrives = path && name.startsWith('-') ? "./" + name : name;
                QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()), arrives + "|end|");
                QVERIFY(
                    QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
            }
    }

    void shellPathRules_data()
    {
        columns<QString, bool, QString>("value", "keepWildcards", "expected");
        row("plain", "/src/A.java", true, "/src/A.java");
        row("empty stays empty", "", false, "");
        row("blank", "/out dir/", false, "/out\\ dir/");
        row("command substitution", "/tmp/x/$(touch p)", false, "/tmp/x/\\$\\(touch\\ p\\)");
        row("backticks and quotes", "`id` 'a' \"b\"", false, "\\`id\\`\\ \\'a\\'\\ \\\"b\\\"");
        row("; & |", "a;b&c|d", false, "a\\;b\\&c\\|d");
        row("line break", "a\nb", false, "a'\n'b");
        row("leading dash", "-version.java", false, "./-version.java");
        row("leading dash and blank", "-d x", false, "./-d\\ x");
        row("dash inside", "/a/-b", false, "/a/-b");
        row("wildcards as wildcards", "src/*.jav?", true, "src/*.jav?");
        row("wildcards as names", "lib/*", false, "lib/\\*");
    }
    void shellPathRules()
    {
        QFETCH(QString, value);
        QFETCH(bool, keepWildcards);
        QFETCH(QString, expected);
        QCOMPARE(shellPath(value, keepWildcards), expected);
    }

    // A file box's "*" is a wildcard, unless a file has that very name.
    void starInARealFileName()
    {
        QTemporaryDir dir;
        const QString real = dir.filePath("a*b.java");
        QFile f(real);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString pattern = dir.filePath("*.java");
        QCOMPARE(fileBoxArgument(pattern, pattern), shellEscape(dir.path()) + "/*.java");
        QCOMPARE(fileBoxArgument(real, real), shellEscape(dir.path()) + "/a\\*b.java");
        QCOMPARE(fileBoxArgument(real, SplitPath(real, 5)), "a\\*b");
        CodeContext c;
        c.boxes.inFile = real;
        c.boxes.executable = "/jdk/bin/javac";
        c.mode = "Compile";
        QCOMPARE(*EvaluateCode("TextBox1.FileTitle", c), QStringLiteral("a\\*b.java"));
    }

    void jarExtras()
    {
        ScriptedPrompter p;
        JavaXState s = stateFor("Jar");
        s.ignoreDashes = true;
        s.leaveSpaces = false;
        s.boxes.inFile = "/w/Hello.class";
        s.boxes.archive = "/w/out.jar";
        s.boxes.executable = "/jdk/bin/jar";
        codeChanged(s, defaultCode("Jar"), p);
        // "-x" ticked: the executable, the letters, the archive, two blanks, the files.
        tick(s, "-x", "a.txt");
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::Built);
        QCOMPARE(s.commandLine, QStringLiteral("/jdk/bin/jar fx /w/out.jar  a.txt"));

        // Unticked, the input files take its place, escaped; "-m" puts its manifest first.
        tick(s, "-x", QString(), false);
        tick(s, "-m", "/w/manifest.mf");
        tick(s, "-c", QString());
        s.boxes.inFile = "/w/My Hello.class";
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::Built);
        QCOMPARE(s.commandLine,
                 QStringLiteral("/jdk/bin/jar fcm /w/out.jar /w/manifest.mf /w/My\\ Hello.class"));

        // Without the Options operand the extras stay away.
        codeChanged(s, "textbox3.text", p);
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::Built);
        QCOMPARE(s.commandLine, QStringLiteral("/jdk/bin/jar"));
        QVERIFY(p.asked().empty());
    }

    // Declining the default keeps the bad code and blinks; accepting loads it.
    void invalidCode()
    {
        ScriptedPrompter p;
        JavaXState s = stateFor("Run");
        s.boxes.inFile = "/w/Hello.class";
        s.boxes.executable = "/jdk/bin/java";
        codeChanged(s, defaultCode("Run"), p);
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::Built);
        const QString before = s.commandLine;
        QCOMPARE(before, QStringLiteral("/jdk/bin/java   Hello"));

        codeChanged(s, "textbox1.text & bogus", p);
        p.answer(MsgAnswer::No);
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::InvalidBlink);
        QCOMPARE(p.asked().size(), size_t(1));
        const MessageRequest &q = p.asked()[0].message;
        QCOMPARE(q.title, QStringLiteral("Invalid Code"));
        QCOMPARE(q.text,
                 QStringLiteral("The code for command line that you may have changed is invalid\r\n"
                                "Do you want to load the Default code?\r\n"
                                "If you need help on coding click the help button"));
        QCOMPARE(q.icon, MsgIcon::Exclamation);
        QCOMPARE(q.buttons, MsgButtons::YesNo);
        QCOMPARE(s.commandLine, before);
        QVERIFY(s.panelOpen && !s.runEnabled);
        QCOMPARE(s.code, QStringLiteral("TextBox1.Text & bogus"));

        // A dialog that is not ready builds nothing and asks nothing.
        s.ready = false;
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::NotReady);
        s.ready = true;

        p.answer(MsgAnswer::Yes);
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::InvalidDefaultLoaded);
        QCOMPARE(p.asked().size(), size_t(2));
        QCOMPARE(s.code, NormaliseCode(defaultCode("Run"), false));
        QCOMPARE(s.commandLine, before);
        QVERIFY(s.panelOpen && !s.runEnabled);
    }

    void defaultCodesAreValid()
    {
        for (const ModeDef &m : toolModes())
            QVERIFY2(ParseCode(NormaliseCode(defaultCode(m.name), m.archiveInUse), m.archiveInUse),
                     qPrintable(m.name));
    }
};

QTEST_GUILESS_MAIN(TstCommandLanguage)
#include "tst_commandlanguage.moc"
