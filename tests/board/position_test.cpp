#include "board/make_move.h"
#include "board/movegen.h"
#include "board/staged.h"
#include "board/tables.h"
#include "support/boards.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tarvo {
namespace {

using test::BoardFrom;

// The game state as read and written back: X-FEN and Shredder-FEN castling fields come back in
// X-FEN (a file letter only where KQkq would name another rook); standard chess reads file
// letters too but keeps only standard rights, and rights need king and rook at home.
TEST(SetFromFen, ReadsAndWritesTheGameState) {
    const struct {
        const char* fen;
        bool chess960;
        int castling;
        const char* written; // the fields after the placement
    } cases[] = {
        {StartFen, true, 15, "w KQkq - 0 1"},
        {"4k3/8/8/8/8/8/8/4K3 b - - 45 80", false, 0, "b - - 45 80"},
        {"4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1", false, 0, "b - e3 0 1"}, // kept without a capturer
        {"4k3/8/8/8/4P3/8/8/4K3 b - x3 0 1", false, 0, "b - - 0 1"},
        {"r2k3r/8/8/8/8/8/8/R3K3 w KQkq - 0 1", false, WhiteQueenSide, "w Q - 0 1"},
        {"  4k3/8/8/8/8/8/8/4K2R   b   K   -  0 1", false, WhiteKingSide, "b K - 0 1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w AHk - 0 1", false, 7, "w KQk - 0 1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w Hkq - 0 1", true, 11, "w Kkq - 0 1"},
        {"rr2k2r/8/8/8/8/8/8/RR2K2R w KBkb - 0 1", true, 15, "w KBkb - 0 1"},
        {"rr2k2r/8/8/8/8/8/8/RR2K2R w KBkb - 0 1", false, 3, "w Kk - 0 1"},
        {"1r2kr2/8/8/8/8/8/8/3K1R2 w Ffb - 0 1", true, 11, "w Kkq - 0 1"},
        {"2krbrnb/pp1pppn1/2pq4/7p/2P4P/PP3NP1/3PPP2/1RKNB1RB w B - 1 9", true, 4, "w Q - 1 9"},
        {"2krbrnb/pp1pppn1/2pq4/7p/2P4P/PP3NP1/3PPP2/1RKNB1RB w B - 1 9", false, 0, "w - - 1 9"},
        // Dropped: no rook on the wing or file named, a king off its back rank.
        {"4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1", true, 0, "w - - 0 1"},
        {"4k3/8/8/8/8/8/8/R3K2R w GCe - 0 1", true, 0, "w - - 0 1"},
        {"4k3/8/8/8/8/8/4K3/R6R w KQ - 0 1", true, 0, "w - - 0 1"},
    };
    for (const auto& c : cases) {
        const Board board     = BoardFrom(c.fen, c.chess960);
        const std::string fen = WriteFen(board);
        EXPECT_EQ(board.castling, c.castling) << c.fen;
        EXPECT_EQ(fen.substr(fen.find(' ') + 1), c.written) << c.fen;
    }
    // The en-passant file and which rook may castle are part of the key.
    EXPECT_EQ(BoardFrom("4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1").hashKey,
              BoardFrom("4k3/8/8/8/4P3/8/8/4K3 b - - 0 1").hashKey ^ EnPassantKey[5]);
    const char* outer = "4k3/8/8/8/8/8/8/RR2K3 w Q - 0 1";
    EXPECT_NE(BoardFrom(outer, true).hashKey,
              BoardFrom("4k3/8/8/8/8/8/8/RR2K3 w B - 0 1", true).hashKey);
    EXPECT_EQ(BoardFrom(outer, true).hashKey,
              BoardFrom("4k3/8/8/8/8/8/8/RR2K3 w A - 0 1", true).hashKey);
}

TEST(SetFromFen, RefusesUnplayableTextsAndKeepsTheBoard) {
    const struct {
        const char* fen;
        const char* reason; // nullptr: accepted
    } cases[] = {
        {"", "fen: text ends inside the piece placement"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR ", "fen: no side to move"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1", "fen: fewer than 8 ranks"},
        {"4k3/8/8/8/8/8/8/8/4K3 w - - 0 1", "fen: more than 8 ranks"},
        {"4k3/8/8/8/8/8/8/4K2 w - - 0 1", "fen: rank does not add up to 8 squares"},
        {"4k3/9/8/8/8/8/8/4K3 w - - 0 1", "fen: unknown character in the piece placement"},
        {"8/8/8/8/8/8/8/4K3 w - - 0 1", "fen: each side needs exactly one king"},
        {"4k3/8/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1", nullptr},
        {"4k3/8/8/8/8/P7/PPPPPPPP/RNBQKBNR w - - 0 1", "fen: more than 16 pieces of one side"},
        {"4k3/8/8/8/8/8/8/P3K3 w - - 0 1", "fen: pawn on the first or last rank"},
        {"4k3/8/8/8/8/8/8/4K2r b - - 0 1", "fen: the side not to move is in check"},
        {"4k3/8/8/8/8/8/8/4K2r w - - 0 1", nullptr},
    };
    const Board before =
        BoardFrom("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        Board board        = before;
        const char* reason = nullptr;
        const bool taken   = SetFromFen(board, c.fen, &reason);
        EXPECT_EQ(taken, c.reason == nullptr);
        if (c.reason == nullptr)
            continue;
        ASSERT_NE(reason, nullptr);
        EXPECT_STREQ(reason, c.reason);
        EXPECT_TRUE(test::SameBoard(board, before));
    }
}

// Over the walk, within a ply of its end: every legal move and a null move keep the board's
// invariants and unmake back to every field (the fuzz targets' checks). To its end: the quiet
// checks are those found by making every legal quiet move and testing the enemy king, in the
// same order, since the quiescence search takes them in that order; and the count perft takes at
// its last ply is the number of moves the generator writes.
TEST(MakeMove, UnmakeRestoresEveryFieldAndQuietChecksMatchMakeAndTest) {
    long positions = 0, checks = 0, promotions = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        if (::testing::Test::HasFailure())
            return;
        const char* problem =
            board.historyCount < test::WalkPlies ? fuzz::MoveProblem(board) : nullptr;
        if (problem)
            FAIL() << WriteFen(board) << ": " << problem;
        const std::vector<Move> legal = test::LegalMoves(board);
        ASSERT_EQ(CountLegalMoves(board), legal.size()) << WriteFen(board);
        promotions += std::any_of(legal.begin(), legal.end(),
                                  [](Move move) { return (move & PromotionFlag) != 0; });
        std::vector<Move> expected;
        const int mover = board.sideToMove;
        for (const Move move : legal) {
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
    EXPECT_GT(promotions, 1000);
}

} // namespace
} // namespace tarvo
