#include "board/fen.h"
#include "board/tables.h"
#include "board_helpers.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace tarvo {
namespace {

using testing::BoardFromFen;
using testing::SameBoard;

TEST(SetFromFen, StartPositionFields) {
    const Board board = BoardFromFen(StartFen);
    EXPECT_EQ(board.sideToMove, White);
    EXPECT_EQ(board.castling, 15);
    EXPECT_EQ(board.epFile, 0);
    EXPECT_EQ(board.halfmoveClock, 0);
    EXPECT_EQ(board.historyCount, 0u);
    EXPECT_EQ(board.kingSquare[White], 4);
    EXPECT_EQ(board.kingSquare[Black], 60);
    EXPECT_EQ(board.occupied, 0xffff00000000ffffULL);
    EXPECT_EQ(board.pieces[Pawn], 0x00ff00000000ff00ULL);
    EXPECT_EQ(board.pieces[NoPiece] | board.pieces[7], 0u);
    EXPECT_EQ(board.squares[3], Queen);
    EXPECT_EQ(board.hashKey, ComputeHashKey(board));
}

TEST(SetFromFen, FieldsOfSmallPositions) {
    Board board = BoardFromFen("8/8/8/8/8/8/8/K6k w - - 0 1");
    EXPECT_EQ(board.kingSquare[White], 0);
    EXPECT_EQ(board.kingSquare[Black], 7);
    EXPECT_EQ(board.castling, 0);

    board = BoardFromFen("rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3");
    EXPECT_EQ(board.epFile, 4);

    board = BoardFromFen("4k3/8/8/8/8/8/8/4K3 b - - 45 80");
    EXPECT_EQ(board.halfmoveClock, 0);
    EXPECT_EQ(board.sideToMove, Black);
    EXPECT_EQ(board.hashKey, ComputeHashKey(board));
}

TEST(SetFromFen, EnPassantFieldIsKeptEvenWithoutCapturer) {
    const Board named = BoardFromFen("4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1");
    const Board plain = BoardFromFen("4k3/8/8/8/4P3/8/8/4K3 b - - 0 1");
    EXPECT_EQ(named.epFile, 5);
    EXPECT_EQ(named.hashKey, plain.hashKey ^ EnPassantKey[5]);
    EXPECT_EQ(BoardFromFen("4k3/8/8/8/4P3/8/8/4K3 b - x3 0 1").epFile, 0);
    EXPECT_EQ(BoardFromFen("4k3/8/8/8/4P3/8/8/4K3 b - i3 0 1").epFile, 0);
}

TEST(SetFromFen, CastlingRightsNeedKingAndRookAtHome) {
    EXPECT_EQ(BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1").castling, 15);
    EXPECT_EQ(BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1").castling, 0);
    // Missing h1 rook, black king off e8, white rook on a1 present.
    EXPECT_EQ(BoardFromFen("r2k3r/8/8/8/8/8/8/R3K3 w KQkq - 0 1").castling, WhiteQueenSide);
    // A black rook on a1 does not back the white queen-side right.
    EXPECT_EQ(BoardFromFen("4k3/8/8/8/8/8/8/r3K2R w KQ - 0 1").castling, WhiteKingSide);
    // Letters other than KQkq are ignored.
    EXPECT_EQ(BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R w AHk - 0 1").castling, BlackKingSide);
}

TEST(SetFromFen, ExtraBlanksBetweenFields) {
    const Board board = BoardFromFen("  4k3/8/8/8/8/8/8/4K2R   b   K   -  0 1");
    EXPECT_EQ(board.sideToMove, Black);
    EXPECT_EQ(board.castling, WhiteKingSide);
}

struct Refusal {
    const char* fen;
    const char* reason;
};

TEST(SetFromFen, RefusesUnplayableTextsAndKeepsTheBoard) {
    const Refusal refusals[] = {
        {"", "fen: text ends inside the piece placement"},
        {"rnbqkbnr/pppppppp/8/8", "fen: text ends inside the piece placement"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
         "fen: text ends inside the piece placement"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR ", "fen: no side to move"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1", "fen: fewer than 8 ranks"},
        {"4k3/8/8/8/8/8/8/8/4K3 w - - 0 1", "fen: more than 8 ranks"},
        {"4k3/8/8/8/8/8/8/4K2 w - - 0 1", "fen: rank does not add up to 8 squares"},
        {"4k3/8/8/8/8/8/8/4K4 w - - 0 1", "fen: rank does not add up to 8 squares"},
        {"4k3/9/8/8/8/8/8/4K3 w - - 0 1", "fen: unknown character in the piece placement"},
        {"4k3/7/8/8/8/8/8/4K3 w - - 0 1", "fen: rank does not add up to 8 squares"},
        {"4k3/8/8/8/8/8/8/4K2RR w - - 0 1", "fen: rank does not add up to 8 squares"},
        {"4k3/8/8/8/8/8/8/4K2X w - - 0 1", "fen: unknown character in the piece placement"},
        {"4k3/8/8/8/0/8/8/4K3 w - - 0 1", "fen: unknown character in the piece placement"},
        {"8/8/8/8/8/8/8/4K3 w - - 0 1", "fen: each side needs exactly one king"},
        {"4k3/8/8/8/8/8/8/3KK3 w - - 0 1", "fen: each side needs exactly one king"},
        {"4k3/8/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1", nullptr}, // 16 pieces are allowed
        {"4k3/8/8/8/8/P7/PPPPPPPP/RNBQKBNR w - - 0 1", "fen: more than 16 pieces of one side"},
        {"4k3/8/8/8/8/8/8/P3K3 w - - 0 1", "fen: pawn on the first or last rank"},
        {"3pk3/8/8/8/8/8/8/4K3 w - - 0 1", "fen: pawn on the first or last rank"},
        {"4k3/8/8/8/8/8/8/4K2r b - - 0 1", "fen: the side not to move is in check"},
        {"4k3/8/8/8/8/8/8/4K2r w - - 0 1", nullptr}, // the side to move may be in check
    };
    const Board before =
        BoardFromFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.fen);
        Board board        = before;
        const char* reason = nullptr;
        const bool taken   = SetFromFen(board, refusal.fen, &reason);
        if (refusal.reason == nullptr) {
            EXPECT_TRUE(taken) << reason;
            continue;
        }
        EXPECT_FALSE(taken);
        ASSERT_NE(reason, nullptr);
        EXPECT_STREQ(reason, refusal.reason);
        EXPECT_TRUE(SameBoard(board, before));
    }
    Board board = before;
    EXPECT_FALSE(SetFromFen(board, "8/8/8/8/8/8/8/8 w - - 0 1")); // no reason pointer given
    EXPECT_TRUE(SameBoard(board, before));
}

TEST(SetFromFen, NeverReadsPastTheEnd) {
    // Every prefix of a full text sits in a buffer of exactly its size, so the sanitizer build
    // catches any read beyond the terminating zero.
    const std::string full =
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq e3 0 1";
    for (std::size_t length = 0; length <= full.size(); ++length) {
        auto text = std::make_unique<char[]>(length + 1);
        std::memcpy(text.get(), full.data(), length);
        text[length] = '\0';
        Board board{};
        const bool taken = SetFromFen(board, text.get());
        EXPECT_EQ(taken, length > full.find(' ') + 1) << text.get();
        if (taken) {
            EXPECT_EQ(board.hashKey, ComputeHashKey(board));
        }
    }
}

TEST(WriteFen, RoundTripsSuitePositions) {
    for (const auto& line : testing::ReadPerftSuite()) {
        const Board board         = BoardFromFen(line.fen);
        const std::string written = WriteFen(board);
        const Board again         = BoardFromFen(written);
        EXPECT_TRUE(SameBoard(board, again)) << line.fen << " -> " << written;
    }
    EXPECT_EQ(WriteFen(BoardFromFen(StartFen)), StartFen);
    EXPECT_EQ(WriteFen(BoardFromFen("rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w Kq d6 0 3")),
              "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w Kq d6 0 1");
}

} // namespace
} // namespace tarvo
