// Host tools library: millisecond clock and sleep. A host or a test may
// switch both to a virtual clock, where sleeping only advances the count,
// so time-outs run instantly and deterministically.
#pragma once

#include <cstdint>

uint64_t Zolt_GetTickCount();
void Zolt_Sleep(unsigned int ms);

namespace zolt_clock {
// Switches between the real monotonic clock and a virtual one starting at
// startMs. Returns to the real clock with enabled = false.
void UseVirtualClock(bool enabled, uint64_t startMs = 1000);
} // namespace zolt_clock
