// Collection-call durations of a run, in bounded memory however long it
// runs: the exact mean, and quantiles from logarithmic buckets 1 % wide
// (from 1 µs to about 20 minutes; longer calls count in the last).
#pragma once

#include <array>
#include <cstdint>

namespace fx5run {

class CycleTimes {
public:
    void Add(double ms);
    uint64_t Count() const { return m_count; }
    double MeanMs() const { return m_count ? m_totalMs / static_cast<double>(m_count) : 0; }
    // The duration below which a share q (0 … 1) of the calls took, to 1 %.
    double QuantileMs(double q) const;

private:
    static constexpr double kSmallestMs = 0.001;
    static constexpr double kStep = 1.01;
    static constexpr int kBuckets = 2100;
    std::array<uint64_t, kBuckets> m_buckets{};
    uint64_t m_count = 0;
    double m_totalMs = 0;
};

} // namespace fx5run
