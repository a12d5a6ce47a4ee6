#include "formatting/templates.h"

#include "formatting/commandhost.h"
#include "formatting/indentkeys.h"
#include "settings/convert.h"
#include "settings/preferences.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "surface/surface.h"

namespace qln {

QString templateKey(int k)
{
    if (k < 1 || k > kTemplateCount)
        return QString();
    return schema::templateKeys().at(k - 1);
}

QString templateText(int k)
{
    const QString key = templateKey(k);
    return key.isEmpty() ? QString() : GetSetting(kApp, kPrefs, key, QString());
}

void insertTemplate(CommandHost &host, int k)
{
    Surface &surface = host.surface();
    QString text = templateText(k);
    const bool keepIndent = host.preferences().keepindent;
    if (keepIndent) {
        // The template's lines after the first take the blanks that stand
        // before the caret at its line's start; blanks that would be left
        // alone on the caret's line go with the selection.
        int start = surface.selStart();
        const int end = start + surface.selLength();
        const int lineStart = surface.lineIndex(surface.lineFromChar(start));
        const QString before = surface.mid(lineStart, start - lineStart);
        int blanks = 0;
        while (blanks < before.size()
               && (before[blanks] == QLatin1Char(' ') || before[blanks] == QLatin1Char('\t')))
            ++blanks;
        const QString indent = before.left(blanks);
        text = indentedTemplate(text, indent);
        if (blanks == before.size() && (text.isEmpty() || text.startsWith(QLatin1Char('\r'))))
            start = lineStart;
        // Text after the caret joins the template's last line: when that
        // line is empty, the text keeps the indentation too.
        const int line = surface.lineFromChar(end);
        const int lineEnd = surface.lineIndex(line) + surface.lineLength(line);
        if (text.endsWith(QLatin1Char('\n'))
            && !surface.mid(end, lineEnd - end).trimmed().isEmpty())
            text += indent;
        surface.setSelection(start, end - start);
    }
    try {
        surface.setSelColor(toColour(host.preferences().ctextcolor));
        // With a selection, the replacing text takes the format of its first
        // character: select it again so that format is the new colour.
        if (surface.selLength() > 0)
            surface.setSelection(surface.selStart(), surface.selLength());
    } catch (const ConversionError &) {
        // A text colour that does not convert leaves the format as it is.
    }
    const int at = surface.selStart();
    surface.setSelText(text);
    // The caret goes to the first place the template leaves to fill in.
    const int field = keepIndent ? int(text.indexOf(QLatin1String(kTemplateField))) : -1;
    if (field >= 0)
        surface.setSelection(at + field, int(qstrlen(kTemplateField)));
}

QString defaultsButtonTemplate(int k)
{
    if (k == 3) {
        const QString crlf = QStringLiteral("\r\n");
        const QStringList lines{QStringLiteral("switch ( )"),
                                QStringLiteral("{"),
                                QString(),
                                QStringLiteral("case :"),
                                QString(),
                                QStringLiteral("case :"),
                                QString(),
                                QStringLiteral("}")};
        return crlf + lines.join(crlf) + crlf;
    }
    const QString key = templateKey(k);
    return key.isEmpty() ? QString() : schema::factoryDefault(kPrefs, key);
}

void StructureEditor::load()
{
    for (int k = 1; k <= kTemplateCount; ++k)
        m_entries[size_t(k)] = templateText(k);
    select(1);
}

void StructureEditor::select(int k)
{
    if (k >= 1 && k <= kTemplateCount)
        m_current = k;
}

QString StructureEditor::entry(int k) const
{
    return k >= 1 && k <= kTemplateCount ? m_entries[size_t(k)] : QString();
}

void StructureEditor::setCurrentText(const QString &text)
{
    m_entries[size_t(m_current)] = text;
}

void StructureEditor::save() const
{
    for (int k = 1; k <= kTemplateCount; ++k)
        SaveSetting(kApp, kPrefs, templateKey(k), m_entries[size_t(k)]);
}

void StructureEditor::restoreDefaults()
{
    for (int k = 1; k <= kTemplateCount; ++k)
        SaveSetting(kApp, kPrefs, templateKey(k), defaultsButtonTemplate(k));
    load();
}

} // namespace qln
