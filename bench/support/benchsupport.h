#pragma once

#include <functional>
#include <vector>

namespace bench {

// The middle sample (the upper one of an even count); 0 without samples.
double median(std::vector<double> samples);

// Median wall time of `runs` calls of `work`, in milliseconds. `prepare`, when
// given, runs untimed before each call.
double medianMs(int runs, const std::function<void()> &work, const std::function<void()> &prepare = {});

} // namespace bench
