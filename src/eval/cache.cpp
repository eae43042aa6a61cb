#include "eval/cache.h"

#include <cstdint>

#include "eval/evaluate.h"
#include "eval/geometry.h"

namespace tarvo {
namespace {

constexpr std::uint64_t ScorePart = 0xffff;
constexpr std::uint64_t KeyPart   = ~ScorePart;
constexpr EvalCacheEntry EmptyScoreEntry = KeyPart;

// Index of a pawn structure: the two sets mixed by odd multipliers, the high bits kept.
std::uint32_t PawnSlot(Bitboard white, Bitboard black) {
    const std::uint64_t mixed = (white * 0x9E3779B97F4A7C15ULL) ^ (black * 0xC2B2AE3D27D4EB4FULL);
    return static_cast<std::uint32_t>((mixed ^ (mixed >> 29)) * 0xBF58476D1CE4E5B9ULL >> 51) &
           (PawnCacheEntries - 1);
}

const PawnStructure& CachedPawns(const Board& board, EvalCache& cache) {
    const Bitboard white  = board.pieces[Pawn] & board.colour[White];
    const Bitboard black  = board.pieces[Pawn] & board.colour[Black];
    PawnCacheEntry& entry = cache.pawns[PawnSlot(white, black)];
    if (entry.pawns[White] != white || entry.pawns[Black] != black) {
        AnalysePawns(white, black, entry.structure);
        entry.pawns = {white, black};
    }
    return entry.structure;
}

} // namespace

void ClearEvalCache(EvalCache& cache) {
    // The one word the lookup refuses: a key whose high bits are all set simply misses.
    for (EvalCacheEntry& entry : cache.scores)
        entry = EmptyScoreEntry;
    for (PawnCacheEntry& entry : cache.pawns)
        entry.pawns = {~Bitboard{0}, 0};
}

int Evaluate(const Board& board, EvalCache& cache) {
    EvalCacheEntry& entry = cache.scores[board.hashKey & (EvalCacheEntries - 1)];
    if (((entry ^ board.hashKey) & KeyPart) == 0 && entry != EmptyScoreEntry)
        return static_cast<std::int16_t>(entry & ScorePart);
    EvalBreakdown breakdown;
    ComputeEvalBreakdown(board, CachedPawns(board, cache), breakdown);
    const int score = ColourSign(board.sideToMove) * WhiteScore(breakdown);
    if (score >= INT16_MIN && score <= INT16_MAX)
        entry = (board.hashKey & KeyPart) | static_cast<std::uint16_t>(score);
    return score;
}

} // namespace tarvo
