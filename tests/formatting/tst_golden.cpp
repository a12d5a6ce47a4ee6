// Colouring and indentation against expected files kept as data: every
// NAME.java of golden/colour is read as Open reads it and coloured as Open
// colours it, every NAME.java of golden/indent re-indented by "Auto&Indent
// all", both with the factory settings, and the result is compared with
// NAME.colours or NAME.indented.java beside it; a mismatch names the first
// line that differs. The coloured files must also come out the same from
// the plain reference engine. With QUILLON_REGEN_GOLDEN=1 the expected
// files are written from what the code does now (scripts/regen-golden.sh).
#include "fakehost.h"
#include "support/datarow.h"

#include "formatting/colorizeall.h"
#include "formatting/enginesupport.h"
#include "formatting/indenter.h"
#include "formatting/reference_formatrtf.h"
#include "settings/convert.h"
#include "surface/surface.h"
#include "surface/textfile.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace qln;
using namespace qln::enginetest;

namespace {

const QString kGolden = QStringLiteral(QUILLON_GOLDEN_DIR);

bool regenerating()
{
    return qEnvironmentVariableIntValue("QUILLON_REGEN_GOLDEN") == 1;
}

// The inputs of one folder, by name; expected files are not inputs.
QStringList inputs(const QString &folder)
{
    QStringList names = QDir(kGolden + QLatin1Char('/') + folder)
                            .entryList({QStringLiteral("*.java")}, QDir::Files, QDir::Name);
    names.removeIf([](const QString &n) { return n.endsWith(QLatin1String(".indented.java")); });
    return names;
}

// Expected files whose input is gone: an error when checking, removed
// when regenerating.
QStringList orphans(const QString &folder, const QString &suffix)
{
    QDir dir(kGolden + QLatin1Char('/') + folder);
    QStringList out;
    for (const QString &name : dir.entryList({QLatin1Char('*') + suffix}, QDir::Files)) {
        const QString input = name.left(name.size() - suffix.size()) + QStringLiteral(".java");
        if (!dir.exists(input))
            out << name;
    }
    if (regenerating())
        for (const QString &name : std::as_const(out))
            dir.remove(name);
    return regenerating() ? QStringList() : out;
}

// Compares what the code gives with the expected file, or writes it.
void check(const QString &expectedPath, const QByteArray &actual)
{
    QFile file(expectedPath);
    if (regenerating()) {
        QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(actual) == actual.size(),
                 qPrintable(expectedPath));
        return;
    }
    QVERIFY2(file.open(QIODevice::ReadOnly),
             qPrintable(expectedPath + QStringLiteral(" is missing: run scripts/regen-golden.sh")));
    const QByteArray expected = file.readAll();
    if (expected == actual)
        return;
    const QList<QByteArray> want = expected.split('\n'), got = actual.split('\n');
    qsizetype i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i])
        ++i;
    QFAIL(qPrintable(QStringLiteral("%1:%2 differs\n  expected: %3\n  actual:   %4\n"
                                    "(scripts/regen-golden.sh rewrites the expected files)")
                         .arg(expectedPath)
                         .arg(i + 1)
                         .arg(QString::fromUtf8(i < want.size() ? want[i] : "(end of file)"),
                              QString::fromUtf8(i < got.size() ? got[i] : "(end of file)"))));
}

// One letter per character for the colour file: the letter of the
// category whose colour the character has, upper case when it carries
// exactly that category's bold, italic and underline, lower case when
// not; text is '.' (',' with a style), any other colour '?'.
class Letters {
public:
    explicit Letters(const Preferences &p)
    {
        const QString colours[] = {p.ctextcolor, p.ckeywordcolor, p.cothercolor,
                                   p.cmorecolor, p.cstringscolor, p.ccommentscolor};
        const char *const names[] = {"text", "keywords", "other", "more", "strings", "comments"};
        const char letters[] = {'.', 'K', 'O', 'M', 'S', 'C'};
        for (int cat = 0; cat < 6; ++cat) {
            const Category c{toColour(colours[cat]), letters[cat], cat > 0 && p.fontstyle[cat][1],
                             cat > 0 && p.fontstyle[cat][2], cat > 0 && p.fontstyle[cat][3]};
            m_categories.push_back(c);
            QString styles;
            for (const auto &[on, style] :
                 {std::pair(c.bold, "bold"), std::pair(c.italic, "italic"),
                  std::pair(c.underline, "underline")})
                if (on)
                    styles += QLatin1String(", ") + QLatin1String(style);
            m_legend << QStringLiteral("%1 %2 (colour %3%4)")
                            .arg(QChar(QLatin1Char(c.letter)), QLatin1String(names[cat]))
                            .arg(c.colour)
                            .arg(styles);
        }
    }

    QChar of(const CharFormat &f) const
    {
        for (const Category &c : m_categories)
            if (f.color == c.colour) {
                if (f.bold == c.bold && f.italic == c.italic && f.underline == c.underline)
                    return QLatin1Char(c.letter);
                return QLatin1Char(c.letter == '.' ? ',' : char(c.letter - 'A' + 'a'));
            }
        return QLatin1Char('?');
    }
    QString legend() const { return m_legend.join(QStringLiteral(", ")); }

private:
    struct Category {
        BgrColor colour;
        char letter;
        bool bold, italic, underline;
    };
    std::vector<Category> m_categories;
    QStringList m_legend;
};

// Each line of the text (tabs widened to the next multiple of 4), and
// under it one letter for each of its characters' formats (a character
// outside the basic plane takes the letter of its first half).
QByteArray colourFile(const Surface &s, const Letters &letters)
{
    QString out = QStringLiteral("# Colours as Open gives them with the factory settings; under "
                                 "each line one letter a character:\n# ")
                  + letters.legend()
                  + QStringLiteral(".\n# Lower case: that colour without its styles "
                                   "(',' text with a style); '?' another colour.\n");
    const QString text = s.text();
    for (int start = 0; start < text.size();) {
        int end = int(text.indexOf(QLatin1String("\r\n"), start));
        if (end < 0)
            end = int(text.size());
        QString line, tags;
        for (int i = start; i < end; ++i) {
            const QChar tag = letters.of(s.formatAt(i));
            if (text.at(i) == QLatin1Char('\t')) {
                const int width = 4 - int(tags.size()) % 4;
                line += QString(width, QLatin1Char(' '));
                tags += QString(width, tag);
                continue;
            }
            line += text.at(i);
            tags += tag;
            if (text.at(i).isHighSurrogate() && i + 1 < end && text.at(i + 1).isLowSurrogate())
                line += text.at(++i); // one letter a character, not a code unit
        }
        out += line + QLatin1Char('\n') + tags + QLatin1Char('\n');
        start = end + 2;
    }
    return out.toUtf8();
}

// A row a sample of the folder, named by its file, giving its name.
void inputRows(const QString &folder)
{
    QTest::addColumn<QString>("name");
    for (const QString &name : inputs(folder))
        row(qPrintable(name), name.chopped(5));
}

} // namespace

class TstGolden : public QObject {
    Q_OBJECT
    Preferences m_prefs;

private slots:
    void initTestCase()
    {
        m_prefs = factoryPreferences();
        QVERIFY2(inputs(QStringLiteral("colour")).size() >= 4, qPrintable(kGolden));
        QVERIFY2(inputs(QStringLiteral("indent")).size() >= 4, qPrintable(kGolden));
        QCOMPARE(orphans(QStringLiteral("colour"), QStringLiteral(".colours")), QStringList());
        QCOMPARE(orphans(QStringLiteral("indent"), QStringLiteral(".indented.java")),
                 QStringList());
    }

    void colour_data() { inputRows(QStringLiteral("colour")); }
    void colour()
    {
        QFETCH(QString, name);
        const QString base = kGolden + QStringLiteral("/colour/") + name;
        const std::optional<DecodedText> input = readTextFile(base + QStringLiteral(".java"));
        QVERIFY(input);
        Surface s;
        s.setText(input->text);
        ColorizeDocument(s, m_prefs);
        check(base + QStringLiteral(".colours"), colourFile(s, Letters(m_prefs)));

        // The reference engine leaves a last line without a line break
        // alone, as colourize-all does; otherwise it must agree.
        if (input->text.endsWith(QLatin1String("\r\n"))) {
            Surface ref;
            ref.setText(input->text);
            ref::ColorizeAllStages(ref, m_prefs, nullptr);
            const QString difference = compareFormats(s, ref);
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
        }
    }

    void indent_data() { inputRows(QStringLiteral("indent")); }
    void indent()
    {
        QFETCH(QString, name);
        const QString base = kGolden + QStringLiteral("/indent/") + name;
        const std::optional<DecodedText> input = readTextFile(base + QStringLiteral(".java"));
        QVERIFY(input);
        test::FakeHost host;
        host.prefs = m_prefs;
        host.m_surface.setText(input->text);
        indentallrtf(host);
        QCOMPARE(host.prompts.messages(), QStringList{}); // unmodified: no question
        check(base + QStringLiteral(".indented.java"),
              encodeText(host.m_surface.text(), input->format));
    }
};

QTEST_GUILESS_MAIN(TstGolden)
#include "tst_golden.moc"
