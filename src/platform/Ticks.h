// The 32-bit millisecond tick counter and Sleep. Ticks wrap after about 49.7 days, so an
// elapsed time is always computed as now minus then in unsigned 32-bit arithmetic, and a
// limit of N ms is passed when that difference is more than N.
#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock, truncated to 32 bits.
uint32_t GetTickCount();
void Sleep(uint32_t milliseconds);

constexpr uint32_t TicksSince(uint32_t then, uint32_t now) { return now - then; }
constexpr bool TickLimitPassed(uint32_t then, uint32_t now, uint32_t limitMs) {
  return TicksSince(then, now) > limitMs;
}
