#pragma once
// Win, draw and loss odds of a score, for interfaces that show them beside it. The model is a
// pair of logistic curves in the score whose centre and width depend on the material left:
// the same advantage is worth more when few pieces remain to spoil it. Mates and tablebase
// results are certain and bypass the model.

#include <array>

#include "board/types.h"
#include "search/state.h"

namespace tarvo {

// Per thousand, from the side to move's view; the three add up to 1000.
struct WdlPermille {
    int win;
    int draw;
    int loss;
};

// Centre a and width b of the curves, as a0 + a1 t + a2 t^2 with t = material / 58, fitted by
// maximum likelihood to 154,090 scored moves of 2,097 of the engine's games (tools/wdl).
inline constexpr std::array<double, 3> WdlA = {368.07, -569.90, 266.36};
inline constexpr std::array<double, 3> WdlB = {175.24, -121.04, 90.67};

// Odds of `score` (centipawns, side to move's view) with `material` on the board (both sides,
// pawn 1, minor 3, rook 5, queen 9). Mate scores and tablebase wins found in the search count
// as certain.
WdlPermille wdlFromScore(int score, int material);

// Odds of a root line's score as the info line reports it: unless the line is a mate, a root
// whose game is drawn by rule is a certain draw, and a root decided by the tablebases gives
// the tables' verdict.
WdlPermille wdlOfRootScore(const SearchControl& control, int score);

// Material of `board` as the model reads it.
int wdlMaterial(const Board& board);

} // namespace tarvo
