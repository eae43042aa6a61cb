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
using test::Sq;

TEST(GenerateLegalMoves, ListsInGenerationOrder) {
    const struct {
        const char* fen;
        const char* moves;
    } cases[] = {
        {StartFen,
         "b1a3 b1c3 g1f3 g1h3 a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 "
         "e2e4 f2f4 g2g4 h2h4"},
        // Pinned bishop, castling king side then queen side, en passant, knight, rooks, pawn, king.
        {"4k3/8/8/b2pP3/6N1/8/3B4/R3K2R w KQ d6 0 1",
         "d2c3 d2b4 d2a5 e1g1 e1c1 e5d6 g4f2 g4h2 g4e3 g4f6 g4h6 a1b1 a1c1 a1d1 a1a2 a1a3 a1a4 "
         "a1a5 h1f1 h1g1 h1h2 h1h3 h1h4 h1h5 h1h6 h1h7 h1h8 e5e6 e1d1 e1f1 e1e2 e1f2"},
        // Black: captures towards file h, then towards file a, pushes with promotions, doubles.
        {"4k3/1p6/8/8/8/8/2p1p3/1R1NK3 b - - 0 1",
         "c2d1q c2d1n c2d1r c2d1b c2b1q c2b1n c2b1r c2b1b e2d1q e2d1n e2d1r e2d1b c2c1q c2c1n "
         "c2c1r c2c1b b7b6 b7b5 e8d7 e8e7 e8f7 e8d8 e8f8"},
        {"3qk3/8/8/1B6/8/8/8/4RK2 b - - 0 1", "e8f7 e8f8"},
        {"4r2k/8/8/8/8/5N2/2B5/4K3 w - - 0 1", "f3e5 c2e4 e1d1 e1f1 e1d2 e1f2"},
        {"4r2k/8/8/8/8/8/4K3/8 w - - 0 1", "e2d1 e2f1 e2d2 e2f2 e2d3 e2f3"},
        {test::CornerFens[0], "d5d6 e1d1 e1f1 e1d2 e1e2 e1f2"},
        {test::CornerFens[1], "e5d6 e5e6 e1d1 e1f1 e1d2 e1e2 e1f2"},
        {test::CornerFens[2], "d5d6 c3c2 c3d2 c3b3 c3d3 c3b4 c3c4"},
        {test::CornerFens[3], "d5c4 d5d4 d5e4 d5c6 d5d6 d5e6"},
        {test::CornerFens[4], "e4d3 e4f3 e4d4 e4f4 e4f5"},
        {test::CornerFens[5], "e1d1 e1f1 e1f2"},
        {test::CornerFens[6], "e8d7 e8e7 e8f7 e8d8 e8f8"},
        {test::CornerFens[7], "b2a1 b2b1 b2c1 b2a2 b2c2 b2b3 b2c3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test::Texts(test::LegalMoves(BoardFrom(c.fen))), c.moves) << c.fen;
}

TEST(GenerateLegalMoves, EncodesTheWorkedMoveWords) {
    const struct {
        const char* fen;
        const char* text;
        Move word;
    } cases[] = {
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 0x49AE4},
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 0x1061C4},
        {"r3k3/8/8/8/8/8/8/4K3 b q - 0 1", "e8c8", 0x106E3C},
        {"r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7a8n", 0x621E31},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test::FindMove(BoardFrom(c.fen), c.text), c.word) << c.text;
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
std::pair<std::vector<Move>, std::vector<Move>> Staged(const Board& board,
                                                       bool* inCheck = nullptr) {
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
    if (inCheck)
        *inCheck = checkers != 0;
    return {{first.moves.begin(), first.moves.begin() + first.count},
            {quiets.moves.begin(), quiets.moves.begin() + quiets.count}};
}

TEST(StagedGenerators, GiveExactlyTheLegalMovesInTheirClassesOverTheWalk) {
    long positions = 0, checks = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        if (::testing::Test::HasFailure())
            return;
        bool inCheck         = false;
        auto [first, quiets] = Staged(board, &inCheck);
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

TEST(StagedGenerators, AppendInStageOrder) {
    const struct {
        const char *fen, *first, *quiets; // first: captures, or evasions in check
    } cases[] = {
        {StartFen, "",
         "a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 e2e4 f2f4 g2g4 "
         "h2h4 b1a3 b1c3 g1f3 g1h3"},
        // King, pawns (towards file a, then h), promotions (capture, then push), en passant,
        // knights, bishops and queens on diagonals, rooks and queens on lines.
        {"1n5k/P2b4/8/3pP1p1/Q1P1P3/5N1B/7n/6KR w - d6 0 1",
         "g1h2 e4d5 c4d5 a7b8q a7b8n a7b8r a7b8b a7a8q a7a8n a7a8r a7a8b e5d6 f3h2 f3g5 h3d7 a4d7 "
         "h1h2",
         nullptr},
        {"4k3/8/8/8/3p4/2P1P3/8/4K3 b - - 0 1", "d4e3 d4c3", nullptr},
        {test::CornerFens[4], "e4d3 e4f3 e4d4 e4f4 e4f5", ""},
    };
    for (const auto& c : cases) {
        const auto [first, quiets] = Staged(BoardFrom(c.fen));
        EXPECT_EQ(test::Texts(first), c.first) << c.fen;
        if (c.quiets) {
            EXPECT_EQ(test::Texts(quiets), c.quiets) << c.fen;
        }
    }
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
