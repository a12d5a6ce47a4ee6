// The shell's core rules without any window: window geometry clamps and
// the fit on the screens, the window settings read and written, captions,
// the command line and the status text.

#include "base/editorstate.h"
#include "settings/settingsstore.h"
#include "shell/documenttitle.h"
#include "shell/statustext.h"
#include "shell/windowgeometry.h"
#include "shell/windowsettings.h"
#include "support/datarow.h"
#include "surface/surface.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace qln;

using G = WindowGeometry; // top, left, height, width

namespace qln {
char *toString(const PixelGeometry &g)
{
    return QTest::toString(
        QStringLiteral("{x %1, y %2, w %3, h %4}").arg(g.x).arg(g.y).arg(g.width).arg(g.height));
}
char *toString(const G &g)
{
    const QString text = QStringLiteral("{%1, %2, %3, %4}");
    return QTest::toString(text.arg(g.top).arg(g.left).arg(g.height).arg(g.width));
}
} // namespace qln

// A screen of 1280 x 1024 pixels at 15 twips a pixel.
constexpr double kScreenW = 19200;
constexpr double kScreenH = 15360;

Q_DECLARE_METATYPE(qln::WindowGeometry)
Q_DECLARE_METATYPE(qln::PixelGeometry)

class TestShellCore : public QObject {
    Q_OBJECT
private slots:
    void clamps_data()
    {
        columns<G, G>("stored", "expected");
        row("inside stays", G{600, 900, 7000, 9000}, G{600, 900, 7000, 9000});
        row("height 300 becomes 510", G{0, 0, 300, 9000}, G{0, 0, 510, 9000});
        row("height above screen", G{0, 0, 20000, 9000}, G{0, 0, kScreenH, 9000});
        row("width 100 becomes 1845", G{0, 0, 7000, 100}, G{0, 0, 7000, 1845});
        row("width above screen", G{0, 0, 7000, 30000}, G{0, 0, 7000, kScreenW});
        row("top below", G{15000, 0, 7000, 9000}, G{kScreenH - 510, 0, 7000, 9000});
        row("negative top", G{-400, 0, 7000, 9000}, G{0, 0, 7000, 9000});
        row("left beyond", G{0, 25000, 7000, 9000}, G{0, kScreenW - 1000, 7000, 9000});
        row("left -5000 width 3000", G{0, -5000, 7000, 3000}, G{0, -1500, 7000, 3000});
        row("1000 still show", G{0, -2000, 7000, 3000}, G{0, -2000, 7000, 3000});
        row("clamped width", G{0, -5000, 7000, 100}, G{0, -922.5, 7000, 1845});
    }
    void clamps()
    {
        QFETCH(G, stored);
        QFETCH(G, expected);
        QCOMPARE(clampWindowGeometry(stored, kScreenW, kScreenH), expected);
        QCOMPARE(centredWindowGeometry(G{5, 7, 6000, 8000}, kScreenW, kScreenH),
                 (G{(kScreenH - 6000) / 2, (kScreenW - 8000) / 2, 6000, 8000}));
    }
    void readStopsAtFirstBadValue_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // null: the key is absent
        QTest::addColumn<int>("restored");  // how many of the five values are set
        QTest::addColumn<double>("size");   // the font size restored
        row("all good", QString(), QString(), 5, 12.0);
        row("size with unit", "deffontsize", "12pt", 5, 12.0);
        // sizes no font can take give the factory size; the rest is restored
        row("size zero", "deffontsize", "0", 5, 10.0);
        row("size negative", "deffontsize", "-4", 5, 10.0);
        row("size text", "deffontsize", "big", 5, 10.0);
        row("size huge", "deffontsize", "2000000000", 5, 10.0);
        row("size absent", "deffontsize", QString(), 5, 10.0);
        row("size largest", "deffontsize", "1638", 5, 1638.0);
        row("height not a number", "fheight", "tall", 3, 12.0);
        row("top absent", "ftop", QString(), 3, 12.0);
        row("no last file: the pattern alone", "lastfilename", QString(), 5, 12.0);
        row("colour not a number", "rtfbgcolor", "white", 4, 12.0);
    }
    void readStopsAtFirstBadValue()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, restored);
        QFETCH(double, size);
        SettingsStore store(std::make_unique<MemorySettingsBackend>());
        const std::pair<const char *, const char *> good[] = {
            {"deffontsize", "12"}, {"deffontname", "Serif"}, {"lastfilename", "/src/a/B.java"},
            {"ftop", "100"},       {"fleft", "200"},         {"fheight", "6000"},
            {"fwidth", "8000"},    {"rtfbgcolor", "255"}};
        for (const auto &[k, v] : good) {
            const bool chosen = key == QLatin1String(k);
            if (!chosen || !value.isNull())
                store.save(kPrefs, QLatin1String(k), chosen ? value : QLatin1String(v));
        }

        const RestoredWindowSettings r = readWindowSettings(store, kScreenW, kScreenH);
        QCOMPARE(int(r.fontSize.has_value()) + int(r.fontName.has_value())
                     + int(r.documentPath.has_value()) + int(r.geometry.has_value())
                     + int(r.background.has_value()),
                 restored);
        if (restored >= 3) {
            QCOMPARE(*r.fontSize, size);
            QCOMPARE(*r.fontName, QStringLiteral("Serif"));
            QCOMPARE(*r.documentPath, key == "lastfilename" ? "*.java" : "/src/a/*.java");
        }
        if (restored >= 4)
            QCOMPARE(*r.geometry, (G{100, 200, 6000, 8000}));
        if (restored == 5)
            QCOMPARE(*r.background, BgrColor(255));
    }
    void writeKeepsOrder()
    {
        auto backend = std::make_unique<MemorySettingsBackend>();
        MemorySettingsBackend *mem = backend.get();
        SettingsStore store(std::move(backend));
        const G geometry{150, -1500, 7005, 9000.4};
        writeWindowSettings(store, {"Mono", "11", "/w/Hello.java", geometry, 0x00FF00, "255",
                                    WindowShowState::Maximized});
        QCOMPARE(readWindowSettings(store, kScreenW, kScreenH).showState,
                 WindowShowState::Maximized);
        QStringList written;
        for (const auto &w : mem->writes())
            written << w.section + QLatin1Char('/') + w.key + QLatin1Char('=') + w.value;
        QCOMPARE(
            written.join(' '),
            QStringLiteral(
                "Preferences/deffontname=Mono Preferences/deffontsize=11 "
                "Preferences/lastfilename=/w/Hello.java Preferences/ftop=150 "
                "Preferences/fleft=-1500 "
                "Preferences/fheight=7005 Preferences/fwidth=9000 Preferences/rtfbgcolor=65280 "
                "Preferences/rtftextcolor=255 Preferences/fwindowstate=2"));
        for (const char *odd : {"", "1", "7", "big"}) {
            store.save(kPrefs, QStringLiteral("fwindowstate"), QLatin1String(odd));
            QCOMPARE(readWindowSettings(store, kScreenW, kScreenH).showState,
                     WindowShowState::Normal);
        }
    }
    void fitsOnScreens_data()
    {
        QTest::addColumn<QList<QRect>>("screens"); // available areas, primary first
        QTest::addColumn<PixelGeometry>("stored"); // frame corner, inner size
        QTest::addColumn<int>("screen");           // the screen it must end on
        // A window stored on a 2560 x 1600 screen, restored on each common
        // screen at scale factors 1, 1.5 and 2 (the screen in logical pixels,
        // less a 30-pixel panel).
        const PixelGeometry big{1500, 900, 1400, 1000};
        for (const QSize size : {QSize(1024, 768), QSize(1280, 1024), QSize(2560, 1600)})
            for (const double scale : {1.0, 1.5, 2.0}) {
                const QRect area(0, 30, int(size.width() / scale), int(size.height() / scale) - 30);
                QTest::addRow("%dx%d at %g", size.width(), size.height(), scale)
                    << QList<QRect>{area} << big << 0;
            }
        const QList<QRect> two{QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080)};
        row("on the second screen, stays", two, PixelGeometry{1500, 100, 800, 600}, 1);
        row("across both, mostly the second", two, PixelGeometry{1000, 100, 800, 600}, 1);
        row("off every screen, to the nearest", two, PixelGeometry{5000, -3000, 800, 600}, 1);
        row("left of the primary", two, PixelGeometry{-2000, 500, 800, 600}, 0);
    }
    // The frame (inner size plus margins) ends wholly on one screen, no larger
    // than it was, and a window that was already there does not move.
    void fitsOnScreens()
    {
        QFETCH(QList<QRect>, screens);
        QFETCH(PixelGeometry, stored);
        QFETCH(int, screen);
        const QMargins frame(4, 28, 4, 4);
        const std::vector<QRect> areas(screens.begin(), screens.end());
        const PixelGeometry fit = fitOnScreens(stored, frame, areas);
        const QRect outer(fit.x, fit.y, fit.width + 8, fit.height + 32);
        QVERIFY2(screens[screen].contains(outer), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                 .arg(fit.x)
                                                                 .arg(fit.y)
                                                                 .arg(fit.width)
                                                                 .arg(fit.height)));
        QVERIFY(fit.width <= stored.width && fit.height <= stored.height);
        const QRect before(stored.x, stored.y, stored.width + 8, stored.height + 32);
        if (screens[screen].contains(before))
            QCOMPARE(fit, stored);
        // Only what does not fit shrinks: a window that fits keeps its size.
        if (stored.width + 8 <= screens[screen].width())
            QCOMPARE(fit.width, stored.width);
        QCOMPARE(fitOnScreens(fit, frame, areas), fit);
        QCOMPARE(fitOnScreens(stored, frame, {}), stored);
    }
    void tenSessionsLeaveTheWindowWhereItWas_data()
    {
        columns<double, int, int>("dpi", "x", "y");
        row("96 dpi", 96.0, 133, 77);
        row("72 dpi", 72.0, 1, 1);
        row("110 dpi", 110.0, 301, 211);
        row("144 dpi", 144.0, 999, 5);
        row("157 dpi, left off the screen", 157.0, -40, 403);
    }
    // Each session restores the frame where the last one stored it, then
    // stores it again on closing: ten sessions must not move it a pixel.
    void tenSessionsLeaveTheWindowWhereItWas()
    {
        QFETCH(double, dpi);
        QFETCH(int, x);
        QFETCH(int, y);
        const PixelGeometry start{x, y, 640, 480};
        const double screenW = 1920 * 1440.0 / dpi, screenH = 1200 * 1440.0 / dpi;
        SettingsStore store(std::make_unique<MemorySettingsBackend>());
        PixelGeometry window = start;
        for (int session = 0; session < 10; ++session) {
            writeWindowSettings(
                store, {"Mono", "10", QString(), toTwipsGeometry(window, dpi), 0xFFFFFF, "0"});
            const RestoredWindowSettings r = readWindowSettings(store, screenW, screenH);
            QVERIFY(r.geometry);
            window = toPixelGeometry(*r.geometry, dpi);
        }
        QCOMPARE(window, start);
    }
    void captions()
    {
        QCOMPARE(documentCaption(QString()), QStringLiteral("Document [] - Quillon"));
        const QString plain = documentCaption(QStringLiteral("A.java"));
        QCOMPARE(plain, QStringLiteral("Document [A.java] - Quillon"));
        QVERIFY(!captionMarksModified(plain));
        const QString marked = captionWithModifiedMark(plain);
        QCOMPARE(marked, QStringLiteral("Document [A.java] - Quillon*"));
        QVERIFY(captionMarksModified(marked));
        QCOMPARE(captionWithModifiedMark(marked), marked); // one marker only
    }
    void commandLine_data()
    {
        // The document the command line names, and the start of what is printed
        // instead of starting ("" when the editor starts).
        columns<QStringList, QString, QString>("arguments", "path", "reply");
        row("none", QStringList{"quillon"}, QString(), QString());
        row("plain", QStringList{"quillon", "/a/B.java"}, "/a/B.java", QString());
        row("quoted", QStringList{"quillon", "\"/a/B.java\""}, "/a/B.java", QString());
        row("blanks joined", QStringList{"quillon", "/my", "B.java"}, "/my B.java", QString());
        row("leading quote only", QStringList{"quillon", "\"/a/B.java"}, "/a/B.java", QString());
        row("trailing quote only", QStringList{"quillon", "/a/B.java\""}, "/a/B.java", QString());
        row("one pair only", QStringList{"quillon", "\"\"/a/B\"\""}, "\"/a/B\"", QString());
        row("help", QStringList{"quillon", "--help"}, "--help", "Usage: quillon [FILE]\n");
        row("version", QStringList{"quillon", "--version"}, "--version",
            QStringLiteral("Quillon " QUILLON_VERSION "\n"));
        row("help and more", QStringList{"quillon", "--help", "x"}, "--help x", QString());
        row("both", QStringList{"quillon", "--help", "--version"}, "--help --version", QString());
        row("quoted help is a file", QStringList{"quillon", "\"--help\""}, "--help", QString());
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);
        QFETCH(QString, reply);
        QCOMPARE(stripCommandLineQuotes(commandLineText(arguments)), path);
        const QString printed = commandLineReply(arguments);
        if (reply.isEmpty())
            QCOMPARE(printed, QString());
        else
            QVERIFY2(printed.startsWith(reply), qPrintable(printed));
    }
    void optionNamingAFileOpensIt()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        QFile file(QStringLiteral("--version"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString version = commandLineReply({"quillon", "--version"});
        const QString help = commandLineReply({"quillon", "--help"});
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(version, QString());
        QVERIFY2(help.startsWith(QLatin1String("Usage: ")), qPrintable(help));
    }
    void statusText_data()
    {
        columns<int, int, QString>("start", "length", "expected");
        // Lines: "ab" CR LF "" CR LF "cdef" CR LF "g" CR LF "hijkl" (no final break).
        row("document start", 0, 0, "Line: 1  Col: 1  Sel: 0");
        row("empty line 2", 4, 0, "Line: 2  Col: 1  Sel: 0");
        row("end of line 3", 10, 0, "Line: 3  Col: 5  Sel: 0");
        row("line 5 third char, two selected", 17, 2, "Line: 5  Col: 3  Sel: 2");
        row("document end", 20, 0, "Line: 5  Col: 6  Sel: 0");
        row("selection over a break", 1, 4, "Line: 1  Col: 2  Sel: 4");
    }
    void statusText()
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
    void suppressGuardRestores()
    {
        {
            SuppressGuard outer(false, true);
            {
                SuppressGuard inner;
                QVERIFY(editorState().suppressChange && editorState().suppressSelChange);
            }
            // The inner guard puts back what the outer one set.
            QVERIFY(!editorState().suppressChange && editorState().suppressSelChange);
        }
        QVERIFY(!editorState().suppressChange && !editorState().suppressSelChange);
    }
};

QTEST_GUILESS_MAIN(TestShellCore)
#include "tst_shellcore.moc"
