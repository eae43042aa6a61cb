#pragma once
// King safety while the opponent can still attack (stages 0 and 1): the pawn shelter over three
// files in front of the king, a penalty growing with the enemy pieces that bear on the king's
// surroundings, open files near the king and a missing escape square. In the endgame the term is 0
// and the king's endgame square table takes over.
//
// The shelter reads pawns only, and the king's file only through which three files shelter it
// (a to c, c to e, d to f or e to g), so the pawn analysis works it out for all four groups and
// the pawn cache keeps it; an evaluation then only picks the group of the king's file.

#include <array>
#include <cstdint>

#include "board/types.h"

namespace tarvo {

// The enemy pieces that attack a king's zone, by kind: the piece terms count the bishops, rooks
// and queens while they compute those pieces' attacks for mobility, so each attack set is
// computed once per evaluation.
struct ZoneAttackers {
    int minors = 0; // knights and bishops
    int heavy  = 0; // rooks count 1, queens 2
    int total  = 0; // pieces
};

// What one colour's king finds on one group of three shelter files; two bytes, so that the pawn
// cache's entries stay small.
struct KingShelter {
    std::int8_t raw;                 // weighted pawn count, before the stage weight and the sign
    std::uint8_t missingEnemies : 2; // 3 - enemy pawns on the three files (any rank), at least 0
    std::uint8_t noSidePawns : 1;    // no own pawn on either side file
    std::uint8_t noEscape : 1;       // three or more pawns on the rank in front of the back rank
};

inline constexpr int ShelterGroups = 4;
using ShelterTable                 = std::array<KingShelter, ShelterGroups>;

// The shelters `own` pawns of `colour` (with the `enemy` pawns) give on each group of files.
void AnalyseShelters(Bitboard own, Bitboard enemy, int colour, ShelterTable& shelters);

// The squares around `colour`'s king whose attackers the term counts; 0 in the endgame, where
// the term is 0.
Bitboard KingZone(const Board& board, int colour, int stage);

// Signed score of `colour`'s king safety, given its shelters, its zone and the enemy bishops,
// rooks and queens that reach the zone; the enemy knights are counted here.
int EvalKingSafety(const Board& board, int colour, int stage, const ShelterTable& shelters,
                   Bitboard zone, ZoneAttackers attackers);

} // namespace tarvo
