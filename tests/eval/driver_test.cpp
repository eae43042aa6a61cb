#include <gtest/gtest.h>

#include "eval/eval_helpers.h"
#include "eval/evaluate.h"

namespace tarvo {
namespace {

using test::BoardFromFen;

struct TermRow {
    EvalTerm term;
    int white;
    int black;
};

void ExpectBreakdown(const char* fen, int whiteStage, int blackStage,
                     std::initializer_list<TermRow> rows, int total) {
    SCOPED_TRACE(fen);
    const Board board = BoardFromFen(fen);
    EvalBreakdown breakdown{};
    ComputeEvalBreakdown(board, breakdown);
    EXPECT_EQ(breakdown.stage[White], whiteStage);
    EXPECT_EQ(breakdown.stage[Black], blackStage);
    for (const TermRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "term " << row.term);
        EXPECT_EQ(breakdown.terms[row.term][White], row.white);
        EXPECT_EQ(breakdown.terms[row.term][Black], row.black);
    }
    EXPECT_EQ(WhiteScore(breakdown), total);
    EXPECT_EQ(Evaluate(board), total); // White to move in every position here
}

TEST(Evaluate, MiddlegamePositionTermByTerm) {
    ExpectBreakdown("r1bq1rk1/pp3ppp/2n2n2/2bpp3/4P3/2PP1N2/PP1NBPPP/R1BQ1RK1 w - - 0 1", 0, 0,
                    {{TermMaterial, 1432, -1350},
                     {TermOutposts, 0, 0},
                     {TermPawns, -128, 112},
                     {TermKingSafety, 94, -96},
                     {TermRooks, 998, -998},
                     {TermBishops, 660, -706},
                     {TermQueens, 951, -952}},
                    17);
}

TEST(Evaluate, RookEndgameTermByTerm) {
    // The Black rook on a2 earns 500 + 29 (12 squares) + 16 (open file) + 35 (its 7th rank).
    ExpectBreakdown("8/5pk1/6p1/3R4/8/6P1/r4PK1/8 w - - 0 1", 2, 2,
                    {{TermMaterial, 218, -218},
                     {TermOutposts, 0, 0},
                     {TermPawns, 4, -4},
                     {TermKingSafety, 0, 0},
                     {TermRooks, 548, -580},
                     {TermBishops, 0, 0},
                     {TermQueens, 0, 0}},
                    -32);
}

TEST(Evaluate, ScoreIsFromTheSideToMove) {
    // A lone pawn on e2: 75 from its table, 10 for each king, 49 from the pawn terms.
    EXPECT_EQ(Evaluate(BoardFromFen("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1")), 124);
    EXPECT_EQ(Evaluate(BoardFromFen("4k3/8/8/8/8/8/4P3/4K3 b - - 0 1")), -124);
}

TEST(Evaluate, StartPositionIsLevelForEitherSide) {
    EXPECT_EQ(Evaluate(BoardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1")),
              0);
    EXPECT_EQ(Evaluate(BoardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1")),
              0);
}

TEST(Evaluate, KingTableOnlyInTheEndgame) {
    // Black's queen and rook put White in the middlegame: its king earns nothing from the table.
    EvalBreakdown breakdown{};
    ComputeEvalBreakdown(BoardFromFen("rq2k3/8/8/8/8/8/8/4K3 w - - 0 1"), breakdown);
    EXPECT_EQ(breakdown.stage[White], Middlegame);
    EXPECT_EQ(breakdown.stage[Black], Endgame);
    EXPECT_EQ(breakdown.terms[TermMaterial][White], 0);
    EXPECT_EQ(breakdown.terms[TermMaterial][Black], -10);
}

// White's stage with Black holding the given pieces (and a king and pawns, which never count).
int WhiteStageAgainst(const char* blackPieces) {
    std::string fen = std::string(blackPieces) + "/pppppppp/8/8/8/8/8/4K3 w - - 0 1";
    return EvalStage(BoardFromFen(fen.c_str()), White);
}

TEST(EvalStage, EachBoundaryOfTheOpponentsMaterial) {
    EXPECT_EQ(WhiteStageAgainst("4k3"), Endgame);
    EXPECT_EQ(WhiteStageAgainst("rnb1kb2"), Endgame);     // one rook, three minors
    EXPECT_EQ(WhiteStageAgainst("rnb1kbn1"), Middlegame); // one rook, four minors
    EXPECT_EQ(WhiteStageAgainst("1nb1kbn1"), Middlegame); // four minors alone
    EXPECT_EQ(WhiteStageAgainst("1nb1kb2"), Endgame);     // three minors alone
    EXPECT_EQ(WhiteStageAgainst("r3k2r"), Transition);    // two rooks
    EXPECT_EQ(WhiteStageAgainst("rnb1kb1r"), Transition); // two rooks, three minors
    EXPECT_EQ(WhiteStageAgainst("rnb1kbnr"), Middlegame); // two rooks, four minors
    EXPECT_EQ(WhiteStageAgainst("rr2k2r"), Transition);   // three rooks, no queen
    EXPECT_EQ(WhiteStageAgainst("3qk3"), Transition);     // a queen alone is not an endgame
    EXPECT_EQ(WhiteStageAgainst("1n1qkb2"), Transition);  // queen, two minors
    EXPECT_EQ(WhiteStageAgainst("1nbqkb2"), Middlegame);  // queen, three minors
    EXPECT_EQ(WhiteStageAgainst("r2qk3"), Middlegame);    // queen and rook
    EXPECT_EQ(WhiteStageAgainst("rnbqkbnr"), Middlegame);
}

TEST(EvalStage, DecidedByTheOpponentOnly) {
    const Board board = BoardFromFen("4k3/8/8/8/8/8/8/RNBQKBNR w - - 0 1");
    EXPECT_EQ(EvalStage(board, White), Endgame);
    EXPECT_EQ(EvalStage(board, Black), Middlegame);
}

} // namespace
} // namespace tarvo
