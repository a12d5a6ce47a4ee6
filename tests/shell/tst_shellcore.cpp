// The shell's core rules without any window: restoring the window geometry,
// reading and writing the window settings, captions, the command line and
// the status text.

#include "settings/settingsstore.h"
#include "shell/documenttitle.h"
#include "shell/editorstate.h"
#include "shell/statustext.h"
#include "shell/windowgeometry.h"
#include "shell/windowsettings.h"
#include "surface/surface.h"

#include <QTest>

using namespace qln;

namespace {

// A screen of 1280 x 1024 pixels at 15 twips a pixel.
constexpr double kScreenW = 19200;
constexpr double kScreenH = 15360;

std::unique_ptr<SettingsStore> memoryStore(MemorySettingsBackend **backend)
{
    auto b = std::make_unique<MemorySettingsBackend>();
    *backend = b.get();
    return std::make_unique<SettingsStore>(std::move(b));
}

} // namespace

Q_DECLARE_METATYPE(qln::WindowGeometry)

class TestShellCore : public QObject {
    Q_OBJECT
private slots:
    void clamps_data();
    void clamps();
    void centred();
    void readStopsAtFirstBadValue_data();
    void readStopsAtFirstBadValue();
    void readAppliesClampsAndFolder();
    void writeOrder();
    void captions();
    void commandLine_data();
    void commandLine();
    void statusText_data();
    void statusText();
    void suppressGuardRestores();
};

void TestShellCore::clamps_data()
{
    QTest::addColumn<WindowGeometry>("stored");
    QTest::addColumn<WindowGeometry>("expected");
    // top, left, height, width
    QTest::newRow("inside stays") << WindowGeometry{600, 900, 7000, 9000}
                                  << WindowGeometry{600, 900, 7000, 9000};
    QTest::newRow("height 300 becomes 510") << WindowGeometry{0, 0, 300, 9000}
                                            << WindowGeometry{0, 0, 510, 9000};
    QTest::newRow("height 510 stays 510") << WindowGeometry{0, 0, 510, 9000}
                                          << WindowGeometry{0, 0, 510, 9000};
    QTest::newRow("height above screen") << WindowGeometry{0, 0, 20000, 9000}
                                         << WindowGeometry{0, 0, kScreenH, 9000};
    QTest::newRow("width 1845 stays") << WindowGeometry{0, 0, 7000, 1845}
                                      << WindowGeometry{0, 0, 7000, 1845};
    QTest::newRow("width 100 becomes 1845") << WindowGeometry{0, 0, 7000, 100}
                                            << WindowGeometry{0, 0, 7000, 1845};
    QTest::newRow("width above screen") << WindowGeometry{0, 0, 7000, 30000}
                                        << WindowGeometry{0, 0, 7000, kScreenW};
    QTest::newRow("top below screen") << WindowGeometry{15000, 0, 7000, 9000}
                                      << WindowGeometry{kScreenH - 510, 0, 7000, 9000};
    QTest::newRow("negative top") << WindowGeometry{-400, 0, 7000, 9000}
                                  << WindowGeometry{0, 0, 7000, 9000};
    QTest::newRow("left beyond screen") << WindowGeometry{0, 25000, 7000, 9000}
                                        << WindowGeometry{0, kScreenW - 1000, 7000, 9000};
    QTest::newRow("left -5000 width 3000") << WindowGeometry{0, -5000, 7000, 3000}
                                           << WindowGeometry{0, -1500, 7000, 3000};
    // 1000 twips of the window still show: it stays where it is.
    QTest::newRow("left -2000 width 3000") << WindowGeometry{0, -2000, 7000, 3000}
                                           << WindowGeometry{0, -2000, 7000, 3000};
    // The left rule uses the width after its own clamp.
    QTest::newRow("left with clamped width") << WindowGeometry{0, -5000, 7000, 100}
                                             << WindowGeometry{0, -922.5, 7000, 1845};
}

void TestShellCore::clamps()
{
    QFETCH(WindowGeometry, stored);
    QFETCH(WindowGeometry, expected);
    const WindowGeometry got = clampWindowGeometry(stored, kScreenW, kScreenH);
    QCOMPARE(got.top, expected.top);
    QCOMPARE(got.left, expected.left);
    QCOMPARE(got.height, expected.height);
    QCOMPARE(got.width, expected.width);
}

void TestShellCore::centred()
{
    const WindowGeometry g = centredWindowGeometry(WindowGeometry{5, 7, 6000, 8000}, kScreenW, kScreenH);
    QCOMPARE(g.left, (kScreenW - 8000) / 2);
    QCOMPARE(g.top, (kScreenH - 6000) / 2);
    QCOMPARE(g.width, 8000.0);
    QCOMPARE(g.height, 6000.0);
}

void TestShellCore::readStopsAtFirstBadValue_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("restored"); // how many of the five values are set
    QTest::newRow("all good") << QString() << QString() << 5;
    QTest::newRow("size zero") << "deffontsize" << "0" << 0;
    QTest::newRow("size text") << "deffontsize" << "big" << 0;
    QTest::newRow("size with unit") << "deffontsize" << "12pt" << 5;
    QTest::newRow("height not a number") << "fheight" << "tall" << 3;
    QTest::newRow("top absent") << "ftop" << QString() << 3;
    QTest::newRow("colour not a number") << "rtfbgcolor" << "white" << 4;
}

void TestShellCore::readStopsAtFirstBadValue()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, restored);
    MemorySettingsBackend *mem = nullptr;
    auto store = memoryStore(&mem);
    const std::pair<const char *, const char *> good[] = {
        {"deffontsize", "12"}, {"deffontname", "Serif"}, {"lastfilename", "/src/a/B.java"},
        {"ftop", "100"},       {"fleft", "200"},         {"fheight", "6000"},
        {"fwidth", "8000"},    {"rtfbgcolor", "255"}};
    for (const auto &[k, v] : good)
        if (key != QLatin1String(k) || !value.isNull())
            store->save(kPrefs, QLatin1String(k), key == QLatin1String(k) ? value : QLatin1String(v));

    const RestoredWindowSettings r = readWindowSettings(*store, kScreenW, kScreenH);
    const int count = int(r.fontSize.has_value()) + int(r.fontName.has_value())
                      + int(r.documentPath.has_value()) + int(r.geometry.has_value())
                      + int(r.background.has_value());
    QCOMPARE(count, restored);
    if (restored >= 1)
        QCOMPARE(*r.fontSize, 12.0);
    if (restored >= 3) {
        QCOMPARE(*r.fontName, QStringLiteral("Serif"));
        QCOMPARE(*r.documentPath, QStringLiteral("/src/a/*.java"));
    }
    if (restored >= 4)
        QCOMPARE(*r.geometry, (WindowGeometry{100, 200, 6000, 8000}));
    if (restored == 5)
        QCOMPARE(*r.background, BgrColor(255));
}

void TestShellCore::readAppliesClampsAndFolder()
{
    MemorySettingsBackend *mem = nullptr;
    auto store = memoryStore(&mem);
    store->save(kPrefs, QStringLiteral("deffontsize"), QStringLiteral("10"));
    store->save(kPrefs, QStringLiteral("ftop"), QStringLiteral("-10"));
    store->save(kPrefs, QStringLiteral("fleft"), QStringLiteral("99999"));
    store->save(kPrefs, QStringLiteral("fheight"), QStringLiteral("300"));
    store->save(kPrefs, QStringLiteral("fwidth"), QStringLiteral("1845"));
    store->save(kPrefs, QStringLiteral("rtfbgcolor"), QStringLiteral("16777215"));
    const RestoredWindowSettings r = readWindowSettings(*store, kScreenW, kScreenH);
    QVERIFY(r.geometry);
    QCOMPARE(*r.geometry, (WindowGeometry{0, kScreenW - 1000, 510, 1845}));
    // No last file: the pattern alone.
    QCOMPARE(*r.documentPath, QStringLiteral("*.java"));
    QCOMPARE(*r.background, BgrColor(0xFFFFFF));
}

void TestShellCore::writeOrder()
{
    MemorySettingsBackend *mem = nullptr;
    auto store = memoryStore(&mem);
    WindowSettingsSnapshot s;
    s.fontName = QStringLiteral("Mono");
    s.fontSize = QStringLiteral("11");
    s.documentPath = QStringLiteral("/w/Hello.java");
    s.geometry = WindowGeometry{150, -1500, 7005, 9000.4};
    s.background = 0x00FF00;
    s.textColor = QStringLiteral("255");
    writeWindowSettings(*store, s);

    QStringList keys, values;
    for (const auto &w : mem->writes()) {
        QCOMPARE(w.section, kPrefs);
        keys << w.key;
        values << w.value;
    }
    QCOMPARE(keys, (QStringList{"deffontname", "deffontsize", "lastfilename", "ftop", "fleft",
                                "fheight", "fwidth", "rtfbgcolor", "rtftextcolor"}));
    QCOMPARE(values, (QStringList{"Mono", "11", "/w/Hello.java", "150", "-1500", "7005", "9000",
                                  "65280", "255"}));
}

void TestShellCore::captions()
{
    QCOMPARE(documentCaption(QString()), QStringLiteral("Document [] - Quillon"));
    QCOMPARE(documentCaption(QStringLiteral("A.java")), QStringLiteral("Document [A.java] - Quillon"));
    QVERIFY(!captionMarksModified(QString()));
    QVERIFY(!captionMarksModified(documentCaption(QStringLiteral("A.java"))));
    const QString marked = captionWithModifiedMark(documentCaption(QStringLiteral("A.java")));
    QCOMPARE(marked, QStringLiteral("Document [A.java] - Quillon*"));
    QVERIFY(captionMarksModified(marked));
    QCOMPARE(captionWithModifiedMark(marked), marked); // one marker only
}

void TestShellCore::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("path");
    QTest::newRow("none") << QStringList{"quillon"} << QString();
    QTest::newRow("plain") << QStringList{"quillon", "/a/B.java"} << "/a/B.java";
    QTest::newRow("quoted") << QStringList{"quillon", "\"/a/B.java\""} << "/a/B.java";
    QTest::newRow("blanks joined") << QStringList{"quillon", "/my", "files/B.java"}
                                   << "/my files/B.java";
    QTest::newRow("leading quote only") << QStringList{"quillon", "\"/a/B.java"} << "/a/B.java";
    QTest::newRow("trailing quote only") << QStringList{"quillon", "/a/B.java\""} << "/a/B.java";
    QTest::newRow("one pair only") << QStringList{"quillon", "\"\"/a/B.java\"\""}
                                   << "\"/a/B.java\"";
}

void TestShellCore::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, path);
    QCOMPARE(stripCommandLineQuotes(commandLineText(arguments)), path);
}

void TestShellCore::statusText_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("expected");
    // Lines: "ab" CR LF "" CR LF "cdef" CR LF "g" CR LF "hijkl" (no final break).
    QTest::newRow("document start") << 0 << 0 << "Line: 1  Col: 1  Sel: 0";
    QTest::newRow("end of line 1") << 2 << 0 << "Line: 1  Col: 3  Sel: 0";
    QTest::newRow("empty line 2") << 4 << 0 << "Line: 2  Col: 1  Sel: 0";
    QTest::newRow("start of line 3") << 6 << 0 << "Line: 3  Col: 1  Sel: 0";
    QTest::newRow("end of line 3") << 10 << 0 << "Line: 3  Col: 5  Sel: 0";
    QTest::newRow("line 5 third char, two selected") << 17 << 2 << "Line: 5  Col: 3  Sel: 2";
    QTest::newRow("document end") << 20 << 0 << "Line: 5  Col: 6  Sel: 0";
    QTest::newRow("selection over a break") << 1 << 4 << "Line: 1  Col: 2  Sel: 4";
}

void TestShellCore::statusText()
{
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, expected);
    Surface surface;
    surface.setText(QStringLiteral("ab\r\n\r\ncdef\r\ng\r\nhijkl"));
    QCOMPARE(surface.length(), 20);
    surface.setSelection(start, length);
    QCOMPARE(qln::statusText(surface), expected);
}

void TestShellCore::suppressGuardRestores()
{
    QVERIFY(!editorState().suppressChange);
    QVERIFY(!editorState().suppressSelChange);
    {
        SuppressGuard outer(false, true);
        QVERIFY(!editorState().suppressChange);
        QVERIFY(editorState().suppressSelChange);
        {
            SuppressGuard inner;
            QVERIFY(editorState().suppressChange);
        }
        // The inner guard puts back what the outer one set.
        QVERIFY(!editorState().suppressChange);
        QVERIFY(editorState().suppressSelChange);
    }
    QVERIFY(!editorState().suppressSelChange);
}

QTEST_GUILESS_MAIN(TestShellCore)
#include "tst_shellcore.moc"
