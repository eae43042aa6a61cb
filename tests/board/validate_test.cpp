// Validation of stored moves: the answer must be exactly whether the word is a legal move of
// the position, for words made in other positions of either side to move.

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <vector>

#include "board/tables.h"
#include "board/validate.h"
#include "support/suite_walk.h"

namespace tarvo {
namespace {

using test::BoardFrom;

constexpr int Sq(const char* name) {
    return (name[0] - 'a') + 8 * (name[1] - '1');
}

bool IsLegal(const char* fen, Move move) {
    const Board board = BoardFrom(fen);
    Bitboard straight = 0, diagonal = 0;
    test::ReferencePinLines(board, straight, diagonal);
    return IsStoredMoveLegal(board, move, straight, diagonal);
}

// Words made in recently walked positions, kept per side to move.
struct WordPool {
    static constexpr int Size = 40;
    std::array<Move, Size> words{};
    int next = 0, filled = 0;
    void Add(Move move) {
        words[next] = move;
        next        = (next + 1) % Size;
        filled      = std::min(filled + 1, Size);
    }
};

TEST(IsStoredMoveLegal, AnswersExactlyWhetherAWordIsLegalAcrossTheSuite) {
    std::array<WordPool, 2> pools;
    long tested = 0, accepted = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        if (IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]))
            return;
        Bitboard straight = 0, diagonal = 0;
        test::ReferencePinLines(board, straight, diagonal);
        std::vector<Move> legal = test::LegalMoves(board);
        for (const Move move : legal)
            if (!IsStoredMoveLegal(board, move, straight, diagonal))
                FAIL() << test::WriteFenOf(board) << " refuses " << std::hex << move;
        std::sort(legal.begin(), legal.end());
        for (const WordPool& pool : pools) {
            for (int i = 0; i < pool.filled; ++i) {
                const Move word    = pool.words[i];
                const bool isLegal = std::binary_search(legal.begin(), legal.end(), word);
                if (IsStoredMoveLegal(board, word, straight, diagonal) != isLegal)
                    FAIL() << test::WriteFenOf(board) << " word " << std::hex << word;
                ++tested;
                accepted += isLegal;
            }
        }
        // Every seventh move keeps the pool varied without flooding it from one position.
        for (std::size_t i = board.historyCount % 7; i < legal.size(); i += 7)
            pools[board.sideToMove].Add(legal[i]);
    });
    // Both answers occur often enough to matter.
    EXPECT_GT(accepted, tested / 50);
    EXPECT_LT(accepted, tested / 2);
}

TEST(IsStoredMoveLegal, KnightMoveNeedsItsKnightAnEmptySquareAndNoPin) {
    const Move b1c3 = MakeMoveWord(Sq("b1"), Sq("c3"), Knight);
    EXPECT_TRUE(IsLegal("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", b1c3));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/2P5/8/1N2K3 w - - 0 1", b1c3));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/2p5/8/1N2K3 w - - 0 1", b1c3));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/8/8/1B2K3 w - - 0 1", b1c3));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/8/8/rN2K3 w - - 0 1", b1c3));
}

TEST(IsStoredMoveLegal, CaptureNeedsTheRecordedVictim) {
    const Move e4d5 = MakeMoveWord(Sq("e4"), Sq("d5"), Pawn, Pawn);
    EXPECT_TRUE(IsLegal("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", e4d5));
    EXPECT_FALSE(IsLegal("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", e4d5));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/4P3/8/8/4K3 w - - 0 1", e4d5));
    EXPECT_FALSE(IsLegal("4k3/8/8/3P4/4P3/8/8/4K3 w - - 0 1", e4d5));
}

TEST(IsStoredMoveLegal, DoubleStepNeedsBothSquaresEmpty) {
    const Move e2e4 = MakeMoveWord(Sq("e2"), Sq("e4"), Pawn, NoPiece, DoubleStepFlag);
    EXPECT_TRUE(IsLegal("4k3/8/8/8/8/8/4P3/K7 w - - 0 1", e2e4));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/4n3/4P3/K7 w - - 0 1", e2e4));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/4n3/8/4P3/K7 w - - 0 1", e2e4));
}

TEST(IsStoredMoveLegal, CastlingNeedsRightEmptySquaresAndASafePath) {
    const Move castle = MakeMoveWord(Sq("e1"), Sq("g1"), King, NoPiece, CastlingFlag);
    EXPECT_TRUE(IsLegal("4k3/8/8/8/8/8/8/4K2R w K - 0 1", castle));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/8/8/4K2R w - - 0 1", castle));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/8/8/4KN1R w K - 0 1", castle));
    EXPECT_FALSE(IsLegal("4kr2/8/8/8/8/8/8/4K2R w K - 0 1", castle));
    EXPECT_FALSE(IsLegal("4k1r1/8/8/8/8/8/8/4K2R w K - 0 1", castle));
    // The rook itself may be attacked.
    EXPECT_TRUE(IsLegal("4k2r/8/8/8/8/8/8/4K2R w K - 0 1", castle));
    // The word of the other side's castling never fits.
    EXPECT_FALSE(IsLegal("4k2r/8/8/8/8/8/8/4K2R w K - 0 1",
                         MakeMoveWord(Sq("e8"), Sq("g8"), King, NoPiece, CastlingFlag)));
}

TEST(IsStoredMoveLegal, EnPassantNeedsItsFile) {
    const Move e5d6 = MakeMoveWord(Sq("e5"), Sq("d6"), Pawn, Pawn, EnPassantFlag);
    EXPECT_TRUE(IsLegal("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", e5d6));
    EXPECT_FALSE(IsLegal("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", e5d6));
    EXPECT_FALSE(IsLegal("4k3/8/8/3pPp2/8/8/8/4K3 w - f6 0 1", e5d6));
}

TEST(IsStoredMoveLegal, EnPassantWordOfTheOtherSideIsRefused) {
    // Black to move with a black pawn on e5 and the d-file open for en passant on d3: White's
    // word e5xd6 names the right file but the other side's square.
    const Move e5d6 = MakeMoveWord(Sq("e5"), Sq("d6"), Pawn, Pawn, EnPassantFlag);
    EXPECT_FALSE(IsLegal("4k3/8/8/4p3/2pP4/8/8/4K3 b - d3 0 1", e5d6));
    EXPECT_TRUE(IsLegal("4k3/8/8/4p3/2pP4/8/8/4K3 b - d3 0 1",
                        MakeMoveWord(Sq("c4"), Sq("d3"), Pawn, Pawn, EnPassantFlag)));
}

TEST(IsStoredMoveLegal, EnPassantKeepsPinsAndTheKingsRank) {
    const Move towardsKing = MakeMoveWord(Sq("e5"), Sq("d6"), Pawn, Pawn, EnPassantFlag);
    EXPECT_TRUE(IsLegal("7k/2K5/8/3pP3/8/6b1/8/8 w - d6 0 1", towardsKing));
    EXPECT_FALSE(IsLegal("5q2/6b1/8/3pP3/8/8/1K6/7k w - d6 0 1", towardsKing));
    EXPECT_FALSE(IsLegal("7k/8/8/K2pP2r/8/8/8/8 w - d6 0 1", towardsKing));
}

TEST(IsStoredMoveLegal, SliderNeedsAnOpenPathAndItsPinLine) {
    const Move c1g5 = MakeMoveWord(Sq("c1"), Sq("g5"), Bishop);
    EXPECT_TRUE(IsLegal("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1", c1g5));
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/4P3/8/2B1K3 w - - 0 1", c1g5));
    // A queen pinned on a file moves along it, not off it.
    EXPECT_TRUE(
        IsLegal("4r2k/8/8/8/8/8/4Q3/4K3 w - - 0 1", MakeMoveWord(Sq("e2"), Sq("e8"), Queen, Rook)));
    EXPECT_FALSE(
        IsLegal("4r2k/8/8/8/8/8/4Q3/4K3 w - - 0 1", MakeMoveWord(Sq("e2"), Sq("d3"), Queen)));
}

TEST(IsStoredMoveLegal, KingMayNotStepBackAlongALine) {
    // With the king lifted off d1, the rook on a1 would attack e1 through it.
    EXPECT_FALSE(IsLegal("4k3/8/8/8/8/8/8/r2K4 w - - 0 1", MakeMoveWord(Sq("d1"), Sq("e1"), King)));
    EXPECT_TRUE(IsLegal("4k3/8/8/8/8/8/8/r2K4 w - - 0 1", MakeMoveWord(Sq("d1"), Sq("e2"), King)));
}

TEST(IsStoredMoveLegal, ReservedWordsAreRefused) {
    EXPECT_FALSE(IsLegal(StartFen, NullMove));
    EXPECT_FALSE(IsLegal(StartFen, NoMove));
}

} // namespace
} // namespace tarvo
