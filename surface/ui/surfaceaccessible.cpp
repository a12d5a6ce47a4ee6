#include "surface/ui/surfaceaccessible.h"

#include "surface/ui/surfaceview.h"

#include <QFontMetrics>
#include <QTextBoundaryFinder>

namespace qln {

namespace {

QString withNewlines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

SurfaceAccessible::ReportSink &reportSink()
{
    static SurfaceAccessible::ReportSink sink;
    return sink;
}

QAccessibleInterface *surfaceViewFactory(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<SurfaceView *>(object))
        return new SurfaceAccessible(view);
    return nullptr;
}

} // namespace

void SurfaceAccessible::install()
{
    QAccessible::installFactory(surfaceViewFactory);
}

void SurfaceAccessible::setReportSink(ReportSink sink)
{
    reportSink() = std::move(sink);
}

bool SurfaceAccessible::listening()
{
    return reportSink() || QAccessible::isActive();
}

void SurfaceAccessible::report(QAccessibleEvent *event)
{
    if (reportSink())
        reportSink()(event);
    else
        QAccessible::updateAccessibility(event);
}

SurfaceAccessible::SurfaceAccessible(SurfaceView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
    Surface *s = view->surface();
    m_removing = QObject::connect(s, &Surface::textAboutToBeReplaced, view, [this](int pos, int n) {
        m_removed = listening() ? withNewlines(surface()->mid(pos, n)) : QString();
    });
    m_edits =
        QObject::connect(s, &Surface::textReplaced, view,
                         [this](int pos, int, int, int added, bool) { reportEdit(pos, added); });
    m_caret = QObject::connect(s, &Surface::selChanged, view, [this] { caretMoved(); });
    selection(0, &m_reportedStart, &m_reportedEnd);
    m_reportedCaret = cursorPosition();
}

SurfaceAccessible::~SurfaceAccessible()
{
    QObject::disconnect(m_removing);
    QObject::disconnect(m_edits);
    QObject::disconnect(m_caret);
}

SurfaceView *SurfaceAccessible::view() const
{
    return static_cast<SurfaceView *>(widget());
}

Surface *SurfaceAccessible::surface() const
{
    return view()->surface();
}

int SurfaceAccessible::toSurface(int offset) const
{
    return surface()->fromViewPosition(std::clamp(offset, 0, characterCount()));
}

int SurfaceAccessible::toOffset(int pos) const
{
    return surface()->toViewPosition(pos);
}

// --- the object ----------------------------------------------------------------

QString SurfaceAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return text(0, characterCount());
    return QAccessibleWidget::text(t);
}

QAccessible::State SurfaceAccessible::state() const
{
    QAccessible::State st = QAccessibleWidget::state();
    st.editable = true;
    st.multiLine = true;
    st.selectableText = true;
    st.focusable = true;
    return st;
}

void *SurfaceAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (t == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

// --- caret and selection ---------------------------------------------------------

void SurfaceAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    const Surface *s = surface();
    if (selectionIndex != 0 || s->selLength() == 0)
        return;
    *startOffset = toOffset(s->selStart());
    *endOffset = toOffset(s->selStart() + s->selLength());
}

int SurfaceAccessible::selectionCount() const
{
    return surface()->selLength() > 0 ? 1 : 0;
}

void SurfaceAccessible::addSelection(int startOffset, int endOffset)
{
    // The surface has one selection: a new one replaces it.
    setSelection(0, startOffset, endOffset);
}

void SurfaceAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex != 0 || surface()->selLength() == 0)
        return;
    surface()->setSelStart(surface()->selStart() + surface()->selLength());
    view()->flush();
}

void SurfaceAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    const int a = toSurface(std::min(startOffset, endOffset));
    const int b = toSurface(std::max(startOffset, endOffset));
    surface()->setSelection(a, b - a);
    view()->flush();
}

// The caret is where the view draws it: the end of the selection.
int SurfaceAccessible::cursorPosition() const
{
    return toOffset(surface()->selStart() + surface()->selLength());
}

void SurfaceAccessible::setCursorPosition(int position)
{
    surface()->setSelStart(toSurface(position));
    view()->flush();
    view()->ensureCursorVisible();
}

// --- text ----------------------------------------------------------------------

int SurfaceAccessible::characterCount() const
{
    const Surface *s = surface();
    return s->length() - (s->lineCount() - 1);
}

QString SurfaceAccessible::text(int startOffset, int endOffset) const
{
    const int from = toSurface(startOffset);
    const int to = toSurface(endOffset);
    if (to <= from)
        return {};
    return withNewlines(surface()->mid(from, to - from));
}

// The unit of text containing offset (offset < characterCount()): a
// character (a whole grapheme), a word (a word, or the run of other text
// between two words), a sentence, or a line with its break. The line break
// is a character, word and sentence of its own; no unit but the whole text
// crosses a line break, so only the offset's own line is ever read.
std::pair<int, int> SurfaceAccessible::unitAt(int offset, QAccessible::TextBoundaryType type) const
{
    const Surface *s = surface();
    const int count = characterCount();
    if (type == QAccessible::NoBoundary)
        return {0, count};
    const int line = s->lineFromChar(toSurface(offset));
    const int lineStart = toOffset(s->lineIndex(line));
    const QString text = s->lineText(line);
    const int length = int(text.size());
    const bool hasBreak = line + 1 < s->lineCount();
    const int column = offset - lineStart;
    if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary)
        return {lineStart, lineStart + length + (hasBreak ? 1 : 0)};
    if (column >= length)
        return {offset, offset + 1}; // the line break

    QTextBoundaryFinder::BoundaryType kind = QTextBoundaryFinder::Grapheme;
    if (type == QAccessible::WordBoundary)
        kind = QTextBoundaryFinder::Word;
    else if (type == QAccessible::SentenceBoundary)
        kind = QTextBoundaryFinder::Sentence;
    // Words end only where a word starts or ends: the spaces and signs
    // between two words make one unit.
    auto counts = [type](const QTextBoundaryFinder &finder) {
        return type != QAccessible::WordBoundary
               || (finder.boundaryReasons()
                   & (QTextBoundaryFinder::StartOfItem | QTextBoundaryFinder::EndOfItem));
    };
    QTextBoundaryFinder finder(kind, text);
    finder.setPosition(column + 1);
    int end = length;
    for (int p = finder.isAtBoundary() ? column + 1 : finder.toNextBoundary(); p >= 0 && p < length;
         p = finder.toNextBoundary()) {
        if (counts(finder)) {
            end = p;
            break;
        }
    }
    finder.setPosition(column);
    int start = 0;
    for (int p = finder.isAtBoundary() ? column : finder.toPreviousBoundary(); p > 0;
         p = finder.toPreviousBoundary()) {
        if (counts(finder)) {
            start = p;
            break;
        }
    }
    return {lineStart + start, lineStart + end};
}

QString SurfaceAccessible::boundaryText(Direction direction, int offset,
                                        QAccessible::TextBoundaryType type, int *startOffset,
                                        int *endOffset) const
{
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    if (offset == -1)
        offset = count;
    if (offset < 0 || offset > count)
        return {};
    // The unit at the end of the text is empty; before it lies the last one.
    std::pair<int, int> unit{count, count};
    if (offset < count)
        unit = unitAt(offset, type);
    if (type == QAccessible::NoBoundary && direction != Direction::At)
        return {};
    switch (direction) {
    case Direction::Before:
        if (unit.first == 0)
            return {};
        unit = unitAt(unit.first - 1, type);
        break;
    case Direction::At:
        if (offset == count && type != QAccessible::NoBoundary)
            return {};
        break;
    case Direction::After:
        if (unit.second >= count)
            return {};
        unit = unitAt(unit.second, type);
        break;
    }
    *startOffset = unit.first;
    *endOffset = unit.second;
    return text(unit.first, unit.second);
}

QString SurfaceAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int *startOffset, int *endOffset) const
{
    return boundaryText(Direction::Before, offset, boundaryType, startOffset, endOffset);
}

QString SurfaceAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int *startOffset, int *endOffset) const
{
    return boundaryText(Direction::After, offset, boundaryType, startOffset, endOffset);
}

QString SurfaceAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int *startOffset, int *endOffset) const
{
    return boundaryText(Direction::At, offset, boundaryType, startOffset, endOffset);
}

// --- geometry ------------------------------------------------------------------

QRect SurfaceAccessible::characterRect(int offset) const
{
    if (offset < 0 || offset > characterCount())
        return {};
    const Surface *s = surface();
    const int pos = toSurface(offset);
    const QRect at = view()->caretRect(pos);
    int left = at.left();
    int width = 0;
    // A character on its line spans to the next caret position; a line
    // break and the end of the text get the width of an average character.
    const QChar c = s->at(pos);
    if (!c.isNull() && c != QLatin1Char('\r')) {
        const int next = pos + (c.isHighSurrogate() && s->at(pos + 1).isLowSurrogate() ? 2 : 1);
        const int nextX = view()->caretRect(next).left();
        left = std::min(left, nextX); // right-to-left text runs the other way
        width = std::abs(nextX - at.left());
    }
    if (width == 0)
        width = QFontMetrics(view()->font()).averageCharWidth();
    const QRect local(left, at.top(), std::max(1, width), at.height());
    return QRect(view()->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int SurfaceAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(local))
        return -1;
    return toOffset(view()->positionAt(local));
}

void SurfaceAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    // Show both ends, the start last, and leave the substring selected.
    const int a = toSurface(std::min(startIndex, endIndex));
    const int b = toSurface(std::max(startIndex, endIndex));
    surface()->setSelStart(b);
    view()->flush();
    view()->ensureCursorVisible();
    surface()->setSelStart(a);
    view()->flush();
    view()->ensureCursorVisible();
    surface()->setSelection(a, b - a);
    view()->flush();
}

QString SurfaceAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    if (offset == -1)
        offset = count;
    if (offset < 0 || offset >= count) {
        if (offset == count)
            *startOffset = *endOffset = count;
        return {};
    }
    const Surface *s = surface();
    const int pos = toSurface(offset);
    const int line = s->lineFromChar(pos);
    const int lineStart = s->lineIndex(line);
    const int column = pos - lineStart;
    s->colourAhead(pos + 1); // a line break past the coloured part too
    const CharFormat *format = &s->formatAt(pos);
    int from = pos, to = pos + 1;
    if (column < s->lineLength(line)) {
        for (const Surface::FormatRun &run : s->formatRuns(lineStart, s->lineLength(line))) {
            if (column >= run.start && column < run.start + run.length) {
                format = run.format;
                from = lineStart + run.start;
                to = from + run.length;
                break;
            }
        }
    }
    // The line break reads as one character of its own.
    *startOffset = toOffset(from);
    *endOffset = column < s->lineLength(line) ? toOffset(to) : offset + 1;

    const QString family = format->fontName.isEmpty() ? s->fontName() : format->fontName;
    const double size = format->fontSize > 0 ? format->fontSize : s->fontSize();
    const QColor fore = toQColor(format->color);
    const QColor back = toQColor(s->backColor());
    QString attrs;
    if (!family.isEmpty())
        attrs += QStringLiteral("font-family:\"%1\";").arg(family);
    attrs += QStringLiteral("font-size:%1pt;").arg(size);
    attrs += QStringLiteral("font-weight:%1;").arg(format->bold ? 700 : 400);
    attrs += QStringLiteral("font-style:%1;")
                 .arg(format->italic ? QLatin1String("italic") : QLatin1String("normal"));
    attrs += QStringLiteral("text-underline-style:%1;")
                 .arg(format->underline ? QLatin1String("solid") : QLatin1String("none"));
    attrs +=
        QStringLiteral("color:rgb(%1,%2,%3);").arg(fore.red()).arg(fore.green()).arg(fore.blue());
    attrs += QStringLiteral("background-color:rgb(%1,%2,%3);")
                 .arg(back.red())
                 .arg(back.green())
                 .arg(back.blue());
    return attrs;
}

// --- editing -------------------------------------------------------------------

void SurfaceAccessible::replaceRange(int startOffset, int endOffset, const QString &text)
{
    const int a = toSurface(std::min(startOffset, endOffset));
    const int b = toSurface(std::max(startOffset, endOffset));
    surface()->replace(a, b - a, text); // one undo step; "\n" becomes CR LF
    view()->flush();
}

void SurfaceAccessible::deleteText(int startOffset, int endOffset)
{
    replaceRange(startOffset, endOffset, QString());
}

void SurfaceAccessible::insertText(int offset, const QString &text)
{
    replaceRange(offset, offset, text);
}

void SurfaceAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    replaceRange(startOffset, endOffset, text);
}

// --- telling assistive technology what changed -------------------------------------

void SurfaceAccessible::reportEdit(int pos, int added)
{
    const QString old = std::exchange(m_removed, QString());
    if (!listening())
        return;
    const int offset = toOffset(pos);
    const QString inserted = withNewlines(surface()->mid(pos, added));
    if (old.isEmpty()) {
        QAccessibleTextInsertEvent event(view(), offset, inserted);
        report(&event);
    } else if (inserted.isEmpty()) {
        QAccessibleTextRemoveEvent event(view(), offset, old);
        report(&event);
    } else {
        QAccessibleTextUpdateEvent event(view(), offset, old, inserted);
        report(&event);
    }
}

void SurfaceAccessible::caretMoved()
{
    if (m_caretPending || !listening())
        return;
    m_caretPending = true;
    QMetaObject::invokeMethod(
        view(), [this] { reportCaret(); }, Qt::QueuedConnection);
}

void SurfaceAccessible::reportCaret()
{
    m_caretPending = false;
    if (!listening())
        return;
    int start = 0, end = 0;
    selection(0, &start, &end);
    const int caret = cursorPosition();
    if (start != m_reportedStart || end != m_reportedEnd) {
        m_reportedStart = start;
        m_reportedEnd = end;
        QAccessibleTextSelectionEvent selection(view(), start, end);
        selection.setCursorPosition(caret);
        report(&selection);
    }
    if (caret != m_reportedCaret) {
        m_reportedCaret = caret;
        QAccessibleTextCursorEvent moved(view(), caret);
        report(&moved);
    }
}

} // namespace qln
