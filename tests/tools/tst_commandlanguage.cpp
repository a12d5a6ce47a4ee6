// The command-line coding language: normalisation, validation, evaluation
// with shell escaping and the Jar extras, the length limit and the
// "Invalid Code" question.
#include "settings/settingsstore.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"
#include "tools/commandlanguage.h"
#include "tools/toolmodes.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {

// The model of a mode's dialog with its catalogue, no store involved.
JavaXState stateFor(const QString &mode)
{
    JavaXState s;
    s.mode = mode;
    const ModeDef *def = findMode(mode);
    if (def) {
        for (const OptionDef &o : def->options)
            s.options[size_t(o.slot)].def = o;
        s.boxes.archiveInUse = def->archiveInUse;
    }
    s.ready = true;
    return s;
}

int slotOf(const JavaXState &s, const QString &sw)
{
    for (int i = 0; i < kOptionSlots; ++i)
        if (s.options[size_t(i)].def.switchText == sw)
            return i;
    return -1;
}

} // namespace

class TstCommandLanguage : public QObject {
    Q_OBJECT
private slots:
    void normalise_data()
    {
        QTest::addColumn<bool>("archive");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expected");
        QTest::newRow("upper-case keywords take their form")
            << false << "TEXTBOX1.FILENAME" << "TextBox1.FileName";
        QTest::newRow("default compile code")
            << false << "textbox2.text & \" \" & options & \" \" & textbox1.text"
            << "TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text";
        QTest::newRow("runs of blanks around & shrink to one")
            << false << "textbox2.text    &   options" << "TextBox2.Text & Options";
        QTest::newRow("blanks inside a literal shrink too")
            << false << "\"a    b\"" << "\"a b\"";
        QTest::newRow("textbox3 keeps its case outside Jar")
            << false << "textbox3.text" << "textbox3.Text";
        QTest::newRow("textbox3 takes its form in Jar") << true << "textbox3.text" << "TextBox3.Text";
        QTest::newRow("keyword inside a longer word is left")
            << false << "textboxes.texts" << "textboxes.texts";
        QTest::newRow("keyword inside a literal is rewritten")
            << false << "\"options\"" << "\"Options\"";
        QTest::newRow("trailing blank stays") << false << "options " << "Options ";
    }
    void normalise()
    {
        QFETCH(bool, archive);
        QFETCH(QString, code);
        QFETCH(QString, expected);
        QCOMPARE(NormaliseCode(code, archive), expected);
    }

    void parse_data()
    {
        QTest::addColumn<bool>("archive");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("tokens");
        QTest::newRow("default code")
            << false << "TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text" << true
            << QStringList{"TextBox2.Text", "\" \"", "Options", "\" \"", "TextBox1.Text"};
        QTest::newRow("no blanks around & is one token")
            << false << "TextBox1.Text&TextBox2.Text" << false << QStringList();
        QTest::newRow("trailing blank") << false << "TextBox1.Text " << false << QStringList();
        QTest::newRow("trailing &") << false << "TextBox1.Text &" << false << QStringList();
        QTest::newRow("literal only")
            << false << "\"javac -version\"" << true << QStringList{"\"javac -version\""};
        QTest::newRow("literal holding & and a keyword")
            << false << "\"a & Options\"" << true << QStringList{"\"a & Options\""};
        QTest::newRow("unclosed literal")
            << false << "TextBox1.Text & \"abc" << false << QStringList();
        QTest::newRow("lone double quote") << false << "TextBox1.Text & \"" << false << QStringList();
        QTest::newRow("TextBox3 outside Jar") << false << "TextBox3.Text" << false << QStringList();
        QTest::newRow("TextBox3 in Jar") << true << "TextBox3.Text" << true << QStringList{"TextBox3.Text"};
        QTest::newRow("unknown word") << false << "TextBox1.Text & foo" << false << QStringList();
        QTest::newRow("box without a part") << false << "TextBox1 & Options" << false << QStringList();
        QTest::newRow("part without a box") << false << "Text" << false << QStringList();
        QTest::newRow("two operands without &")
            << false << "TextBox1.Text TextBox2.Text" << false << QStringList();
        QTest::newRow("not normalised") << false << "textbox1.text" << false << QStringList();
        QTest::newRow("empty") << false << "" << false << QStringList();
        QTest::newRow("blanks only") << false << " " << false << QStringList();
    }
    void parse()
    {
        QFETCH(bool, archive);
        QFETCH(QString, code);
        QFETCH(bool, valid);
        QFETCH(QStringList, tokens);
        QStringList got;
        QCOMPARE(ParseCode(code, archive, &got), valid);
        if (valid)
            QCOMPARE(got, tokens);
    }

    void classification_marksLiteralsAndBlack()
    {
        const QString code = "TextBox1.Text & \"a b\" x";
        const std::vector<CodeClass> c = classifyCode(code, false);
        QCOMPARE(c[0], CodeClass::Keyword);
        QCOMPARE(c[8], CodeClass::Separator); // "."
        QCOMPARE(c[16], CodeClass::Other);    // opening quote keeps its colour
        QCOMPARE(c[18], CodeClass::Literal);  // blank inside the literal
        QCOMPARE(c[22], CodeClass::Other);    // the stray x
    }

    // The coding box's colours, made by the formatting engine, show exactly
    // the classes that validation reads.
    void colouringMatchesClassification_data()
    {
        QTest::addColumn<bool>("archive");
        QTest::addColumn<QString>("code");
        QTest::newRow("default code") << false << "TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text";
        QTest::newRow("literal first") << false << "\"a & Options\" & TextBox1.Path";
        QTest::newRow("stray word and dot") << false << "TextBox1.Texts & foo.bar";
        QTest::newRow("TextBox3 outside Jar") << false << "TextBox3.FileExt";
        QTest::newRow("TextBox3 in Jar") << true << "TextBox3.FileExt & Options";
        QTest::newRow("unclosed literal") << false << "Options & \"abc \"def\" \"x";
        QTest::newRow("keyword in a longer word") << false << "TextBox12.FileNames";
    }
    void colouringMatchesClassification()
    {
        QFETCH(bool, archive);
        QFETCH(QString, code);
        Surface box;
        box.setText(code);
        box.setSelStart(0);
        box.setSelLength(box.length());
        box.setSelStyle(16777215, true, true, true); // whatever it held before
        colourCode(box, archive);
        const std::vector<CodeClass> cls = classifyCode(code, archive);
        for (int i = 0; i < code.size(); ++i) {
            const CharFormat &f = box.formatAt(i);
            BgrColor colour = kCodeOtherColour;
            bool bold = false;
            switch (cls[size_t(i)]) {
            case CodeClass::Keyword: colour = kCodeKeywordColour; bold = true; break;
            case CodeClass::Separator: colour = kCodeSeparatorColour; bold = true; break;
            case CodeClass::Literal: colour = kCodeLiteralColour; break;
            case CodeClass::Other: break;
            }
            QVERIFY2(f.color == colour && f.bold == bold && !f.italic && !f.underline,
                     qPrintable(QStringLiteral("character %1 '%2': colour %3 bold %4")
                                    .arg(i).arg(code.at(i)).arg(f.color).arg(f.bold)));
        }
    }

    void evaluate_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("inFile");
        QTest::addColumn<QString>("expected");
        const QString myClass = "/src/My Class.java";
        QTest::newRow("default compile code")
            << "TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text" << myClass
            << "/jdk/bin/javac  -verbose  /src/My\\ Class.java";
        QTest::newRow("& adds no blank")
            << "TextBox1.FileName & TextBox1.FileExt" << myClass << "My\\ Class.java";
        QTest::newRow("path") << "TextBox1.Path" << myClass << "/src/";
        QTest::newRow("file title") << "TextBox1.FileTitle" << myClass << "My\\ Class.java";
        QTest::newRow("file name") << "TextBox1.FileName" << myClass << "My\\ Class";
        QTest::newRow("file ext") << "TextBox1.FileExt" << myClass << ".java";
        QTest::newRow("name without dot") << "TextBox1.FileName" << "/src/Makefile" << "Makefile";
        QTest::newRow("semicolon is escaped")
            << "TextBox1.Text" << "/src/a;rm x.java" << "/src/a\\;rm\\ x.java";
        QTest::newRow("wildcards stay")
            << "TextBox1.Text" << "/src/*.java" << "/src/*.java";
        QTest::newRow("literal only") << "\"javac -version\"" << myClass << "javac -version";
        QTest::newRow("literal keeps & and keywords")
            << "\"a & Options\"" << myClass << "a & Options";
        QTest::newRow("literals and options are not escaped")
            << "\"echo a;b\" & Options" << myClass << "echo a;b -verbose ";
        QTest::newRow("box 2 is the executable outside Jar")
            << "TextBox2.FileTitle" << myClass << "javac";
        QTest::newRow("double literal") << "\"a\"\"b\"" << myClass << "a\"\"b";
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
        QVERIFY(line);
        QCOMPARE(*line, expected);
    }

    void evaluate_invalidGivesNothing()
    {
        CodeContext c;
        c.boxes.inFile = "/a/B.java";
        QVERIFY(!EvaluateCode("TextBox1.Text ", c));
        QVERIFY(!EvaluateCode("TextBox3.Text", c));
    }

    // The escaped names reach the shell as one word each, and a name built
    // to run a second command runs nothing.
    void shellEscape_survivesTheShell_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("blank") << "My Class.java";
        QTest::newRow("semicolon and blank") << "a;rm x.java";
        QTest::newRow("quotes and dollar") << "it's \"$HOME\" `id`.java";
        QTest::newRow("pipes, redirections, globs in brackets") << "a|b>c<d&e[1]{2}(3)#~=!\\.java";
        QTest::newRow("tab and line break") << "a\tb\nc.java";
    }
    void shellEscape_survivesTheShell()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QProcess sh;
        sh.setWorkingDirectory(dir.path());
        sh.start("/bin/sh", {"-c", "printf '%s|' " + shellEscape(name) + " 'end'"});
        QVERIFY(sh.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()), name + "|end|");
        QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }

    void lengthLimit()
    {
        ScriptedPrompter p;
        JavaXState s = stateFor("Compile");
        codeChanged(s, QString(255, 'x'), p);
        QCOMPARE(s.code.size(), 255);
        QVERIFY(p.asked().empty());

        p.answer(MsgAnswer::Ok);
        codeChanged(s, QString(256, 'x'), p);
        QCOMPARE(s.code, QString(255, 'x'));
        QCOMPARE(p.messages(), QStringList{"Maximum 255 characters allowed"});
        QCOMPARE(p.asked()[0].message.icon, MsgIcon::Exclamation);
        QCOMPARE(p.asked()[0].message.buttons, MsgButtons::Ok);
    }

    // The default Jar code with "-x" ticked and a.txt: the executable, the
    // option letters, the archive, then two blanks and a.txt.
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
        const int x = slotOf(s, "-x");
        s.options[size_t(x)].ticked = true;
        s.options[size_t(x)].argument = "a.txt";
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::Built);
        QCOMPARE(s.commandLine, QStringLiteral("/jdk/bin/jar fx /w/out.jar  a.txt"));

        // Unticked, the input files take the extract place, escaped; a
        // ticked "-m" puts its manifest first.
        s.options[size_t(x)].ticked = false;
        s.boxes.inFile = "/w/My Hello.class";
        const int m = slotOf(s, "-m");
        s.options[size_t(m)].ticked = true;
        s.options[size_t(m)].argument = "/w/manifest.mf";
        s.options[0].ticked = true; // -c
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::Built);
        QCOMPARE(s.commandLine,
                 QStringLiteral("/jdk/bin/jar fcm /w/out.jar /w/manifest.mf /w/My\\ Hello.class"));

        // Without the Options operand the extras stay away.
        codeChanged(s, "textbox3.text", p);
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::Built);
        QCOMPARE(s.commandLine, QStringLiteral("/jdk/bin/jar"));
        QVERIFY(p.asked().empty());
    }

    void invalidCode_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("outcome");
        QTest::newRow("yes loads the default code")
            << int(MsgAnswer::Yes) << int(BuildOutcome::InvalidDefaultLoaded);
        QTest::newRow("no blinks") << int(MsgAnswer::No) << int(BuildOutcome::InvalidBlink);
    }
    void invalidCode()
    {
        QFETCH(int, answer);
        QFETCH(int, outcome);
        ScriptedPrompter p;
        JavaXState s = stateFor("Run");
        s.boxes.inFile = "/w/Hello.class";
        s.boxes.executable = "/jdk/bin/java";
        codeChanged(s, defaultCode("Run"), p);
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::Built);
        const QString before = s.commandLine;
        QCOMPARE(before, QStringLiteral("/jdk/bin/java   Hello"));

        codeChanged(s, "textbox1.text & bogus", p);
        p.answer(MsgAnswer(answer));
        QCOMPARE(int(BuildCommandLine(s, p)), outcome);
        QCOMPARE(p.asked().size(), size_t(1));
        const MessageRequest &q = p.asked()[0].message;
        QCOMPARE(q.title, QStringLiteral("Invalid Code"));
        QCOMPARE(q.text, QStringLiteral("The code for command line that you may have changed is invalid\r\n"
                                        "Do you want to load the Default code?\r\n"
                                        "If you need help on coding click the help button"));
        QCOMPARE(q.icon, MsgIcon::Exclamation);
        QCOMPARE(q.buttons, MsgButtons::YesNo);
        QCOMPARE(s.commandLine, before); // the previous command line stays
        QVERIFY(s.panelOpen);
        QVERIFY(!s.runEnabled);
        if (answer == int(MsgAnswer::Yes)) {
            QCOMPARE(s.code, NormaliseCode(defaultCode("Run"), false));
            QVERIFY(succeeded(BuildOutcome(outcome)));
        } else {
            QCOMPARE(s.code, QStringLiteral("TextBox1.Text & bogus"));
        }
    }

    void notReadyDoesNothing()
    {
        ScriptedPrompter p;
        JavaXState s = stateFor("Compile");
        s.ready = false;
        s.code = "bogus";
        QCOMPARE(BuildCommandLine(s, p), BuildOutcome::NotReady);
        QVERIFY(p.asked().empty());
    }

    void defaultCodesComeFromTheFactoryTable()
    {
        QCOMPARE(defaultCode("jar"), QStringLiteral("textbox3.text & \" \" & options & \" \" & textbox2.text"));
        QCOMPARE(defaultCode("Unknown"), QString());
        for (const ModeDef &m : toolModes())
            QVERIFY2(ParseCode(NormaliseCode(defaultCode(m.name), m.archiveInUse), m.archiveInUse),
                     qPrintable(m.name));
    }
};

QTEST_GUILESS_MAIN(TstCommandLanguage)
#include "tst_commandlanguage.moc"
