// Move pickers, pin lines, checkers, draw rules, killers and history.

#include "board/tables.h"
#include "search/draw.h"
#include "search/history.h"
#include "search/picker.h"
#include "support/boards.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace tarvo {
namespace {

using test::BoardFrom;
using test::Sq;

// The search state is large; tests share one and reset what they use.
SearchState& State() {
    static SearchState state;
    return state;
}

void ResetState() {
    State().plies.fill(PlyRecord{});
    ClearHistory(State());
}

constexpr std::uint64_t MainStages = 0x3e; // stages 1 to 5

std::vector<Move> RunMain(const Board& board, int ply = 4) {
    MovePicker picker;
    int checkerCount = 0;
    picker.checkers  = FindCheckers(board, checkerCount);
    ComputePinLines(board, picker.checkers, picker.straightPins, picker.diagonalPins);
    InitPicker(State(), picker, ply, checkerCount);
    picker.stages = checkerCount ? 1u << StageEvasions : MainStages;
    std::vector<Move> moves;
    for (Move move; (move = NextMove(picker, board, State().historyScore)) != NoMove;)
        moves.push_back(move);
    if (checkerCount && picker.evasionCount != static_cast<int>(moves.size()))
        ADD_FAILURE() << "evasion count " << picker.evasionCount << " in " << WriteFen(board);
    return moves;
}

std::vector<Move> RunQuiescence(Board& board, bool withChecks) {
    MovePicker picker;
    int checkerCount = 0;
    picker.checkers  = FindCheckers(board, checkerCount);
    ComputePinLines(board, picker.checkers, picker.straightPins, picker.diagonalPins);
    InitQuiescencePicker(picker, checkerCount);
    picker.stages = checkerCount
                        ? 1u << StageEvasions
                        : (1u << StageCaptures) | (withChecks ? 1u << StageQuietChecks : 0);
    std::vector<Move> moves;
    for (Move move; (move = NextQuiescenceMove(picker, board, State().historyScore)) != NoMove;)
        moves.push_back(move);
    return moves;
}

std::vector<Move> Sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

bool GivesCheck(Board& board, Move move) {
    UndoInfo undo;
    MakeMove(board, move, undo);
    const bool check =
        IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]);
    UnmakeMove(board, move, undo);
    return check;
}

TEST(MovePicker, HandsOutEveryLegalMoveOnceWhateverTheStoredMovesHold) {
    ResetState();
    std::array<Move, 64> foreign{}; // words of recently walked positions, mostly illegal here
    int foreignCount = 0;
    long nodes       = 0;
    test::WalkSuite(test::WalkPlies - 1, [&](Board& board) {
        if (::testing::Test::HasFailure())
            return;
        const std::vector<Move> legal  = test::LegalMoves(board);
        const std::vector<Move> sorted = Sorted(legal);
        const auto word = [&](int i) { return foreignCount ? foreign[i % foreignCount] : NoMove; };
        const auto pick = [&](int i) {
            return legal.empty() ? NoMove : legal[(i * 7 + nodes) % legal.size()];
        };
        // Stored moves: legal ones, repeated ones, words of other positions, 0 and 1.
        const std::array<std::array<Move, 6>, 3> setups = {{
            {pick(0), pick(1), pick(2), pick(3), pick(4), pick(2)},
            {pick(0), pick(0), pick(5), word(1), word(2), pick(5)},
            {word(3), word(4), word(5), NullMove, word(6), NoMove},
        }};
        for (const auto& stored : setups) {
            PlyRecord& record        = State().plies[4];
            record.hashMove          = stored[0];
            record.mateKiller        = stored[1];
            record.killer1           = stored[2];
            record.killer2           = stored[3];
            State().plies[2].killer1 = stored[4];
            State().plies[2].killer2 = stored[5];
            if (Sorted(RunMain(board)) != sorted)
                FAIL() << WriteFen(board);
        }
        // Quiescence: in check every evasion; else a subset, each once, with no quiet non-check
        // and every capture of an equal or better piece.
        const std::vector<Move> quiet = Sorted(RunQuiescence(board, true));
        if (IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove])) {
            if (quiet != sorted)
                FAIL() << WriteFen(board);
        } else {
            if (std::adjacent_find(quiet.begin(), quiet.end()) != quiet.end())
                FAIL() << WriteFen(board);
            for (const Move move : quiet)
                if (!std::binary_search(sorted.begin(), sorted.end(), move) ||
                    (IsQuiet(move) && !GivesCheck(board, move)))
                    FAIL() << WriteFen(board) << " " << test::MoveText(move);
            for (const Move move : legal)
                if (!IsQuiet(move) && MovePiece(move) <= MoveCaptured(move) &&
                    !std::binary_search(quiet.begin(), quiet.end(), move))
                    FAIL() << WriteFen(board) << " drops " << test::MoveText(move);
        }
        for (std::size_t i = nodes % 5; i < legal.size(); i += 5)
            foreign[foreignCount < 64 ? foreignCount++ : nodes % 64] = legal[i];
        ++nodes;
    });
    EXPECT_GT(nodes, 500);
}

TEST(MovePicker, OrderOfStages) {
    const Move k1 = MakeMoveWord(Sq("a2"), Sq("a3"), Pawn),
               k2 = MakeMoveWord(Sq("b2"), Sq("b3"), Pawn);
    const Move k3 = MakeMoveWord(Sq("g1"), Sq("f3"), Knight),
               k4 = MakeMoveWord(Sq("b1"), Sq("c3"), Knight);
    // Qxd5 scores above bxa5 by victim and attacker, but the pawn on e6 guards the knight.
    ResetState();
    Board board = BoardFrom("4k3/8/4p3/p2n4/1P6/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(test::Texts(RunMain(board)).substr(0, 9), "b4a5 d1d5");
    EXPECT_EQ(test::Texts(RunQuiescence(board, false)), "b4a5");
    // A capturing hash move comes first.
    State().plies[4].hashMove = MakeMoveWord(Sq("d1"), Sq("d5"), Queen, Knight);
    EXPECT_EQ(test::Texts(RunMain(board)).substr(0, 9), "d1d5 b4a5");
    // Nf6+ is met by gxf6; Nc7+ is safe.
    board = BoardFrom("4k3/6p1/8/3N4/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(test::Texts(RunQuiescence(board, true)), "d5c7");
    // In check: hash move, good captures, quiet moves by history, losing captures.
    ResetState();
    board                     = BoardFrom("4k3/8/8/8/4p3/3n4/2P5/3QK3 w - - 0 1");
    State().plies[4].hashMove = MakeMoveWord(Sq("e1"), Sq("f1"), King);
    State().historyScore[HistoryIndex(MakeMoveWord(Sq("e1"), Sq("e2"), King), White)] = 100;
    EXPECT_EQ(test::Texts(RunMain(board)), "e1f1 c2d3 e1e2 e1d2 d1d3");
    // Killers: k1, k4, k3, k2 at ply 4; at ply 3 only the node's own.
    ResetState();
    board                    = BoardFrom(StartFen);
    State().plies[4].killer1 = State().plies[3].killer1 = k1;
    State().plies[4].killer2 = State().plies[3].killer2 = k2;
    State().plies[2].killer1 = State().plies[1].killer1 = k3;
    State().plies[2].killer2 = State().plies[1].killer2 = k4;
    EXPECT_EQ(test::Texts(RunMain(board, 4)).substr(0, 19), "a2a3 b1c3 g1f3 b2b3");
    EXPECT_EQ(test::Texts(RunMain(board, 3)).substr(0, 9), "a2a3 b2b3");
}

// Equal scores: the first in the list goes first; else the highest position, and the last move
// handed out is moved into position 0.
TEST(MovePicker, TieBreaksOfTheQuietStage) {
    const Board board = BoardFrom(StartFen);
    const struct {
        const char *first, *second, *order;
    } cases[] = {
        {"a2a3", "d2d3", "a2a3 d2d3"}, {"c2c3", "d2d3", "d2d3 c2c3"}, {"", "", "a2a3 g1h3 g1f3"}};
    for (const auto& c : cases) {
        ResetState();
        for (const char* text : {c.first, c.second})
            if (*text)
                State().historyScore[HistoryIndex(test::FindMove(board, text), White)] = 50;
        const std::string order = c.order;
        EXPECT_EQ(test::Texts(RunMain(board)).substr(0, order.size()), order);
    }
}

TEST(ComputePinLines, MatchesPinsFoundRayByRayOverTheWalk) {
    long pinned = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        int checkerCount        = 0;
        const Bitboard checkers = FindCheckers(board, checkerCount);
        Bitboard straight = 0, diagonal = 0, straightRef = 0, diagonalRef = 0;
        ComputePinLines(board, checkers, straight, diagonal);
        test::ReferencePinLines(board, straightRef, diagonalRef);
        if (straight != straightRef || diagonal != diagonalRef)
            ADD_FAILURE() << WriteFen(board);
        pinned += (straight | diagonal) != 0;
    });
    EXPECT_GT(pinned, 1000);
}

TEST(FindCheckers, AgreesWithTheAttackTestOverTheWalk) {
    long checks = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        int count               = 0;
        const Bitboard checkers = FindCheckers(board, count);
        const int side          = board.sideToMove;
        bool right = IsSquareAttacked(board, side ^ 1, board.kingSquare[side]) == (count > 0) &&
                     count == __builtin_popcountll(checkers) &&
                     !(checkers & ~board.colour[side ^ 1]);
        // With a lone checker taken off, the king is safe.
        if (count == 1) {
            Board without    = board;
            const int square = BitScan(checkers);
            without.colour[side ^ 1] &= ~checkers;
            without.pieces[without.squares[square]] &= ~checkers;
            right = right && !IsSquareAttacked(without, side ^ 1, without.kingSquare[side]);
        }
        if (!right)
            ADD_FAILURE() << WriteFen(board);
        checks += count > 0;
    });
    EXPECT_GT(checks, 1000);
    int count = 0;
    EXPECT_EQ(FindCheckers(BoardFrom("4k3/8/8/1B5Q/8/8/8/4K3 b - - 0 1"), count),
              SquareBit[Sq("b5")] | SquareBit[Sq("h5")]);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(FindCheckers(BoardFrom(test::CornerFens[6]), count),
              SquareBit[Sq("c7")] | SquareBit[Sq("g7")]);
    EXPECT_EQ(count, 2);
}

TEST(IsDrawByRule, ClockAndRepetition) {
    const char* rook = "4k3/8/8/8/8/8/8/R3K3 w - - 0 1";
    const char* out  = "a1a2 e8d8 a2a1";
    const char* back = "a1a2 e8d8 a2a1 d8e8";
    const struct {
        const char* fen;
        int clock;
        const char* moves;
        int clockAfter; // -1: as play left it
        bool draw;
    } cases[] = {
        {rook, 101, "", -1, true},
        {"4k3/8/8/8/8/8/8/r3K3 w - - 0 1", 100, "", -1, false}, // checkmate may still come
        {"4k3/8/8/8/8/8/r7/4K3 w - - 0 1", 100, "", -1, true},
        {"4k3/8/8/8/8/8/r7/4K3 w - - 0 1", 99, "", -1, false},
        {rook, 0, out, -1, false},
        {rook, 0, back, -1, true},
        {rook, 0, back, 3, false}, // no further back than the clock
        {rook, 60, "", -1, false}, // a clock ahead of the recorded keys reads only those
        {rook, 60, back, -1, true},
    };
    for (const auto& c : cases) {
        Board board         = BoardFrom(c.fen);
        board.halfmoveClock = static_cast<std::uint8_t>(c.clock);
        std::istringstream moves(c.moves);
        for (std::string text; moves >> text;) {
            UndoInfo undo;
            MakeMove(board, test::FindMove(board, text), undo);
        }
        if (c.clockAfter >= 0)
            board.halfmoveClock = static_cast<std::uint8_t>(c.clockAfter);
        EXPECT_EQ(IsDrawByRule(board), c.draw) << c.fen << " clock " << c.clock << " " << c.moves;
    }
}

TEST(History, CutoffsAddTheTruncatedSquareOfTheDepthAndHalveAt32000) {
    ResetState();
    SearchState& state = State();
    const Move quiet   = MakeMoveWord(Sq("g1"), Sq("f3"), Knight);
    const int index    = HistoryIndex(quiet, White);
    RecordCutoffMove(state, quiet, White, 3.0f);
    EXPECT_EQ(state.historyScore[index], 9);
    RecordCutoffMove(state, quiet, White, 2.5f);
    EXPECT_EQ(state.historyScore[index], 15);
    EXPECT_EQ(state.cutoffCount[index], 2);
    RecordCutoffMove(state, MakeMoveWord(Sq("g1"), Sq("f3"), Knight, Pawn), White, 3.0f);
    EXPECT_EQ(state.historyScore[index], 15); // captures leave the tables alone

    state.historyScore[index] = 31990;
    state.historyScore[5]     = 7;
    state.historyScore[6]     = -7;
    state.cutoffCount[5]      = 7;
    RecordCutoffMove(state, quiet, White, 3.0f);
    EXPECT_EQ(state.historyScore[index], 31999);
    RecordCutoffMove(state, quiet, White, 1.0f);
    EXPECT_EQ(state.historyScore[index], 16000);
    EXPECT_EQ(state.historyScore[5], 3);
    EXPECT_EQ(state.historyScore[6], -3);
    EXPECT_EQ(state.cutoffCount[5], 7);
}

TEST(History, FailCountHalvesBothCountsOfItsMove) {
    ResetState();
    SearchState& state       = State();
    const Move move          = MakeMoveWord(Sq("e2"), Sq("e4"), Pawn, NoPiece, DoubleStepFlag);
    const int index          = HistoryIndex(move, White);
    state.failCount[index]   = 31998;
    state.cutoffCount[index] = 101;
    state.failCount[0]       = 9;
    RecordFailedMove(state, move, White);
    EXPECT_EQ(state.failCount[index], 31999);
    RecordFailedMove(state, move, White);
    EXPECT_EQ(state.failCount[index], 16000);
    EXPECT_EQ(state.cutoffCount[index], 50);
    EXPECT_EQ(state.failCount[0], 9);
    std::vector<int> slots; // every side and piece has its own
    for (int side = White; side <= Black; ++side)
        for (int piece = Pawn; piece <= King; ++piece)
            slots.push_back(HistoryIndex(MakeMoveWord(63, 63, piece), side));
    std::sort(slots.begin(), slots.end());
    EXPECT_EQ(std::unique(slots.begin(), slots.end()), slots.end());
    EXPECT_LT(slots.back(), HistorySize);
}

TEST(UpdateKillers, QuietMovesShiftTheKillersAndMateScoresSetTheMateKiller) {
    PlyRecord record;
    const Move a       = MakeMoveWord(Sq("a2"), Sq("a3"), Pawn),
               b       = MakeMoveWord(Sq("b2"), Sq("b3"), Pawn);
    const Move capture = MakeMoveWord(Sq("e4"), Sq("d5"), Pawn, Pawn);
    UpdateKillers(record, a, 10);
    UpdateKillers(record, b, 10);
    UpdateKillers(record, b, 10);
    EXPECT_EQ(record.killer1, b);
    EXPECT_EQ(record.killer2, a);
    UpdateKillers(record, capture, MateThreshold - 1);
    EXPECT_EQ(record.mateKiller, NoMove);
    UpdateKillers(record, capture, -MateThreshold);
    EXPECT_EQ(record.mateKiller, capture);
    EXPECT_EQ(record.killer1, b);
}

} // namespace
} // namespace tarvo
