#include "tools/fx5-run/CycleTimes.h"

#include <cmath>

namespace fx5run {

void CycleTimes::Add(double ms)
{
    const double steps = ms > kSmallestMs ? std::log(ms / kSmallestMs) / std::log(kStep) : 0;
    const int bucket = steps >= kBuckets - 1 ? kBuckets - 1 : static_cast<int>(steps);
    ++m_buckets[static_cast<size_t>(bucket)];
    ++m_count;
    m_totalMs += ms;
}

double CycleTimes::QuantileMs(double q) const
{
    if (m_count == 0) return 0;
    const double wanted = q * static_cast<double>(m_count);
    uint64_t seen = 0;
    for (int b = 0; b < kBuckets; ++b) {
        seen += m_buckets[static_cast<size_t>(b)];
        // The bucket's upper edge: no call in it took longer.
        if (static_cast<double>(seen) >= wanted && seen > 0) return kSmallestMs * std::pow(kStep, b + 1);
    }
    return kSmallestMs * std::pow(kStep, kBuckets);
}

} // namespace fx5run
