#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "board/tables.h"
#include "board_helpers.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tarvo {
namespace {

using testing::BoardFromFen;
using testing::LegalMoveTexts;
using Texts = std::vector<std::string>;

bool Contains(const Texts& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(GenerateLegalMoves, StartPositionOrder) {
    const Texts expected = {"b1a3", "b1c3", "g1f3", "g1h3", "a2a3", "b2b3", "c2c3",
                            "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
                            "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4"};
    EXPECT_EQ(LegalMoveTexts(BoardFromFen(StartFen)), expected);
}

TEST(GenerateLegalMoves, EncodesTheWorkedMoveWords) {
    using testing::FindLegalMove;
    EXPECT_EQ(FindLegalMove(BoardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"), "e5d6"), 0x49AE4u);
    EXPECT_EQ(FindLegalMove(BoardFromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1"), "e1g1"), 0x106184u);
    EXPECT_EQ(FindLegalMove(BoardFromFen("r3k3/8/8/8/8/8/8/4K3 b q - 0 1"), "e8c8"), 0x106EBCu);
    EXPECT_EQ(FindLegalMove(BoardFromFen("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1"), "b7a8n"), 0x621E31u);
}

TEST(GenerateLegalMoves, OrderOfGroupsOutOfCheck) {
    // Pinned bishop, castling king side then queen side, en passant, knight, rooks, pawn, king.
    const Board board    = BoardFromFen("4k3/8/8/b2pP3/6N1/8/3B4/R3K2R w KQ d6 0 1");
    const Texts expected = {"d2c3", "d2b4", "d2a5", "e1g1", "e1c1", "e5d6", "g4f2", "g4h2",
                            "g4e3", "g4f6", "g4h6", "a1b1", "a1c1", "a1d1", "a1a2", "a1a3",
                            "a1a4", "a1a5", "h1f1", "h1g1", "h1h2", "h1h3", "h1h4", "h1h5",
                            "h1h6", "h1h7", "h1h8", "e5e6", "e1d1", "e1f1", "e1e2", "e1f2"};
    EXPECT_EQ(LegalMoveTexts(board), expected);
}

TEST(GenerateLegalMoves, PawnGroupsForBlack) {
    // Captures towards file h, captures towards file a, single pushes with promotions, doubles.
    const Board board = BoardFromFen("4k3/1p6/8/8/8/8/2p1p3/1R1NK3 b - - 0 1");
    const Texts moves = LegalMoveTexts(board);
    const Texts pawns(moves.begin(), moves.end() - 5);
    EXPECT_EQ(pawns, (Texts{"c2d1q", "c2d1n", "c2d1r", "c2d1b", "c2b1q", "c2b1n", "c2b1r", "c2b1b",
                            "e2d1q", "e2d1n", "e2d1r", "e2d1b", "c2c1q", "c2c1n", "c2c1r", "c2c1b",
                            "b7b6", "b7b5"}));
}

TEST(GenerateLegalMoves, DoubleCheckAllowsOnlyKingMoves) {
    // Bishop b5 and rook e1 both check the king on e8; the queen could take or block either.
    EXPECT_EQ(LegalMoveTexts(BoardFromFen("3qk3/8/8/1B6/8/8/8/4RK2 b - - 0 1")),
              (Texts{"e8f7", "e8f8"}));
    // Rook and knight.
    const Texts moves = LegalMoveTexts(BoardFromFen("4k3/2r5/3N4/8/8/8/8/4RK2 b - - 0 1"));
    ASSERT_FALSE(moves.empty());
    for (const std::string& move : moves)
        EXPECT_EQ(move.substr(0, 2), "e8") << move;
}

TEST(GenerateLegalMoves, KingCannotStepBackAlongTheCheckingLine) {
    EXPECT_EQ(LegalMoveTexts(BoardFromFen("4r2k/8/8/8/8/8/4K3/8 w - - 0 1")),
              (Texts{"e2d1", "e2f1", "e2d2", "e2f2", "e2d3", "e2f3"}));
}

TEST(GenerateLegalMoves, EnPassantThatOpensTheKingsRankIsLeftOut) {
    EXPECT_FALSE(
        Contains(LegalMoveTexts(BoardFromFen("4k3/8/8/KPp4r/8/8/8/8 w - c6 0 1")), "b5c6"));
    EXPECT_TRUE(Contains(LegalMoveTexts(BoardFromFen("4k3/8/8/KPp5/8/8/8/8 w - c6 0 1")), "b5c6"));
}

TEST(GenerateLegalMoves, PinnedPawnsCaptureTheirPinnerOrPush) {
    Texts moves = LegalMoveTexts(BoardFromFen("4k3/8/8/5b2/4P3/3K4/8/8 w - - 0 1"));
    EXPECT_EQ(moves.front(), "e4f5");
    EXPECT_FALSE(Contains(moves, "e4e5"));
    // On the last rank the capture is four promotions, and the push is gone.
    moves = LegalMoveTexts(BoardFromFen("b3k3/1P6/8/8/8/8/8/7K w - - 0 1"));
    EXPECT_EQ(Texts(moves.begin(), moves.begin() + 4), (Texts{"b7a8q", "b7a8n", "b7a8r", "b7a8b"}));
    EXPECT_FALSE(Contains(moves, "b7b8q"));
    // Along a file the pawn still pushes, one and two squares; along a rank it is stuck.
    moves = LegalMoveTexts(BoardFromFen("4r2k/8/8/8/8/8/4P3/4K3 w - - 0 1"));
    EXPECT_EQ(Texts(moves.begin(), moves.begin() + 2), (Texts{"e2e3", "e2e4"}));
    moves = LegalMoveTexts(BoardFromFen("7k/8/8/8/8/8/r2PK3/8 w - - 0 1"));
    EXPECT_FALSE(Contains(moves, "d2d3"));
    EXPECT_FALSE(Contains(moves, "d2d4"));
}

TEST(GenerateLegalMoves, PinnedKnightsHaveNoMoveAndPinnedSlidersStayOnTheLine) {
    const std::pair<const char*, const char*> knights[] = {
        {"4r2k/8/8/8/8/8/4N3/4K3 w - - 0 1", "e2"},
        {"7k/8/8/8/8/2b5/3N4/4K3 w - - 0 1", "d2"},
        {"7k/8/8/8/8/8/8/rN2K3 w - - 0 1", "b1"}};
    for (const auto& [fen, square] : knights)
        for (const std::string& move : LegalMoveTexts(BoardFromFen(fen)))
            EXPECT_NE(move.substr(0, 2), square) << fen;
    const Texts moves = LegalMoveTexts(BoardFromFen("4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1"));
    EXPECT_EQ(Texts(moves.begin(), moves.begin() + 6),
              (Texts{"e2e3", "e2e4", "e2e5", "e2e6", "e2e7", "e2e8"}));
    EXPECT_FALSE(Contains(moves, "e2d2"));
}

TEST(GenerateLegalMoves, DiagonallyPinnedPawnEnPassant) {
    // Onto the other diagonal: not produced.
    EXPECT_FALSE(
        Contains(LegalMoveTexts(BoardFromFen("5q1k/6b1/8/3pP3/8/8/1K6/8 w - d6 0 1")), "e5d6"));
    // Along the pin line, towards the pinner.
    EXPECT_EQ(LegalMoveTexts(BoardFromFen("1b5k/8/8/3pP3/8/6K1/8/8 w - d6 0 1")).front(), "e5d6");
    // Along the pin line, towards its own king: the pawn stays between king and pinner.
    Board board = BoardFromFen("7k/2K5/8/3pP3/8/6b1/8/8 w - d6 0 1");
    EXPECT_EQ(LegalMoveTexts(board).front(), "e5d6");
    EXPECT_EQ(Perft(board, 1), 9u);
}

TEST(GenerateLegalMoves, Castling) {
    // b1 attacked but empty: queen side still allowed.
    Texts moves = LegalMoveTexts(BoardFromFen("1r2k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"));
    EXPECT_EQ(Texts(moves.begin(), moves.begin() + 2), (Texts{"e1g1", "e1c1"}));
    // f1 attacked: no king side; d1 attacked: no queen side; in check: neither; blocked: neither.
    for (const char* fen :
         {"3rkr2/8/8/8/8/8/8/R3K2R w KQ - 0 1", "4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1",
          "4k3/8/8/8/8/8/8/RN2K1NR w KQ - 0 1"}) {
        moves = LegalMoveTexts(BoardFromFen(fen));
        EXPECT_FALSE(Contains(moves, "e1c1")) << fen;
        EXPECT_FALSE(Contains(moves, "e1g1")) << fen;
    }
    // Only the right that is held.
    moves = LegalMoveTexts(BoardFromFen("r3k2r/8/8/8/8/8/8/4K3 b q - 0 1"));
    EXPECT_FALSE(Contains(moves, "e8g8"));
    EXPECT_TRUE(Contains(moves, "e8c8"));
}

TEST(GenerateLegalMoves, EvasionsIncludeEnPassantOfTheCheckingPawn) {
    const Texts moves = LegalMoveTexts(BoardFromFen("8/8/8/4k3/2pP4/8/8/4K3 b - d3 0 1"));
    EXPECT_EQ(moves.front(), "c4d3");
    EXPECT_TRUE(Contains(moves, "e5d4"));
    for (const std::string& move : moves)
        EXPECT_TRUE(move == "c4d3" || move.substr(0, 2) == "e5") << move;
}

TEST(GenerateLegalMoves, InCheckOnlyAnswersToTheCheck) {
    // Rook check on the file: block with the knight or the bishop, or step aside.
    EXPECT_EQ(LegalMoveTexts(BoardFromFen("4r2k/8/8/8/8/5N2/2B5/4K3 w - - 0 1")),
              (Texts{"f3e5", "c2e4", "e1d1", "e1f1", "e1d2", "e1f2"}));
}

TEST(GenerateLegalMoves, MateAndStalemateGiveNoMoves) {
    EXPECT_TRUE(LegalMoveTexts(BoardFromFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1")).empty());
    EXPECT_TRUE(LegalMoveTexts(BoardFromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1")).empty());
}

TEST(GenerateLegalMoves, TwoCheckersOnOneLineCountAsDoubleCheck) {
    // Not reachable in a game, but a FEN can set it up: taking one rook leaves the other's check.
    const Texts moves = LegalMoveTexts(BoardFromFen("7k/8/8/r2K3r/8/6N1/8/8 w - - 0 1"));
    EXPECT_EQ(moves, (Texts{"d5c4", "d5d4", "d5e4", "d5c6", "d5d6", "d5e6"}));
}

TEST(GenerateLegalMoves, EnPassantNamedByFenNeedsAPawnAndASafeKing) {
    // The FEN names e6 but no black pawn stands on e5: taking it would conjure a pawn away.
    Board board = BoardFromFen("4k3/8/8/3P4/8/8/8/4K3 w - e6 0 1");
    EXPECT_FALSE(Contains(LegalMoveTexts(board), "d5e6"));
    // The named pawn shields the white king from the bishop on h8.
    board             = BoardFromFen("7b/8/8/3Pp3/8/2K5/8/k7 w - e6 0 1");
    const Texts moves = LegalMoveTexts(board);
    EXPECT_FALSE(Contains(moves, "d5e6"));
    EXPECT_TRUE(Contains(moves, "d5d6"));
}

TEST(GenerateQuietChecks, AppendsQuietChecksInGenerationOrder) {
    const std::pair<const char*, Texts> cases[] = {
        {"4k3/8/8/8/8/8/3P4/R3K2R w KQ - 0 1", {"a1a8", "h1h8"}},
        {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", {"e1g1", "h1f1", "h1h8"}},
        {"8/8/8/3k4/8/8/4P3/4K3 w - - 0 1", {"e2e4"}},
        {"2k5/4P3/8/8/8/8/8/4K3 w - - 0 1", {}}, // promotions are not quiet
    };
    for (const auto& [fen, expected] : cases) {
        Board board       = BoardFromFen(fen);
        const Board saved = board;
        MoveList list;
        list.count    = 1;
        list.moves[0] = NoMove;
        GenerateQuietChecks(board, list);
        EXPECT_TRUE(testing::SameBoard(board, saved));
        ASSERT_GE(list.count, 1u);
        EXPECT_EQ(list.moves[0], NoMove);
        Texts moves;
        for (std::uint32_t i = 1; i < list.count; ++i)
            moves.push_back(testing::MoveText(list.moves[i]));
        EXPECT_EQ(moves, expected) << fen;
    }
}

} // namespace
} // namespace tarvo
