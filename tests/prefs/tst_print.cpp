// Printing to PDF files: page counts, the copy of the document with its
// formats, the line width given to the surface, and the print dialog path
// with its selection option.
#include "shell/ui/print.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"

#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace qln;

namespace {

// Page objects in a PDF file ("/Type /Page", not "/Type /Pages").
int pdfPages(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![s\\w])"));
    return int(QString::fromLatin1(f.readAll()).count(page));
}

struct PdfPrinter {
    QTemporaryDir dir;
    QPrinter printer{QPrinter::HighResolution};
    QString path = dir.filePath(QStringLiteral("out.pdf"));
    PdfPrinter()
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPageSize(QPageSize(QPageSize::A4));
    }
};

QString lines(int n)
{
    QStringList out;
    for (int i = 1; i <= n; ++i)
        out << QStringLiteral("line %1").arg(i);
    return out.join(QStringLiteral("\r\n"));
}

// Pages printed, or -1 when the count returned and the file disagree.
int printLines(const QString &text)
{
    Surface s;
    s.setFontName(QStringLiteral("DejaVu Sans Mono"));
    s.setFontSize(10);
    s.setText(text);
    PdfPrinter pdf;
    const int pages = PrintSurface(s, pdf.printer, 1440, 1440, 1440, 1440);
    return pdfPages(pdf.path) == pages ? pages : -1;
}

} // namespace

class TstPrint : public QObject {
    Q_OBJECT
private slots:
    void pageCounts()
    {
        QCOMPARE(printLines(QStringLiteral("class A {}")), 1);
        QCOMPARE(printLines(QString()), 1); // one blank page
        // The most lines that fit on one page.
        int full = 0;
        for (int n = 20; n < 200 && !full; ++n)
            if (printLines(lines(n)) == 2)
                full = n - 1;
        QVERIFY(full > 20);
        QCOMPARE(printLines(lines(full)), 1);
        // Ending with a line break adds no blank page.
        QCOMPARE(printLines(lines(full) + QStringLiteral("\r\n")), 1);
        QCOMPARE(printLines(lines(full + 1)), 2);
        QCOMPARE(printLines(lines(3 * full)), 3);
    }

    void copyKeepsTextAndFormats()
    {
        Surface s;
        s.setText(QStringLiteral("int x;\r\n// note"));
        s.setSelection(0, 3);
        s.setSelStyle(0xFF0000, true, false, false); // blue, bold
        s.setSelection(8, 7);
        s.setSelStyle(0x008000, false, true, false);
        auto doc = surfaceDocument(s);
        QCOMPARE(doc->toPlainText(), QStringLiteral("int x;\n// note"));
        const QTextFragment first = doc->firstBlock().begin().fragment();
        QCOMPARE(first.text(), QStringLiteral("int"));
        QCOMPARE(first.charFormat().foreground().color(), QColor(0, 0, 255));
        QCOMPARE(first.charFormat().fontWeight(), int(QFont::Bold));
        const QTextCharFormat comment = doc->firstBlock().next().begin().fragment().charFormat();
        QVERIFY(comment.fontItalic());
        QCOMPARE(comment.foreground().color(), QColor(0, 0x80, 0));
        // Part of the text, starting inside a line break's pair.
        QCOMPARE(surfaceDocument(s, 4, 6)->toPlainText(), QStringLiteral("x;\n//"));
    }

    void printSetsTheScreenLineWidth()
    {
        Surface s;
        s.setText(QStringLiteral("a long line"));
        s.setRightMargin(100000);
        PdfPrinter pdf;
        const PrintLineWidth w = SetPrintLineWidth(s, pdf.printer, 360, 360, 360, 360);
        // A4 is 595 x 842 points of 20 twips each, less 360 twips either side.
        QVERIFY2(qAbs(w.lineWidth - (595 * 20 - 720)) <= 2,
                 qPrintable(QString::number(w.lineWidth)));
        QVERIFY2(qAbs(w.pageHeight - (842 * 20 - 720)) <= 2,
                 qPrintable(QString::number(w.pageHeight)));
        QCOMPARE(s.rightMargin(), w.lineWidth);
        s.setRightMargin(100000);
        QCOMPARE(printDocument(s, pdf.printer, printJobTitle(QStringLiteral("/src/Hello.java"))),
                 1);
        QCOMPARE(s.rightMargin(), w.lineWidth);
        // the job is named after the document's file
        QCOMPARE(pdf.printer.docName(), QStringLiteral("Hello.java"));
        QFile out(pdf.path);
        QVERIFY(out.open(QIODevice::ReadOnly));
        // the PDF's title entry holds the name as UTF-16 big-endian
        QByteArray title;
        for (QChar c : QStringLiteral("Hello.java"))
            title += char(0), title += char(c.unicode());
        QVERIFY(out.readAll().contains(title));
        QCOMPARE(printJobTitle(QString()), QStringLiteral("Document"));
    }

    void printDialogPath()
    {
        Surface s;
        s.setText(lines(400));
        PdfPrinter pdf;
        bool offered = true;
        auto choose = [&](QPrinter::PrintRange range, bool accept) {
            return [&offered, range, accept](QPrinter &p, bool sel) {
                offered = sel;
                p.setPrintRange(range);
                return accept;
            };
        };
        // Cancelled: nothing printed, and no selection to offer.
        QCOMPARE(printWithDialog(s, choose(QPrinter::AllPages, false), &pdf.printer), 0);
        QVERIFY(!offered);
        QVERIFY(!QFile::exists(pdf.path));

        // With a selection chosen in the dialog only the selection prints.
        s.setSelection(0, 30);
        QCOMPARE(printWithDialog(s, choose(QPrinter::Selection, true), &pdf.printer,
                                 QStringLiteral("Sel.java")),
                 1);
        QCOMPARE(pdf.printer.docName(), QStringLiteral("Sel.java"));
        QVERIFY(offered);
        QCOMPARE(pdfPages(pdf.path), 1);

        // The whole text when the dialog keeps "All".
        PdfPrinter all;
        const int allPages = printWithDialog(s, choose(QPrinter::AllPages, true), &all.printer);
        QVERIFY(allPages > 1);
        QCOMPARE(pdfPages(all.path), allPages);
    }

    // With no printer, the plain printing call does nothing; the menu's
    // says so and offers a PDF file instead.
    void noPrinterOffersPdf()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("this machine has a default printer");
        Surface s;
        s.setText(QStringLiteral("class A {}\r\n"));
        const int margin = s.rightMargin();
        QCOMPARE(printDocument(s), 0);
        QCOMPARE(s.rightMargin(), margin);

        test::ScriptedPrompter prompter;
        prompter.answer(MsgAnswer::No);
        QCOMPARE(printDocumentOrPdf(s, prompter, QStringLiteral("/w/A.java")), 0);
        QCOMPARE(prompter.messages(), QStringList{"No printer is set up on this computer.\r\n"
                                                  "Print to a PDF file instead?"});

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("A"));
        prompter.clear();
        prompter.answer(MsgAnswer::Yes);
        prompter.answerText(pdf); // no suffix: ".pdf" is added
        QCOMPARE(printDocumentOrPdf(s, prompter, QStringLiteral("/w/A.java")), 1);
        QCOMPARE(prompter.asked().at(1).file.startPath, QStringLiteral("/w/A.pdf"));
        QCOMPARE(pdfPages(pdf + QStringLiteral(".pdf")), 1);

        // A file that cannot be written is said.
        prompter.clear();
        prompter.answer(MsgAnswer::Yes);
        prompter.answerText(dir.filePath(QStringLiteral("no/such/folder/B.pdf")));
        prompter.answer(MsgAnswer::Ok);
        QCOMPARE(printDocumentOrPdf(s, prompter, QString()), 0);
        QVERIFY(prompter.messages().last().startsWith("The PDF file could not be written"));
        QCOMPARE(prompter.asked().at(1).file.startPath, QStringLiteral("Document.pdf"));
    }
};

QTEST_MAIN(TstPrint)
#include "tst_print.moc"
