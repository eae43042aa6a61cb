// The shell's commands in-process: position and its notation, setoption, go's text, MultiPV
// lines, eval, bench and the dispatch of lines.

#include "board/fen.h"
#include "search/root.h"
#include "support/boards.h"
#include "uci/bench.h"
#include "uci/eval_command.h"
#include "uci/go.h"
#include "uci/loop.h"
#include "uci/memory.h"
#include "uci/notation.h"
#include "uci/options.h"
#include "uci/output.h"
#include "uci/perft_command.h"
#include "uci/position.h"
#include "uci/wdl.h"

#include <algorithm>
#include <array>
#include <climits>
#include <gtest/gtest.h>
#include <numeric>

namespace tarvo {
namespace {

using test::BoardFrom;
using test::Output;

// Refusals are one info string line. With UCI_Chess960 castling is the king taking its own rook
// (in divide lines too); standard chess refuses that form, Fischer random the two-square step.
TEST(Position, SetsBoardsAndRefusesWithOneLine) {
    const std::string promotion = "fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8";
    const std::string kings     = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
    const std::string castles   = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    const std::string clock =
        "info string invalid fen: half-move clock is not a number from 0 to 255\n";
    const std::string number =
        "info string invalid fen: move number is not a number from 1 to 9999\n";
    const std::string neither = "info string invalid position: neither startpos nor fen\n";
    const std::string illegal = "info string illegal move ";
    const struct {
        std::string text, output;
        std::string fen; // the board afterwards
        bool chess960 = false;
    } cases[] = {
        {"startpos moves   e2e4 \t e7e5  \n", "",
         "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2"},
        // The FEN's counters go on from where it left them.
        {"fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 7 30 moves a2a4 "
         "b4a3 e1d1\n",
         "", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/4P3/p1N2Q1p/1PPBBPPP/R2K3R b kq - 1 31"},
        {"fen 4k3/8/8/8/8/8/8/4K3 b - - 12\n", "", "4k3/8/8/8/8/8/8/4K3 b - - 12 1"},
        {"fen 4k3/8/8/8/8/8/8/4K3 b - - 12 0\n", "", "4k3/8/8/8/8/8/8/4K3 b - - 12 1"},
        {"fen 4k3/8/8/8/8/8/8/4K3 b - - 256 1\n", clock, kings},
        {"fen 4k3/8/8/8/8/8/8/4K3 b - - -1 1\n", clock, kings},
        {"fen 4k3/8/8/8/8/8/8/4K3 b - - 1 x\n", number, kings},
        {"fen 4k3/8/8/8/8/8/8/4K3 b - - 1 10000\n", number, kings},
        {promotion + "\n", illegal + "a7a8\n", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1"},
        {promotion + "N\n", illegal + "a7a8N\n", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1"},
        {promotion + "n\n", "", "N3k3/8/8/8/8/8/8/4K3 b - - 0 1"},
        {"startpos moves \x01\x7f\xff\x1b[2J\n", illegal + "????[2J\n", StartFen},
        {"startpos moves " + std::string(1000, 'e') + "\n", illegal + std::string(32, 'e') + "\n",
         StartFen},
        {"moves e2e4\n", neither, kings},
        {"\n", neither, kings},
        {"fen " + castles + " moves e1h1 e8a8\n", "", "2kr3r/8/8/8/8/8/8/R4RK1 w - - 2 2", true},
        {"fen " + castles + " moves e1g1\n", illegal + "e1g1\n", castles, true},
        {"fen " + castles + " moves e1h1\n", illegal + "e1h1\n", castles},
        {"fen 1r4kr/8/8/8/8/8/8/Q4RK1 w Fk - 0 1 moves g1f1 g8h8\n", "",
         "1r3rk1/8/8/8/8/8/8/Q1KR4 w - - 2 2", true},
        {"fen 4k3/8/8/8/8/8/8/5KR1 w G - 0 1 moves f1g1\n", "", "4k3/8/8/8/8/8/8/5RK1 b - - 1 1",
         true},
    };
    OptionTable standard, chess960;
    Output([&] { printOptions(chess960); });
    setOption(chess960, "UCI_Chess960", "true");
    const auto run = [&](const std::string& text, const std::string& output, const std::string& fen,
                         bool random) {
        Board board = BoardFrom(kings.c_str());
        EXPECT_EQ(
            Output([&] { handlePosition(random ? chess960 : standard, text.c_str(), board); }),
            output)
            << text;
        EXPECT_EQ(WriteFen(board), fen) << text;
    };
    for (const auto& c : cases)
        run(c.text, c.output, c.fen, c.chess960);
    for (const std::string token : {"e2e4x1", "e2e4q", "e1g1", "e7e5", "0000", "e2", "z9z9"})
        run("startpos moves " + token + " d2d4\n", illegal + token + "\n", StartFen, false);
    Board board = BoardFrom("1r4kr/8/8/8/8/8/8/Q4RK1 w Fk - 0 1", true);
    EXPECT_NE(Output([&] { handlePerft("1", board, true); }).find("g1f1: 1\n"), std::string::npos);
    EXPECT_NE(Output([&] { handlePerft("1", board, false); }).find("g1c1: 1\n"), std::string::npos);
}

// 3000 plies of knights going out and back: the key history never overflows, and the recent
// positions, the start position every four plies, are still found.
TEST(Position, LongGamesKeepTheirRecentHistory) {
    OptionTable table;
    Board board{};
    std::string text = "startpos moves";
    for (int round = 0; round < 750; ++round)
        text += " g1f3 g8f6 f3g1 f6g8";
    EXPECT_EQ(Output([&] { handlePosition(table, (text + "\n").c_str(), board); }), "");
    EXPECT_EQ(WriteFen(board), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 255 1501");
    const std::uint32_t count = board.historyCount;
    ASSERT_TRUE(count >= KeptHistory && count <= CompactionThreshold) << count;
    for (std::uint32_t back = 4; back <= count; back += 4) // all the keys kept, not only 100
        EXPECT_EQ(board.history[count - back], board.hashKey) << back;
}

// An allocator that gives at most 128 MB, as a machine short of memory would.
void* SmallBlocksOnly(std::size_t bytes) {
    return bytes > (std::size_t{128} << 20) ? nullptr : allocateLargeBlock(bytes);
}

// One shell for the option and dispatch tests: its search state is large, and building it
// allocates the table.
Engine& Shell() {
    static Engine* engine = [] {
        auto* created                  = new Engine;
        created->searchState.tt.memory = {SmallBlocksOnly, releaseLargeBlock};
        InitSearchState(created->searchState);
        SetFromFen(created->board, StartFen);
        return created;
    }();
    return *engine;
}

// A literal stays a literal, so the sanitizer build sees any read past its end.
std::string Say(const char* line) {
    return Output([&] { dispatchCommand(Shell(), line); });
}

bool InTable(SearchState& state, std::uint64_t key) {
    TTEntry entry;
    return TTProbe(state.tt, key, entry);
}

std::string ValueOf(std::string_view name) {
    const auto& entries = Shell().optionTable.entries;
    return std::ranges::find(entries, name, &OptionEntry::name)->value;
}

// Values are held in range when applied, names match as interfaces send them, values that do
// not fit are refused (unknown names and refusals are named back, one line each), texts are kept
// whole up to their line's end, and `uci` restores every default.
TEST(Options, ValuesNamesAndTheDefaultsUciRestores) {
    Say("uci\n");
    SearchState& state = Shell().searchState;
    OptionTable& table = Shell().optionTable;
    const auto applied = [&] {
        const EngineOptions& o = state.options;
        const auto hash        = static_cast<long long>(state.tt.entryCount / 65536);
        return std::array<long long, 7>{hash,          o.rateOfPlay,    o.multiPv, o.moveOverheadMs,
                                        o.strengthElo, o.limitStrength, o.showWdl};
    };
    // A value that does not fit leaves the one before it.
    using Values = std::vector<std::pair<const char*, long long>>;
    const std::tuple<std::string, int, Values> cases[] = {
        {"Hash", 0, {{"7", 8}, {"9", 8}, {"16", 16}, {"255", 128}, {"x", 128}, {"100", 64}}},
        {"Rate of play", 1, {{"fast", FastRate}, {"SLOW", SlowRate}, {"slow or fast", SlowRate}}},
        {"rate  OF play", 1, {{"quick", SlowRate}, {"Normal ", NormalRate}}},
        {"MultiPV", 2, {{"4", 4}, {"0", 1}, {"-3", 1}, {"17", 16}, {"99999999999", 16}}},
        {"multipv", 2, {{"abc", 16}, {" 12", 12}, {"5x", 12}}},
        {"Move Overhead", 3, {{"250", 250}, {"-1", 0}, {"5001", 5000}, {"x", 5000}}},
        {"UCI_Elo", 4, {{"1800", 1800}, {"999", 1000}, {"1851", 1850}, {"-5", 1000}}},
        {"UCI_LimitStrength", 5, {{"true", 1}, {"false", 0}, {"TRUE", 1}, {"yes", 1}}},
        {"uci_showwdl", 6, {{"True", 1}, {"", 1}, {"fAlse", 0}}},
    };
    for (const auto& [name, index, values] : cases)
        for (const auto& [value, expected] : values) {
            Say(("setoption name " + name + " value " + value + "\n").c_str());
            EXPECT_EQ(applied()[index], expected) << name << " " << value;
        }
    // The same 64 MB from another request rebuilds the table; the same request keeps it.
    TTStore(state.tt, 77, 0x1234, 5, 3.0f, LowerBound);
    Say("setoption name Hash value 100\n");
    EXPECT_TRUE(InTable(state, 77));
    Say("setoption name Hash value 64\n");
    EXPECT_FALSE(InTable(state, 77));
    // A size the machine refuses keeps the table and its entries, and is said once.
    TTStore(state.tt, 77, 0x1234, 5, 3.0f, LowerBound);
    EXPECT_EQ(Say("setoption name Hash value 1024\n"),
              "info string Hash 1024 MB could not be allocated; keeping the 64 MB table\n");
    EXPECT_EQ(Say("setoption name MultiPV value 2\n"), "");
    EXPECT_TRUE(InTable(state, 77));
    EXPECT_EQ(state.tt.entryCount, 64u * 65536);
    EXPECT_EQ(Say("setoption name multipv value 3\n") + Say("setoption name MultiPV  value 3\n") +
                  Say("setoption name NoSuchOption value 3\n") +
                  Say("setoption name Ponder value maybe\n") +
                  Say("setoption name Rate of play value quick\n"),
              "info string No such option: NoSuchOption\n"
              "info string Invalid value for Ponder: maybe\n"
              "info string Invalid value for Rate of play: quick\n");
    EXPECT_EQ(Output([&] { setOption(table, "Ponder" + std::string(300, 'x'), "true"); }).size(),
              std::string("info string No such option: Ponder\n").size() + 300);
    EXPECT_EQ(ValueOf("Ponder") + ValueOf("Rate of play"), "falsenormal");
    setOption(table, "UCI_EngineAbout", std::string(3000, 'v') + "\nrest");
    EXPECT_EQ(ValueOf("UCI_EngineAbout"), std::string(3000, 'v'));
    // Lines that end at "value" or with no value at all (a button press) read nothing after them.
    EXPECT_EQ(Say("setoption name UCI_EngineAbout value"), "");
    EXPECT_EQ(ValueOf("UCI_EngineAbout"), "");
    const auto split = [](const char* line) {
        const SetOptionText option = splitSetOptionLine(line);
        return std::string(option.name) + "|" + std::string(option.value);
    };
    EXPECT_EQ(split("setoption name  Syzygy Path\tvalue  /a b \n"), "Syzygy Path|/a b");
    EXPECT_EQ(split("setoption name"), "|true");
    Say("uci\n");
    EXPECT_EQ(std::tuple(table.count, state.options.hashMegabytes, state.tt.entryCount,
                         state.options.moveOverheadMs, state.options.multiPv),
              std::tuple(18, 16, 16u * 65536, 10, 1));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(state.tt.entries) % (2 << 20), 0u);
    // Clear Hash empties the table once per press: a later setoption does not press it again.
    TTStore(state.tt, 77, 0x1234, 5, 3.0f, LowerBound);
    Say("setoption name Clear Hash");
    EXPECT_FALSE(InTable(state, 77));
    EXPECT_EQ(ValueOf("Clear Hash"), "false");
    TTStore(state.tt, 78, 0x1234, 5, 3.0f, LowerBound);
    Say("setoption name MultiPV value 2\n");
    EXPECT_TRUE(InTable(state, 78));
    // Sizes too large to build in a test are checked by their rounding alone.
    for (const auto& [requested, megabytes] :
         {std::pair{65536, 65536}, {65535, 32768}, {100000, 65536}})
        EXPECT_EQ(hashTableMegabytes(requested), megabytes) << requested;
}

// Mates and the tables' verdicts are certain, and the model is pinned.
TEST(Wdl, OddsOfRootScores) {
    const struct {
        int score, material;
        bool inTablebase;
        int tablebaseScore, win, draw, loss;
        bool drawn = false;
    } cases[] = {
        {32690, 78, false, 0, 1000, 0, 0},  // mates in 5 plies
        {-32636, 78, false, 0, 0, 0, 1000}, // mated
        {31936, 10, false, 0, 1000, 0, 0},  // a tablebase win 64 plies away
        {-31990, 10, false, 0, 0, 0, 1000},
        {15, 8, true, 0, 0, 1000, 0}, // the tables' draw, whatever the score
        {-40, 8, true, 32000, 1000, 0, 0},
        {31990, 8, true, -32000, 0, 0, 1000},
        {-32690, 8, true, 32000, 0, 0, 1000}, // a mate found beats the tables' verdict
        {0, 58, false, 0, 390, 220, 390},
        {100, 20, false, 0, 328, 563, 109},
        {-250, 78, false, 0, 131, 149, 720},
        {400, 0, false, 0, 685, 302, 13},     // material below 10 reads as 10
        {369, 3, false, 0, 0, 1000, 0, true}, // a game drawn by rule, whatever the score
        {-32690, 3, true, 32000, 0, 0, 1000, true},
    };
    for (const auto& c : cases) {
        const SearchControl control{.rootInTablebase    = c.inTablebase,
                                    .rootTablebaseScore = c.tablebaseScore,
                                    .rootMaterial       = c.material,
                                    .rootDrawn          = c.drawn};
        const WdlPermille wdl = wdlOfRootScore(control, c.score);
        EXPECT_EQ(std::tuple(wdl.win, wdl.draw, wdl.loss), std::tuple(c.win, c.draw, c.loss))
            << c.score << " " << c.material;
    }
}

// The keywords' values themselves are read in the search set-up tests.
TEST(GoText, ReadsEachKeywordAtItsFirstOccurrence) {
    const SearchLimits limits =
        parseGoText("nodes 99999999999 movetime -5 btime 40 binc 7 nodes 3 searchmoves e2e4  g1f3",
                    BoardFrom(StartFen), false);
    // Nodes are held at the bound, not wrapped.
    EXPECT_EQ(std::tuple(limits.nodes, limits.movetime, limits.btime, limits.binc,
                         limits.searchmoves.count),
              std::tuple(INT_MAX, -5, 40, 7, 2u));
    EXPECT_EQ(limits.searchmoves.moves[1], MakeMoveWord(6, 21, Knight));
    const Board castles = BoardFrom("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    constexpr Move e1h1 = MakeMoveWord(4, 7, King, NoPiece, CastlingFlag);
    EXPECT_EQ(parseGoText("searchmoves e1h1", castles, true).searchmoves.moves[0], e1h1);
    EXPECT_EQ(parseGoText("searchmoves e1g1", castles, false).searchmoves.moves[0], e1h1);
}

TEST(MultiPvTable, RanksAndPrintsLinesAndRefusesResultsAfterAStop) {
    const auto state        = std::make_unique<SearchState>();
    state->options.multiPv  = 3;
    state->rootMoveCount    = 5;
    state->control.runState = Untimed;
    state->multiPv.score.fill(-Infinity);
    std::iota(state->multiPv.slotOfPlace.begin(), state->multiPv.slotOfPlace.end(), 0);
    const auto record = [&](int score, int from) {
        state->nodes += 100;
        return recordRootResult(*state, score, MakeMoveWord(from, from + 8, Pawn));
    };
    // An equal score goes below the older line; 5 does not beat the third line.
    EXPECT_TRUE(record(10, 8) && record(30, 9) && record(10, 10));
    EXPECT_FALSE(record(5, 11));
    EXPECT_TRUE(record(20, 12));
    EXPECT_EQ(MoveFrom(state->plies[0].pv[0]), 9);
    // The lines by place (b2b3, e2e3, a2a3), found at different counts, all with the counts of
    // the moment; the odds follow the score, only when asked for.
    state->control.iteration    = 3;
    state->control.rootMaterial = 58;
    state->control.startTick    = state->control.nowTick - 250;
    EXPECT_EQ(Output([&] { printLines(*state); }),
              "info multipv 1 depth 3 score cp 30 time 250 nodes 500 nps 2000 pv b2b3 \n"
              "info multipv 2 depth 3 score cp 20 time 250 nodes 500 nps 2000 pv e2e3 \n"
              "info multipv 3 depth 3 score cp 10 time 250 nodes 500 nps 2000 pv a2a3 \n");
    state->options.showWdl   = true;
    state->nodes             = 0;
    state->control.startTick = state->control.nowTick;
    EXPECT_EQ(Output([&] { printLines(*state); }),
              "info multipv 1 depth 3 score cp 30 wdl 441 217 342 time 0 nodes 0 nps 0 pv b2b3 \n"
              "info multipv 2 depth 3 score cp 20 wdl 424 218 358 time 0 nodes 0 nps 0 pv e2e3 \n"
              "info multipv 3 depth 3 score cp 10 wdl 407 219 374 time 0 nodes 0 nps 0 pv a2a3 \n");
    state->control.runState = Stopped;
    EXPECT_FALSE(record(40, 13));
    state->rootMoveCount = 2;
    EXPECT_FALSE(record(40, 13));
    state->rootMoveCount = 1; // a single root move keeps even a stopped search's result
    EXPECT_TRUE(record(40, 13));
    EXPECT_EQ(MoveFrom(state->plies[0].pv[0]), 13);
}

// The search's behaviour, pinned, whatever an earlier search left behind: a change to it updates
// the number here and the bench signature in the same commit.
TEST(Bench, ReducedBenchCountsThePinnedNodes) {
    const auto state = std::make_unique<SearchState>();
    InitSearchState(*state);
    constexpr int Depth = 5, Positions = 36;
    constexpr std::uint64_t PinnedNodes = 551046;
    EXPECT_EQ(benchNodes(*state, Depth, Positions, false), PinnedNodes);
    Board board = BoardFrom("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    SearchLimits limits;
    limits.depth = 4;
    RootSearch(*state, board, limits);
    EXPECT_EQ(benchNodes(*state, Depth, Positions, false), PinnedNodes);
    ReleaseSearchState(*state);
}

TEST(EvalCommand, PrintsEveryTermForBothColoursAndTheTotal) {
    EXPECT_EQ(Output([] { handleEval(BoardFrom("8/5pk1/6p1/3R4/8/6P1/r4PK1/8 b - - 0 1")); }),
              "stage white 2 black 2\nmaterial white 218 black -218\noutposts white 0 black 0\n"
              "pawns white 4 black -4\nkingsafety white 0 black 0\nrooks white 548 black -580\n"
              "bishops white 0 black 0\nqueens white 0 black 0\ntotal 32\n");
}

// Dispatch by prefix, in-process: extensions are whole words, and a line shorter than the
// offset of its text reads empty text (the sanitizer build checks no byte past it is read).
TEST(Dispatch, ExtensionsAreWholeWordsAndShortLinesReadEmptyText) {
    Say("position startpos\n");
    const std::string diagram = Say("d\n");
    EXPECT_NE(diagram.find("Fen: " + std::string(StartFen) + "\n"), std::string::npos);
    EXPECT_EQ(Say("d \n"), diagram);
    for (const char* line : {"dd\n", "d x\n", "evaluate\n", "gox perft 1\n"})
        EXPECT_EQ(Say(line), "") << line;
    Say("position startpos moves e2e4\n");
    EXPECT_EQ(Say("position").rfind("info string ", 0), 0u);
    EXPECT_NE(Say("d\n").find("Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b"),
              std::string::npos);
    EXPECT_NE(Say("go\tperft 1\n").find("\nNodes searched: 20\n"), std::string::npos);
}

} // namespace
} // namespace tarvo
