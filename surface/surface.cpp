#include "surface/surface.h"

#include "surface/textfile.h"

#include <QClipboard>
#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QMetaMethod>
#include <QMimeData>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <utility>

namespace qln {

namespace {

const QString kFormattedMime = QStringLiteral("application/x-quillon-formatted");

} // namespace

Surface::Surface(QObject *parent) : QObject(parent), m_marks(new Marks(this))
{
    connect(&m_history, &UndoHistory::modifiedChanged, this, &Surface::modifiedChanged);
    connect(&m_history, &UndoHistory::historyChanged, this, &Surface::historyChanged);
}

Surface::~Surface() = default;

// --- formats ---------------------------------------------------------------

const CharFormat &Surface::formatAt(int pos) const
{
    if (pos < 0 || pos >= length())
        return m_store.format(m_insertFormat);
    return m_store.format(m_store.formatIndexAt(pos));
}

template <typename Mutate> void Surface::mutateRange(int start, int length, Mutate mutate)
{
    m_store.clampRange(start, length);
    if (length == 0)
        return;
    emit formatsAboutToChange(start, length);
    if (m_store.mutateFormats(start, length, mutate))
        emit formatsChanged(start, length);
}

template <typename Mutate> void Surface::mutateSelection(Mutate mutate)
{
    if (m_selLength == 0) {
        CharFormat cf = m_store.format(m_insertFormat);
        mutate(cf);
        m_insertFormat = m_store.intern(cf);
        return;
    }
    mutateRange(m_selStart, m_selLength, mutate);
    // Text that replaces the selection takes its new format.
    updateInsertFormatFromCaret();
}

template <typename Get>
auto Surface::readSelection(Get get) const -> std::optional<decltype(get(CharFormat()))>
{
    if (m_selLength == 0)
        return get(m_store.format(m_insertFormat));
    return m_store.commonValue(m_selStart, m_selLength, get);
}

void Surface::setFormat(int start, int length, const CharFormat &format)
{
    m_store.clampRange(start, length);
    if (length == 0)
        return;
    emit formatsAboutToChange(start, length);
    m_store.fillFormats(start, length, m_store.intern(format));
    emit formatsChanged(start, length);
}

void Surface::setStyleRanges(const std::vector<std::pair<int, int>> &ranges, const TextStyle &style)
{
    {
        qint64 from = length(), to = 0;
        for (const auto &[rawStart, rawLength] : ranges) {
            if (rawLength <= 0)
                continue;
            from = std::min<qint64>(from, std::max<qint64>(rawStart, 0));
            to = std::max<qint64>(to, std::min<qint64>(qint64(rawStart) + rawLength, length()));
        }
        if (from < to)
            emit formatsAboutToChange(int(from), int(to - from));
    }
    const auto [lo, hi] = m_store.setStyle(ranges, style);
    if (lo < hi)
        emit formatsChanged(lo, hi - lo);
}

// --- colouring ahead ---------------------------------------------------------

void Surface::colourAheadWith(Colourer colourer, int colouredTo)
{
    m_colourer = std::move(colourer);
    m_colouredTo = std::clamp(colouredTo, 0, length());
    if (m_colouredTo >= length())
        m_colourer = {};
}

void Surface::colourAhead(int upTo) const
{
    if (!m_colourer || m_colouringAhead || upTo <= m_colouredTo)
        return;
    // Formats are filled in as they are first read: the text stays as it is.
    auto *self = const_cast<Surface *>(this);
    const int from = m_colouredTo;
    int to;
    {
        self->m_colouringAhead = true;
        const QSignalBlocker quiet(self);
        const Colourer colourer = m_colourer; // it may stop colouring ahead itself
        to = colourer(*self, from, std::min(upTo, length()));
        self->m_colouringAhead = false;
    }
    if (!m_colourer)
        return; // replaced by a colouring of the whole text
    self->m_colouredTo = std::clamp(std::max(to, from), 0, length());
    if (m_colouredTo >= length())
        self->m_colourer = {};
    if (isSignalConnected(QMetaMethod::fromSignal(&Surface::formatsChanged)))
        QMetaObject::invokeMethod(
            self,
            [self, from, to] {
                const int a = std::min(from, self->length()), b = std::min(to, self->length());
                if (b > a)
                    emit self->formatsChanged(a, b - a);
            },
            Qt::QueuedConnection);
}

// --- text edits --------------------------------------------------------------

void Surface::setText(const QString &text)
{
    setText(QString(text));
}

void Surface::setText(QString &&text)
{
    stopColouringAhead();
    replace(0, length(), std::move(text), false, nullptr);
    clearUndo();
    setSelInternal(0, 0, true);
}

void Surface::takeContent(Surface &from)
{
    if (&from == this)
        return;
    const int len = length();
    const CharFormat typed = insertFormat();
    emit textAboutToBeReplaced(0, len);
    m_history.breakMerge();
    const int removedBreaks = lineCount() - 1;
    m_store = std::exchange(from.m_store, TextStore());
    m_colourer = std::exchange(from.m_colourer, {});
    m_colouredTo = std::exchange(from.m_colouredTo, 0);
    from.clearUndo();
    from.m_selStart = from.m_selLength = 0;
    m_insertFormat = m_store.intern(typed);
    m_lastMarksBefore = m_marks->adjust(0, len, length());
    ++m_revision;
    m_selStart = m_selLength = 0;
    m_history.updateModified();
    emit textReplaced(0, len, removedBreaks, length(), false);
    if (!m_holdChanged)
        emit changed();
    clearUndo();
    updateInsertFormatFromCaret();
    emit selectionSetByProgram();
    emit selChanged();
}

void Surface::setLocked(bool locked, const QString &note)
{
    m_locked = locked;
    m_lockNote = note;
}

bool Surface::replace(int pos, int removed, const QString &rawText, bool fromView)
{
    return replace(pos, removed, rawText, fromView, nullptr);
}

bool Surface::replacePieces(int pos, int removed, const std::vector<Piece> &pieces)
{
    const int len = length();
    pos = std::clamp(pos, 0, len);
    removed = std::clamp(removed, 0, len - pos);
    // A range that ends inside a line break takes the rest of it along
    // unchanged, and one that starts inside takes its CR.
    const bool withCr = m_store.isInsideLineBreak(pos);
    if (withCr) {
        --pos;
        ++removed;
    }
    const bool withLf = m_store.isInsideLineBreak(pos + removed);
    if (withLf)
        ++removed;
    // Kept pieces must lie in the text, and the result must fit: anything
    // else refuses the edit before a byte is allocated for it.
    qint64 total = (withCr ? 1 : 0) + (withLf ? 1 : 0);
    for (const Piece &p : pieces) {
        if (p.source >= 0) {
            if (p.length < 0 || qint64(p.source) + p.length > len)
                return false;
            total += p.length;
        } else {
            total += p.text.size();
        }
        if (total > kMaxLength)
            return false;
    }
    if (qint64(len) - removed + total > kMaxLength)
        return false;
    QString text;
    text.reserve(qsizetype(total));
    std::vector<FormatIndex> formats;
    formats.reserve(size_t(total));
    auto keep = [&](int from, int n) {
        m_store.appendText(from, n, text);
        m_store.appendFormats(from, n, formats);
    };
    if (withCr)
        keep(pos, 1);
    for (const Piece &p : pieces) {
        if (p.source >= 0) {
            keep(p.source, p.length);
        } else {
            const FormatIndex f = p.formatOf >= 0 && p.formatOf < len
                                      ? m_store.formatIndexAt(p.formatOf)
                                      : m_insertFormat;
            text.append(p.text);
            formats.insert(formats.end(), size_t(p.text.size()), f);
        }
    }
    if (withLf)
        keep(pos + removed - 1, 1);
    // Normalising changes the length exactly when the text is not clean.
    const bool clean = normalizeLineBreaks(text).size() == text.size();
    return replace(pos, removed, std::move(text), false, clean ? &formats : nullptr);
}

bool Surface::replace(int pos, int removed, QString rawText, bool fromView,
                      const std::vector<FormatIndex> *newFormats)
{
    if (m_locked) {
        emit textRefused(m_lockNote);
        return false;
    }
    const int len = length();
    pos = std::clamp(pos, 0, len);
    removed = std::clamp(removed, 0, len - pos);
    // Never split a CR LF pair. An insertion between CR and LF goes before
    // the pair (the end of the line); a removal that starts or ends inside
    // a pair takes the whole pair.
    if (m_store.isInsideLineBreak(pos)) {
        --pos;
        if (removed > 0)
            ++removed;
    }
    if (removed > 0 && m_store.isInsideLineBreak(pos + removed))
        ++removed;

    // Normalising at most doubles the length: a text that cannot fit even
    // before that is refused without being copied.
    if (qint64(len) - removed + rawText.size() > kMaxLength)
        return false;
    QString text = normalizeLineBreaks(std::move(rawText));
    if (qint64(len) - removed + text.size() > kMaxLength)
        return false;
    const int inserted = int(text.size());
    if (removed == 0 && inserted == 0)
        return true;

    emit textAboutToBeReplaced(pos, removed);
    UndoHistory::Edit *recorded = nullptr;
    if (m_history.isRecording()) {
        UndoHistory::Edit e;
        e.pos = pos;
        e.removedText = mid(pos, removed);
        e.removedFormats.reserve(size_t(removed));
        m_store.appendFormats(pos, removed, e.removedFormats);
        e.insertedLength = inserted;
        const bool typed =
            fromView && removed == 0 && inserted == 1 && text.at(0) != QLatin1Char('\r');
        const bool startsWord =
            typed && pos > 0 && isWordCharacter(text.at(0)) && !isWordCharacter(at(pos - 1));
        recorded = m_history.record(std::move(e), typed, startsWord);
    }
    if (!fromView)
        m_history.breakMerge();

    // New text takes the format for typed text unless it comes with its own.
    const bool ownFormats = newFormats && newFormats->size() == size_t(inserted);
    const int removedBreaks = m_store.replace(
        pos, removed, std::move(text), ownFormats ? newFormats->data() : nullptr, m_insertFormat);

    m_lastMarksBefore = m_marks->adjust(pos, removed, inserted);
    if (recorded)
        recorded->marksBefore = m_lastMarksBefore;
    if (m_colourer && pos < m_colouredTo) {
        // Still a line start: from where the edit ends, or where it began
        // when it took the line break before the frontier.
        int to = pos + removed < m_colouredTo ? m_colouredTo - removed + inserted : pos;
        to = std::min(to, length());
        m_colouredTo = to < length() ? m_store.lineIndex(m_store.lineFromChar(to)) : to;
    }

    ++m_revision;
    const int oldStart = m_selStart, oldLength = m_selLength;
    m_selStart = pos + inserted;
    m_selLength = 0;
    m_history.updateModified();
    emit textReplaced(pos, removed, removedBreaks, inserted, fromView);
    if (fromView) {
        m_pendingViewChange = true;
        return true;
    }
    if (m_holdChanged)
        return true;
    emit changed();
    if (oldStart != m_selStart || oldLength != m_selLength) {
        emit selectionSetByProgram();
        emit selChanged();
    }
    return true;
}

void Surface::notifyChanged()
{
    if (!m_pendingViewChange)
        return;
    m_pendingViewChange = false;
    emit changed();
    emit selChanged();
}

// --- selection -------------------------------------------------------------

void Surface::setSelInternal(int start, int length, bool byProgram)
{
    start = std::clamp(start, 0, this->length());
    length = std::clamp(length, 0, this->length() - start);
    const bool moved = start != m_selStart || length != m_selLength;
    m_selStart = start;
    m_selLength = length;
    updateInsertFormatFromCaret();
    if (!moved)
        return;
    if (byProgram)
        emit selectionSetByProgram();
    emit selChanged();
}

void Surface::setSelectionFromView(int start, int length)
{
    if (start != m_selStart)
        m_history.breakMerge();
    setSelInternal(start, length, false);
}

void Surface::updateInsertFormatFromCaret()
{
    // Text typed next takes the format of the selection's first character,
    // or of the character before the caret.
    if (length() == 0)
        return;
    int at = m_selLength > 0 ? m_selStart : m_selStart - 1;
    if (at < 0)
        at = 0;
    m_insertFormat = m_store.formatIndexAt(std::min(at, length() - 1));
}

void Surface::setSelStart(int pos)
{
    setSelInternal(pos, 0, true);
}

void Surface::setSelLength(int len)
{
    if (len < 0)
        return;
    setSelInternal(m_selStart, len, true);
}

void Surface::setSelection(int start, int len)
{
    setSelInternal(start, std::max(0, len), true);
}

QString Surface::selText() const
{
    return mid(m_selStart, m_selLength);
}

void Surface::setSelText(const QString &text)
{
    replace(m_selStart, m_selLength, text);
}

std::optional<BgrColor> Surface::selColor() const
{
    return readSelection([](const CharFormat &f) { return f.color; });
}
void Surface::setSelColor(BgrColor color)
{
    mutateSelection([color](CharFormat &f) { f.color = color & 0xFFFFFF; });
}
std::optional<bool> Surface::selBold() const
{
    return readSelection([](const CharFormat &f) { return f.bold; });
}
void Surface::setSelBold(bool on)
{
    mutateSelection([on](CharFormat &f) { f.bold = on; });
}
std::optional<bool> Surface::selItalic() const
{
    return readSelection([](const CharFormat &f) { return f.italic; });
}
void Surface::setSelItalic(bool on)
{
    mutateSelection([on](CharFormat &f) { f.italic = on; });
}
std::optional<bool> Surface::selUnderline() const
{
    return readSelection([](const CharFormat &f) { return f.underline; });
}
void Surface::setSelUnderline(bool on)
{
    mutateSelection([on](CharFormat &f) { f.underline = on; });
}
std::optional<QString> Surface::selFontName() const
{
    const QString base = m_baseFontName;
    return readSelection(
        [&base](const CharFormat &f) { return f.fontName.isEmpty() ? base : f.fontName; });
}
void Surface::setSelFontName(const QString &name)
{
    const QString stored = name == m_baseFontName ? QString() : name;
    mutateSelection([&stored](CharFormat &f) { f.fontName = stored; });
}
std::optional<double> Surface::selFontSize() const
{
    const double base = m_baseFontSize;
    return readSelection(
        [base](const CharFormat &f) { return f.fontSize > 0 ? f.fontSize : base; });
}
void Surface::setSelFontSize(double points)
{
    // A size that is no number would never equal itself, and so never
    // find its palette entry again.
    if (!std::isfinite(points))
        return;
    const double stored = points == m_baseFontSize ? 0 : points;
    mutateSelection([stored](CharFormat &f) { f.fontSize = stored; });
}
void Surface::setSelStyle(BgrColor color, bool bold, bool italic, bool underline)
{
    mutateSelection([=](CharFormat &f) {
        f.color = color & 0xFFFFFF;
        f.bold = bold;
        f.italic = italic;
        f.underline = underline;
    });
}

// --- whole surface ---------------------------------------------------------

void Surface::setFontName(const QString &name)
{
    // The base font applies to the whole text: per-character names go.
    m_baseFontName = name;
    mutateRange(0, length(), [](CharFormat &f) { f.fontName.clear(); });
    CharFormat cf = m_store.format(m_insertFormat);
    cf.fontName.clear();
    m_insertFormat = m_store.intern(cf);
    emit appearanceChanged();
}

void Surface::setFontSize(double points)
{
    if (!(points > 0) || !std::isfinite(points))
        return;
    m_baseFontSize = points;
    mutateRange(0, length(), [](CharFormat &f) { f.fontSize = 0; });
    CharFormat cf = m_store.format(m_insertFormat);
    cf.fontSize = 0;
    m_insertFormat = m_store.intern(cf);
    emit appearanceChanged();
}

void Surface::setBackColor(BgrColor color)
{
    m_backColor = color & 0xFFFFFF;
    emit appearanceChanged();
}

void Surface::setRightMargin(int twips)
{
    m_rightMargin = std::max(0, twips);
    emit appearanceChanged();
}

// --- find and lines ----------------------------------------------------------

int Surface::find(const QString &needle, int start, int end, int options)
{
    const int p = indexOf(needle, start, end, options);
    if (p >= 0)
        setSelInternal(p, int(needle.size()), true);
    return p;
}

// --- files -------------------------------------------------------------------

std::optional<TextFileFormat> Surface::loadFile(const QString &path, QString *error)
{
    auto decoded = readTextFile(path, error);
    if (!decoded)
        return std::nullopt;
    setText(decoded->text);
    return decoded->format;
}

// --- undo ----------------------------------------------------------------------

UndoHistory::Edit Surface::applyEdit(const UndoHistory::Edit &edit)
{
    // Put the removed text (with its formats) back in place of the
    // inserted text, and return the opposite edit.
    UndoHistory::Edit inverse;
    inverse.pos = edit.pos;
    inverse.removedText = mid(edit.pos, edit.insertedLength);
    inverse.removedFormats.reserve(size_t(edit.insertedLength));
    m_store.appendFormats(edit.pos, edit.insertedLength, inverse.removedFormats);
    inverse.insertedLength = int(edit.removedText.size());

    const bool wasRecording = m_history.setRecording(false);
    replace(edit.pos, edit.insertedLength, edit.removedText, false, &edit.removedFormats);
    m_history.setRecording(wasRecording);
    inverse.marksBefore = std::move(m_lastMarksBefore);
    m_marks->restore(edit.marksBefore);
    if (!edit.removedFormats.empty())
        emit formatsChanged(edit.pos, int(edit.removedFormats.size()));
    return inverse;
}

void Surface::applyStep(bool redo)
{
    if (m_applyingHistory)
        return;
    if (m_locked) {
        emit textRefused(m_lockNote);
        return;
    }
    std::optional<UndoHistory::Step> step = redo ? m_history.takeRedo() : m_history.takeUndo();
    if (!step)
        return;
    const int oldStart = m_selStart, oldLength = m_selLength;
    // The edits are taken back last first; their opposites, kept in the
    // same order reversed, make the step again in its own order. The step
    // keeps its name: redoing it leads to the same state again.
    UndoHistory::Step inverse;
    inverse.id = step->id;
    m_applyingHistory = true;
    m_holdChanged = true;
    for (auto it = step->edits.rbegin(); it != step->edits.rend(); ++it)
        inverse.edits.push_back(applyEdit(*it));
    m_holdChanged = false;
    if (redo)
        m_history.redone(std::move(inverse));
    else
        m_history.undone(std::move(inverse));
    // Handlers run once for the whole step, with the text complete; edits
    // they make now are recorded as usual.
    emit changed();
    m_applyingHistory = false;
    if (oldStart != m_selStart || oldLength != m_selLength) {
        emit selectionSetByProgram();
        emit selChanged();
    }
}

void Surface::undo()
{
    applyStep(false);
}

void Surface::redo()
{
    applyStep(true);
}

void Surface::clearUndo()
{
    m_marks->forgetEnded();
    m_history.clear();
}

// --- clipboard -----------------------------------------------------------------

QMimeData *Surface::mimeData(int start, int len) const
{
    start = std::clamp(start, 0, length());
    len = std::clamp(len, 0, length() - start);
    auto *data = new QMimeData;
    const QString text = mid(start, len);
    // Other programs on this system expect LF line breaks.
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    data->setText(plain);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << text;
    const auto runs = formatRuns(start, len);
    out << quint32(runs.size());
    for (const auto &r : runs) {
        const CharFormat &f = *r.format;
        out << qint32(r.length) << quint32(f.color) << f.bold << f.italic << f.underline
            << (f.fontName.isEmpty() ? m_baseFontName : f.fontName)
            << (f.fontSize > 0 ? f.fontSize : m_baseFontSize);
    }
    data->setData(kFormattedMime, bytes);
    return data;
}

namespace {

// One run of pasted formatted data, as read.
struct PastedRun {
    qint32 length = 0;
    CharFormat format;
};

// Reads our formatted clipboard data. Nothing unless every run has a
// non-negative length, the runs cover the text exactly, every font size is
// a finite size in range and the text is clean CR LF text.
bool readFormatted(const QByteArray &bytes, QString &text, std::vector<PastedRun> &runs)
{
    QDataStream in(bytes);
    quint32 count = 0;
    in >> text >> count;
    if (in.status() != QDataStream::Ok)
        return false;
    qint64 total = 0;
    for (quint32 i = 0; i < count; ++i) {
        qint32 l = 0;
        quint32 color = 0;
        PastedRun r;
        in >> l >> color >> r.format.bold >> r.format.italic >> r.format.underline
            >> r.format.fontName >> r.format.fontSize;
        if (in.status() != QDataStream::Ok || l < 0)
            return false;
        total += l;
        if (total > text.size())
            return false;
        const double size = r.format.fontSize;
        if (!std::isfinite(size) || size < Surface::kMinFontSize || size > Surface::kMaxFontSize)
            return false;
        r.format.color = color & 0xFFFFFF;
        r.length = l;
        runs.push_back(std::move(r));
    }
    return total == text.size() && Surface::normalizeLineBreaks(text).size() == text.size();
}

} // namespace

bool Surface::refusesText(QStringView text)
{
    if (!text.contains(QChar(0)))
        return false;
    emit textRefused(QStringLiteral(
        "Not inserted: the text holds a NUL character, which a text file cannot hold"));
    return true;
}

Surface::MimeContent Surface::readMimeData(const QMimeData *data, bool withFormatting,
                                           QString &text, std::vector<FormatIndex> *formats)
{
    if (!data)
        return MimeContent::None;
    if (withFormatting && data->hasFormat(kFormattedMime)) {
        std::vector<PastedRun> runs;
        if (readFormatted(data->data(kFormattedMime), text, runs)) {
            if (formats) {
                formats->reserve(size_t(text.size()));
                for (PastedRun &r : runs) {
                    if (r.format.fontName == m_baseFontName)
                        r.format.fontName.clear();
                    if (r.format.fontSize == m_baseFontSize)
                        r.format.fontSize = 0;
                    formats->insert(formats->end(), size_t(r.length), m_store.intern(r.format));
                }
            }
            return MimeContent::Formatted;
        }
        text.clear(); // what was read of data that does not read cleanly
    }
    if (!data->hasText())
        return MimeContent::None;
    text = data->text();
    return MimeContent::Plain;
}

bool Surface::refusesMimeData(const QMimeData *data, bool withFormatting)
{
    QString text;
    readMimeData(data, withFormatting, text, nullptr);
    return refusesText(text);
}

void Surface::insertMimeData(const QMimeData *data, bool withFormatting)
{
    QString text;
    std::vector<FormatIndex> formats;
    switch (readMimeData(data, withFormatting, text, &formats)) {
    case MimeContent::None: return;
    case MimeContent::Formatted:
        if (refusesText(text))
            return;
        // The text lands where replace() puts it (before a line break
        // when the selection starts on its LF); the formats go with it.
        if (replace(m_selStart, m_selLength, text, false, &formats) && !text.isEmpty())
            emit formatsChanged(m_selStart - int(text.size()), int(text.size()));
        return;
    case MimeContent::Plain:
        if (!refusesText(text))
            replace(m_selStart, m_selLength, text);
        return;
    }
}

bool Surface::copy()
{
    if (m_selLength == 0 || !QGuiApplication::clipboard())
        return false;
    QGuiApplication::clipboard()->setMimeData(mimeData(m_selStart, m_selLength));
    return true;
}

bool Surface::cut()
{
    if (!copy())
        return false;
    replace(m_selStart, m_selLength, QString());
    return true;
}

bool Surface::paste()
{
    auto *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    insertMimeData(clipboard->mimeData(), true);
    return true;
}

bool Surface::copyPlain()
{
    if (m_selLength == 0 || !QGuiApplication::clipboard())
        return false;
    QString plain = selText();
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QGuiApplication::clipboard()->clear();
    QGuiApplication::clipboard()->setText(plain);
    return true;
}

bool Surface::cutPlain()
{
    if (!copyPlain())
        return false;
    replace(m_selStart, m_selLength, QString());
    return true;
}

bool Surface::pastePlain()
{
    auto *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    const QString text = clipboard->text();
    if (!refusesText(text))
        replace(m_selStart, m_selLength, text);
    return true;
}

} // namespace qln
