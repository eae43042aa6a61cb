#include "eval/evaluate.h"

#include <array>

#include "board/tables.h"
#include "eval/geometry.h"
#include "eval/king_safety.h"
#include "eval/pawns.h"
#include "eval/pieces.h"

namespace tarvo {
namespace {

// Square tables: entry s is read by a Black piece on s, entry s ^ 56 by a White one.
// clang-format off
constexpr std::array<int, 64> KnightSquareTable = {
    -30, -20, -20, -20, -10, -10, -10, -10,
    -10,   0,   0,   0,   0,   0,   0, -10,
    -10,   0,  10,  15,  15,  10,   0,   0,
      0,   0,   5,  12,  12,   5,   0,   0,
      0,   0,   5,  10,  10,   5,   0,   0,
    -10,   0,   6,   5,   5,   6,   4,   0,
     -8,   0,   0,   0,   0,   0,   1,   0,
    -12, -20, -15, -15, -15, -10, -20, -15,
};

// Read only in the endgame; before that king safety scores the king instead.
constexpr std::array<int, 64> KingEndgameTable = {
      0,  10,  10,  10,  10,  10,  10,   0,
      5,  10,  20,  20,  20,  20,  10,   5,
     10,  30,  60,  60,  60,  60,  30,  10,
     10,  30,  60,  60,  60,  60,  30,  10,
     10,  30,  60,  60,  60,  60,  30,  10,
     10,  30,  60,  60,  60,  60,  30,  10,
      5,  10,  20,  20,  20,  20,  10,   5,
    -10,  10,  10,  10,  10,  10,  10, -10,
};
// clang-format on

constexpr int KnightValue = 310;

// The pawns' share comes from the pawn analysis.
int MaterialAndSquares(const Board& board, const PawnSide& pawns, int colour, int stage) {
    const Bitboard own = board.colour[colour];
    int score          = pawns.material;
    for (Bitboard set = board.pieces[Knight] & own; set != 0; set &= set - 1)
        score += KnightValue + KnightSquareTable[TableIndex(colour, BitScan(set))];
    if (stage == Endgame)
        score += KingEndgameTable[TableIndex(colour, board.kingSquare[colour])];
    return ColourSign(colour) * score;
}

} // namespace

int EvalStage(const Board& board, int colour) {
    const Bitboard opponent = board.colour[colour ^ 1];
    const int rooks         = CountBits(board.pieces[Rook] & opponent);
    const int queens        = CountBits(board.pieces[Queen] & opponent);
    const int minors        = CountBits((board.pieces[Knight] | board.pieces[Bishop]) & opponent);
    if (rooks + 2 * queens <= 1 && minors <= 3)
        return Endgame;
    if ((queens == 0 && minors <= 3) || (rooks == 0 && minors <= 2))
        return Transition;
    return Middlegame;
}

void ComputeEvalBreakdown(const Board& board, const PawnStructure& pawns,
                          EvalBreakdown& breakdown) {
    const std::array<int, 2> stage = {EvalStage(board, White), EvalStage(board, Black)};
    breakdown.stage                = stage;
    const std::array<Bitboard, 2> zone = {KingZone(board, White, stage[White]),
                                          KingZone(board, Black, stage[Black])};
    // attackers[c]: the pieces of c's opponent that reach c's zone, counted by the piece terms.
    std::array<ZoneAttackers, 2> attackers{};
    auto& terms = breakdown.terms;
    for (int colour = White; colour <= Black; ++colour) {
        const int g            = stage[colour];
        const int enemy        = colour ^ 1;
        const Bitboard knights = board.pieces[Knight] & board.colour[colour];
        terms[TermMaterial][colour] = MaterialAndSquares(board, pawns.side[colour], colour, g);
        terms[TermOutposts][colour] = EvalKnightOutposts(board, colour, knights);
        terms[TermPawns][colour]    = ScorePawns(board, pawns.side[colour], colour, g);
        terms[TermRooks][colour]    = EvalRooks(board, colour, g, zone[enemy], attackers[enemy]);
        terms[TermBishops][colour]  = EvalBishops(board, colour, g, zone[enemy], attackers[enemy]);
        terms[TermQueens][colour]   = EvalQueens(board, colour, g, zone[enemy], attackers[enemy]);
    }
    for (int colour = White; colour <= Black; ++colour)
        terms[TermKingSafety][colour] =
            EvalKingSafety(board, colour, stage[colour], pawns.side[colour].shelter, zone[colour],
                           attackers[colour]);
}

void ComputeEvalBreakdown(const Board& board, EvalBreakdown& breakdown) {
    PawnStructure pawns;
    AnalysePawns(board.pieces[Pawn] & board.colour[White], board.pieces[Pawn] & board.colour[Black],
                 pawns);
    ComputeEvalBreakdown(board, pawns, breakdown);
}

int WhiteScore(const EvalBreakdown& breakdown) {
    int sum = 0;
    for (const auto& term : breakdown.terms)
        sum += term[White] + term[Black];
    return sum;
}

int Evaluate(const Board& board) {
    // The record lives in registers once this is inlined; the `eval` command reads the same one.
    EvalBreakdown breakdown;
    ComputeEvalBreakdown(board, breakdown);
    return ColourSign(board.sideToMove) * WhiteScore(breakdown);
}

} // namespace tarvo
