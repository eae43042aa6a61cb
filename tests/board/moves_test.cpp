#include "board/make_move.h"
#include "board/movegen.h"
#include "board/staged.h"
#include "board/tables.h"
#include "support/boards.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tarvo {
namespace {

using test::BoardFrom;

// Against making every legal quiet move and testing the enemy king: the same moves in the same
// order, since the quiescence search takes them in that order.
TEST(GenerateQuietChecks, MatchesMakeAndTestOverTheWalk) {
    long positions = 0, checks = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        if (::testing::Test::HasFailure())
            return;
        std::vector<Move> expected;
        const int mover = board.sideToMove;
        for (const Move move : test::LegalMoves(board)) {
            if (!IsQuiet(move))
                continue;
            UndoInfo undo;
            MakeMove(board, move, undo);
            if (IsSquareAttacked(board, mover, board.kingSquare[mover ^ 1]))
                expected.push_back(move);
            UnmakeMove(board, move, undo);
        }
        MoveList list;
        list.moves[0]      = NoMove;
        list.count         = 1; // appends after what the list holds
        const Board before = board;
        GenerateQuietChecks(board, list);
        ASSERT_TRUE(test::SameBoard(board, before));
        ASSERT_EQ(list.moves[0], NoMove);
        const std::vector<Move> found(list.moves.begin() + 1, list.moves.begin() + list.count);
        if (found != expected)
            FAIL() << WriteFen(board) << " gives " << found.size() << " not " << expected.size();
        ++positions;
        checks += !expected.empty();
    });
    EXPECT_GT(checks, positions / 20);
}

// The count perft takes at its last ply, against the moves the generator writes.
TEST(CountLegalMoves, MatchesTheGeneratorOverTheWalk) {
    long promotions = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        if (::testing::Test::HasFailure())
            return;
        MoveList list;
        GenerateLegalMoves(board, list);
        if (CountLegalMoves(board) != list.count)
            ADD_FAILURE() << WriteFen(board) << ": " << CountLegalMoves(board) << " not "
                          << list.count;
        promotions += std::any_of(list.moves.begin(), list.moves.begin() + list.count,
                                  [](Move move) { return (move & PromotionFlag) != 0; });
    });
    EXPECT_GT(promotions, 1000);
}

} // namespace
} // namespace tarvo
