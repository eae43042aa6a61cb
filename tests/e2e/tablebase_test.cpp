// Endgames decided by the tablebases in tests/data/syzygy, through a pipe to the engine. The
// moves each case refuses or requires were read from the same tables with a separate prober.

#include "e2e/engine_process.h"

#include <chrono>
#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include <string>

namespace tarvo {
namespace {

// Ninety quiet half-moves from a won KQK: the fifty-move count then comes too close for the
// mate, and every winning move is a win only beyond the fifty-move rule.
const std::string FiftyMoveGame =
    "fen 8/8/8/4k3/8/8/8/1Q2K3 w - - 0 1 moves "
    "e1d1 e5d5 d1c1 d5e5 b1a1 e5f5 c1b1 f5e6 b1c1 e6d5 c1b1 d5e4 b1c1 e4f4 c1b1 f4f5 b1c1 "
    "f5e6 c1b1 e6d5 b1c1 d5e4 c1b1 e4f4 b1c1 f4g5 c1b1 g5g6 b1c1 g6h6 c1b1 h6g5 b1c1 g5g6 "
    "c1b1 g6h6 b1c1 h6h7 c1b1 h7g8 b1c1 g8f7 c1b1 f7e7 b1c1 e7d6 c1b1 d6c5 a1a2 c5d6 b1a1 "
    "d6e5 a2b2 e5f5 a1b1 f5e6 b1a1 e6e7 a1b1 e7d6 b1a1 d6e6 a1b1 e6f5 b1a1 f5g5 a1b1 g5f4 "
    "b1a1 f4e3 b2b1 e3f4 a1a2 f4g4 a2a1 g4g5 b1b2 g5g6 a1b1 g6g5 b1c1 g5f5 c1d1 f5e6 d1c1 "
    "e6d5 c1b1 d5e4 b1a1 e4f3";

// The first group of `pattern` in the last line that has it, or "" without one.
std::string Find(const testing::Lines& lines, const std::string& pattern) {
    std::string found;
    std::smatch match;
    for (const std::string& line : lines)
        if (std::regex_search(line, match, std::regex(pattern)))
            found = match[1];
    return found;
}

int Number(const std::string& text) {
    return text.empty() ? 0 : std::stoi(text);
}

TEST(Tablebases, DecideEndgamesAndABadPathIsRefused) {
    testing::EngineProcess engine;
    ASSERT_TRUE(engine.running());
    std::string line;
    const auto search = [&](const std::string& position) {
        engine.send("position " + position);
        engine.send("go nodes 3000");
        return engine.readUntil("bestmove");
    };
    engine.send("uci");
    engine.readUntil("uciok");
    engine.send("setoption name SyzygyPath value " TARVO_TEST_DATA "/syzygy");
    ASSERT_TRUE(engine.readLine(line));
    EXPECT_EQ(line, "info string Found 5 tablebases with up to 4 pieces");

    struct Case {
        const char* name;
        std::string position;
        bool fiftyMoveRule;
        std::string score; // "cp N" exactly; "win" is "cp 32000" or a mate the mover gives
        std::string moves; // the one move to play, or "-" and the moves never to play
    };
    const Case cases[] = {
        // clang-format off
        {"KQK: three moves stalemate or hang the queen",
         "fen k7/8/1K6/8/8/8/8/6Q1 w - - 0 1", true, "win", "- b6c7 g1h2 g1g3"},
        {"KRK: four rook moves hang the rook",
         "fen 8/8/8/8/8/2k5/1R6/K7 w - - 0 1", true, "cp 32000", "- b2c2 b2d2 b2b3 b2b4"},
        {"KRK: a found mate stays a mate, and b1b7 stalemates",
         "fen k7/2K5/8/8/8/8/8/1R6 w - - 0 1", true, "mate 1", "- b1b7"},
        {"KRKR: a draw unless the king walks into the skewer",
         "fen 8/8/8/4k3/8/8/8/3RK1r1 w - - 0 1", true, "cp 0", "- e1f2"},
        {"KPK: one king move wins", "fen 8/8/2k5/8/4P3/4K3/8/8 w - - 0 1", true, "cp 32000", "e3f4"},
        {"KQK come back to: only the fastest win leaves the cycle",
         "fen 8/8/8/8/8/4k3/6Q1/6K1 w - - 0 1 moves g1f1 e3d3 f1g1 d3e3", true, "win", "g2d5"},
        {"fifty-move rule on: the win is a draw", FiftyMoveGame, true, "cp 0", "-"},
        {"a FEN's fifty-move count is its own", "fen 8/8/8/3k4/8/8/8/R3K3 w - - 95 60", true,
         "cp 0", "-"},
        {"fifty-move rule off: the win counts", FiftyMoveGame, false, "cp 32000", "-"},
        // clang-format on
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        engine.send(std::string("setoption name Syzygy50MoveRule value ") +
                    (test.fiftyMoveRule ? "true" : "false"));
        const auto lines        = search(test.position);
        const std::string score = Find(lines, "^info multipv 1 .*score (\\S+ \\S+)");
        const std::string move  = Find(lines, "^bestmove (\\S+)");
        if (test.score == "win" && score.starts_with("mate "))
            EXPECT_GT(Number(score.substr(5)), 0);
        else
            EXPECT_EQ(score, test.score == "win" ? "cp 32000" : test.score);
        EXPECT_GE(Number(Find(lines, "^info multipv 1 .*tbhits (\\d+)")), 1);
        if (test.moves.starts_with("-"))
            EXPECT_EQ(test.moves.find(" " + move), std::string::npos) << move;
        else
            EXPECT_EQ(move, test.moves);
    }
    // Probes inside the search, after captures into smaller endings, count as hits too.
    engine.send("position fen 8/8/8/4k3/8/8/8/3RK1r1 w - - 0 1");
    engine.send("go depth 5");
    EXPECT_GT(Number(Find(engine.readUntil("bestmove"), "^info multipv 1 .*tbhits (\\d+)")), 1);

    // One move keeps the win: clock play answers after one iteration, analysis goes on.
    engine.send("position fen 8/8/2k5/8/4P3/4K3/8/8 w - - 0 1");
    engine.send("go wtime 60000 btime 60000");
    EXPECT_EQ(Find(engine.readUntil("bestmove"), "^info depth (\\d+)"), "1");
    engine.send("go infinite");
    engine.send("isready");
    engine.readUntil("readyok");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    engine.send("stop");
    EXPECT_GT(Number(Find(engine.readUntil("bestmove"), "^info depth (\\d+)")), 1);

    // A path without tables is refused and the engine plays on without.
    const std::string path = "/no/such/folder:" TARVO_TEST_DATA;
    engine.send("setoption name SyzygyPath value " + path);
    ASSERT_TRUE(engine.readLine(line));
    EXPECT_EQ(line, "info string No tablebases found in " + path + ", playing without them");
    // Setting a path loads it each time: a folder fixed since is read anew.
    engine.send("setoption name SyzygyPath value " + path);
    ASSERT_TRUE(engine.readLine(line));
    EXPECT_EQ(line, "info string No tablebases found in " + path + ", playing without them");
    const auto lines = search("fen 8/8/8/8/8/2k5/1R6/K7 w - - 0 1");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.front().starts_with("info depth")) << lines.front();
    EXPECT_EQ(Find(lines, "^info multipv 1 .*tbhits (\\d+)"), "");
    EXPECT_NE(Find(lines, "^info multipv 1 .*score (\\S+ \\S+)"), "cp 32000");
    EXPECT_NE(Find(lines, "^bestmove (\\S+)"), "");
}

} // namespace
} // namespace tarvo
