#include "settings/schema.h"

namespace qln::schema {

const WordList keywordList{QStringLiteral("ckeywordcount"), QStringLiteral("lstckeyword")};
const WordList otherList{QStringLiteral("cothercount"), QStringLiteral("lstcother")};
const WordList moreList{QStringLiteral("cmorecount"), QStringLiteral("lstcmore")};
const WordList spellingFrom{QStringLiteral("fromtocount"), QStringLiteral("lstsfrom")};
const WordList spellingTo{QStringLiteral("fromtocount"), QStringLiteral("lststo")};
const WordList recentFiles{QStringLiteral("count"), QStringLiteral("file")};

namespace {

const char *const kKeywords[] = {
    "abstract",
    "boolean",
    "break",
    "byte",
    "case",
    "catch",
    "char",
    "class",
    "const",
    "continue",
    "default",
    "do",
    "double",
    "else",
    "extends",
    "final",
    "finally",
    "float",
    "for",
    "goto",
    "if",
    "implements",
    "import",
    "instanceof",
    "int",
    "interface",
    "long",
    "native",
    "new",
    "package",
    "private",
    "protected",
    "public",
    "return",
    "short",
    "static",
    "strictftp",
    "super",
    "switch",
    "synchronized",
    "this",
    "throw",
    "throws",
    "transient",
    "try",
    "void",
    "volatile",
    "while",
    // Added later, after the list above, so that its entries keep their
    // numbers: the words the language gained, and "strictfp" spelled right
    // ("strictftp" stays, so stores written with it read the same).
    "assert",
    "enum",
    "strictfp",
    "var",
    "record",
    "sealed",
    "permits",
    "yield",
};
const char *const kOthers[] = {"null", "true", "false"};
const char *const kMores[] = {"{", "}", ";"};

const char *const kCategoryStem[] = {"", "ckeyword", "cother", "cmore", "cstring", "ccomment"};

// A template default: CR LF, its lines joined by CR LF, CR LF.
QString crlfLines(const QStringList &lines)
{
    const QString crlf = QStringLiteral("\r\n");
    return crlf + lines.join(crlf) + crlf;
}

std::vector<Entry> build()
{
    std::vector<Entry> t;
    const QString P = kPreferences;
    auto add = [&t](const QString &section, const QString &key, Form form, Origin origin,
                    const QString &def = QString()) {
        t.push_back(Entry{section, key, form, origin, def});
    };
    auto factory = [&](const QString &key, Form form, const QString &def) {
        add(P, key, form, Origin::Factory, def);
    };
    auto list = [&](const WordList &l, const auto &words) {
        factory(l.countKey, Form::Count, QString::number(std::size(words)));
        int i = 0;
        for (const char *w : words)
            factory(l.entryKey(++i), Form::Text, QString::fromLatin1(w));
    };

    // Reserved strings of the Java syntax.
    const char *const reserved[] = {"//", "/*", "*/", "\"", "'", "\\\"", "{", "}"};
    for (int i = 0; i < 8; ++i)
        factory(reservedStringKeys()[i], Form::Text, QString::fromLatin1(reserved[i]));

    // Completion box.
    factory(QStringLiteral("autotreesearch"), Form::Flag, QStringLiteral("1"));
    factory(QStringLiteral("setfocusontreebox"), Form::Check, QStringLiteral("0"));
    factory(QStringLiteral("dropdowncbo"), Form::Check, QStringLiteral("1"));
    factory(QStringLiteral("fixedcbotreepos"), Form::Flag, QStringLiteral("0"));
    factory(QStringLiteral("defcbotreeposx"), Form::Text, QStringLiteral("X"));
    factory(QStringLiteral("defcbotreeposy"), Form::Text, QStringLiteral("Y"));

    // Indentation.
    factory(QStringLiteral("opta1"), Form::Flag, QStringLiteral("1"));
    factory(QStringLiteral("opta2"), Form::Flag, QStringLiteral("0"));
    factory(QStringLiteral("txtaindnum"), Form::Text, QStringLiteral("1"));
    // Enter, a typed closing brace and the templates keep the indentation.
    factory(QStringLiteral("keepindent"), Form::Check, QStringLiteral("1"));
    // The line-number margin beside the text.
    factory(QStringLiteral("linenumbers"), Form::Check, QStringLiteral("1"));

    // Typing-time switches.
    factory(QStringLiteral("chksautosc"), Form::Check, QStringLiteral("1"));
    factory(QStringLiteral("chkautosyntaxcolor"), Form::Check, QStringLiteral("1"));

    // Word lists, each followed by its colour.
    list(keywordList, kKeywords);
    factory(colourKey(1), Form::Colour, QStringLiteral("255"));
    list(otherList, kOthers);
    factory(colourKey(2), Form::Colour, QStringLiteral("16711680"));
    list(moreList, kMores);
    factory(colourKey(3), Form::Colour, QStringLiteral("16711935"));
    factory(colourKey(5), Form::Colour, QStringLiteral("8355711"));
    factory(colourKey(4), Form::Colour, QStringLiteral("4227072"));
    factory(QStringLiteral("rtfbgcolor"), Form::Colour, QStringLiteral("16777215"));
    factory(kTextColour, Form::Colour, QStringLiteral("0"));
    factory(wholeWordKey(1), Form::Check, QStringLiteral("1"));
    factory(wholeWordKey(2), Form::Check, QStringLiteral("1"));
    factory(wholeWordKey(3), Form::Check, QStringLiteral("0"));

    // Statement templates.
    const QStringList tk = templateKeys();
    factory(tk[0], Form::Text, crlfLines({QStringLiteral("if ( <>= ) { }")}));
    factory(tk[1], Form::Text, crlfLines({"if ( <>= )", "{", "", "}", "else", "{", "", "}"}));
    factory(tk[2], Form::Text,
            crlfLines({"switch ( )", "{", "", "case :", "", "  break;", "case :", "", "  break;",
                       "case :", "", "}"}));
    factory(tk[3], Form::Text, crlfLines({"for  ( = ; <>= ; ++)", "{", "", "}"}));
    factory(tk[4], Form::Text, crlfLines({"while ( <>= )", "{", "", "}"}));
    factory(tk[5], Form::Text, crlfLines({"do", "{", "", "}while ( <>= );"}));

    // Style flags, flag by flag and within a flag category by category;
    // comments are italic.
    for (int flag = 1; flag <= 3; ++flag)
        for (int cat : kStyleWriteOrder)
            factory(styleKey(cat, flag), Form::StyleFlag,
                    cat == 5 && flag == 2 ? QStringLiteral("1") : QStringLiteral("0"));

    // Main window as designed.
    add(P, QStringLiteral("deffontname"), Form::Text, Origin::Designed);
    add(P, QStringLiteral("deffontsize"), Form::Text, Origin::Designed);
    add(P, QStringLiteral("fheight"), Form::Twips, Origin::Designed);
    add(P, QStringLiteral("fwidth"), Form::Twips, Origin::Designed);
    add(P, QStringLiteral("ftop"), Form::Twips, Origin::Designed);
    add(P, QStringLiteral("fleft"), Form::Twips, Origin::Designed);

    factory(QStringLiteral("CustomDateTime"), Form::Text, QStringLiteral("<custom>"));

    // The five tool sections.
    const QString cmd[] = {
        QStringLiteral(R"(textbox2.text & " " & options & " " & textbox1.text)"),
        QStringLiteral(R"(textbox2.text & " " & options & " " & textbox1.filename)"),
        QStringLiteral(R"(textbox2.text & " " & options & " " & textbox1.filetitle)"),
        QStringLiteral(R"(textbox3.text & " " & options & " " & textbox2.text)"),
        QStringLiteral(R"(textbox2.text & " " & options & " " & textbox1.text)"),
    };
    const bool archiveLike[] = {false, false, false, true, true};
    for (int m = 0; m < 5; ++m) {
        const QString s = toolSection(modes()[m]);
        add(s, QStringLiteral("IgnoreDashes"), Form::Check, Origin::Factory,
            archiveLike[m] ? QStringLiteral("1") : QStringLiteral("0"));
        add(s, QStringLiteral("LeaveSpaces"), Form::Check, Origin::Factory,
            archiveLike[m] ? QStringLiteral("0") : QStringLiteral("1"));
        add(s, QStringLiteral("CommandLineOptions"), Form::Text, Origin::Factory, cmd[m]);
        add(s, QStringLiteral("LaunchInSeparateWindow"), Form::Check, Origin::Factory,
            QStringLiteral("0"));
    }

    // What the probes find.
    for (const QString &mode : modes())
        add(toolSection(mode), kExe, Form::Text, Origin::Probe);
    add(P, QStringLiteral("src"), Form::Text, Origin::Probe);
    add(P, QStringLiteral("tree"), Form::Text, Origin::Probe);

    add(P, QStringLiteral("firstrun"), Form::Count, Origin::Marker, QStringLiteral("1"));

    // Saved by other parts of the program.
    add(P, QStringLiteral("rtftextcolor"), Form::Colour, Origin::Later);
    add(P, QStringLiteral("lastfilename"), Form::Text, Origin::Later);
    // 0 normal, 2 maximised, 3 full screen; the geometry keys keep the
    // normal geometry meanwhile.
    add(P, QStringLiteral("fwindowstate"), Form::Count, Origin::Later);
    add(P, spellingFrom.countKey, Form::Count, Origin::Later);
    // The File menu keeps its recent documents in a section of their own.
    add(kRecent, recentFiles.countKey, Form::Count, Origin::Later);
    for (int i = 1; i <= 8; ++i)
        add(kRecent, recentFiles.entryKey(i), Form::Text, Origin::Later);
    return t;
}

} // namespace

const std::vector<Entry> &entries()
{
    static const std::vector<Entry> table = build();
    return table;
}

const Entry *find(const QString &section, const QString &key)
{
    for (const Entry &e : entries())
        if (e.key == key && e.section.compare(section, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

QString factoryDefault(const QString &section, const QString &key)
{
    const Entry *e = find(section, key);
    return e && (e->origin == Origin::Factory || e->origin == Origin::Marker) ? e->def : QString();
}

QString styleKey(int category, int flag)
{
    return QStringLiteral("tbr%1font%2").arg(QLatin1String(kCategoryStem[category])).arg(flag);
}

QString colourKey(int category)
{
    // The comment and string keys are plural.
    switch (category) {
    case 4: return QStringLiteral("cstringscolor");
    case 5: return QStringLiteral("ccommentscolor");
    default: return QLatin1String(kCategoryStem[category]) + QStringLiteral("color");
    }
}

QString wholeWordKey(int category)
{
    return QLatin1String(kCategoryStem[category]) + QStringLiteral("wholeword");
}

const QStringList &reservedStringKeys()
{
    static const QStringList keys{
        QStringLiteral("SingleLineComment_String"),
        QStringLiteral("MultiLineCommentStart_String"),
        QStringLiteral("MultiLineCommentEnd_String"),
        QStringLiteral("String1_String"),
        QStringLiteral("String2_String"),
        QStringLiteral("Ignore_String"),
        QStringLiteral("BlockBeggining_String"),
        QStringLiteral("BlockEnding_String"),
    };
    return keys;
}

const QStringList &templateKeys()
{
    static const QStringList keys{
        QStringLiteral("insertif"),        QStringLiteral("insertifelse"),
        QStringLiteral("insertswitch"),    QStringLiteral("insertforloop"),
        QStringLiteral("insertwhileloop"), QStringLiteral("insertdowhileloop"),
    };
    return keys;
}

const QStringList &modes()
{
    static const QStringList names{QStringLiteral("Compile"), QStringLiteral("Run"),
                                   QStringLiteral("Appletviewer"), QStringLiteral("Jar"),
                                   QStringLiteral("Native2Ascii")};
    return names;
}

QString toolSection(const QString &mode)
{
    return QStringLiteral("JavaX-") + mode;
}

const QStringList &toolNames()
{
    static const QStringList names{QStringLiteral("javac"), QStringLiteral("java"),
                                   QStringLiteral("appletviewer"), QStringLiteral("jar"),
                                   QStringLiteral("native2ascii")};
    return names;
}

} // namespace qln::schema
