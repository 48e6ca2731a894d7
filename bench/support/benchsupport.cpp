#include "benchsupport.h"

#include <QElapsedTimer>

#include <algorithm>

namespace bench {

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    const auto middle = samples.begin() + samples.size() / 2;
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

double medianMs(int runs, const std::function<void()> &work, const std::function<void()> &prepare)
{
    std::vector<double> samples;
    samples.reserve(runs);
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        timer.start();
        work();
        samples.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(std::move(samples));
}

} // namespace bench
