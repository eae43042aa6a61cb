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

struct StoredCase {
    const char* fen;
    Move move;
    bool legal;
};

constexpr Move B1C3   = MakeMoveWord(Sq("b1"), Sq("c3"), Knight);
constexpr Move E4D5   = MakeMoveWord(Sq("e4"), Sq("d5"), Pawn, Pawn);
constexpr Move E2E4   = MakeMoveWord(Sq("e2"), Sq("e4"), Pawn, NoPiece, DoubleStepFlag);
constexpr Move E1G1   = MakeMoveWord(Sq("e1"), Sq("g1"), King, NoPiece, CastlingFlag);
constexpr Move E8G8   = MakeMoveWord(Sq("e8"), Sq("g8"), King, NoPiece, CastlingFlag);
constexpr Move E5D6EP = MakeMoveWord(Sq("e5"), Sq("d6"), Pawn, Pawn, EnPassantFlag);
constexpr Move C4D3EP = MakeMoveWord(Sq("c4"), Sq("d3"), Pawn, Pawn, EnPassantFlag);
constexpr Move C1G5   = MakeMoveWord(Sq("c1"), Sq("g5"), Bishop);

TEST(IsStoredMoveLegal, ChecksEachMoveAgainstThePosition) {
    const StoredCase cases[] = {
        // A knight move needs its knight, an empty square and no pin.
        {"4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", B1C3, true},
        {"4k3/8/8/8/8/2P5/8/1N2K3 w - - 0 1", B1C3, false},
        {"4k3/8/8/8/8/2p5/8/1N2K3 w - - 0 1", B1C3, false},
        {"4k3/8/8/8/8/8/8/1B2K3 w - - 0 1", B1C3, false},
        {"4k3/8/8/8/8/8/8/rN2K3 w - - 0 1", B1C3, false},
        // A capture needs the recorded victim.
        {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", E4D5, true},
        {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", E4D5, false},
        {"4k3/8/8/8/4P3/8/8/4K3 w - - 0 1", E4D5, false},
        // A double step needs both squares empty.
        {"4k3/8/8/8/8/8/4P3/K7 w - - 0 1", E2E4, true},
        {"4k3/8/8/8/8/4n3/4P3/K7 w - - 0 1", E2E4, false},
        {"4k3/8/8/8/4n3/8/4P3/K7 w - - 0 1", E2E4, false},
        // Castling needs the right, empty squares and a safe path; the rook may be attacked.
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", E1G1, true},
        {"4k3/8/8/8/8/8/8/4K2R w - - 0 1", E1G1, false},
        {"4k3/8/8/8/8/8/8/4KN1R w K - 0 1", E1G1, false},
        {"4kr2/8/8/8/8/8/8/4K2R w K - 0 1", E1G1, false},
        {"4k1r1/8/8/8/8/8/8/4K2R w K - 0 1", E1G1, false},
        {"4k2r/8/8/8/8/8/8/4K2R w K - 0 1", E1G1, true},
        {"4k2r/8/8/8/8/8/8/4K2R w K - 0 1", E8G8, false},
        // En passant needs its file, keeps pins and the king's rank closed.
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", E5D6EP, true},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", E5D6EP, false},
        {"4k3/8/8/3pPp2/8/8/8/4K3 w - f6 0 1", E5D6EP, false},
        {"7k/2K5/8/3pP3/8/6b1/8/8 w - d6 0 1", E5D6EP, true},
        {"5q2/6b1/8/3pP3/8/8/1K6/7k w - d6 0 1", E5D6EP, false},
        {"7k/8/8/K2pP2r/8/8/8/8 w - d6 0 1", E5D6EP, false},
        // White's e5xd6 names Black's en-passant file, but not Black's square.
        {"4k3/8/8/4p3/2pP4/8/8/4K3 b - d3 0 1", E5D6EP, false},
        {"4k3/8/8/4p3/2pP4/8/8/4K3 b - d3 0 1", C4D3EP, true},
        // A slider needs an open path, and a pinned queen stays on its line.
        {"4k3/8/8/8/8/8/8/2B1K3 w - - 0 1", C1G5, true},
        {"4k3/8/8/8/8/4P3/8/2B1K3 w - - 0 1", C1G5, false},
        {"4r2k/8/8/8/8/8/4Q3/4K3 w - - 0 1", MakeMoveWord(Sq("e2"), Sq("e8"), Queen, Rook), true},
        {"4r2k/8/8/8/8/8/4Q3/4K3 w - - 0 1", MakeMoveWord(Sq("e2"), Sq("d3"), Queen), false},
        // A king may not step onto an attacked square.
        {"4k3/8/8/8/8/8/r7/3K4 w - - 0 1", MakeMoveWord(Sq("d1"), Sq("d2"), King), false},
        {"4k3/8/8/8/8/8/r7/3K4 w - - 0 1", MakeMoveWord(Sq("d1"), Sq("e1"), King), true},
        // The reserved words never stand for a move.
        {StartFen, NullMove, false},
        {StartFen, NoMove, false},
    };
    for (const StoredCase& c : cases)
        EXPECT_EQ(IsLegal(c.fen, c.move), c.legal) << c.fen << " word " << std::hex << c.move;
}

} // namespace
} // namespace tarvo
