// Value conversions of stored texts: what converts and what is a bad value.
#include "settings/convert.h"
#include "support/datarow.h"

#include <QTest>

using namespace qln;

class TstConvert : public QObject {
    Q_OBJECT
private slots:
    void booleans_data()
    {
        columns<QString, bool, bool>("text", "ok", "value");
        row("True", "True", true, true);
        row("false any case", "fAlSe", true, false);
        row("TRUE", "TRUE", true, true);
        row("1", "1", true, true);
        row("0", "0", true, false);
        row("-1", "-1", true, true);
        row("blanks around", " 0 ", true, false);
        row("yes", "yes", false, false);
        row("empty", "", false, false);
    }
    void booleans()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(bool, value);
        if (ok) {
            QCOMPARE(toBool(text), value);
        } else {
            QVERIFY_THROWS_EXCEPTION(ConversionError, toBool(text));
        }
    }

    void counts()
    {
        QCOMPARE(toCount16("48"), qint16(48));
        QCOMPARE(toCount16("32767"), qint16(32767));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount16("32768"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount16("-3"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount16("2000000000"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount16("abc"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount16(""));

        QCOMPARE(toCount32("1000000"), kMaxSpellingPairs);
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount32("1000001"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount32("2000000000"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount32("99999999999"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toCount32("-3"));
    }

    void wholeNumbersRoundHalfToEven()
    {
        QCOMPARE(toWhole("2.5"), 2);
        QCOMPARE(toWhole("3.5"), 4);
        QCOMPARE(toWhole(" -7 "), -7);
        QVERIFY_THROWS_EXCEPTION(ConversionError, toWhole("inf"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toWhole("nan"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toWhole("4abc"));
    }

    void coloursAndTwips()
    {
        QCOMPARE(toColour("16777215"), BgrColor(0xFFFFFF));
        QCOMPARE(toColour("255"), BgrColor(255));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toColour("red"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toColour("16777216"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, toColour("-1"));
        QCOMPARE(toTwips("4567.5"), 4567.5f);
        QVERIFY_THROWS_EXCEPTION(ConversionError, toTwips("abc"));
        QCOMPARE(toTwips(twipsText(8235.f)), 8235.f);
        QCOMPARE(twipsText(-150.f), QStringLiteral("-150"));
    }

    void leadingNumbers()
    {
        QCOMPARE(leadingNumber("4"), 4.0);
        QCOMPARE(leadingNumber(" 4 tabs"), 4.0);
        QCOMPARE(leadingNumber("abc"), 0.0);
        QCOMPARE(leadingNumber(""), 0.0);
        QCOMPARE(leadingNumber("-3"), -3.0);
    }

    void treeSearchSwitch()
    {
        QVERIFY(isTreeSearchOn("True"));
        QVERIFY(isTreeSearchOn("tRUE"));
        QVERIFY(isTreeSearchOn("1"));
        QVERIFY(!isTreeSearchOn("yes"));
        QVERIFY(!isTreeSearchOn(" 1"));
        QVERIFY(!isTreeSearchOn("-1"));
        QVERIFY(!isTreeSearchOn(""));
    }
};

QTEST_GUILESS_MAIN(TstConvert)
#include "tst_convert.moc"
