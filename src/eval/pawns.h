#pragma once
// Pawn structure: passed pawns (by rank, stage, support, a free front square and the distance of
// both kings to it), connected, weak and isolated pawns, and the per-pawn value adjustment by
// stage. The work is split in two: AnalysePawns reads the pawns alone, so its result can be kept
// in a pawn cache keyed by the two pawn sets; ScorePawns adds what depends on the kings, the
// pieces and the stage, which is cheap because only passed pawns need it.

#include <array>
#include <cstdint>

#include "board/types.h"

namespace tarvo {

// What one colour's pawns give without looking at anything but pawns.
struct PawnSide {
    Bitboard passed;          // passed pawns, none on the first or last rank
    Bitboard connectedPassed; // the passed ones that are also connected
    std::int16_t count;       // every pawn, the value adjustment's multiplier
    std::int16_t connected;   // connected pawns that are not passed
    std::int16_t structure;   // weak and isolated penalties
};

struct PawnStructure {
    std::array<PawnSide, 2> side;
};

void AnalysePawns(Bitboard whitePawns, Bitboard blackPawns, PawnStructure& structure);

// Score of `colour`'s pawns beyond their base value and square table, already multiplied by the
// colour's sign; `side` is that colour's entry of the board's pawn structure.
int ScorePawns(const Board& board, const PawnSide& side, int colour, int stage);

} // namespace tarvo
