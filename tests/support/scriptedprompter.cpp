#include "support/scriptedprompter.h"

#include <QTest>

namespace qln::test {

void ScriptedPrompter::answerFont(const FontChoice &f)
{
    m_fonts.push_back(f);
    m_answers.push_back(QVariant::fromValue(int(m_fonts.size() - 1)));
}

QStringList ScriptedPrompter::messages() const
{
    QStringList out;
    for (const auto &a : m_asked)
        if (a.kind == Asked::Message)
            out << a.message.text;
    return out;
}

QVariant ScriptedPrompter::next(const char *what)
{
    if (m_answers.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected prompt: %1").arg(QLatin1String(what))),
                     __FILE__, __LINE__);
        return QVariant();
    }
    QVariant v = m_answers.front();
    m_answers.pop_front();
    return v;
}

MsgAnswer ScriptedPrompter::message(const MessageRequest &request)
{
    Asked a{Asked::Message, request, {}, {}, {}};
    m_asked.push_back(a);
    QVariant v = next(qPrintable(request.text));
    if (!v.isValid()) {
        // Unscripted: the least destructive answer of the box.
        switch (request.buttons) {
        case MsgButtons::Ok: return MsgAnswer::Ok;
        case MsgButtons::OkCancel:
        case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
        case MsgButtons::YesNo: return MsgAnswer::No;
        }
    }
    return MsgAnswer(v.toInt());
}

std::optional<QString> ScriptedPrompter::input(const QString &prompt, const QString &title,
                                               const QString &)
{
    m_asked.push_back(Asked{Asked::Input, {}, prompt, title, {}});
    QVariant v = next("input box");
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

std::optional<QString> ScriptedPrompter::file(const FileDialogRequest &request)
{
    m_asked.push_back(Asked{Asked::File, {}, {}, request.title, request});
    QVariant v = next("file dialog");
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

std::optional<QColor> ScriptedPrompter::color(const QColor &)
{
    m_asked.push_back(Asked{Asked::Color, {}, {}, {}, {}});
    QVariant v = next("colour dialog");
    if (!v.isValid())
        return std::nullopt;
    return v.value<QColor>();
}

std::optional<FontChoice> ScriptedPrompter::font(const FontChoice &)
{
    m_asked.push_back(Asked{Asked::Font, {}, {}, {}, {}});
    QVariant v = next("font dialog");
    if (!v.isValid())
        return std::nullopt;
    return m_fonts.at(size_t(v.toInt()));
}

std::optional<QString> ScriptedPrompter::folder(const QString &title, const QString &)
{
    m_asked.push_back(Asked{Asked::Folder, {}, {}, title, {}});
    QVariant v = next("folder dialog");
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

} // namespace qln::test
