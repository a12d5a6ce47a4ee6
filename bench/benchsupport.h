#pragma once
// Helpers of the benchmark programs: real Java source from the installed
// kit's src.zip, and a stopwatch that reports medians.

#include "base/prompter.h"

#include <QElapsedTimer>
#include <QString>
#include <algorithm>
#include <functional>
#include <vector>

namespace qln::bench {

// About `bytes` characters of Java source with CR LF line breaks, taken from
// the kit's lib/src.zip (java.base/java/util first). Empty when no kit is
// installed.
QString javaSource(qsizetype bytes);
// javaSource, printing where it came from, or that nothing can be
// measured when there is no kit.
QString reportedJavaSource(qsizetype bytes);
// Where the source came from, for the printed report.
QString javaSourceOrigin();

// Milliseconds of one run of f.
double timeMs(const std::function<void()> &f);
// Median milliseconds over runs of f.
double medianMs(int runs, const std::function<void()> &f, double *p99 = nullptr);

void report(const QString &what, double ms, const QString &limit);

// Answers every prompt at once without a window: boxes with only OK (or OK
// and Cancel) with OK, other boxes with `answer`; input boxes with
// inputText and file dialogs with fileName (no answer when empty).
class BenchPrompter : public Prompter {
public:
    explicit BenchPrompter(MsgAnswer answer = MsgAnswer::No) : answer(answer) {}
    MsgAnswer answer;
    QString inputText;
    QString fileName;
    bool reportMessages = false; // print every message (for unexpected ones)
    int messages = 0;
    QString lastMessage;

    MsgAnswer message(const MessageRequest &request) override;
    using Prompter::message;
    std::optional<QString> input(const QString &, const QString &, const QString &) override;
    std::optional<QString> file(const FileDialogRequest &) override;
    std::optional<QColor> color(const QColor &) override { return std::nullopt; }
    std::optional<FontChoice> font(const FontChoice &) override { return std::nullopt; }
    std::optional<QString> folder(const QString &, const QString &) override { return std::nullopt; }
};


} // namespace qln::bench
