#pragma once
// A reproducible stream of edits for the recovery tests: the editor that is
// killed makes them, and the test makes them again on a plain string to
// know every text the editor went through. Edits never split a CR LF pair
// or a surrogate pair, and insert only clean CR LF text, so the surface
// takes them exactly as given.

#include <QRandomGenerator>
#include <QString>

namespace qln::test {

struct ScriptedEdit {
    int pos = 0;
    int removed = 0;
    QString text;

    void applyTo(QString &text) const { text.replace(pos, removed, this->text); }
};

// The next edit of `text`: mostly small insertions, removals and
// replacements (typing, a word completed, a line deleted), now and then a
// large block pasted or most of the text removed.
inline ScriptedEdit nextScriptedEdit(QRandomGenerator &rng, const QString &text)
{
    static const QString kPieces[] = {
        QStringLiteral("a"),    QStringLiteral("Zq"),         QStringLiteral(" "),
        QStringLiteral("{"),    QStringLiteral("\u00e9"),     QStringLiteral("\u20ac"),
        QStringLiteral("int "), QStringLiteral("\U0001F600"), QStringLiteral("\r\n"),
        QStringLiteral("\t"),   QStringLiteral("x.y"),        QStringLiteral("\uFEFF")};
    const int length = int(text.size());
    // Moved back off the middle of a pair.
    auto boundary = [&](int i) {
        if (i > 0 && i < length
            && ((text[i - 1] == QLatin1Char('\r') && text[i] == QLatin1Char('\n'))
                || (text[i - 1].isHighSurrogate() && text[i].isLowSurrogate())))
            return i - 1;
        return i;
    };
    ScriptedEdit edit;
    edit.pos = boundary(int(rng.bounded(length + 1)));
    int end = edit.pos + int(rng.bounded(qMin(length - edit.pos, 12) + 1));
    if (rng.bounded(60) == 0)
        end = length;
    end = qMax(edit.pos, boundary(end));
    edit.removed = end - edit.pos;
    const int pieces = int(rng.bounded(rng.bounded(25) == 0 ? 300 : 6));
    for (int i = 0; i < pieces; ++i)
        edit.text += kPieces[rng.bounded(int(std::size(kPieces)))];
    return edit;
}

} // namespace qln::test
