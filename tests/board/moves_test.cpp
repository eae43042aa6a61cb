#include "board/make_move.h"
#include "board/movegen.h"
#include "board/staged.h"
#include "board/tables.h"
#include "board/validate.h"
#include "support/boards.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tarvo {
namespace {

using test::BoardFrom;

// The corner positions the perft suites never reach, against hand-made lists.
TEST(GenerateLegalMoves, HandlesTheCornerPositions) {
    const char* expected[] = {
        "d5d6 e1d1 e1f1 e1d2 e1e2 e1f2",      "e5d6 e5e6 e1d1 e1f1 e1d2 e1e2 e1f2",
        "d5d6 c3c2 c3d2 c3b3 c3d3 c3b4 c3c4", "d5c4 d5d4 d5e4 d5c6 d5d6 d5e6",
        "e4d3 e4f3 e4d4 e4f4 e4f5",           "e1d1 e1f1 e1f2",
        "e8d7 e8e7 e8f7 e8d8 e8f8",           "b2a1 b2b1 b2c1 b2a2 b2c2 b2b3 b2c3",
    };
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(test::Texts(test::LegalMoves(BoardFrom(test::CornerFens[i]))), expected[i])
            << test::CornerFens[i];
}

// Fischer random castling (written king takes rook): king and rook end on g1 and f1 or c1 and
// d1 whatever their start, and the position reached is the one its FEN sets up, key included.
TEST(GenerateLegalMoves, CastlesFromAnyPlacement) {
    const struct {
        const char *fen, *castlings, *reached;
    } cases[] = {
        {test::Chess960CornerFens[0], "g1h1", "1r4kr/8/8/8/8/8/8/5RK1 b k - 1 1"},
        {test::Chess960CornerFens[1], "f1g1", "4k3/8/8/8/8/8/r7/5RK1 b - - 1 1"},
        {test::Chess960CornerFens[2], "e1f1", "rk6/8/8/8/8/8/8/5RK1 b q - 1 1"},
        {test::Chess960CornerFens[3], "", nullptr},
        {test::Chess960CornerFens[4], "c8b8", "2kr4/8/8/8/8/8/1P6/QK5R w K - 1 1"},
        {"6k1/8/8/8/8/8/8/1K5R w K - 0 1", "b1h1", "6k1/8/8/8/8/8/8/5RK1 b - - 1 1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1h1 e1a1", "r3k2r/8/8/8/8/8/8/R4RK1 b kq - 1 1"},
        // Only the king's squares must be safe; the rook may cross an attacked one.
        {"1r4k1/8/8/8/8/8/8/R3K3 w Q - 0 1", "e1a1", "1r4k1/8/8/8/8/8/8/2KR4 b - - 1 1"},
        {"4r1k1/8/8/8/8/8/8/1K5R w K - 0 1", "", nullptr}, // e1 on the king's path
        {"4k3/8/8/8/8/8/8/5BKR w K - 0 1", "", nullptr},   // the rook's destination is taken
        {"4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1", "", nullptr},  // so is a square on its path
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        Board board = BoardFrom(c.fen, true);
        std::vector<Move> castlings;
        for (const Move move : test::LegalMoves(board))
            if (move & CastlingFlag)
                castlings.push_back(move);
        EXPECT_EQ(test::Texts(castlings, true), c.castlings);
        if (castlings.empty())
            continue;
        UndoInfo undo;
        MakeMove(board, castlings[0], undo);
        EXPECT_EQ(WriteFen(board), c.reached);
        EXPECT_EQ(board.hashKey, BoardFrom(c.reached, true).hashKey);
    }
}

// In check: the evasions; otherwise the captures, then the quiet moves. Checkers are the enemy
// pieces that the king would attack as each kind of piece.
std::pair<std::vector<Move>, std::vector<Move>> Staged(const Board& board, bool& inCheck) {
    const int side = board.sideToMove, king = board.kingSquare[side];
    Bitboard straight = 0, diagonal = 0;
    test::ReferencePinLines(board, straight, diagonal);
    const Bitboard sliders  = board.pieces[Queen];
    const Bitboard checkers = board.colour[side ^ 1] &
                              ((PawnAttacks[side][king] & board.pieces[Pawn]) |
                               (KnightAttacks[king] & board.pieces[Knight]) |
                               (BishopAttacksFrom(board, king) & (board.pieces[Bishop] | sliders)) |
                               (RookAttacksFrom(board, king) & (board.pieces[Rook] | sliders)));
    MoveList first, quiets;
    if (checkers) {
        GenerateEvasions(board, first, straight, diagonal, checkers,
                         __builtin_popcountll(checkers));
    } else {
        GenerateCaptures(board, first, straight, diagonal);
        GenerateQuietMoves(board, quiets, straight, diagonal);
    }
    inCheck = checkers != 0;
    return {{first.moves.begin(), first.moves.begin() + first.count},
            {quiets.moves.begin(), quiets.moves.begin() + quiets.count}};
}

TEST(StagedGenerators, GiveExactlyTheLegalMovesInTheirClassesOverTheWalk) {
    long positions = 0, checks = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        if (::testing::Test::HasFailure())
            return;
        bool inCheck         = false;
        auto [first, quiets] = Staged(board, inCheck);
        ++positions;
        checks += inCheck;
        for (const Move move : first)
            if (!inCheck && IsQuiet(move))
                FAIL() << WriteFen(board) << " " << test::MoveText(move);
        for (const Move move : quiets)
            if (!IsQuiet(move))
                FAIL() << WriteFen(board) << " " << test::MoveText(move);
        first.insert(first.end(), quiets.begin(), quiets.end());
        // Equal sorted lists: each legal move comes out exactly once.
        if (test::Sorted(first) != test::Sorted(test::LegalMoves(board)))
            FAIL() << WriteFen(board);
    });
    EXPECT_GT(checks, positions / 100);
}

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
        list.moves[0] = NoMove;
        list.count    = 1; // appends after what the list holds
        const Board before = board;
        GenerateQuietChecks(board, list);
        ASSERT_TRUE(test::SameBoard(board, before));
        ASSERT_EQ(list.moves[0], NoMove);
        const std::vector<Move> found(list.moves.begin() + 1, list.moves.begin() + list.count);
        if (found != expected)
            FAIL() << WriteFen(board) << " gives " << test::Texts(found) << " not "
                   << test::Texts(expected);
        ++positions;
        checks += !expected.empty();
    });
    EXPECT_GT(checks, positions / 20);
}

// Every legal move is accepted; words of other positions (either side to move) and the
// reserved words exactly when legal.
TEST(IsStoredMoveLegal, AnswersExactlyWhetherAWordIsLegalOverTheWalk) {
    std::array<std::array<Move, 40>, 2> pools{}; // recent words, per side to move
    long tested = 0, accepted = 0, added = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        if (::testing::Test::HasFailure() ||
            IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]))
            return;
        Bitboard straight = 0, diagonal = 0;
        test::ReferencePinLines(board, straight, diagonal);
        const std::vector<Move> legal = test::Sorted(test::LegalMoves(board));
        std::vector<Move> words       = legal;
        words.insert(words.end(), {NullMove, NoMove});
        for (const auto& pool : pools)
            words.insert(words.end(), pool.begin(), pool.end());
        for (std::size_t i = 0; i < words.size(); ++i) {
            const bool isLegal = std::binary_search(legal.begin(), legal.end(), words[i]);
            if (IsStoredMoveLegal(board, words[i], straight, diagonal) != isLegal)
                FAIL() << WriteFen(board) << " word " << std::hex << words[i];
            tested += i >= legal.size();
            accepted += i >= legal.size() && isLegal;
        }
        for (std::size_t i = board.historyCount % 7; i < legal.size(); i += 7)
            pools[board.sideToMove][added++ % 40] = legal[i];
    });
    EXPECT_GT(accepted, tested / 50);
    EXPECT_LT(accepted, tested / 2);
}

} // namespace
} // namespace tarvo
