#pragma once
// The engine's millisecond clock: a monotonic counter reduced to 32 bits. It wraps about every
// 49.7 days, so a time span is always the signed 32-bit difference of two readings, never a
// comparison of the readings themselves; that keeps spans right across a wrap.

#include <cstdint>

namespace tarvo {

// Milliseconds of a monotonic clock (never set back by a change of the wall time), low 32 bits.
std::uint32_t readTickCount();

// Milliseconds from reading `from` to reading `to`; negative when `to` was taken first.
constexpr std::int32_t ticksBetween(std::uint32_t from, std::uint32_t to) {
    return static_cast<std::int32_t>(to - from);
}

} // namespace tarvo
