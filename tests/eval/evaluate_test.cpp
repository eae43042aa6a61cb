#include "board/tables.h"
#include "eval/cache.h"
#include "eval/evaluate.h"
#include "eval/king_safety.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "support/boards.h"

#include <cctype>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace tarvo {
namespace {

using test::BoardFrom;

TEST(Evaluate, FullPositionsTermByTerm) {
    const struct {
        const char* fen;
        int stage;               // both sides'
        int terms[TermCount][2]; // material, outposts, pawns, king, rooks, bishops, queens
        int total;
    } cases[] = {
        {"r1bq1rk1/pp3ppp/2n2n2/2bpp3/4P3/2PP1N2/PP1NBPPP/R1BQ1RK1 w - - 0 1",
         0,
         {{1432, -1350}, {0, 0}, {-128, 112}, {94, -96}, {998, -998}, {660, -706}, {951, -952}},
         17},
        // The black rook on a2: 500 + 29 (12 squares) + 16 (open file) + 35 (its 7th rank).
        {"8/5pk1/6p1/3R4/8/6P1/r4PK1/8 w - - 0 1",
         2,
         {{218, -218}, {0, 0}, {4, -4}, {0, 0}, {548, -580}, {0, 0}, {0, 0}},
         -32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        const Board board = BoardFrom(c.fen);
        EvalBreakdown breakdown{};
        ComputeEvalBreakdown(board, breakdown);
        EXPECT_EQ(breakdown.stage[White], c.stage);
        EXPECT_EQ(breakdown.stage[Black], c.stage);
        for (int term = 0; term < TermCount; ++term) {
            EXPECT_EQ(breakdown.terms[term][White], c.terms[term][0]) << "term " << term;
            EXPECT_EQ(breakdown.terms[term][Black], c.terms[term][1]) << "term " << term;
        }
        EXPECT_EQ(WhiteScore(breakdown), c.total);
        EXPECT_EQ(Evaluate(board), c.total);
    }
    // A lone pawn on e2: 75 from its table, 10 for each king, 49 from the pawn terms.
    EXPECT_EQ(Evaluate(BoardFrom("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1")), 124);
    EXPECT_EQ(Evaluate(BoardFrom("4k3/8/8/8/8/8/4P3/4K3 b - - 0 1")), -124);
    EXPECT_EQ(Evaluate(BoardFrom(StartFen)), 0);
    EXPECT_EQ(Evaluate(BoardFrom("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1")), 0);
    // In the middlegame the king earns nothing from its table.
    EvalBreakdown breakdown{};
    ComputeEvalBreakdown(BoardFrom("rq2k3/8/8/8/8/8/8/4K3 w - - 0 1"), breakdown);
    EXPECT_EQ(breakdown.terms[TermMaterial][White], 0);
    EXPECT_EQ(breakdown.terms[TermMaterial][Black], -10);
}

TEST(EvalStage, DecidedByTheOpponentsPieces) {
    const std::pair<const char*, int> cases[] = {
        {"4k3", Endgame},         {"rnb1kb2", Endgame},     {"rnb1kbn1", Middlegame},
        {"1nb1kbn1", Middlegame}, {"1nb1kb2", Endgame},     {"r3k2r", Transition},
        {"rnb1kb1r", Transition}, {"rnb1kbnr", Middlegame}, {"rr2k2r", Transition},
        {"3qk3", Transition},     {"1n1qkb2", Transition},  {"1nbqkb2", Middlegame},
        {"r2qk3", Middlegame},    {"rnbqkbnr", Middlegame},
    };
    for (const auto& [black, stage] : cases) {
        const std::string fen = std::string(black) + "/pppppppp/8/8/8/8/8/4K3 w - - 0 1";
        EXPECT_EQ(EvalStage(BoardFrom(fen.c_str()), White), stage) << black;
    }
    const Board board = BoardFrom("4k3/8/8/8/8/8/8/RNBQKBNR w - - 0 1");
    EXPECT_EQ(EvalStage(board, White), Endgame);
    EXPECT_EQ(EvalStage(board, Black), Middlegame);
}

enum Term { Outposts, Pawns, KingSafety, Bishops, Rooks, Queens };

// The term for `colour` as the driver computes it.
int TermOf(Term term, const char* fen, int colour) {
    constexpr EvalTerm index[] = {TermOutposts, TermPawns, TermKingSafety,
                                  TermBishops,  TermRooks, TermQueens};
    EvalBreakdown breakdown{};
    ComputeEvalBreakdown(BoardFrom(fen), breakdown);
    return breakdown.terms[index[term]][colour];
}

TEST(EvalTerms, WorkedExamples) {
    const struct {
        Term term;
        const char* fen; // White to move, castling and en passant left out
        int colour, value;
    } cases[] = {
        // Outposts: defended by a pawn and out of reach of enemy pawns, including one behind it.
        {Outposts, "4k3/8/8/3N4/2P5/8/8/4K3", White, 15},
        {Outposts, "4k3/4p3/8/3N4/2P5/8/8/4K3", White, 0},
        {Outposts, "4k3/8/8/3N4/2P1p3/8/8/4K3", White, 15},
        {Outposts, "4k3/8/2P5/3N4/8/8/8/4K3", White, 0},
        // Pawns: e2 passed, 2 * (5*5 - 4*2) for the king distances and 15 for its rank.
        {Pawns, "4k3/8/8/8/8/8/4P3/4K3", White, 49},
        {Pawns, "4k3/8/8/8/8/8/4P3/4K3", Black, 0},
        {Pawns, "4k3/8/8/4P3/8/8/8/n3K3", White, 60}, // -50 + 60 for the rank + 50 free path
        {Pawns, "4k3/8/4n3/4P3/8/8/8/4K3", White, 10},
        {Pawns, "7k/4P3/8/8/8/8/8/K7", White, 59},
        {Pawns, "7k/8/8/3PP3/8/8/8/K7", White, 225},  // connected passers
        {Pawns, "k7/8/8/8/4P3/4P3/8/K7", White, 56},  // the rear doubled pawn is only isolated
        {Pawns, "k7/8/4p3/8/3P4/8/8/K7", White, -30}, // weak, not also isolated
        {Pawns, "k7/8/3pp3/8/3P4/4P3/8/K7", White, 4},
        {Pawns, "k7/8/3pp3/3P4/8/4P3/8/K7", White, 0},
        {Pawns, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", White, 8 * (2 - 18)},
        {Pawns, "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/4K3", White, 8 * (2 - 13)},
        // King safety: shelter on files e to g, attackers of the zone, open files.
        {KingSafety, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", White, 100},
        {KingSafety, "6k1/5ppp/8/8/8/8/5PPP/R5K1", White, 0},
        {KingSafety, "r2q2k1/5ppp/8/8/8/8/5PPP/R2Q2K1", White, 88},
        {KingSafety, "r5k1/5ppp/8/8/4n2q/8/5PPP/R2Q2K1", White, 88 - 16},
        {KingSafety, "r5k1/5ppp/8/8/4n2q/8/5P1P/R2Q2K1", White, 56 - 26 - 24},
        {KingSafety, "r5k1/5ppp/8/8/4n2q/8/4PPPP/R2Q2K1", White, 120 - 16 - 20},
        {KingSafety, "r1q3k1/5ppp/8/8/8/3n4/6PP/R2Q3K", White, 29},
        {KingSafety, "rk1q4/ppp5/8/8/8/8/5PPP/R2Q2K1", White, 88 - 48},
        // Bishops: 325 + mobility by stage; own blockers count as attacked.
        {Bishops, "4k3/8/8/8/3B4/8/8/4K3", White, 369},
        {Bishops, "rq2k3/8/8/8/3B4/8/8/4K3", White, 367},
        {Bishops, "4k3/8/8/8/8/8/1P1P4/2B1K3", White, 320},
        {Bishops, "7B/8/8/8/8/8/8/K6k", White, 334},
        // Rooks: 500 + mobility, open and half-open files, the 7th rank, trapped by the king.
        {Rooks, "7k/8/8/8/8/2K5/8/R7", White, 548},
        {Rooks, "7k/8/8/8/8/8/P7/RN2K3", White, 500 - 8},
        {Rooks, "rq2k3/8/8/8/8/8/P7/RN2K3", White, 500 - 4},
        {Rooks, "6k1/8/3p4/8/8/8/8/3R2K1", White, 500 + 26 + 6},
        {Rooks, "7k/3R4/8/8/8/8/8/4K3", White, 500 + 32 + 16 + 35},
        {Rooks, "rq5k/3R4/8/8/8/8/8/4K3", White, 500 + 13 + 16 + 20},
        {Rooks, "4k3/8/8/8/8/8/8/R5KR", White, (500 + 31 + 16 - 50) + (500 + 16 + 16 - 50)},
        {Rooks, "4k3/8/8/8/8/8/8/R3K2R", White, (500 + 26 + 16) + (500 + 23 + 16)},
        {Rooks, "4k3/8/8/8/8/8/8/R1K4R", White, (500 + 20 + 16 - 50) + (500 + 29 + 16 - 50)},
        {Rooks, "5k2/7r/8/8/8/8/8/4K3", Black, -(500 + 32 + 16 - 50)},
        {Rooks, "4k3/8/8/8/8/8/r7/1K6", Black, -(500 + 32 + 16 + 35)},
        // Queens: 950 + mobility by half the attack count, the 7th rank by stage.
        {Queens, "8/8/8/8/3Q4/7k/K7/8", White, 950 + 25},
        {Queens, "4k3/8/8/8/8/8/PP6/QN2K3", White, 950 - 15},
        {Queens, "rq5k/3Q4/8/8/8/8/8/4K3", White, 950 + 3 + 10},
    };
    for (const auto& c : cases) {
        const std::string fen = std::string(c.fen) + " w - - 0 1";
        EXPECT_EQ(TermOf(c.term, fen.c_str(), c.colour), c.value) << c.fen << " term " << c.term;
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

// The mirror scores the same; with the other side to move the score changes sign (skipped where
// the side not to move would be in check). The cached evaluation gives the same score, whether
// it computes it or finds it.
TEST(Evaluate, MirrorAndSideSwapOverTheWalk) {
    static EvalCache cache;
    ClearEvalCache(cache);
    long positions = 0, swaps = 0;
    test::WalkSuite(2, [&](Board& board) {
        ++positions;
        const int score          = Evaluate(board);
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

// A score entry answers for its key until the cache is cleared.
TEST(EvalCache, AnswersFromItsEntryUntilCleared) {
    static EvalCache cache;
    ClearEvalCache(cache);
    const Board board = BoardFrom(StartFen);
    EXPECT_EQ(Evaluate(board, cache), 0);
    cache.scores[board.hashKey & (EvalCacheEntries - 1)].score = 77;
    EXPECT_EQ(Evaluate(board, cache), 77);
    ClearEvalCache(cache);
    EXPECT_EQ(Evaluate(board, cache), 0);
}

} // namespace
} // namespace tarvo
