#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "board/movegen.h"
#include "uci/notation.h"

namespace tarvo {
namespace {

Board boardFrom(const char* fen) {
    Board board{};
    EXPECT_TRUE(SetFromFen(board, fen)) << fen;
    return board;
}

std::string text(Move move) {
    return moveToText(move).data();
}

TEST(ParseMoveText, KingTwoSquaresIsCastling) {
    const Board board = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_EQ(parseMoveText("e1g1", board), 0x106184u);
    EXPECT_EQ(parseMoveText("e1c1", board), MakeMoveWord(4, 2, King, NoPiece, CastlingFlag));
    EXPECT_EQ(parseMoveText("e1f1", board), MakeMoveWord(4, 5, King));
    const Board black = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
    EXPECT_EQ(parseMoveText("e8c8", black), 0x106EBCu);
}

TEST(ParseMoveText, DiagonalPawnStepToAnEmptySquareIsEnPassant) {
    const Board empty = boardFrom("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(parseMoveText("e5d6", empty), 0x49AE4u);
    const Board occupied = boardFrom("4k3/8/3n4/3pP3/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(parseMoveText("e5d6", occupied), MakeMoveWord(36, 43, Pawn, Knight));
    const Board start = boardFrom(StartFen);
    EXPECT_EQ(parseMoveText("e2e4", start), MakeMoveWord(12, 28, Pawn, NoPiece, DoubleStepFlag));
    EXPECT_EQ(parseMoveText("e2e3", start), MakeMoveWord(12, 20, Pawn));
}

TEST(ParseMoveText, OnlyLowerCaseLettersPromote) {
    const Board board = boardFrom("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(parseMoveText("b7a8n", board), 0x621E31u);
    EXPECT_EQ(parseMoveText("b7b8q", board), MakeMoveWord(49, 57, Pawn, NoPiece, PromotionWord(0)));
    EXPECT_EQ(parseMoveText("b7b8b", board), MakeMoveWord(49, 57, Pawn, NoPiece, PromotionWord(3)));
    EXPECT_EQ(parseMoveText("b7b8N", board), MakeMoveWord(49, 57, Pawn));
}

TEST(ParseMoveText, TextThatNamesNoSquaresGivesTheNullWord) {
    const Board board = boardFrom(StartFen);
    for (const char* token : {"", "e2", "e2e", "0000", "e9e4", "i2i4", "E2E4", "e2e4qq"})
        EXPECT_EQ(parseMoveText(token, board), NullMove) << token;
}

TEST(MoveToText, ReservedWordsAndPromotions) {
    EXPECT_EQ(text(NullMove), "null");
    EXPECT_EQ(text(NoMove), "none");
    EXPECT_EQ(text(0x106184), "e1g1");
    EXPECT_EQ(text(0x621E31), "b7a8n");
    EXPECT_EQ(text(MakeMoveWord(52, 60, Pawn, NoPiece, PromotionWord(0))), "e7e8q");
}

// Text and word agree with the generator both ways, in positions with every kind of move.
TEST(MoveText, RoundTripsEveryGeneratedMove) {
    const char* fens[] = {
        StartFen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
        "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    };
    for (const char* fen : fens) {
        const Board board = boardFrom(fen);
        MoveList moves;
        GenerateLegalMoves(board, moves);
        ASSERT_GT(moves.count, 0u) << fen;
        for (std::uint32_t i = 0; i < moves.count; ++i) {
            const Move move = moves.moves[i];
            EXPECT_EQ(parseMoveText(text(move), board), move) << fen << " " << text(move);
        }
    }
}

} // namespace
} // namespace tarvo
