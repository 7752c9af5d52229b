// The median of a benchmark's samples: one slow sample from a busy
// neighbour on the VM moves a mean, not a median.
#pragma once

#include <algorithm>
#include <vector>

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}
