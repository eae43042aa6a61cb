#pragma once
// Pawn structure: passed pawns (by rank, stage, support, a free front square and the distance of
// both kings to it), connected, weak and isolated pawns, and the per-pawn value adjustment by
// stage. The work is split in two: AnalysePawns reads the pawns alone, so its result can be kept
// in a pawn cache keyed by the two pawn sets; ScorePawns adds what depends on the kings, the
// pieces and the stage, which is cheap because only passed pawns need it. The analysis also
// keeps what other terms read from the pawns alone: their material and square-table sum, and the
// king shelters.

#include <array>
#include <cstdint>

#include "board/types.h"
#include "eval/king_safety.h"

namespace tarvo {

// What one colour's pawns give without looking at anything but pawns; 24 bytes, so that a pawn
// cache entry (both pawn sets and both sides) fills one 64-byte line.
struct PawnSide {
    Bitboard passed;        // passed pawns, none on the first or last rank
    std::int16_t material;  // base values and square table of every pawn, unsigned
    std::int16_t structure; // weak and isolated penalties
    std::int8_t count;      // every pawn, the value adjustment's multiplier
    std::int8_t connected;  // connected pawns that are not passed
    ShelterTable shelter;   // the shelter these pawns give the colour's king, by file group
};

struct PawnStructure {
    std::array<PawnSide, 2> side;
};

void AnalysePawns(Bitboard whitePawns, Bitboard blackPawns, PawnStructure& structure);

// Score of `colour`'s pawns beyond their base value and square table, already multiplied by the
// colour's sign; `side` is that colour's entry of the board's pawn structure.
int ScorePawns(const Board& board, const PawnSide& side, int colour, int stage);

} // namespace tarvo
