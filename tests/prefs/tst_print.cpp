// Printing to PDF files: the number of pages, the copy of the document with
// its formats, the line width given to the surface, and the print dialog
// path with its selection option.
#include "shell/print.h"
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
    QString path;
    explicit PdfPrinter(const QString &name = QStringLiteral("out.pdf"))
    {
        path = dir.filePath(name);
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

int printLines(const QString &text)
{
    Surface s;
    s.setFontName(QStringLiteral("DejaVu Sans Mono"));
    s.setFontSize(10);
    s.setText(text);
    PdfPrinter pdf;
    const int pages = PrintSurface(s, pdf.printer, 1440, 1440, 1440, 1440);
    const int inFile = pdfPages(pdf.path);
    if (inFile != pages)
        qWarning("printed %d pages, the file holds %d", pages, inFile);
    return inFile == pages ? pages : -1;
}

} // namespace

class TstPrint : public QObject {
    Q_OBJECT
private slots:
    void oneLineIsOnePage()
    {
        Surface s;
        s.setText(QStringLiteral("class A {}"));
        PdfPrinter pdf;
        QCOMPARE(printDocument(s, pdf.printer), 1);
        QCOMPARE(pdfPages(pdf.path), 1);
    }

    void aFullPageDoesNotStartASecond()
    {
        // The most lines that fit on one page.
        int full = 0;
        for (int n = 20; n < 200; ++n)
            if (printLines(lines(n)) == 2) {
                full = n - 1;
                break;
            }
        QVERIFY(full > 20);
        QCOMPARE(printLines(lines(full)), 1);
        // Ending with a line break adds no blank page.
        QCOMPARE(printLines(lines(full) + QStringLiteral("\r\n")), 1);
        QCOMPARE(printLines(lines(full + 1)), 2);
        QCOMPARE(printLines(lines(3 * full)), 3);
    }

    void emptyDocumentPrintsOneBlankPage()
    {
        QCOMPARE(printLines(QString()), 1);
    }

    void copyKeepsTextAndFormats()
    {
        Surface s;
        s.setFontName(QStringLiteral("DejaVu Sans Mono"));
        s.setText(QStringLiteral("int x;\r\n// note"));
        s.setSelection(0, 3);
        s.setSelStyle(0xFF0000, true, false, false); // blue, bold
        s.setSelection(8, 7);
        s.setSelStyle(0x008000, false, true, false);
        auto doc = surfaceDocument(s);
        QCOMPARE(doc->blockCount(), 2);
        QCOMPARE(doc->toPlainText(), QStringLiteral("int x;\n// note"));
        const QTextBlock first = doc->firstBlock();
        const QTextCharFormat intFormat = first.begin().fragment().charFormat();
        QCOMPARE(first.begin().fragment().text(), QStringLiteral("int"));
        QCOMPARE(intFormat.foreground().color(), QColor(0, 0, 255));
        QCOMPARE(intFormat.fontWeight(), int(QFont::Bold));
        const QTextCharFormat comment = first.next().begin().fragment().charFormat();
        QVERIFY(comment.fontItalic());
        QCOMPARE(comment.foreground().color(), QColor(0, 0x80, 0));

        // Part of the text, starting inside a line break's pair.
        auto part = surfaceDocument(s, 4, 6);
        QCOMPARE(part->toPlainText(), QStringLiteral("x;\n//"));
    }

    void printSetsTheScreenLineWidth()
    {
        Surface s;
        s.setText(QStringLiteral("a long line"));
        s.setRightMargin(100000);
        PdfPrinter pdf;
        const PrintLineWidth w = SetPrintLineWidth(s, pdf.printer, 360, 360, 360, 360);
        // A4 as Qt sizes it, 595 x 842 points of 20 twips each, less
        // 360 twips on either side.
        QVERIFY2(qAbs(w.lineWidth - (595 * 20 - 720)) <= 2, qPrintable(QString::number(w.lineWidth)));
        QVERIFY2(qAbs(w.pageHeight - (842 * 20 - 720)) <= 2, qPrintable(QString::number(w.pageHeight)));
        QCOMPARE(s.rightMargin(), w.lineWidth);

        s.setRightMargin(100000);
        QCOMPARE(printDocument(s, pdf.printer), 1);
        QCOMPARE(s.rightMargin(), w.lineWidth);
    }

    void printDialogPath()
    {
        Surface s;
        s.setText(lines(400));
        PdfPrinter pdf;

        // Cancelled: nothing printed.
        bool offered = true;
        QCOMPARE(printWithDialog(
                     s, [&](QPrinter &, bool sel) { offered = sel; return false; }, &pdf.printer),
                 0);
        QVERIFY(!offered);
        QVERIFY(!QFile::exists(pdf.path));

        // With a selection chosen in the dialog only the selection prints.
        s.setSelection(0, 30);
        const int pages = printWithDialog(
            s,
            [&](QPrinter &p, bool sel) {
                offered = sel;
                p.setPrintRange(QPrinter::Selection);
                return true;
            },
            &pdf.printer);
        QVERIFY(offered);
        QCOMPARE(pages, 1);
        QCOMPARE(pdfPages(pdf.path), 1);

        // The whole text when the dialog keeps "All".
        PdfPrinter all;
        const int allPages = printWithDialog(s, [](QPrinter &, bool) { return true; }, &all.printer);
        QVERIFY(allPages > 1);
        QCOMPARE(pdfPages(all.path), allPages);
    }

    void noPrinterDoesNothing()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("this machine has a default printer");
        Surface s;
        s.setText(QStringLiteral("text"));
        const int margin = s.rightMargin();
        QCOMPARE(printDocument(s), 0);
        QCOMPARE(s.rightMargin(), margin);
    }
};

QTEST_MAIN(TstPrint)
#include "tst_print.moc"
