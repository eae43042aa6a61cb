#include "search/tt.h"

#include <algorithm>
#include <array>
#include <new>
#include <system_error>
#include <thread>

namespace tarvo {

namespace {

constexpr int EntriesPerBucket             = TTBucketEntries;
constexpr std::uint64_t EntriesPerMegabyte = TTEntriesPerMegabyte;
// A clear runs on at most this many threads, each taking at least a megabyte's slots: below
// that, starting a thread costs more than it saves.
constexpr int MaxClearThreads            = 256;
constexpr std::uint64_t SmallestSlice    = 65536;
constexpr std::align_val_t HeapAlignment = std::align_val_t{64};
constexpr std::int8_t PlantedDepth       = 64;
constexpr std::int16_t PlantedScore      = -32701;

// Used only when a table without an array could not get one, so that probes and stores always
// find a table to work on.
TTSlot FallbackBucket[EntriesPerBucket];

constexpr auto Relaxed = std::memory_order_relaxed;

constexpr std::uint64_t Pack(std::uint32_t moveAndBound, std::int16_t score, std::int8_t depth,
                             std::uint8_t generation) {
    return moveAndBound | std::uint64_t{static_cast<std::uint16_t>(score)} << 32 |
           std::uint64_t{static_cast<std::uint8_t>(depth)} << 48 | std::uint64_t{generation} << 56;
}

constexpr std::int8_t DepthOf(std::uint64_t data) {
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(data >> 48));
}

constexpr std::uint8_t GenerationOf(std::uint64_t data) {
    return static_cast<std::uint8_t>(data >> 56);
}

constexpr std::uint64_t WithGeneration(std::uint64_t data, std::uint8_t generation) {
    return (data & 0x00ffffffffffffffu) | std::uint64_t{generation} << 56;
}

constexpr TTEntry Unpack(std::uint64_t key, std::uint64_t data) {
    return TTEntry{key, static_cast<std::uint32_t>(data),
                   static_cast<std::int16_t>(static_cast<std::uint16_t>(data >> 32)), DepthOf(data),
                   GenerationOf(data)};
}

constexpr std::uint64_t EmptyData = Pack(0, -32768, -128, 0);
static_assert(Unpack(0, EmptyData).score == -32768 && Unpack(0, EmptyData).depth == -128);

// Data first, then the key word that vouches for it: a reader that meets the slot between the
// two stores sees a key that does not match.
void Write(TTSlot& slot, std::uint64_t key, std::uint64_t data) {
    slot.data.store(data, Relaxed);
    slot.keyXorData.store(key ^ data, Relaxed);
}

TTSlot* BucketOf(TranspositionTable& table, std::uint64_t key) {
    return table.entries + EntriesPerBucket * (key & (table.bucketCount - 1));
}

// The slot holding `key` and its data word, or nullptr.
TTSlot* FindInBucket(TTSlot* bucket, std::uint64_t key, std::uint64_t& data) {
    for (int i = 0; i < EntriesPerBucket; ++i) {
        const std::uint64_t word = bucket[i].data.load(Relaxed);
        if ((bucket[i].keyXorData.load(Relaxed) ^ word) == key) {
            data = word;
            return &bucket[i];
        }
    }
    return nullptr;
}

// The shallowest entry; the first of equal depths. Generations play no part.
TTSlot* ChooseVictim(TTSlot* bucket, std::uint64_t& data) {
    TTSlot* victim = &bucket[0];
    data           = bucket[0].data.load(Relaxed);
    for (int i = 1; i < EntriesPerBucket; ++i) {
        const std::uint64_t word = bucket[i].data.load(Relaxed);
        if (DepthOf(word) < DepthOf(data)) {
            victim = &bucket[i];
            data   = word;
        }
    }
    return victim;
}

std::int8_t StoredDepth(float depth) {
    // Written so that NaN and huge values land on a bound instead of an undefined conversion.
    if (!(depth > -127.0f))
        return -127;
    if (depth >= 126.0f)
        return 126;
    return static_cast<std::int8_t>(static_cast<int>(depth));
}

int LargestPowerOfTwoAtMost(int value) {
    int power = 1;
    while (power <= value / 2)
        power *= 2;
    return power;
}

void* AllocateBlock(const TTMemory& memory, std::size_t bytes) {
    if (memory.allocate)
        return memory.allocate(bytes);
    return ::operator new(bytes, HeapAlignment, std::nothrow);
}

void ReleaseBlock(const TTMemory& memory, void* block, std::size_t bytes) {
    if (memory.release)
        memory.release(block, bytes);
    else
        ::operator delete(block, HeapAlignment);
}

// A fresh array has no slots yet: they are made in place, already empty.
void EmptySlice(TTSlot* slots, std::uint64_t begin, std::uint64_t end, bool fresh) {
    if (fresh)
        for (std::uint64_t i = begin; i < end; ++i)
            ::new (&slots[i]) TTSlot{EmptyData, EmptyData};
    else
        for (std::uint64_t i = begin; i < end; ++i)
            Write(slots[i], 0, EmptyData);
}

// Slice 0 on the calling thread, the others on threads of their own; a thread the system
// refuses leaves its slice to the calling thread.
void EmptySlots(TranspositionTable& table, int threads, bool fresh) {
    const std::uint64_t count = table.entryCount;
    const std::uint64_t most  = std::max<std::uint64_t>(count / SmallestSlice, 1);
    const std::uint64_t slices =
        std::min<std::uint64_t>(std::clamp(threads, 1, MaxClearThreads), most);
    const std::uint64_t size = count / slices;
    std::array<std::thread, MaxClearThreads> workers;
    for (std::uint64_t slice = 1; slice < slices; ++slice) {
        const std::uint64_t begin = slice * size;
        const std::uint64_t end   = slice + 1 == slices ? count : begin + size;
        try {
            workers[slice] = std::thread(EmptySlice, table.entries, begin, end, fresh);
        } catch (const std::system_error&) {
            EmptySlice(table.entries, begin, end, fresh);
        }
    }
    EmptySlice(table.entries, 0, size, fresh);
    for (std::thread& worker : workers)
        if (worker.joinable())
            worker.join();
}

} // namespace

bool TTResize(TranspositionTable& table, int megabytes, int threads) {
    const std::uint64_t count =
        static_cast<std::uint64_t>(LargestPowerOfTwoAtMost(std::max(megabytes, 1))) *
        EntriesPerMegabyte;
    // The new array first: a size that cannot be had costs nothing of the table in use.
    void* block = AllocateBlock(table.memory, count * sizeof(TTSlot));
    if (!block) {
        if (!table.entries) {
            table.entries     = FallbackBucket;
            table.entryCount  = EntriesPerBucket;
            table.bucketCount = 1;
            TTClear(table);
        }
        return false;
    }
    TTRelease(table);
    table.entries     = static_cast<TTSlot*>(block);
    table.entryCount  = count;
    table.bucketCount = count / EntriesPerBucket;
    EmptySlots(table, threads, true);
    return true;
}

void TTRelease(TranspositionTable& table) {
    if (table.entries && table.entries != FallbackBucket)
        ReleaseBlock(table.memory, table.entries, table.entryCount * sizeof(TTSlot));
    table.entries     = nullptr;
    table.entryCount  = 0;
    table.bucketCount = 0;
    table.usedCount   = 0;
    table.generation  = 0;
}

void TTClear(TranspositionTable& table, int threads) {
    table.generation = 0;
    table.usedCount  = 0;
    EmptySlots(table, threads, false);
}

void TTNewSearch(TranspositionTable& table) {
    // Generation 0 belongs to cleared entries only. A search numbered 0 would count the same
    // entry again on every store (an entry of generation 0 always counts as new), so the fill
    // could pass 100 %; the count therefore wraps from 255 to 1.
    table.generation = table.generation == 255 ? 1 : table.generation + 1;
    table.usedCount  = 0;
}

bool TTProbe(TranspositionTable& table, std::uint64_t key, TTEntry& entry) {
    std::uint64_t data = 0;
    TTSlot* slot       = FindInBucket(BucketOf(table, key), key, data);
    if (!slot)
        return false;
    if (GenerationOf(data) != table.generation) {
        data = WithGeneration(data, table.generation);
        Write(*slot, key, data);
        // Stamped for this search: counted, so the fill reads what a scan of the table finds.
        ++table.usedCount;
    }
    entry = Unpack(key, data);
    return true;
}

void TTStore(TranspositionTable& table, std::uint64_t key, Move move, int score, float depth,
             TTBound bound) {
    const std::int8_t stored = StoredDepth(depth);
    const std::uint32_t word = (static_cast<std::uint32_t>(bound) << 24) | (move & 0xffffff);
    const std::uint64_t data =
        Pack(word, static_cast<std::int16_t>(score), stored, table.generation);
    TTSlot* bucket    = BucketOf(table, key);
    std::uint64_t old = 0;
    if (TTSlot* slot = FindInBucket(bucket, key, old)) {
        const std::uint8_t generation = GenerationOf(old);
        if (generation != table.generation || generation == 0)
            ++table.usedCount;
        if (DepthOf(old) < stored)
            Write(*slot, key, data);
        else if (generation != table.generation)
            Write(*slot, key, WithGeneration(old, table.generation));
        return;
    }
    TTSlot* victim = ChooseVictim(bucket, old);
    if (GenerationOf(old) != table.generation)
        ++table.usedCount;
    Write(*victim, key, data);
}

void TTPlantMove(TranspositionTable& table, std::uint64_t key, Move move) {
    const std::uint32_t word = move & 0xffffff; // bound NoBound
    const std::uint64_t data = Pack(word, PlantedScore, PlantedDepth, table.generation);
    TTSlot* bucket           = BucketOf(table, key);
    std::uint64_t old        = 0;
    if (TTSlot* slot = FindInBucket(bucket, key, old)) {
        const std::uint8_t generation = GenerationOf(old);
        if (generation != table.generation || generation == 0)
            ++table.usedCount;
        if (DepthOf(old) < PlantedDepth)
            Write(*slot, key, data);
        else if (generation != table.generation)
            Write(*slot, key, WithGeneration(old, table.generation));
        return;
    }
    TTSlot* victim = ChooseVictim(bucket, old);
    if (GenerationOf(old) != table.generation)
        ++table.usedCount;
    Write(*victim, key, data);
}

TTEntry TTEntryAt(const TranspositionTable& table, std::uint64_t index) {
    const TTSlot& slot       = table.entries[index];
    const std::uint64_t data = slot.data.load(Relaxed);
    return Unpack(slot.keyXorData.load(Relaxed) ^ data, data);
}

} // namespace tarvo
