// Draw rules and checkers at search nodes.

#include <gtest/gtest.h>

#include "board/make_move.h"
#include "board/tables.h"
#include "search/draw.h"
#include "support/suite_walk.h"

namespace tarvo {
namespace {

using test::BoardFrom;

constexpr int Sq(const char* name) {
    return (name[0] - 'a') + 8 * (name[1] - '1');
}

// Plays king or rook steps (no captures) given as from/to square pairs.
void Play(Board& board, std::initializer_list<std::pair<const char*, const char*>> moves) {
    for (const auto& [from, to] : moves) {
        UndoInfo undo;
        MakeMove(board, MakeMoveWord(Sq(from), Sq(to), board.squares[Sq(from)]), undo);
    }
}

TEST(IsDrawByRule, HalfmoveClockPastAHundredIsADraw) {
    Board board         = BoardFrom("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    board.halfmoveClock = 101;
    EXPECT_TRUE(IsDrawByRule(board));
}

TEST(IsDrawByRule, HundredthHalfmoveInCheckIsSearchedOn) {
    Board check         = BoardFrom("4k3/8/8/8/8/8/8/r3K3 w - - 0 1");
    check.halfmoveClock = 100;
    EXPECT_FALSE(IsDrawByRule(check));
    Board quiet         = BoardFrom("4k3/8/8/8/8/8/r7/4K3 w - - 0 1");
    quiet.halfmoveClock = 100;
    EXPECT_TRUE(IsDrawByRule(quiet));
    quiet.halfmoveClock = 99;
    EXPECT_FALSE(IsDrawByRule(quiet));
}

TEST(IsDrawByRule, PositionRepeatedFourPliesLaterIsADraw) {
    Board board = BoardFrom("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    Play(board, {{"a1", "a2"}, {"e8", "d8"}, {"a2", "a1"}});
    EXPECT_FALSE(IsDrawByRule(board));
    Play(board, {{"d8", "e8"}});
    EXPECT_TRUE(IsDrawByRule(board));
}

TEST(IsDrawByRule, RepetitionLooksNoFurtherBackThanTheClock) {
    // The same four plies, but as if a pawn move had reset the clock after the first of them.
    Board board = BoardFrom("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    Play(board, {{"a1", "a2"}, {"e8", "d8"}, {"a2", "a1"}, {"d8", "e8"}});
    board.halfmoveClock = 3;
    EXPECT_FALSE(IsDrawByRule(board));
}

TEST(IsDrawByRule, ClockAheadOfTheKeyHistoryReadsOnlyRecordedKeys) {
    // Boards set up by hand may carry a clock without the keys behind it.
    Board board         = BoardFrom("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    board.halfmoveClock = 60;
    EXPECT_FALSE(IsDrawByRule(board));
    Play(board, {{"a1", "a2"}, {"e8", "d8"}, {"a2", "a1"}, {"d8", "e8"}});
    EXPECT_TRUE(IsDrawByRule(board));
}

TEST(FindCheckers, AgreesWithTheAttackTestAcrossTheSuite) {
    long checks = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        int count               = 0;
        const Bitboard checkers = FindCheckers(board, count);
        const int side          = board.sideToMove;
        const bool attacked     = IsSquareAttacked(board, side ^ 1, board.kingSquare[side]);
        if (attacked != (count > 0) || count != __builtin_popcountll(checkers) ||
            (checkers & ~board.colour[side ^ 1]))
            FAIL() << test::WriteFenOf(board);
        // Taking each checker off leaves the king attacked only by the others.
        for (Bitboard set = checkers; set; set &= set - 1) {
            Board without    = board;
            const int square = BitScan(set);
            without.colour[side ^ 1] &= ~SquareBit[square];
            without.pieces[without.squares[square]] &= ~SquareBit[square];
            if (count == 1 && IsSquareAttacked(without, side ^ 1, without.kingSquare[side]))
                FAIL() << test::WriteFenOf(board);
        }
        checks += count > 0;
    });
    EXPECT_GT(checks, 1000);
}

TEST(FindCheckers, CountsDoubleChecksAsTwo) {
    int count = 0;
    // Bishop b5 and queen h5 on the two diagonals through e8.
    EXPECT_EQ(FindCheckers(BoardFrom("4k3/8/8/1B5Q/8/8/8/4K3 b - - 0 1"), count),
              SquareBit[Sq("b5")] | SquareBit[Sq("h5")]);
    EXPECT_EQ(count, 2);
    // Rook e1 and knight d6.
    EXPECT_EQ(FindCheckers(BoardFrom("4k3/8/3N4/8/8/8/8/4RK2 b - - 0 1"), count),
              SquareBit[Sq("e1")] | SquareBit[Sq("d6")]);
    EXPECT_EQ(count, 2);
    // Two knights can only come from a set-up position; they still count as two.
    FindCheckers(BoardFrom("4k3/2N3N1/8/8/8/8/8/4K3 b - - 0 1"), count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(FindCheckers(BoardFrom(StartFen), count), 0u);
    EXPECT_EQ(count, 0);
}

} // namespace
} // namespace tarvo
