// The 32-bit millisecond tick count used for time-outs and elapsed times.
//
// It counts from an arbitrary start and wraps at 2^32 (about 49.7 days), so
// every difference of two ticks is taken modulo 2^32 (TickDiff).
#pragma once

#include <cstdint>

namespace mv {

uint32_t GetTickCount();

// Milliseconds from `earlier` to `later` modulo 2^32, read as a signed number,
// so that a span across the wrap comes out right and a tick taken after
// `later` gives a small negative value.
inline int32_t TickDiff(uint32_t later, uint32_t earlier) {
    return static_cast<int32_t>(later - earlier);
}

// Tests move the tick count close to the wrap with this; it adds `offset` to
// every later reading.
void SetTickOffsetForTesting(uint32_t offset);

}  // namespace mv
