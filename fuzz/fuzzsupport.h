#pragma once
// Shared by the fuzz harnesses: a Qt application object for the code that
// wants one, a prompter that answers every question the same way, and a
// reader that turns the fuzzer's bytes into numbers and texts.

#include "base/prompter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace qln::fuzz {

// Stops the run with a message when an invariant does not hold; the
// fuzzer keeps the input that did it.
#define FUZZ_CHECK(cond)                                                                       \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

// Answers No to questions, Ok to notices and cancels every dialog.
class QuietPrompter : public Prompter {
public:
    int asked = 0;
    MsgAnswer message(const MessageRequest &request) override
    {
        ++asked;
        switch (request.buttons) {
        case MsgButtons::Ok:
        case MsgButtons::OkCancel: return MsgAnswer::Ok;
        default: return MsgAnswer::No;
        }
    }
    using Prompter::message;
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        ++asked;
        return std::nullopt;
    }
    std::optional<QString> file(const FileDialogRequest &) override
    {
        ++asked;
        return std::nullopt;
    }
    std::optional<QColor> color(const QColor &) override { return std::nullopt; }
    std::optional<FontChoice> font(const FontChoice &) override { return std::nullopt; }
    std::optional<QString> folder(const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

// Reads the input front to back; past its end every read gives zeros and
// empty texts.
class Input {
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint32_t u16() { return uint32_t(byte()) | uint32_t(byte()) << 8; }
    uint32_t u32() { return u16() | u16() << 16; }
    // 0 .. n-1 (0 when n is 0).
    int below(int n) { return n <= 0 ? 0 : int(u16() % uint32_t(n)); }
    bool flag() { return byte() & 1; }
    // A short text of up to maxLength characters drawn from `alphabet`,
    // or raw UTF-8 when the alphabet is empty.
    QString text(int maxLength, const QString &alphabet = QString())
    {
        const int n = below(maxLength + 1);
        QString s;
        for (int i = 0; i < n && !atEnd(); ++i) {
            const uint8_t b = byte();
            if (alphabet.isEmpty())
                s += QChar(b < 0x80 ? char16_t(b) : char16_t(0xA0 + b));
            else
                s += alphabet.at(b % alphabet.size());
        }
        return s;
    }
    // Everything not read yet, as UTF-8.
    QString rest()
    {
        const QString s = QString::fromUtf8(reinterpret_cast<const char *>(m_data + m_pos),
                                            qsizetype(m_size - m_pos));
        m_pos = m_size;
        return s;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Whether the bytes use at most one line-break style (CR LF, LF or CR).
inline bool oneBreakStyle(QByteArrayView b)
{
    bool crlf = false, lf = false, cr = false;
    for (qsizetype i = 0; i < b.size(); ++i) {
        if (b[i] == '\r') {
            if (i + 1 < b.size() && b[i + 1] == '\n') {
                crlf = true;
                ++i;
            } else {
                cr = true;
            }
        } else if (b[i] == '\n') {
            lf = true;
        }
    }
    return int(crlf) + int(lf) + int(cr) <= 1;
}

} // namespace qln::fuzz
