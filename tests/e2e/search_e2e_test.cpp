#include "board/fen.h"
#include "board/movegen.h"
#include "e2e/engine_process.h"
#include "search/root.h"
#include "search/state.h"
#include "uci/bench.h"
#include "uci/go.h"
#include "uci/hooks.h"
#include "uci/notation.h"
#include "uci/output.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tarvo {
namespace {

using testing::EngineProcess;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::istringstream in(line);
    std::string token;
    while (in >> token)
        tokens.push_back(token);
    return tokens;
}

bool StartsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

std::set<std::string> LegalMoveTexts(const Board& board) {
    MoveList list;
    GenerateLegalMoves(board, list);
    std::set<std::string> texts;
    for (std::uint32_t i = 0; i < list.count; ++i)
        texts.insert(moveToText(list.moves[i]).data());
    return texts;
}

Board BoardFrom(const char* fen) {
    Board board{};
    EXPECT_TRUE(SetFromFen(board, fen)) << fen;
    return board;
}

// The move after "bestmove", or "" when the text has no bestmove line.
std::string BestMoveOf(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (StartsWith(line, "bestmove "))
            return Tokens(line).at(1);
    return "";
}

// The last multipv line for line number 1.
std::string LastBestLine(const std::vector<std::string>& lines) {
    std::string found;
    for (const std::string& line : lines)
        if (StartsWith(line, "info multipv 1 "))
            found = line;
    return found;
}

int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : lines)
        count += StartsWith(line, prefix);
    return count;
}

// ---------------------------------------------------------------------------------------------
// go inside the test process: the shell's hooks without the input poll (the test owns standard
// input), so only depth limits end these searches.

struct InProcessGo : ::testing::Test {
    std::unique_ptr<SearchState> owned = std::make_unique<SearchState>();
    SearchState& state                 = *owned;
    OptionTable options{};

    void SetUp() override {
        InitSearchState(state);
        installSearchHooks(state);
        state.hooks.nodePoll = nullptr;
        state.hooks.rootPoll = nullptr;
    }
    void TearDown() override { ReleaseSearchState(state); }

    std::vector<std::string> Go(Board& board, const char* text) {
        ::testing::internal::CaptureStdout();
        handleGo(options, text, board, state);
        return SplitLines(::testing::internal::GetCapturedStdout());
    }
};

TEST_F(InProcessGo, FindsMatesInOneTwoAndThree) {
    struct Case {
        const char* fen;
        const char* mate;
        const char* move;
    };
    const Case cases[] = {
        {"6k1/5ppp/8/8/8/8/8/K2R4 w - - 0 1", "score mate 1 ", "d1d8"},
        {"2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1", "score mate 2 ", "g3g6"},
        {"r4rk1/5ppp/p3q1n1/2p2NQ1/4n3/P3P3/1B3PPP/1R3RK1 w - - 0 1", "score mate 3 ", "g5h6"},
        {"5r1k/p5pp/8/1P1pq3/P1p2nR1/Q7/5BPP/6K1 b - - 0 1", "score mate 3 ", "e5e1"},
    };
    for (const Case& c : cases) {
        Board board      = BoardFrom(c.fen);
        const auto lines = Go(board, "depth 6\n");
        EXPECT_NE(LastBestLine(lines).find(c.mate), std::string::npos) << c.fen;
        EXPECT_EQ(BestMoveOf(lines), c.move) << c.fen;
        // A line of one move has no reply to ponder on: one blank, then the newline.
        if (std::string(c.mate) == "score mate 1 ") {
            EXPECT_EQ(lines.back(), "bestmove d1d8 ");
        }
    }
}

TEST_F(InProcessGo, ReportsBeingMatedAsANegativeDistance) {
    // Black's only move walks into Rh8 mate.
    Board board      = BoardFrom("k7/8/1K6/8/8/8/8/7R b - - 0 1");
    const auto lines = Go(board, "depth 4\n");
    EXPECT_NE(LastBestLine(lines).find("score mate -1 "), std::string::npos);
    EXPECT_EQ(lines.back(), "bestmove a8b8  ponder h1h8 ");
}

TEST_F(InProcessGo, RootWithoutLegalMoveAnswersTheNullMoveAtOnce) {
    // A real best line from a first search must not leak into the next answers.
    Board start = BoardFrom(StartFen);
    Go(start, "depth 3\n");
    for (const char* fen :
         {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"}) {
        Board board = BoardFrom(fen);
        for (const char* text : {"depth 5\n", "infinite\n", "ponder\n", "\n"})
            EXPECT_EQ(Go(board, text), std::vector<std::string>{"bestmove 0000"}) << fen << text;
    }
}

TEST_F(InProcessGo, DepthBelowOneStillSearchesOneIteration) {
    Board board      = BoardFrom(StartFen);
    const auto legal = LegalMoveTexts(board);
    for (const char* text : {"depth 0\n", "depth -7\n", "depth\n", "depth x\n"}) {
        const auto lines = Go(board, text);
        EXPECT_EQ(CountPrefix(lines, "info depth "), 1) << text;
        EXPECT_TRUE(legal.count(BestMoveOf(lines))) << text;
    }
}

TEST_F(InProcessGo, SearchMovesKeepsOnlyLegalMoves) {
    Board board = BoardFrom(StartFen);
    // e7e5 is Black's move, zz9 no move at all, e2e5 no pawn move: only e2e4 is left.
    auto lines = Go(board, "depth 3 searchmoves e7e5 zz9 e2e5 e2e4 e2e4\n");
    EXPECT_EQ(BestMoveOf(lines), "e2e4");
    for (const std::string& line : lines) {
        if (StartsWith(line, "info multipv")) {
            EXPECT_NE(line.find(" pv e2e4 "), std::string::npos) << line;
        }
    }
    // Nothing legal left: every move is searched.
    lines = Go(board, "depth 2 searchmoves a1a8 h7h5\n");
    EXPECT_TRUE(LegalMoveTexts(board).count(BestMoveOf(lines)));
}

TEST(GoText, ReadsEachKeywordAtItsFirstOccurrence) {
    const Board board   = BoardFrom(StartFen);
    SearchLimits limits = parseGoText("wtime 60000 winc 1000 btime 55000 binc 1000\n", board);
    EXPECT_EQ(limits.wtime, 60000);
    EXPECT_EQ(limits.winc, 1000);
    EXPECT_EQ(limits.btime, 55000);
    EXPECT_EQ(limits.binc, 1000);
    EXPECT_EQ(limits.depth + limits.nodes + limits.mate + limits.movestogo + limits.movetime, 0);
    EXPECT_FALSE(limits.ponder || limits.infinite);

    limits =
        parseGoText("ponder movestogo 12 movetime -5 nodes 99999999999 mate 3 infinite", board);
    EXPECT_TRUE(limits.ponder && limits.infinite);
    EXPECT_EQ(limits.movestogo, 12);
    EXPECT_EQ(limits.movetime, -5);
    EXPECT_EQ(limits.nodes, 2147483647); // held at the bound, not wrapped
    EXPECT_EQ(limits.mate, 3);
    EXPECT_EQ(limits.depth, 0);

    limits = parseGoText("depth 7 searchmoves e2e4  d2d4 g1f3\n", board);
    EXPECT_EQ(limits.depth, 7);
    ASSERT_EQ(limits.searchmoves.count, 3u);
    EXPECT_STREQ(moveToText(limits.searchmoves.moves[2]).data(), "g1f3");
}

TEST(InfoNumbers, MateDistanceAndNodesPerSecond) {
    EXPECT_EQ(mateDistance(32699), 1);
    EXPECT_EQ(mateDistance(32697), 2);
    EXPECT_EQ(mateDistance(-32698), -1);
    EXPECT_EQ(mateDistance(-32696), -2);
    EXPECT_EQ(nodesPerSecond(1000, 0), 7812);
    EXPECT_EQ(nodesPerSecond(1000, 128), 7812);
    EXPECT_EQ(nodesPerSecond(3000, 1500), 2000);
}

TEST_F(InProcessGo, MultiPvTableRanksLinesAndRefusesResultsAfterAStop) {
    state.options.multiPv   = 3;
    state.rootMoveCount     = 5;
    state.control.iteration = 2;
    state.control.runState  = Untimed;
    state.plies[1].pvLength = 0;
    for (int place = 0; place < MaxMultiPv; ++place) {
        state.multiPv.score[place]       = -Infinity;
        state.multiPv.slotOfPlace[place] = place;
    }
    const auto move = [](int from) { return MakeMoveWord(from, from + 8, Pawn); };
    EXPECT_TRUE(recordRootResult(state, 10, move(8)));
    EXPECT_TRUE(recordRootResult(state, 30, move(9)));
    EXPECT_TRUE(recordRootResult(state, 10, move(10))); // equal score: below the older line
    EXPECT_FALSE(recordRootResult(state, 5, move(11))); // does not beat the third line
    EXPECT_TRUE(recordRootResult(state, 20, move(12))); // pushes the last 10 out

    const MultiPvTable& table = state.multiPv;
    const auto first = [&](int place) { return table.lineMoves[table.slotOfPlace[place]][0]; };
    EXPECT_EQ(table.score[0], 30);
    EXPECT_EQ(table.score[1], 20);
    EXPECT_EQ(table.score[2], 10);
    EXPECT_EQ(first(0), move(9));
    EXPECT_EQ(first(1), move(12));
    EXPECT_EQ(first(2), move(8));
    EXPECT_EQ(state.plies[0].pv[0], move(9));
    EXPECT_EQ(state.plies[0].pvLength, 1u);

    state.control.runState = Stopped;
    EXPECT_FALSE(recordRootResult(state, 40, move(13)));
    // With a single root move even a stopped search keeps its result.
    state.rootMoveCount = 1;
    EXPECT_TRUE(recordRootResult(state, 40, move(13)));
    EXPECT_EQ(state.plies[0].pv[0], move(13));
}

TEST(Bench, CountsTheSameNodesOnEveryRun) {
    const auto state = std::make_unique<SearchState>();
    InitSearchState(*state);
#ifdef TARVO_SANITIZED
    const int depth = 3, positions = 6;
#else
    const int depth = 5, positions = 12;
#endif
    const std::uint64_t first = benchNodes(*state, depth, positions, false);
    // Whatever an earlier search left behind must not change the count.
    Board board = BoardFrom("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    SearchLimits limits;
    limits.depth = 4;
    RootSearch(*state, board, limits);
    const std::uint64_t second = benchNodes(*state, depth, positions, false);
    EXPECT_GT(first, 0u);
    EXPECT_EQ(first, second);
    ReleaseSearchState(*state);
}

// ---------------------------------------------------------------------------------------------
// go through a pipe to the built engine, as an interface drives it.

struct Piped : ::testing::Test {
    EngineProcess engine{TARVO_BINARY};

    void SetUp() override {
        ASSERT_TRUE(engine.running());
        engine.send("uci");
        ASSERT_EQ(engine.readUntil("uciok").back(), "uciok");
    }
    void Sync() {
        engine.send("isready");
        ASSERT_EQ(engine.readUntil("readyok").back(), "readyok");
    }
    std::vector<std::string> Search(const std::string& position, const std::string& go,
                                    int timeoutMs = 60000) {
        engine.send("position " + position);
        engine.send(go);
        return engine.readUntil("bestmove", timeoutMs);
    }
};

bool IsMoveText(const std::string& token) {
    if (token.size() != 4 && token.size() != 5)
        return false;
    const auto file = [](char c) { return c >= 'a' && c <= 'h'; };
    const auto rank = [](char c) { return c >= '1' && c <= '8'; };
    return file(token[0]) && rank(token[1]) && file(token[2]) && rank(token[3]) &&
           (token.size() == 4 || std::strchr("qnrb", token[4]) != nullptr);
}

bool IsNumber(const std::string& token) {
    const std::size_t start = !token.empty() && token[0] == '-' ? 1 : 0;
    return token.size() > start &&
           token.find_first_not_of("0123456789", start) == std::string::npos;
}

// "bestmove e2e4 " or "bestmove e2e4  ponder e7e5 ", blanks exactly so.
bool IsBestMoveLine(const std::string& line) {
    const auto tokens = Tokens(line);
    if (tokens.size() == 2)
        return IsMoveText(tokens[1]) && line == "bestmove " + tokens[1] + " ";
    return tokens.size() == 4 && IsMoveText(tokens[1]) && IsMoveText(tokens[3]) &&
           line == "bestmove " + tokens[1] + "  ponder " + tokens[3] + " ";
}

// Every info line is a list of keys, each with its value(s), as an interface parses it.
void ExpectParsableInfo(const std::string& line) {
    const auto tokens = Tokens(line);
    ASSERT_FALSE(tokens.empty());
    ASSERT_EQ(tokens[0], "info");
    const std::set<std::string> numeric = {"depth", "seldepth", "time",     "nodes",
                                           "nps",   "multipv",  "hashfull", "currmovenumber"};
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const std::string& key = tokens[i];
        if (numeric.count(key)) {
            ASSERT_LT(i + 1, tokens.size()) << line;
            EXPECT_TRUE(IsNumber(tokens[++i])) << line;
        } else if (key == "score") {
            ASSERT_LT(i + 2, tokens.size()) << line;
            EXPECT_TRUE(tokens[i + 1] == "cp" || tokens[i + 1] == "mate") << line;
            EXPECT_TRUE(IsNumber(tokens[i + 2])) << line;
            i += 2;
        } else if (key == "currmove") {
            ASSERT_LT(i + 1, tokens.size()) << line;
            EXPECT_TRUE(IsMoveText(tokens[++i])) << line;
        } else if (key == "pv") {
            ASSERT_LT(i + 1, tokens.size()) << line;
            for (++i; i < tokens.size(); ++i)
                EXPECT_TRUE(IsMoveText(tokens[i])) << line;
        } else {
            ADD_FAILURE() << "unknown key " << key << " in " << line;
        }
    }
}

TEST_F(Piped, GoDepthReportsEveryIterationThenTheBestMove) {
    const auto lines = Search("startpos moves e2e4", "go depth 5");
    EXPECT_EQ(CountPrefix(lines, "info depth "), 5);
    EXPECT_TRUE(StartsWith(lines.back(), "bestmove "));
    EXPECT_TRUE(IsBestMoveLine(lines.back())) << lines.back();
    EXPECT_NE(LastBestLine(lines).find("info multipv 1 depth 5 score "), std::string::npos);
    for (const std::string& line : lines)
        if (StartsWith(line, "info"))
            ExpectParsableInfo(line);
}

TEST_F(Piped, GoNodesStopsAtTheFirstPollPastTheLimit) {
    const auto lines = Search("startpos", "go nodes 500");
    ASSERT_TRUE(IsBestMoveLine(lines.back())) << lines.back();
    for (const std::string& line : lines) {
        const auto tokens = Tokens(line);
        const auto nodes  = std::find(tokens.begin(), tokens.end(), "nodes");
        if (nodes != tokens.end() && nodes + 1 != tokens.end()) {
            EXPECT_LE(std::stoll(*(nodes + 1)), 500 + 501) << line;
        }
    }
}

TEST_F(Piped, GoMovetimeAnswersInTime) {
    const auto start = std::chrono::steady_clock::now();
    const auto lines = Search("startpos", "go movetime 200", 5000);
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(IsBestMoveLine(lines.back())) << lines.back();
    EXPECT_LT(spent, std::chrono::seconds(5));
}

TEST_F(Piped, InfiniteSearchEndsOnStop) {
    engine.send("position startpos");
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine.send("stop");
    const auto lines = engine.readUntil("bestmove", 10000);
    EXPECT_TRUE(IsBestMoveLine(lines.back())) << lines.back();
    Sync();
}

TEST_F(Piped, StopDuringTheFirstIterationTakesEffectWhenItCompletes) {
    // Queens everywhere: the first iteration alone takes many polls' worth of nodes, so the
    // stop is read while it runs.
    engine.send("position fen qqq1k1qq/8/8/8/8/8/8/QQQ1K1QQ w - - 0 1");
    engine.send("go infinite");
    engine.send("stop");
    const auto lines = engine.readUntil("bestmove", 60000);
    EXPECT_TRUE(IsBestMoveLine(lines.back())) << lines.back();
    EXPECT_EQ(CountPrefix(lines, "info depth "), 1);
    EXPECT_EQ(CountPrefix(lines, "info multipv 1 depth 1 "), CountPrefix(lines, "info multipv"));
}

TEST_F(Piped, PonderEndsOnPonderhitOrStop) {
    engine.send("position startpos moves e2e4");
    engine.send("go ponder wtime 2000 btime 2000");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.send("ponderhit");
    auto lines = engine.readUntil("bestmove", 10000);
    EXPECT_TRUE(IsBestMoveLine(lines.back())) << lines.back();

    engine.send("position startpos moves e2e4 e7e5");
    engine.send("go ponder wtime 60000 btime 60000");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.send("stop");
    lines = engine.readUntil("bestmove", 10000);
    EXPECT_TRUE(IsBestMoveLine(lines.back())) << lines.back();
    Sync();
}

TEST_F(Piped, QuitDuringASearchEndsWithoutBestMove) {
    engine.send("position startpos");
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(10000), 0);
    const auto rest = engine.readUntil("bestmove", 1000);
    EXPECT_EQ(CountPrefix(rest, "bestmove"), 0);
}

TEST_F(Piped, EndOfInputDuringASearchEndsWithoutBestMove) {
    engine.send("position startpos");
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(10000), 0);
    const auto rest = engine.readUntil("bestmove", 1000);
    EXPECT_EQ(CountPrefix(rest, "bestmove"), 0);
}

TEST_F(Piped, AnyLimitsStillGiveALegalMove) {
    Board board{};
    SetFromFen(board, StartFen);
    const auto legal = LegalMoveTexts(board);
    for (const char* go : {"go nodes -5", "go nodes 1", "go movetime -1",
                           "go wtime -100 btime -100", "go mate -2 depth -1", "go depth 0", "go"}) {
        const auto lines = Search("startpos", go, 20000);
        ASSERT_FALSE(lines.empty()) << go;
        EXPECT_TRUE(IsBestMoveLine(lines.back())) << go << ": " << lines.back();
        EXPECT_TRUE(legal.count(BestMoveOf(lines))) << go;
    }
}

TEST_F(Piped, MultiPvShowsDistinctLinesBestFirst) {
    engine.send("setoption name MultiPV value 3");
    const auto lines = Search("startpos", "go depth 5");
    // The table as last written: lines 1, 2 and 3 at the final depth.
    std::vector<std::string> table;
    for (const std::string& line : lines)
        if (StartsWith(line, "info multipv ")) {
            if (StartsWith(line, "info multipv 1 "))
                table.clear();
            table.push_back(line);
        }
    ASSERT_EQ(table.size(), 3u);
    std::set<std::string> firstMoves;
    int previous = Infinity;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto tokens = Tokens(table[i]);
        EXPECT_EQ(tokens[2], std::to_string(i + 1));
        EXPECT_EQ(tokens[4], "5");
        ASSERT_EQ(tokens[6], "cp");
        const int score = std::stoi(tokens[7]);
        EXPECT_LE(score, previous);
        previous      = score;
        const auto pv = std::find(tokens.begin(), tokens.end(), "pv");
        ASSERT_NE(pv + 1, tokens.end());
        firstMoves.insert(*(pv + 1));
    }
    EXPECT_EQ(firstMoves.size(), 3u);
    const auto best = Tokens(table[0]);
    EXPECT_EQ(BestMoveOf(lines), *(std::find(best.begin(), best.end(), "pv") + 1));
}

TEST_F(Piped, SearchMovesLimitsTheRoot) {
    const auto lines       = Search("startpos", "go depth 4 searchmoves a2a3 h2h3");
    const std::string best = BestMoveOf(lines);
    EXPECT_TRUE(best == "a2a3" || best == "h2h3") << best;
}

TEST_F(Piped, RootWithoutLegalMoveAnswersTheNullMove) {
    auto lines =
        Search("fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", "go depth 4");
    EXPECT_EQ(lines, std::vector<std::string>{"bestmove 0000"});
    lines = Search("fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go infinite");
    EXPECT_EQ(lines, std::vector<std::string>{"bestmove 0000"});
    Sync();
}

} // namespace
} // namespace tarvo
