#pragma once
// Helpers of the benchmark programs: real Java source from the installed
// kit's src.zip, and a stopwatch that reports medians.

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
// Where the source came from, for the printed report.
QString javaSourceOrigin();

// Milliseconds of one run of f.
double timeMs(const std::function<void()> &f);
// Median milliseconds over runs of f.
double medianMs(int runs, const std::function<void()> &f, double *p99 = nullptr);

void report(const QString &what, double ms, const QString &limit);

} // namespace qln::bench
