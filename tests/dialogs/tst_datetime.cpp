// Date and time insertion: the format language against a fixed moment and
// fixed locales, and the frmDateTime window with its stored custom format.
#include "dialogs/datetimeformat.h"
#include "dialogs/ui/frmdatetime.h"
#include "settings/settingsstore.h"
#include "support/datarow.h"
#include "surface/surface.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace qln;

namespace {

// Saturday 5 December 2026, 14:07:09.
const QDateTime kMoment(QDate(2026, 12, 5), QTime(14, 7, 9));
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

struct Window {
    explicit Window(const QString &stored)
    {
        store.save(kPrefs, QStringLiteral("CustomDateTime"), stored);
        surface.setText(QStringLiteral("int x;\r\n"));
        surface.setSelStart(8);
        dialog = std::make_unique<frmDateTime>(
            surface, QStringLiteral("//"), store, nullptr, [] { return kMoment; }, kUs);
        dialog->show();
    }
    template <typename T> T *control(const char *name)
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    QString stored() const { return store.get(kPrefs, QStringLiteral("CustomDateTime")); }
    void clickInsert() { QTest::mouseClick(control<QPushButton>("cmdinsert"), Qt::LeftButton); }

    SettingsStore store{std::make_unique<MemorySettingsBackend>()};
    Surface surface;
    std::unique_ptr<frmDateTime> dialog;
};

} // namespace

class TstDateTime : public QObject {
    Q_OBJECT
private slots:

    void formats_data()
    {
        columns<QString, QLocale, QString>("format", "locale", "expected");

        row("long time, German", "long time", kGerman, "14:07:09");
        row("general date, German", "general date", kGerman, "05.12.26 14:07:09");
        row("long date, German", "long date", kGerman, "Samstag, 5. Dezember 2026");
        row("mm/dd/yyyy, German separator", "mm/dd/yyyy", kGerman, "12.05.2026");
        row("mm/dd/yyyy, C locale has no separator: slash", "mm/dd/yyyy", QLocale::c(),
            "12/05/2026");
        row("named formats ignore case", "Long Date", kUs, "Saturday, December 5, 2026");
        row("mm alone is the month", "mm", kUs, "12");
        row("mm after hh is minutes", "hh:mm", kUs, "14:07");
        row("mm after ss is the month", "ss mm", kUs, "09 12");
        row("codes in capitals", "DD.MM.YYYY", kUs, "05.12.2026");
        row("short codes unpadded", "d/m h:m:s", kUs, "5/12 14:7:9");
        row("month and day names", "dddd, mmmm d", kUs, "Saturday, December 5");
        row("short names, German", "ddd mmm", kGerman, "Sa. Dez.");
        row("other characters literal", "[#x] @", kUs, "[#x] @");
        row("single y literal", "y", kUs, "y");
        row("empty format", "", kUs, "");
    }
    void formats()
    {
        QFETCH(QString, format);
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        QCOMPARE(formatDateTime(kMoment, format, locale), expected);
    }

    void listEntriesAndEdgeCases()
    {
        QCOMPARE(dateTimeEntries(kMoment, kUs),
                 (QStringList{"2:07:09 PM", "02:07 PM", "14-07-09", "14.07.09", "14-07",
                              "12/5/26 2:07:09 PM", "Saturday, December 5, 2026", "05-Dec-26",
                              "12 - 05 - 2026", "12/05/26", "12/05/2026"}));
        // The general date at midnight is the date alone.
        QCOMPARE(formatDateTime(QDateTime(QDate(2026, 1, 2), QTime(0, 0)), "general date", kUs),
                 QStringLiteral("1/2/26"));
        QCOMPARE(customPreview(QStringLiteral("<custom>"), kMoment, kUs), QString());
        QCOMPARE(customPreview(QStringLiteral("<yyyy>"), kMoment, kUs), QStringLiteral("<2026>"));
    }

    void dialogShowsListAndIgnoresThePlaceholder()
    {
        Window w(QStringLiteral("<custom>"));
        QCOMPARE(w.dialog->windowTitle(), QStringLiteral("Qln - Date / Time"));
        auto *list = w.control<QListWidget>("lstDateTime");
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        QCOMPARE(shown, dateTimeEntries(kMoment, kUs));
        QCOMPARE(w.control<QLineEdit>("txtcustom")->text(), QStringLiteral("<custom>"));
        QCOMPARE(w.control<QLabel>("lblDateTime")->text(), QString());
        QCOMPARE(w.control<QPushButton>("cmdinsert")->text(), QStringLiteral("&Insert"));
        QCOMPARE(w.control<QPushButton>("cmdCancel")->text(), QStringLiteral("&Cancel"));
        w.clickInsert();
        QCOMPARE(w.surface.text(), QStringLiteral("int x;\r\n"));
        QVERIFY(w.dialog->isVisible());
    }

    void storedFormatInsertsAtOnce()
    {
        Window w(QStringLiteral("yyyy-mm-dd"));
        // The list taking the focus makes an item current; the preview stays.
        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(w.control<QListWidget>("lstDateTime"), &focusIn);
        QCOMPARE(w.dialog->labelText(), QStringLiteral("2026-12-05"));
        w.clickInsert();
        QCOMPARE(w.surface.text(), QStringLiteral("int x;\r\n//2026-12-05"));
        QCOMPARE(w.surface.selStart(), w.surface.length());
        QVERIFY(!w.dialog->isVisible());
        QCOMPARE(w.stored(), QStringLiteral("yyyy-mm-dd"));
    }

    void doubleClickInsertsTheEntry()
    {
        Window w(QStringLiteral("<custom>"));
        w.surface.setSelection(0, 3); // the insertion replaces a selection
        auto *list = w.control<QListWidget>("lstDateTime");
        const QPoint at = list->visualItemRect(list->item(10)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(w.dialog->labelText(), QStringLiteral("12/05/2026"));
        // Keys choose an entry as a click does.
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(w.dialog->labelText(), list->item(9)->text());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(w.surface.text(), QStringLiteral("//12/05/2026 x;\r\n"));
        QVERIFY(!w.dialog->isVisible());
    }

    void typingAFormatPreviewsIt()
    {
        Window w(QStringLiteral("<custom>"));
        auto *custom = w.control<QLineEdit>("txtcustom");
        QTest::mouseClick(custom, Qt::LeftButton); // the placeholder goes
        QTest::keyClicks(custom, QStringLiteral("yyyy"));
        QCOMPARE(w.dialog->labelText(), QStringLiteral("2026"));
        // A click no longer empties a real format.
        QTest::mouseClick(custom, Qt::LeftButton);
        QCOMPARE(custom->text(), QStringLiteral("yyyy"));
        custom->selectAll();
        QTest::keyClick(custom, Qt::Key_Backspace);
        QCOMPARE(w.dialog->labelText(), QString());
        w.clickInsert();
        QCOMPARE(w.surface.text(), QStringLiteral("int x;\r\n"));
    }

    void cancelStillStoresTheFormat_data()
    {
        QTest::addColumn<QString>("how");
        row("Cancel button", "cancel");
        row("Escape in the list", "escape");
        row("window closed", "close");
    }
    void cancelStillStoresTheFormat()
    {
        QFETCH(QString, how);
        Window w(QStringLiteral("<custom>"));
        auto *custom = w.control<QLineEdit>("txtcustom");
        QTest::mouseClick(custom, Qt::LeftButton);
        QTest::keyClicks(custom, QStringLiteral("dd.mm.yy"));
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(w.control<QPushButton>("cmdCancel"), Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(w.control<QListWidget>("lstDateTime"), Qt::Key_Escape);
        else
            w.dialog->close();
        QVERIFY(!w.dialog->isVisible());
        QCOMPARE(w.stored(), QStringLiteral("dd.mm.yy"));
        QCOMPARE(w.surface.text(), QStringLiteral("int x;\r\n"));
    }
};

QTEST_MAIN(TstDateTime)
#include "tst_datetime.moc"
