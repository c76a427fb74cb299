#pragma once
// The median time of `runs` runs of an action, in milliseconds: one slow run
// (a page fault, another process) does not move it.

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

inline double MedianMs(int runs, const std::function<void()> &action)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        action();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
