#include "eval/cache.h"

#include "eval/evaluate.h"
#include "eval/geometry.h"

namespace tarvo {
namespace {

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
    if (entry.filled == 0 || entry.pawns[White] != white || entry.pawns[Black] != black) {
        AnalysePawns(white, black, entry.structure);
        entry.pawns  = {white, black};
        entry.filled = 1;
    }
    return entry.structure;
}

} // namespace

void ClearEvalCache(EvalCache& cache) {
    for (EvalCacheEntry& entry : cache.scores)
        entry = EvalCacheEntry{};
    for (PawnCacheEntry& entry : cache.pawns)
        entry.filled = 0;
}

int Evaluate(const Board& board, EvalCache& cache) {
    EvalCacheEntry& entry = cache.scores[board.hashKey & (EvalCacheEntries - 1)];
    if (entry.filled != 0 && entry.key == board.hashKey)
        return entry.score;
    EvalBreakdown breakdown;
    ComputeEvalBreakdown(board, CachedPawns(board, cache), breakdown);
    const int score = ColourSign(board.sideToMove) * WhiteScore(breakdown);
    entry           = EvalCacheEntry{board.hashKey, score, 1};
    return score;
}

} // namespace tarvo
