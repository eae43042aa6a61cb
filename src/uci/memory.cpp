#include "uci/memory.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace tarvo {

namespace {

constexpr std::size_t LargePageBytes = std::size_t{2} << 20;

std::size_t physicalMemoryBytes() {
    const long pages    = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return SIZE_MAX; // unknown: let the allocation itself decide
    return static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize);
}

std::size_t roundedToLargePages(std::size_t bytes) {
    return (bytes + LargePageBytes - 1) & ~(LargePageBytes - 1);
}

} // namespace

void* allocateLargeBlock(std::size_t bytes) {
    if (bytes == 0 || bytes > physicalMemoryBytes() || bytes > SIZE_MAX / 2)
        return nullptr;
    // One large page more than needed, so that a 2 MB boundary lies inside; the ends on either
    // side of the aligned block go back at once.
    const std::size_t length = roundedToLargePages(bytes);
    const std::size_t mapped = length + LargePageBytes;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start   = reinterpret_cast<std::uintptr_t>(raw);
    const auto aligned = (start + LargePageBytes - 1) & ~std::uintptr_t{LargePageBytes - 1};
    if (aligned > start)
        munmap(raw, aligned - start);
    const std::size_t tail = start + mapped - (aligned + length);
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + length), tail);
    void* block = reinterpret_cast<void*>(aligned);
    // Only advice: where the kernel has no huge pages to give, the block works as it is.
    madvise(block, length, MADV_HUGEPAGE);
    return block;
}

void releaseLargeBlock(void* block, std::size_t bytes) {
    if (block)
        munmap(block, roundedToLargePages(bytes));
}

} // namespace tarvo
