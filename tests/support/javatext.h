#pragma once
// Text that looks like code, for tests of layout and wrapping.

#include <QString>

namespace qln::test {

// Words and blanks, exactly `length` characters, one line.
inline QString wordyLine(int length)
{
    static const QString words[] = {QStringLiteral("int "),    QStringLiteral("value "),
                                    QStringLiteral("= "),      QStringLiteral("count; "),
                                    QStringLiteral("return "), QStringLiteral("x1 ")};
    QString line;
    for (int i = 0; line.size() < length; ++i)
        line += words[i % 6];
    return line.left(length);
}

// `count` copies of `pattern`, the n-th with its %1 replaced by n (from 0).
inline QString numbered(const QString &pattern, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += pattern.arg(i);
    return text;
}

} // namespace qln::test
