#pragma once
// Memory for the transposition table, from the platform: blocks aligned on 2 MB and offered to
// the kernel for transparent huge pages, so that a table of gigabytes costs far fewer address
// translations. Sizes beyond the machine's physical memory are refused outright: the kernel
// would promise them and fail only when the table is written.

#include <cstddef>

#include "search/tt.h"

namespace tarvo {

// A zero-filled block of `bytes` on a 2 MB boundary, or nullptr when the machine cannot give it.
void* allocateLargeBlock(std::size_t bytes);
// Gives back a block of allocateLargeBlock, with the size it was asked for.
void releaseLargeBlock(void* block, std::size_t bytes);

inline constexpr TTMemory LargePageMemory{allocateLargeBlock, releaseLargeBlock};

} // namespace tarvo
