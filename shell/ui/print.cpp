#include "shell/ui/print.h"

#include "base/pathutil.h"
#include "base/prompter.h"
#include "surface/surface.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

namespace qln {

namespace {

constexpr int kInch = 1440;

QTextCharFormat charFormat(const CharFormat &f, const Surface &surface)
{
    QTextCharFormat out;
    out.setForeground(toQColor(f.color));
    out.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(f.italic);
    out.setFontUnderline(f.underline);
    const QString family = f.fontName.isEmpty() ? surface.fontName() : f.fontName;
    if (!family.isEmpty())
        out.setFontFamilies({family});
    const double size = f.fontSize > 0 ? f.fontSize : surface.fontSize();
    if (size > 0)
        out.setFontPointSize(size);
    return out;
}

// The paper in twips. Printing is in full-page mode, so the painter's
// origin is the paper's corner and no unprintable offset applies.
QSizeF paperTwips(QPrinter &printer)
{
    printer.setFullPage(true);
    // Device pixels rather than inches, which Qt rounds to hundredths.
    const QRectF pixels = printer.paperRect(QPrinter::DevicePixel);
    return pixels.size() * (kInch / double(printer.resolution()));
}

struct CursorGuard {
    CursorGuard() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CursorGuard() { QGuiApplication::restoreOverrideCursor(); }
};

// The vertical place of the line holding document position pos.
qreal lineTop(QTextDocument &doc, int pos)
{
    const QTextBlock block = doc.findBlock(pos);
    if (!block.isValid())
        return 0;
    const QTextLayout *layout = block.layout();
    const QRectF blockRect = doc.documentLayout()->blockBoundingRect(block);
    const QTextLine line = layout->lineForTextPosition(pos - block.position());
    return blockRect.top() + (line.isValid() ? line.y() : 0);
}

} // namespace

std::unique_ptr<QTextDocument> surfaceDocument(const Surface &surface, int start, int length)
{
    const int total = surface.length();
    start = std::clamp(start, 0, total);
    if (length < 0 || start + length > total)
        length = total - start;

    auto doc = std::make_unique<QTextDocument>();
    doc->setDocumentMargin(0);
    doc->setUndoRedoEnabled(false);
    QFont base = doc->defaultFont();
    if (!surface.fontName().isEmpty())
        base.setFamilies({surface.fontName()});
    if (surface.fontSize() > 0)
        base.setPointSizeF(surface.fontSize());
    doc->setDefaultFont(base);

    QString text = surface.mid(start, length);
    // One character per line break in the copy: CR LF becomes one break.
    text.remove(QLatin1Char('\r'));
    doc->setPlainText(text);

    QTextCursor cursor(doc.get());
    int docPos = 0;
    for (const Surface::FormatRun &run : surface.formatRuns(start, length)) {
        const QStringView part = surface.span(start + run.start, run.length);
        const int docLength = int(part.size() - part.count(QLatin1Char('\r')));
        if (docLength <= 0)
            continue;
        cursor.setPosition(docPos);
        cursor.setPosition(docPos + docLength, QTextCursor::KeepAnchor);
        cursor.setCharFormat(charFormat(*run.format, surface));
        docPos += docLength;
    }
    return doc;
}

PrintLineWidth SetPrintLineWidth(Surface &surface, QPrinter &printer, int leftMargin,
                                 int rightMargin, int topMargin, int bottomMargin)
{
    const QSizeF paper = paperTwips(printer);
    PrintLineWidth out;
    out.lineWidth = int(std::lround(paper.width() - rightMargin - leftMargin));
    out.pageHeight = int(std::lround(paper.height() - bottomMargin - topMargin));
    if (out.lineWidth > 0)
        surface.setRightMargin(out.lineWidth);
    return out;
}

int printRange(const Surface &surface, QPrinter &printer, int start, int length, int leftMargin,
               int topMargin, int rightMargin, int bottomMargin)
{
    const QSizeF paper = paperTwips(printer);
    const double perTwip = printer.resolution() / double(kInch);
    const QRectF area(leftMargin * perTwip, topMargin * perTwip,
                      (paper.width() - leftMargin - rightMargin) * perTwip,
                      (paper.height() - topMargin - bottomMargin) * perTwip);
    if (area.width() <= 0 || area.height() <= 0)
        return 0;

    std::unique_ptr<QTextDocument> doc = surfaceDocument(surface, start, length);
    doc->documentLayout()->setPaintDevice(&printer);
    doc->setPageSize(area.size());
    doc->documentLayout()->documentSize(); // lays the copy out

    // The page of the last character decides how many pages print; an
    // empty last line after a final line break prints nothing of its own.
    int pages = 1;
    const int chars = doc->characterCount() - 1; // without the closing separator
    if (chars > 0) {
        // The last character of the copy ends the last line that holds
        // text (for a text ending in a line break, the break itself).
        const qreal top = lineTop(*doc, chars - 1);
        pages = int(std::floor(top / area.height() + 1e-6)) + 1;
    }

    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    QAbstractTextDocumentLayout::PaintContext ctx;
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage())
            break;
        painter.save();
        painter.translate(area.topLeft());
        painter.setClipRect(QRectF(0, 0, area.width(), area.height()));
        painter.translate(0, -page * area.height());
        ctx.clip = QRectF(0, page * area.height(), area.width(), area.height());
        doc->documentLayout()->draw(&painter, ctx);
        painter.restore();
    }
    painter.end();
    return pages;
}

int PrintSurface(const Surface &surface, QPrinter &printer, int leftMargin, int topMargin,
                 int rightMargin, int bottomMargin)
{
    return printRange(surface, printer, 0, surface.length(), leftMargin, topMargin, rightMargin,
                      bottomMargin);
}

QString printJobTitle(const QString &documentPath)
{
    const QString name = QFileInfo(documentPath).fileName();
    return name.isEmpty() ? QStringLiteral("Document") : name;
}

int printDocument(Surface &surface, QPrinter &printer, const QString &title)
{
    CursorGuard hourglass;
    if (!title.isEmpty())
        printer.setDocName(title);
    printer.setCopyCount(1);
    SetPrintLineWidth(surface, printer, 360, 360, 360, 360);
    return PrintSurface(surface, printer, kInch, kInch, kInch, kInch);
}

int printDocument(Surface &surface, const QString &title)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || info.printerName().isEmpty())
        return 0;
    QPrinter printer(info, QPrinter::HighResolution);
    if (!printer.isValid())
        return 0;
    return printDocument(surface, printer, title);
}

int printDocumentOrPdf(Surface &surface, Prompter &prompter, const QString &documentPath)
{
    const QString title = printJobTitle(documentPath);
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull() && !info.printerName().isEmpty()) {
        QPrinter printer(info, QPrinter::HighResolution);
        if (printer.isValid())
            return printDocument(surface, printer, title);
    }
    if (prompter.message(QStringLiteral("No printer is set up on this computer.\r\n"
                                        "Print to a PDF file instead?"),
                         QStringLiteral("Print"), MsgIcon::Question, MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return 0;
    const QString start =
        documentPath.isEmpty()
            ? QStringLiteral("Document.pdf")
            : SplitPath(documentPath, 2) + SplitPath(documentPath, 5) + QStringLiteral(".pdf");
    const std::optional<QString> chosen =
        prompter.file({FileDialogRequest::Save, QStringLiteral("Print to File (PDF)"), start,
                       QStringLiteral("PDF Files (*.pdf);;All Files (*)")});
    if (!chosen || chosen->isEmpty())
        return 0;
    QString target = *chosen;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(target);
    const int pages = printDocument(surface, printer, title);
    if (pages == 0)
        prompter.message(QStringLiteral("The PDF file could not be written:\r\n") + target,
                         QStringLiteral("Print"), MsgIcon::Critical, MsgButtons::Ok);
    return pages;
}

bool execPrintDialog(QPrinter &printer, bool hasSelection, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, hasSelection);
    if (hasSelection)
        printer.setPrintRange(QPrinter::Selection);
    return dialog.exec() == QDialog::Accepted;
}

int printWithDialog(Surface &surface, const PrintDialogHook &ask, QPrinter *given,
                    const QString &title)
{
    std::unique_ptr<QPrinter> own;
    QPrinter *printer = given;
    if (!printer) {
        own = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer = own.get();
    }
    if (!title.isEmpty())
        printer->setDocName(title);
    const bool hasSelection = surface.selLength() > 0;
    printer->setPrintRange(QPrinter::AllPages);
    if (!ask || !ask(*printer, hasSelection))
        return 0;
    int start = 0;
    int length = surface.length();
    if (hasSelection && printer->printRange() == QPrinter::Selection) {
        start = surface.selStart();
        length = surface.selLength();
    }
    return printRange(surface, *printer, start, length, kInch, kInch, kInch, kInch);
}

} // namespace qln
