#pragma once

#include <algorithm>
#include <cstdio>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTextStream>
#include <vector>

// Wall-clock figures of a repeated step, in milliseconds.
struct BenchTiming
{
    double first = 0; // the first run, before caches are warm
    double median = 0;
    double max = 0;
    int runs = 0;
};

template<typename Step> BenchTiming measure(int runs, Step step)
{
    std::vector<double> ms;
    ms.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    BenchTiming t;
    t.runs = runs;
    t.first = ms.front();
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    t.median = sorted[sorted.size() / 2];
    t.max = sorted.back();
    return t;
}

// One line per figure: what was measured, the figures, and the target with
// whether the median meets it. A target of 0 marks a breakdown line of the
// figure above it.
inline void reportTiming(QTextStream& out, const QString& what, const BenchTiming& t, double targetMs)
{
    out << qSetFieldWidth(40) << Qt::left << what << qSetFieldWidth(0)
        << QStringLiteral("median %1 ms, first %2 ms, max %3 ms (%4 runs)")
               .arg(t.median, 0, 'f', 2)
               .arg(t.first, 0, 'f', 2)
               .arg(t.max, 0, 'f', 2)
               .arg(t.runs);
    if (targetMs > 0) {
        out << QStringLiteral("   target < %1 ms: %2")
                   .arg(targetMs, 0, 'f', 0)
                   .arg(t.median < targetMs ? QStringLiteral("met") : QStringLiteral("MISSED"));
    }
    out << "\n";
    out.flush();
}

// Other processes on the machine distort every figure; print the load beside them.
inline void reportSystemLoad(QTextStream& out)
{
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (loadavg.open(QIODevice::ReadOnly))
        out << "system load (1, 5, 15 min): "
            << QString::fromLatin1(loadavg.readLine()).section(QLatin1Char(' '), 0, 2) << "\n";
}
