#include "formatting/templates.h"

#include "formatting/commandhost.h"
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
    try {
        surface.setSelColor(toColour(host.preferences().ctextcolor));
        // With a selection, the replacing text takes the format of its first
        // character: select it again so that format is the new colour.
        if (surface.selLength() > 0)
            surface.setSelection(surface.selStart(), surface.selLength());
    } catch (const ConversionError &) {
        // A text colour that does not convert leaves the format as it is.
    }
    surface.setSelText(templateText(k));
}

QString defaultsButtonTemplate(int k)
{
    if (k == 3) {
        const QString crlf = QStringLiteral("\r\n");
        const QStringList lines{QStringLiteral("switch ( )"), QStringLiteral("{"), QString(),
                                QStringLiteral("case :"),     QString(),           QStringLiteral("case :"),
                                QString(),                    QStringLiteral("}")};
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
