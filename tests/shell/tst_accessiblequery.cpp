// Assistive technology asks a text about the character, word, sentence,
// paragraph or line before, at or after an offset. Every text of the main
// window (the font boxes, the text view) answers every such question at
// every offset, the end and past it included, with a piece of its text, and
// at once: a watchdog thread ends the test if one question never returns.

#include "support/windowtest.h"
#include "surface/ui/surfaceaccessible.h"
#include "surface/ui/surfaceview.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QThread>
#include <QTimer>

using namespace qln;

class TstAccessibleQuery : public QObject, test::WindowTest {
    Q_OBJECT

private slots:
    void initTestCase() { SurfaceAccessible::install(); }
    void init() { initWindowTest(); }
    void cleanup() { cleanupWindowTest(); }

    void everyBoundaryAtEveryOffsetAnswers()
    {
        auto w = open();
        w->surface()->setText(QStringLiteral("class A {\r\n  int x; // one. Two!\r\n\r\n}"));
        w->cbofontlist()->setCurrentText(QStringLiteral("DejaVu Sans Mono"));
        w->cbofontsize()->setCurrentText(QStringLiteral("10"));

        QThread watchdog;
        QTimer hung;
        hung.setSingleShot(true);
        hung.setInterval(60000);
        hung.moveToThread(&watchdog);
        connect(
            &hung, &QTimer::timeout, &hung,
            [] { qFatal("an accessibility question did not return"); }, Qt::DirectConnection);
        connect(&watchdog, &QThread::started, &hung, qOverload<>(&QTimer::start));
        watchdog.start();

        QList<QWidget *> texts{w->rtfedit()};
        for (QLineEdit *edit : w->findChildren<QLineEdit *>())
            texts << edit;
        QVERIFY(texts.contains(w->cbofontlist()->lineEdit())
                && texts.contains(w->cbofontsize()->lineEdit()));
        using Ask = QString (QAccessibleTextInterface::*)(int, QAccessible::TextBoundaryType, int *,
                                                          int *) const;
        const std::pair<Ask, const char *> asks[] = {
            {&QAccessibleTextInterface::textBeforeOffset, "before"},
            {&QAccessibleTextInterface::textAtOffset, "at"},
            {&QAccessibleTextInterface::textAfterOffset, "after"}};
        int answered = 0;
        for (QWidget *widget : texts) {
            QAccessibleTextInterface *text =
                QAccessible::queryAccessibleInterface(widget)->textInterface();
            QVERIFY2(text, qPrintable(widget->objectName()));
            const int n = text->characterCount();
            const QString all = text->text(0, n);
            QCOMPARE(all.size(), n);
            for (int type = QAccessible::CharBoundary; type <= QAccessible::NoBoundary; ++type)
                for (int offset = -1; offset <= n + 1; ++offset)
                    for (const auto &[ask, name] : asks) {
                        int start = -2, end = -2;
                        const QString got =
                            (text->*ask)(offset, QAccessible::TextBoundaryType(type), &start, &end);
                        const QString where =
                            QStringLiteral("%1 \"%2\": %3 %4, boundary %5: "
                                           "\"%6\" %7..%8")
                                .arg(widget->metaObject()->className(), all, QLatin1String(name))
                                .arg(offset)
                                .arg(type)
                                .arg(got)
                                .arg(start)
                                .arg(end);
                        QVERIFY2(got.isEmpty()
                                     || (0 <= start && start < end && end <= n
                                         && got == all.mid(start, end - start)),
                                 qPrintable(where));
                        answered += !got.isEmpty();
                    }
        }
        QVERIFY(answered > 0);

        // The font name's last word, asked for from the end as a screen
        // reader does.
        QAccessibleTextInterface *name =
            QAccessible::queryAccessibleInterface(w->cbofontlist()->lineEdit())->textInterface();
        int start = -1, end = -1;
        QCOMPARE(name->textBeforeOffset(16, QAccessible::WordBoundary, &start, &end),
                 QStringLiteral("Mono"));
        QCOMPARE(std::pair(start, end), std::pair(12, 16));
        QCOMPARE(name->textAtOffset(13, QAccessible::WordBoundary, &start, &end),
                 QStringLiteral("Mono"));
        QCOMPARE(name->textAfterOffset(0, QAccessible::WordBoundary, &start, &end),
                 QStringLiteral(" "));
        QCOMPARE(name->textAtOffset(-1, QAccessible::LineBoundary, &start, &end),
                 QStringLiteral("DejaVu Sans Mono"));

        QMetaObject::invokeMethod(&hung, "stop", Qt::BlockingQueuedConnection);
        watchdog.quit();
        watchdog.wait();
    }
};

QTEST_MAIN(TstAccessibleQuery)
#include "tst_accessiblequery.moc"
