#pragma once
// Printing the document: "&Print" on the default printer with one-inch
// margins and no dialog, "Print..." through the print dialog. Pages are laid
// out from a copy of the surface (a QTextDocument with the same text and
// character formats), so printing never disturbs the document on screen.
// Lengths are in twips (1440 per inch), measured from the paper's edge.

#include <QRectF>
#include <functional>
#include <memory>

class QPrinter;
class QTextDocument;
class QWidget;

namespace qln {

class Prompter;
class Surface;

// A copy of [start, start + length) of the surface (length -1: to the end),
// one block per line, each character in its own colour, style, font and
// size.
std::unique_ptr<QTextDocument> surfaceDocument(const Surface &surface, int start = 0,
                                               int length = -1);

struct PrintLineWidth {
    int lineWidth = 0;  // twips between the left and right margins
    int pageHeight = 0; // twips between the top and bottom margins
};
// Makes the surface lay out its lines as they will print: gives it the
// printed line width as its right margin, from then on for as long as the
// program runs.
PrintLineWidth SetPrintLineWidth(Surface &surface, QPrinter &printer, int leftMargin,
                                 int rightMargin, int topMargin, int bottomMargin);

// Prints the whole text of the surface page after page inside the margins
// and returns the number of pages printed (0 when the printer could not
// start). A page that would hold nothing but the empty line after a final
// line break is not started.
int PrintSurface(const Surface &surface, QPrinter &printer, int leftMargin, int topMargin,
                 int rightMargin, int bottomMargin);
// The same for a part of the text.
int printRange(const Surface &surface, QPrinter &printer, int start, int length, int leftMargin,
               int topMargin, int rightMargin, int bottomMargin);

// "&Print": the line width for 360-twip side margins, then the whole text
// with one-inch margins on the given printer, with the hourglass pointer
// meanwhile. Returns the pages printed. The job carries `title` (see
// printJobTitle) as its name in the print queue.
int printDocument(Surface &surface, QPrinter &printer, const QString &title = QString());
// "&Print" on the system's default printer. With no printer installed
// nothing happens and 0 is returned.
int printDocument(Surface &surface, const QString &title = QString());
// "&Print" as the menu does it: on the default printer; with none, it says
// so and offers a PDF file instead, named through the prompter (starting
// beside the document, with its name). Returns the pages printed; 0 when
// declined or when nothing could be written (which it says).
int printDocumentOrPdf(Surface &surface, Prompter &prompter, const QString &documentPath);

// The print job's name for a document: its file name, or "Document" while
// it has none.
QString printJobTitle(const QString &documentPath);

// Shows the print dialog for `printer`; true when the user chose to print.
// hasSelection offers (and preselects) printing the selection only.
using PrintDialogHook = std::function<bool(QPrinter &printer, bool hasSelection)>;
// The QPrintDialog version of the hook.
bool execPrintDialog(QPrinter &printer, bool hasSelection, QWidget *parent);

// "Print...": asks through the hook, then prints the selection (when the
// dialog chose it) or the whole text with one-inch margins. Returns the
// pages printed; 0 when the user cancelled. A given printer is used instead
// of a new one (tests print to a PDF file).
int printWithDialog(Surface &surface, const PrintDialogHook &ask, QPrinter *printer = nullptr,
                    const QString &title = QString());

} // namespace qln
