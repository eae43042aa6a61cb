#include "board/tables.h"
#include "eval/cache.h"
#include "eval/evaluate.h"
#include "support/boards.h"

#include <cctype>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace tarvo {
namespace {

using test::BoardFrom;

// White's term as the driver computes it (the mirror walk holds Black to the same scores).
int TermOf(EvalTerm term, const char* fen) {
    EvalBreakdown breakdown{};
    ComputeEvalBreakdown(BoardFrom(fen), breakdown);
    return breakdown.terms[term][White];
}

TEST(EvalTerms, WorkedExamples) {
    const struct {
        EvalTerm term;
        const char* fen; // White to move, castling and en passant left out
        int value;
    } cases[] = {
        // Outposts: defended by a pawn and out of reach of enemy pawns, including one behind it.
        {TermOutposts, "4k3/8/8/3N4/2P5/8/8/4K3", 15},
        {TermOutposts, "4k3/4p3/8/3N4/2P5/8/8/4K3", 0},
        // Pawns: passed (king distances, rank, free path), connected, doubled, isolated, weak.
        {TermPawns, "4k3/8/8/4P3/8/8/8/n3K3", 60}, // -50 + 60 for the rank + 50 free path
        {TermPawns, "7k/8/8/3PP3/8/8/8/K7", 225},  // connected passers
        {TermPawns, "k7/8/8/8/4P3/4P3/8/K7", 56},  // the rear doubled pawn is only isolated
        {TermPawns, "k7/8/4p3/8/3P4/8/8/K7", -30}, // weak, not also isolated
        // King safety: shelter on files e to g, attackers of the zone, open files.
        {TermKingSafety, "r2q2k1/5ppp/8/8/8/8/5PPP/R2Q2K1", 88},
        {TermKingSafety, "r5k1/5ppp/8/8/4n2q/8/5P1P/R2Q2K1", 56 - 26 - 24},
        {TermKingSafety, "rk1q4/ppp5/8/8/8/8/5PPP/R2Q2K1", 88 - 48},
        // Bishops: 325 + mobility by stage.
        {TermBishops, "4k3/8/8/8/3B4/8/8/4K3", 369},
        // Rooks: 500 + mobility, open and half-open files, the 7th rank, trapped by the king.
        {TermRooks, "6k1/8/3p4/8/8/8/8/3R2K1", 500 + 26 + 6},
        {TermRooks, "7k/3R4/8/8/8/8/8/4K3", 500 + 32 + 16 + 35},
        {TermRooks, "4k3/8/8/8/8/8/8/R5KR", (500 + 31 + 16 - 50) + (500 + 16 + 16 - 50)},
        // Queens: 950 + mobility by half the attack count, the 7th rank by stage.
        {TermQueens, "rq5k/3Q4/8/8/8/8/8/4K3", 950 + 3 + 10},
    };
    for (const auto& c : cases) {
        const std::string fen = std::string(c.fen) + " w - - 0 1";
        EXPECT_EQ(TermOf(c.term, fen.c_str()), c.value) << c.fen << " term " << c.term;
    }
}

// The colour-flipped mirror: ranks reversed, colours and side to move swapped.
std::string Mirrored(const Board& board) {
    std::istringstream fields(WriteFen(board));
    std::string placement, side, castling, ep, mirrored;
    fields >> placement >> side >> castling >> ep;
    std::istringstream ranks(placement);
    for (std::string rank; std::getline(ranks, rank, '/');)
        mirrored = rank + (mirrored.empty() ? "" : "/") + mirrored;
    for (std::string* text : {&mirrored, &castling})
        for (char& c : *text)
            c = std::isalpha(c) && c != '-' ? c ^ 0x20 : c;
    if (ep != "-")
        ep[1] = ep[1] == '3' ? '6' : '3';
    return mirrored + (side == "w" ? " b " : " w ") + castling + " " + ep + " 0 1";
}

// The mirror scores the same, the other side to move the negated score (unless the side not to
// move would be in check), and the cached evaluation the same, computed or found.
TEST(Evaluate, MirrorAndSideSwapOverTheWalk) {
    static EvalCache cache;
    ClearEvalCache(cache);
    long positions = 0, swaps = 0;
    test::WalkSuite(2, [&](Board& board) {
        ++positions;
        const int score = Evaluate(board);
        if (Evaluate(board, cache) != score || Evaluate(board, cache) != score)
            ADD_FAILURE() << WriteFen(board) << " cached";
        const std::string mirror = Mirrored(board);
        if (Evaluate(BoardFrom(mirror.c_str())) != score)
            ADD_FAILURE() << WriteFen(board) << " mirrored " << mirror;
        const int mover = board.sideToMove;
        if (IsSquareAttacked(board, mover ^ 1, board.kingSquare[mover]))
            return;
        std::string swapped = WriteFen(board);
        const auto blank    = swapped.find(' ');
        swapped[blank + 1]  = mover == White ? 'b' : 'w';
        swapped             = swapped.substr(0, swapped.find(' ', blank + 3)) + " - 0 1";
        if (Evaluate(BoardFrom(swapped.c_str())) != -score)
            ADD_FAILURE() << WriteFen(board) << " with the other side to move";
        ++swaps;
    });
    EXPECT_GT(positions, 15000);
    EXPECT_GT(swaps, positions * 8 / 10);
}

} // namespace
} // namespace tarvo
