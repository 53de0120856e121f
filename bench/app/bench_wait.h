// What the benchmarks' runs share: waiting with Qt's events turning, and the
// median of a run's figures.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

// Turns Qt's events until done or nMs have passed; whether done.
inline bool Pump(const std::function<bool()>& done, int nMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < nMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

// -1 when there are none.
inline double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
