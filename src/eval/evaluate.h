#pragma once
// The static evaluation: a score in centipawns from the side to move's point of view. It is a pure
// function of the board; the search reaches it through the caches of eval/cache.h, which only
// remember results and never change them. The weights of each side depend on that side's stage,
// which only the opponent's pieces decide.
//
// The driver fills a small breakdown record, one entry per term and colour, that both Evaluate and
// the `eval` command read, so the command can never disagree with the search's score.

#include <array>

#include "board/types.h"
#include "eval/pawns.h"

namespace tarvo {

inline constexpr int Middlegame = 0;
inline constexpr int Transition = 1;
inline constexpr int Endgame    = 2;

// The stage whose weights `colour` uses, decided by the opponent's rooks, queens and minor pieces.
int EvalStage(const Board& board, int colour);

// The terms in the order the driver adds them. Material holds the base values and square tables
// of pawns and knights and the king's endgame table; bishops, rooks and queens carry their base
// values in their own terms.
enum EvalTerm : int {
    TermMaterial,
    TermOutposts,
    TermPawns,
    TermKingSafety,
    TermRooks,
    TermBishops,
    TermQueens,
    TermCount
};

// terms[t][c]: colour c's contribution to term t, from White's point of view (Black's is usually
// negative).
struct EvalBreakdown {
    std::array<int, 2> stage;
    std::array<std::array<int, 2>, TermCount> terms;
};

void ComputeEvalBreakdown(const Board& board, EvalBreakdown& breakdown);
// The same with the board's pawn structure already analysed (as a pawn cache holds it).
void ComputeEvalBreakdown(const Board& board, const PawnStructure& pawns,
                          EvalBreakdown& breakdown);

// Sum of every term from White's point of view.
int WhiteScore(const EvalBreakdown& breakdown);

// Centipawns from the side to move's point of view; positive means the side to move stands better.
int Evaluate(const Board& board);

} // namespace tarvo
