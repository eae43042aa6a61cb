#include "uci/clock.h"

#include <time.h>

namespace tarvo {

std::uint32_t readTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Unsigned arithmetic so the reduction to 32 bits is a plain, well-defined wrap.
    const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(milliseconds);
}

} // namespace tarvo
