#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "board_helpers.h"

#include <gtest/gtest.h>
#include <string>

namespace tarvo {
namespace {

using testing::BoardFromFen;
using testing::FindLegalMove;
using testing::SameBoard;

// Makes and unmakes every legal move of `board`, checking the key after the move, that the
// mover's king is not left attacked, and that unmake gives back the board bit for bit; then
// does the same one ply further when `plies` > 1.
void CheckMovesRestore(Board& board, int plies) {
    MoveList list;
    GenerateLegalMoves(board, list);
    for (std::uint32_t i = 0; i < list.count; ++i) {
        const Move move   = list.moves[i];
        const Board saved = board;
        const int mover   = board.sideToMove;
        UndoInfo undo;
        MakeMove(board, move, undo);
        ASSERT_EQ(board.hashKey, ComputeHashKey(board)) << testing::MoveText(move);
        ASSERT_EQ(board.historyCount, saved.historyCount + 1);
        ASSERT_EQ(board.history[saved.historyCount], saved.hashKey);
        ASSERT_FALSE(IsSquareAttacked(board, board.sideToMove, board.kingSquare[mover]))
            << "illegal move " << testing::MoveText(move);
        if (plies > 1)
            CheckMovesRestore(board, plies - 1);
        UnmakeMove(board, move, undo);
        ASSERT_TRUE(SameBoard(board, saved)) << testing::MoveText(move);
    }
}

TEST(MakeMove, UnmakeRestoresEveryField) {
    const auto suite = testing::ReadPerftSuite();
    ASSERT_EQ(suite.size(), 62u);
    for (const auto& line : suite) {
        SCOPED_TRACE(line.fen);
        Board board = BoardFromFen(line.fen);
        CheckMovesRestore(board, 2);
    }
}

TEST(MakeMove, NullMoveRestoresEveryField) {
    for (const auto& line : testing::ReadPerftSuite()) {
        Board board = BoardFromFen(line.fen);
        if (IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]))
            continue;
        board.halfmoveClock = 7;
        const Board saved   = board;
        UndoInfo undo;
        MakeNullMove(board, undo);
        EXPECT_EQ(board.sideToMove, saved.sideToMove ^ 1);
        EXPECT_EQ(board.epFile, 0);
        EXPECT_EQ(board.halfmoveClock, 0);
        EXPECT_EQ(board.history[saved.historyCount], saved.hashKey);
        EXPECT_EQ(board.hashKey, ComputeHashKey(board)) << line.fen;
        UnmakeNullMove(board, undo);
        EXPECT_TRUE(SameBoard(board, saved)) << line.fen;
    }
}

// Plays a line of moves given as text, each of which must be legal.
void Play(Board& board, std::initializer_list<const char*> moves) {
    for (const char* text : moves) {
        const Move move = FindLegalMove(board, text);
        ASSERT_NE(move, NoMove) << text;
        UndoInfo undo;
        MakeMove(board, move, undo);
    }
}

TEST(MakeMove, KeyMatchesTheSamePositionSetUpFromFen) {
    Board board = BoardFromFen(StartFen);
    Play(board, {"e2e4", "c7c5", "g1f3", "d7d6", "f1b5", "c8d7", "e1g1", "d7b5"});
    const Board reached =
        BoardFromFen("rn1qkbnr/pp2pppp/3p4/1bp5/4P3/5N2/PPPP1PPP/RNBQ1RK1 w kq - 0 5");
    EXPECT_EQ(board.hashKey, reached.hashKey);
    EXPECT_EQ(board.squares, reached.squares);
    EXPECT_EQ(board.castling, reached.castling);
    EXPECT_EQ(board.historyCount, 8u);
    EXPECT_EQ(board.halfmoveClock, 0);
}

TEST(MakeMove, DoubleStepSetsEnPassantOnlyWithACapturer) {
    Board board = BoardFromFen(StartFen);
    Play(board, {"e2e4"});
    EXPECT_EQ(board.epFile, 0);
    EXPECT_EQ(board.hashKey,
              BoardFromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1").hashKey);

    board = BoardFromFen("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1");
    Play(board, {"e2e4"});
    EXPECT_EQ(board.epFile, 5);
    EXPECT_EQ(board.hashKey, BoardFromFen("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1").hashKey);
    // A black pawn on the far side of the board does not count.
    board = BoardFromFen("4k3/8/8/8/p7/8/7P/4K3 w - - 0 1");
    Play(board, {"h2h4"});
    EXPECT_EQ(board.epFile, 0);
}

TEST(MakeMove, CastlingMovesTheRookAndClearsRights) {
    Board board = BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    Play(board, {"e1g1"});
    EXPECT_EQ(board.kingSquare[White], 6);
    EXPECT_EQ(board.squares[5], Rook);
    EXPECT_EQ(board.squares[7], NoPiece);
    EXPECT_EQ(board.castling, BlackKingSide | BlackQueenSide);
    Play(board, {"e8c8"});
    EXPECT_EQ(board.squares[59], Rook);
    EXPECT_EQ(board.squares[56], NoPiece);
    EXPECT_EQ(board.castling, 0);
    EXPECT_EQ(board.hashKey, BoardFromFen("2kr3r/8/8/8/8/8/8/R4RK1 w - - 0 1").hashKey);
}

TEST(MakeMove, CapturingAHomeRookClearsItsRight) {
    Board board       = BoardFromFen("r3k2r/6P1/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const Board saved = board;
    const Move move   = FindLegalMove(board, "g7h8n");
    ASSERT_NE(move, NoMove);
    EXPECT_EQ(MoveCaptured(move), Rook);
    UndoInfo undo;
    MakeMove(board, move, undo);
    EXPECT_EQ(board.castling, WhiteKingSide | WhiteQueenSide | BlackQueenSide);
    EXPECT_EQ(board.squares[63], Knight);
    EXPECT_EQ(board.squares[54], NoPiece);
    EXPECT_EQ(board.pieces[Rook] & SquareBit[63], 0u);
    EXPECT_EQ(board.pieces[Pawn], 0u);
    UnmakeMove(board, move, undo);
    EXPECT_EQ(board.squares[63], Rook);
    EXPECT_EQ(board.squares[54], Pawn);
    EXPECT_TRUE(SameBoard(board, saved));
}

TEST(MakeMove, EnPassantRemovesThePawnBehindTheTarget) {
    Board board       = BoardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const Board saved = board;
    const Move move   = FindLegalMove(board, "e5d6");
    ASSERT_NE(move, NoMove);
    EXPECT_TRUE(move & EnPassantFlag);
    UndoInfo undo;
    MakeMove(board, move, undo);
    EXPECT_EQ(board.squares[35], NoPiece);
    EXPECT_EQ(board.squares[43], Pawn);
    EXPECT_EQ(board.occupied ^ saved.occupied, SquareBit[35] | SquareBit[36] | SquareBit[43]);
    EXPECT_EQ(board.colour[Black], SquareBit[60]);
    EXPECT_EQ(board.hashKey, ComputeHashKey(board));
    UnmakeMove(board, move, undo);
    EXPECT_TRUE(SameBoard(board, saved));
}

TEST(MakeMove, HalfmoveClockResetsAndSaturates) {
    Board board = BoardFromFen("4k3/8/8/8/8/8/4P3/R3K3 w - - 0 1");
    Play(board, {"a1a2", "e8d8"});
    EXPECT_EQ(board.halfmoveClock, 2);
    Play(board, {"e2e3"});
    EXPECT_EQ(board.halfmoveClock, 0);
    Play(board, {"d8e8", "a2a8"});
    EXPECT_EQ(board.halfmoveClock, 2);

    board               = BoardFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    board.halfmoveClock = 254;
    Play(board, {"a1a2", "e8d8", "a2a1"});
    EXPECT_EQ(board.halfmoveClock, 255);

    board               = BoardFromFen("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    board.halfmoveClock = 30;
    Play(board, {"a7b8q"});
    EXPECT_EQ(board.halfmoveClock, 0);
}

} // namespace
} // namespace tarvo
