// Move pickers, pin lines, killers and history: each legal move comes out once, in the
// order of their stages, whatever the stored moves hold.

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "board/see.h"
#include "board/tables.h"
#include "search/draw.h"
#include "search/history.h"
#include "search/picker.h"
#include "support/suite_walk.h"

namespace tarvo {
namespace {

using test::BoardFrom;

constexpr int Sq(const char* name) {
    return (name[0] - 'a') + 8 * (name[1] - '1');
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

// The search state is large; tests share one and reset what they use.
SearchState& State() {
    static SearchState state;
    return state;
}

void ResetState() {
    SearchState& state = State();
    state.plies.fill(PlyRecord{});
    ClearHistory(state);
}

void Prepare(MovePicker& picker, const Board& board, int ply, std::uint64_t stagesOutOfCheck) {
    int checkerCount = 0;
    picker           = MovePicker{};
    picker.checkers  = FindCheckers(board, checkerCount);
    ComputePinLines(board, picker.checkers, picker.straightPins, picker.diagonalPins);
    InitPicker(State(), picker, ply, checkerCount);
    picker.stages = checkerCount ? 1u << StageEvasions : stagesOutOfCheck;
}

constexpr std::uint64_t MainStages = 0x3e; // stages 1 to 5

std::vector<Move> RunMain(const Board& board, int ply = 4) {
    MovePicker picker;
    Prepare(picker, board, ply, MainStages);
    std::vector<Move> moves;
    for (Move move = NextMove(picker, board, State().historyScore); move != NoMove;
         move      = NextMove(picker, board, State().historyScore))
        moves.push_back(move);
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
    for (Move move = NextQuiescenceMove(picker, board, State().historyScore); move != NoMove;
         move      = NextQuiescenceMove(picker, board, State().historyScore))
        moves.push_back(move);
    return moves;
}

std::vector<std::string> Texts(const std::vector<Move>& moves) {
    std::vector<std::string> texts;
    for (const Move move : moves)
        texts.push_back(Text(move));
    return texts;
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
                FAIL() << test::WriteFenOf(board);
        }

        // Quiescence: a subset, each once; in check every evasion; never a quiet non-check.
        const std::vector<Move> quiet = Sorted(RunQuiescence(board, true));
        const bool inCheck =
            IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]);
        if (inCheck) {
            if (quiet != sorted)
                FAIL() << test::WriteFenOf(board);
        } else {
            if (std::adjacent_find(quiet.begin(), quiet.end()) != quiet.end())
                FAIL() << test::WriteFenOf(board);
            for (const Move move : quiet)
                if (!std::binary_search(sorted.begin(), sorted.end(), move) ||
                    (IsQuiet(move) && !GivesCheck(board, move)))
                    FAIL() << test::WriteFenOf(board) << " " << Text(move);
            // A capture of an equal or better piece is never dropped.
            for (const Move move : legal)
                if (!IsQuiet(move) && MovePiece(move) <= MoveCaptured(move) &&
                    !std::binary_search(quiet.begin(), quiet.end(), move))
                    FAIL() << test::WriteFenOf(board) << " drops " << Text(move);
        }

        for (std::size_t i = nodes % 5; i < legal.size(); i += 5) {
            foreign[foreignCount < 64 ? foreignCount++ : nodes % 64] = legal[i];
        }
        ++nodes;
    });
    EXPECT_GT(nodes, 500);
}

TEST(MovePicker, CapturingHashMoveComesFirstAndOnlyOnce) {
    ResetState();
    const Board board             = BoardFrom("4k3/8/4p3/p2n4/1P6/8/8/3QK3 w - - 0 1");
    const Move hash               = MakeMoveWord(Sq("d1"), Sq("d5"), Queen, Knight);
    State().plies[4].hashMove     = hash;
    const std::vector<Move> moves = RunMain(board);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves[0], hash);
    EXPECT_EQ(std::count(moves.begin(), moves.end(), hash), 1);
}

TEST(MovePicker, LosingCaptureComesAfterTheOtherCapturesOrNotAtAll) {
    // Qxd5 scores above bxa5 by victim and attacker, but the pawn on e6 guards the knight.
    ResetState();
    Board board     = BoardFrom("4k3/8/4p3/p2n4/1P6/8/8/3QK3 w - - 0 1");
    const auto main = Texts(RunMain(board));
    ASSERT_GE(main.size(), 3u);
    EXPECT_EQ(main[0], "b4a5");
    EXPECT_EQ(main[1], "d1d5");
    EXPECT_EQ(Texts(RunQuiescence(board, false)), std::vector<std::string>{"b4a5"});
}

TEST(MovePicker, EqualScoresGoToPositionZeroElseToTheHighestPosition) {
    // Start position, quiet moves generated as a2a3, b2b3, c2c3, d2d3, ...
    ResetState();
    const Board board = BoardFrom(StartFen);
    auto& history     = State().historyScore;
    const auto index  = [](const char* from, const char* to) {
        return HistoryIndex(MakeMoveWord(Sq(from), Sq(to), Pawn), White);
    };
    history[index("a2", "a3")] = 50;
    history[index("d2", "d3")] = 50;
    auto moves                 = Texts(RunMain(board));
    EXPECT_EQ(moves[0], "a2a3");
    EXPECT_EQ(moves[1], "d2d3");

    ClearHistory(State());
    history[index("c2", "c3")] = 50;
    history[index("d2", "d3")] = 50;
    moves                      = Texts(RunMain(board));
    EXPECT_EQ(moves[0], "d2d3");
    EXPECT_EQ(moves[1], "c2c3");

    // All equal: position 0, then whatever the last move moved into position 0.
    ClearHistory(State());
    moves = Texts(RunMain(board));
    EXPECT_EQ((std::vector<std::string>(moves.begin(), moves.begin() + 3)),
              (std::vector<std::string>{"a2a3", "g1h3", "g1f3"}));
}

TEST(MovePicker, KillersComeOutAsK1K4K3K2BeforeTheQuietMoves) {
    ResetState();
    const Board board        = BoardFrom(StartFen);
    const Move k1            = MakeMoveWord(Sq("a2"), Sq("a3"), Pawn);
    const Move k2            = MakeMoveWord(Sq("b2"), Sq("b3"), Pawn);
    const Move k3            = MakeMoveWord(Sq("g1"), Sq("f3"), Knight);
    const Move k4            = MakeMoveWord(Sq("b1"), Sq("c3"), Knight);
    State().plies[4].killer1 = k1;
    State().plies[4].killer2 = k2;
    State().plies[2].killer1 = k3;
    State().plies[2].killer2 = k4;
    const auto moves         = RunMain(board, 4);
    ASSERT_EQ(moves.size(), 20u);
    EXPECT_EQ((std::vector<Move>(moves.begin(), moves.begin() + 4)),
              (std::vector<Move>{k1, k4, k3, k2}));

    // At ply 3 only the node's own killers are used.
    State().plies[3] = State().plies[4];
    State().plies[1] = State().plies[2];
    const auto ply3  = RunMain(board, 3);
    EXPECT_EQ((std::vector<Move>(ply3.begin(), ply3.begin() + 2)), (std::vector<Move>{k1, k2}));
}

TEST(MovePicker, KillerHeldTwiceIsPlayedOnce) {
    ResetState();
    const Board board        = BoardFrom(StartFen);
    const Move k1            = MakeMoveWord(Sq("a2"), Sq("a3"), Pawn);
    State().plies[4].killer1 = k1;
    State().plies[2].killer2 = k1;
    const auto moves         = RunMain(board, 4);
    EXPECT_EQ(moves.size(), 20u);
    EXPECT_EQ(moves[0], k1);
    EXPECT_EQ(std::count(moves.begin(), moves.end(), k1), 1);
}

TEST(MovePicker, EvasionsComeHashFirstThenGoodCapturesQuietsAndLosingCaptures) {
    // The knight on d3 checks; cxd3 wins it, Qxd3 loses the queen to exd3.
    ResetState();
    const Board board         = BoardFrom("4k3/8/8/8/4p3/3n4/2P5/3QK3 w - - 0 1");
    State().plies[4].hashMove = MakeMoveWord(Sq("e1"), Sq("f1"), King);
    State().historyScore[HistoryIndex(MakeMoveWord(Sq("e1"), Sq("e2"), King), White)] = 100;
    EXPECT_EQ(Texts(RunMain(board)),
              (std::vector<std::string>{"e1f1", "c2d3", "e1e2", "e1d2", "d1d3"}));
}

TEST(MovePicker, QuiescencePickerDropsQuietChecksThatLoseThePiece) {
    // Nf6+ is met by gxf6; Nc7+ is safe.
    ResetState();
    Board board = BoardFrom("4k3/6p1/8/3N4/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(Texts(RunQuiescence(board, true)), std::vector<std::string>{"d5c7"});
}

TEST(MovePicker, EvasionCountIsSetWhenTheEvasionStageStarts) {
    ResetState();
    const Board board = BoardFrom("4k3/8/8/8/4p3/3n4/2P5/3QK3 w - - 0 1");
    MovePicker picker;
    Prepare(picker, board, 4, MainStages);
    EXPECT_EQ(picker.evasionCount, -1);
    NextMove(picker, board, State().historyScore);
    EXPECT_EQ(picker.evasionCount, 5);
}

TEST(ComputePinLines, MatchesPinsFoundRayByRayAcrossTheSuite) {
    long pinned = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        int checkerCount        = 0;
        const Bitboard checkers = FindCheckers(board, checkerCount);
        Bitboard straight = 0, diagonal = 0, straightRef = 0, diagonalRef = 0;
        ComputePinLines(board, checkers, straight, diagonal);
        test::ReferencePinLines(board, straightRef, diagonalRef);
        if (straight != straightRef || diagonal != diagonalRef)
            FAIL() << test::WriteFenOf(board);
        pinned += (straight | diagonal) != 0;
    });
    EXPECT_GT(pinned, 1000);
}

TEST(History, CutoffAddsTheTruncatedSquareOfTheDepth) {
    ResetState();
    SearchState& state = State();
    const Move quiet   = MakeMoveWord(Sq("g1"), Sq("f3"), Knight);
    const int index    = HistoryIndex(quiet, White);
    RecordCutoffMove(state, quiet, White, 3.0f);
    EXPECT_EQ(state.historyScore[index], 9);
    RecordCutoffMove(state, quiet, White, 2.5f);
    EXPECT_EQ(state.historyScore[index], 15);
    EXPECT_EQ(state.cutoffCount[index], 2);
    // Captures leave the tables alone.
    const Move capture = MakeMoveWord(Sq("g1"), Sq("f3"), Knight, Pawn);
    RecordCutoffMove(state, capture, White, 3.0f);
    EXPECT_EQ(state.historyScore[index], 15);
    EXPECT_EQ(state.cutoffCount[index], 2);
}

TEST(History, ScoreTableIsHalvedWhenAnEntryReaches32000) {
    ResetState();
    SearchState& state        = State();
    const Move quiet          = MakeMoveWord(Sq("g1"), Sq("f3"), Knight);
    const int index           = HistoryIndex(quiet, White);
    state.historyScore[index] = 31990;
    state.historyScore[5]     = 7;
    state.historyScore[6]     = -7;
    state.cutoffCount[5]      = 7;
    RecordCutoffMove(state, quiet, White, 3.0f); // 31999: no halving yet
    EXPECT_EQ(state.historyScore[index], 31999);
    RecordCutoffMove(state, quiet, White, 1.0f); // 32000
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
}

TEST(History, EverySideAndPieceHasItsOwnSlot) {
    std::vector<int> indexes;
    for (int side = White; side <= Black; ++side)
        for (int piece = Pawn; piece <= King; ++piece)
            indexes.push_back(HistoryIndex(MakeMoveWord(63, 63, piece), side));
    std::sort(indexes.begin(), indexes.end());
    EXPECT_EQ(std::unique(indexes.begin(), indexes.end()), indexes.end());
    EXPECT_LT(indexes.back(), HistorySize);
}

TEST(UpdateKillers, QuietMoveShiftsTheKillersAndMateScoresSetTheMateKiller) {
    PlyRecord record;
    const Move a       = MakeMoveWord(Sq("a2"), Sq("a3"), Pawn);
    const Move b       = MakeMoveWord(Sq("b2"), Sq("b3"), Pawn);
    const Move capture = MakeMoveWord(Sq("e4"), Sq("d5"), Pawn, Pawn);
    UpdateKillers(record, a, 10);
    UpdateKillers(record, b, 10);
    EXPECT_EQ(record.killer1, b);
    EXPECT_EQ(record.killer2, a);
    UpdateKillers(record, b, 10);
    EXPECT_EQ(record.killer2, a);
    UpdateKillers(record, capture, MateThreshold - 1);
    EXPECT_EQ(record.killer1, b);
    EXPECT_EQ(record.mateKiller, NoMove);
    UpdateKillers(record, capture, -MateThreshold);
    EXPECT_EQ(record.mateKiller, capture);
    EXPECT_EQ(record.killer1, b);
}

} // namespace
} // namespace tarvo
