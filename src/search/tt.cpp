#include "search/tt.h"

#include <new>

namespace tarvo {

namespace {

constexpr int EntriesPerBucket   = TTBucketEntries;
constexpr int EntriesPerMegabyte = 65536;
// entryCount is 32 bits wide: 32768 MB is the largest size whose count still fits.
constexpr int LargestMegabytes      = 32768;
constexpr std::int8_t PlantedDepth  = 64;
constexpr std::int16_t PlantedScore = -32701;

// Used only when not even one bucket could be allocated, so that probes and stores always
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

} // namespace

int TTResize(TranspositionTable& table, int megabytes) {
    TTRelease(table);
    if (megabytes < 1)
        megabytes = 1;
    if (megabytes > LargestMegabytes)
        megabytes = LargestMegabytes;
    std::uint32_t count =
        static_cast<std::uint32_t>(LargestPowerOfTwoAtMost(megabytes)) * EntriesPerMegabyte;
    // A shortage of memory costs table size, never the table itself.
    while (count > EntriesPerBucket) {
        table.entries = new (std::nothrow) TTSlot[count];
        if (table.entries)
            break;
        count /= 2;
    }
    if (!table.entries)
        table.entries = new (std::nothrow) TTSlot[count];
    if (!table.entries) {
        table.entries = FallbackBucket;
        count         = EntriesPerBucket;
    }
    table.entryCount  = count;
    table.bucketCount = count / EntriesPerBucket;
    TTClear(table);
    return static_cast<int>(count / EntriesPerMegabyte);
}

void TTRelease(TranspositionTable& table) {
    if (table.entries != FallbackBucket)
        delete[] table.entries;
    table.entries     = nullptr;
    table.entryCount  = 0;
    table.bucketCount = 0;
    table.usedCount   = 0;
    table.generation  = 0;
}

void TTClear(TranspositionTable& table) {
    table.generation = 0;
    table.usedCount  = 0;
    for (std::uint32_t i = 0; i < table.entryCount; ++i)
        Write(table.entries[i], 0, EmptyData);
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

TTEntry TTEntryAt(const TranspositionTable& table, std::uint32_t index) {
    const TTSlot& slot       = table.entries[index];
    const std::uint64_t data = slot.data.load(Relaxed);
    return Unpack(slot.keyXorData.load(Relaxed) ^ data, data);
}

} // namespace tarvo
