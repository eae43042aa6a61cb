// The staged generators: together they give exactly the legal moves, in their classes and in
// their order of appending.

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "board/staged.h"
#include "board/tables.h"
#include "support/suite_walk.h"

namespace tarvo {
namespace {

using test::BoardFrom;

// The enemy pieces attacking the king of the side to move, piece by piece.
Bitboard ReferenceCheckers(const Board& board) {
    const int side  = board.sideToMove;
    const int king  = board.kingSquare[side];
    Bitboard result = 0;
    for (Bitboard enemy = board.colour[side ^ 1]; enemy; enemy &= enemy - 1) {
        const int square = BitScan(enemy);
        Bitboard attacks = 0;
        switch (board.squares[square]) {
        case Pawn:
            attacks = PawnAttacks[side ^ 1][square];
            break;
        case Knight:
            attacks = KnightAttacks[square];
            break;
        case Bishop:
            attacks = BishopAttacksFrom(board, square);
            break;
        case Rook:
            attacks = RookAttacksFrom(board, square);
            break;
        case Queen:
            attacks = QueenAttacksFrom(board, square);
            break;
        default:
            break;
        }
        if (attacks & SquareBit[king])
            result |= SquareBit[square];
    }
    return result;
}

struct Staged {
    std::vector<Move> captures, quiets, evasions;
};

Staged Generate(const Board& board) {
    Bitboard straight = 0, diagonal = 0;
    test::ReferencePinLines(board, straight, diagonal);
    const Bitboard checkers = ReferenceCheckers(board);
    Staged result;
    MoveList list;
    if (checkers) {
        GenerateEvasions(board, list, straight, diagonal, checkers, __builtin_popcountll(checkers));
        result.evasions.assign(list.moves.begin(), list.moves.begin() + list.count);
        return result;
    }
    GenerateCaptures(board, list, straight, diagonal);
    result.captures.assign(list.moves.begin(), list.moves.begin() + list.count);
    list.count = 0;
    GenerateQuietMoves(board, list, straight, diagonal);
    result.quiets.assign(list.moves.begin(), list.moves.begin() + list.count);
    return result;
}

std::vector<Move> Sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

std::string Text(Move move) {
    const auto square = [](int s) {
        return std::string{char('a' + (s & 7)), char('1' + (s >> 3))};
    };
    std::string text = square(MoveFrom(move)) + square(MoveTo(move));
    if (move & PromotionFlag)
        text += "qnrb"[MovePromotion(move)];
    return text;
}

std::vector<std::string> Texts(const std::vector<Move>& moves) {
    std::vector<std::string> texts;
    for (const Move move : moves)
        texts.push_back(Text(move));
    return texts;
}

TEST(StagedGenerators, GiveExactlyTheLegalMovesInTheirClassesAcrossTheSuite) {
    long positions = 0, checks = 0;
    const int lines = test::WalkSuite(test::WalkPlies, [&](Board& board) {
        ++positions;
        const Staged staged = Generate(board);
        std::vector<Move> all;
        if (ReferenceCheckers(board)) {
            ++checks;
            ASSERT_TRUE(staged.captures.empty() && staged.quiets.empty());
            all = staged.evasions;
        } else {
            for (const Move move : staged.captures)
                ASSERT_FALSE(IsQuiet(move)) << Text(move);
            for (const Move move : staged.quiets)
                ASSERT_TRUE(IsQuiet(move)) << Text(move);
            all = staged.captures;
            all.insert(all.end(), staged.quiets.begin(), staged.quiets.end());
        }
        // The sorted lists are equal only when each legal move comes out exactly once.
        ASSERT_EQ(Sorted(all), Sorted(test::LegalMoves(board))) << test::WriteFenOf(board);
    });
    EXPECT_EQ(lines, 62);
    // The walk reaches plenty of checks, so the evasions are tested as well.
    EXPECT_GT(checks, positions / 100);
}

TEST(StagedGenerators, StartPositionHasNoCapturesAndTwentyQuietMovesInOrder) {
    const Staged staged = Generate(BoardFrom(StartFen));
    EXPECT_TRUE(staged.captures.empty());
    const std::vector<std::string> expected = {
        "a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
        "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};
    EXPECT_EQ(Texts(staged.quiets), expected);
}

TEST(StagedGenerators, PromotionsComeWithCapturesInPieceOrder) {
    const Staged staged = Generate(BoardFrom("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1"));
    const std::vector<std::string> expected = {"b7a8q", "b7a8n", "b7a8r", "b7a8b",
                                               "b7b8q", "b7b8n", "b7b8r", "b7b8b"};
    EXPECT_EQ(Texts(staged.captures), expected);
    for (const Move move : staged.quiets)
        EXPECT_NE(MoveFrom(move), 49) << Text(move);
}

TEST(StagedGenerators, PawnCapturesRunTowardsTheAFileFirstForWhiteAndTheHFileForBlack) {
    EXPECT_EQ(Texts(Generate(BoardFrom("4k3/8/8/2p1p3/3P4/8/8/4K3 w - - 0 1")).captures),
              (std::vector<std::string>{"d4c5", "d4e5"}));
    EXPECT_EQ(Texts(Generate(BoardFrom("4k3/8/8/8/3p4/2P1P3/8/4K3 b - - 0 1")).captures),
              (std::vector<std::string>{"d4e3", "d4c3"}));
}

TEST(StagedGenerators, CapturesFollowTheStageOrder) {
    // King, pawns (towards the a-file, then the h-file), promotions (capture, then push), en
    // passant, knights, bishops and queens on diagonals, rooks and queens on lines.
    const Staged staged = Generate(BoardFrom("1n5k/P2b4/8/3pP1p1/Q1P1P3/5N1B/7n/6KR w - d6 0 1"));
    const std::vector<std::string> expected = {"g1h2",  "e4d5",  "c4d5",  "a7b8q", "a7b8n", "a7b8r",
                                               "a7b8b", "a7a8q", "a7a8n", "a7a8r", "a7a8b", "e5d6",
                                               "f3h2",  "f3g5",  "h3d7",  "a4d7",  "h1h2"};
    EXPECT_EQ(Texts(staged.captures), expected);
}

TEST(StagedGenerators, EnPassantThatOpensTheKingsRankIsNotGenerated) {
    const Staged pinned = Generate(BoardFrom("4k3/8/8/K2Pp2r/8/8/8/8 w - e6 0 1"));
    EXPECT_TRUE(Texts(pinned.captures).empty());
    const Staged free = Generate(BoardFrom("4k3/8/8/K2Pp3/8/8/8/8 w - e6 0 1"));
    EXPECT_EQ(Texts(free.captures), std::vector<std::string>{"d5e6"});
}

TEST(StagedGenerators, DiagonallyPinnedPawnTakesEnPassantBackTowardsItsKing) {
    // The en-passant square lies on the pin line between the king and the pawn, so the
    // capture keeps the line closed.
    const Staged white = Generate(BoardFrom("7k/2K5/8/3pP3/8/6b1/8/8 w - d6 0 1"));
    EXPECT_EQ(Texts(white.captures), std::vector<std::string>{"e5d6"});
    const Staged black = Generate(BoardFrom("8/8/6B1/8/3Pp3/8/2k5/7K b - d3 0 1"));
    EXPECT_EQ(Texts(black.captures), std::vector<std::string>{"e4d3"});
    for (const Move move : white.quiets)
        EXPECT_NE(MovePiece(move), Pawn) << Text(move);
}

TEST(StagedGenerators, PinnedPiecesMoveOnlyAlongTheirLines) {
    // The bishop on c2, pinned by the queen on a4, takes the queen or steps to b3.
    const Staged bishop = Generate(BoardFrom("4k3/8/8/8/q7/8/2B5/3K4 w - - 0 1"));
    EXPECT_EQ(Texts(bishop.captures), std::vector<std::string>{"c2a4"});
    std::vector<std::string> bishopQuiets;
    for (const Move move : bishop.quiets)
        if (MovePiece(move) == Bishop)
            bishopQuiets.push_back(Text(move));
    EXPECT_EQ(bishopQuiets, std::vector<std::string>{"c2b3"});

    // A pinned knight, and a rook pinned on a diagonal, have no move at all.
    const Staged knight = Generate(BoardFrom("4k3/4r3/8/8/8/4N3/8/4K3 w - - 0 1"));
    for (const Move move : knight.quiets)
        EXPECT_NE(MovePiece(move), Knight) << Text(move);
    const Staged rook = Generate(BoardFrom("4k3/8/8/b7/8/8/3R4/4K3 w - - 0 1"));
    for (const Move move : rook.quiets)
        EXPECT_NE(MovePiece(move), Rook) << Text(move);
    EXPECT_TRUE(rook.captures.empty());
}

TEST(StagedGenerators, PawnPinnedAlongItsFileStillAdvances) {
    const Staged staged = Generate(BoardFrom("4k3/4r3/8/8/8/8/4P3/4K3 w - - 0 1"));
    std::vector<std::string> pawn;
    for (const Move move : staged.quiets)
        if (MovePiece(move) == Pawn)
            pawn.push_back(Text(move));
    EXPECT_EQ(pawn, (std::vector<std::string>{"e2e3", "e2e4"}));
}

TEST(StagedGenerators, DoubleCheckGivesOnlyKingMovesOffTheCheckingLines) {
    // Rook e8 and bishop b4 both check: the rook on a4 could take the bishop, but may not.
    EXPECT_EQ(Texts(Generate(BoardFrom("4r2k/8/8/8/Rb6/8/8/4K3 w - - 0 1")).evasions),
              (std::vector<std::string>{"e1d1", "e1f1", "e1f2"}));
    // Rook e8 and knight c3: e3, behind the king on the rook's line, reads as safe on the
    // board with the king still on e4, and must not be offered.
    EXPECT_EQ(Texts(Generate(BoardFrom("4r2k/8/8/8/4K3/2n5/8/8 w - - 0 1")).evasions),
              (std::vector<std::string>{"e4d3", "e4f3", "e4d4", "e4f4", "e4f5"}));
}

TEST(StagedGenerators, EvasionsTakeACheckingPawnEnPassant) {
    const Staged staged = Generate(BoardFrom("8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1"));
    const auto texts    = Texts(staged.evasions);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "e4d3"), texts.end());
    EXPECT_EQ(texts.size(), 9u);
}

TEST(StagedGenerators, CastlingLooksOnlyAtTheKingsPath) {
    const auto castles = [](const char* fen) {
        std::vector<std::string> found;
        for (const Move move : Generate(BoardFrom(fen)).quiets)
            if (move & CastlingFlag)
                found.push_back(Text(move));
        return found;
    };
    EXPECT_EQ(castles("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"),
              (std::vector<std::string>{"e1g1", "e1c1"}));
    EXPECT_EQ(castles("4kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1"), std::vector<std::string>{"e1c1"});
    EXPECT_EQ(castles("4k1r1/8/8/8/8/8/8/R3K2R w KQ - 0 1"), std::vector<std::string>{"e1c1"});
    // The rook on h1 and the square b1 may be attacked.
    EXPECT_EQ(castles("1r2k2r/8/8/8/8/8/8/R3K2R w KQ - 0 1"),
              (std::vector<std::string>{"e1g1", "e1c1"}));
    EXPECT_EQ(castles("3rk3/8/8/8/8/8/8/R3K2R w KQ - 0 1"), std::vector<std::string>{"e1g1"});
    EXPECT_EQ(castles("2r1k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"), std::vector<std::string>{"e1g1"});
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1"),
              (std::vector<std::string>{"e8g8", "e8c8"}));
}

TEST(StagedGenerators, EnPassantFileWithoutAPawnBehindItGivesNoCapture) {
    // A FEN text may name an en-passant square that no double step produced.
    EXPECT_TRUE(Generate(BoardFrom("4k3/8/8/4P3/8/8/8/4K3 w - d6 0 1")).captures.empty());
    const Staged occupied = Generate(BoardFrom("4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1"));
    ASSERT_EQ(Texts(occupied.captures), std::vector<std::string>{"e5d6"});
    EXPECT_FALSE(occupied.captures[0] & EnPassantFlag);
}

} // namespace
} // namespace tarvo
