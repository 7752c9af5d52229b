// A memory whose every word is a known function of its device number and
// the time step, so that a client can check each value it is given: the
// number it came from and how old it is. fx5-sim --pattern writes it every
// 100 ms; the soak test checks against it.
#pragma once

#include <cstdint>

namespace sim {

// D0 … D(kPatternWords - 1) follow the pattern.
constexpr uint32_t kPatternWords = 1024;
// Odd, so that two device numbers never give the same word at one step,
// and large, so that a word of another number decodes to a step far away.
constexpr uint32_t kPatternFactor = 40503;

inline uint16_t PatternWord(uint32_t number, uint64_t step) { return static_cast<uint16_t>(number * kPatternFactor + step); }

// The step a word of `number` was written at (modulo 65 536).
inline uint16_t PatternStep(uint32_t number, uint16_t word) { return static_cast<uint16_t>(word - number * kPatternFactor); }

} // namespace sim
