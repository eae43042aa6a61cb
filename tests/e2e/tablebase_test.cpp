// Endgames played from the tablebases in tests/data/syzygy, through a pipe to the engine. The
// moves each case refuses or requires were read from the same tables with an independent
// prober: they are the moves that throw the tables' result away, or the only one keeping it.

#include "e2e/engine_process.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tarvo {
namespace {

using Lines = std::vector<std::string>;
using testing::EngineProcess;

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

struct TablebaseCase {
    const char* name;
    std::string position;
    bool fiftyMoveRule;
    std::string score; // "cp N" exactly; "win" also takes a mate the side to move gives
    std::set<std::string> refused;
    std::string required; // empty: any move outside `refused`
};

struct Tablebases : ::testing::Test {
    EngineProcess engine;

    void SetUp() override {
        ASSERT_TRUE(engine.running());
        engine.send("uci");
        engine.readUntil("uciok");
    }
    std::string next() {
        std::string line;
        return engine.readLine(line) ? line : "<no line>";
    }
    Lines search(const std::string& position, const std::string& go = "go nodes 3000") {
        engine.send("position " + position);
        engine.send(go);
        return engine.readUntil("bestmove");
    }
};

// The `count` words after the first word `key` of the line, or "" without one.
std::string Token(const std::string& line, const std::string& key, int count = 1) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    for (std::size_t i = 0; i + count < words.size(); ++i) {
        if (words[i] != key)
            continue;
        std::string found = words[i + 1];
        for (int k = 2; k <= count; ++k)
            found += " " + words[i + k];
        return found;
    }
    return "";
}

int Number(const std::string& text) {
    return text.empty() ? 0 : std::stoi(text);
}

std::string LastBestLine(const Lines& lines) {
    std::string found;
    for (const std::string& line : lines)
        if (line.starts_with("info multipv 1 "))
            found = line;
    return found;
}

std::string BestMove(const Lines& lines) {
    return lines.empty() ? "" : Token(lines.back(), "bestmove");
}

TEST_F(Tablebases, ScoresAndMovesFollowTheTables) {
    engine.send("setoption name SyzygyPath value " TARVO_TEST_DATA "/syzygy");
    EXPECT_EQ(next(), "info string Found 5 tablebases with up to 4 pieces");

    const TablebaseCase cases[] = {
        {"KQK, three moves stalemate or hang the queen",
         "fen k7/8/1K6/8/8/8/8/6Q1 w - - 0 1",
         true,
         "win",
         {"b6c7", "g1h2", "g1g3"},
         ""},
        {"KRK, four rook moves hang the rook",
         "fen 8/8/8/8/8/2k5/1R6/K7 w - - 0 1",
         true,
         "cp 32000",
         {"b2c2", "b2d2", "b2b3", "b2b4"},
         ""},
        {"KRK, a found mate stays a mate (b1b7 stalemates)",
         "fen k7/2K5/8/8/8/8/8/1R6 w - - 0 1",
         true,
         "mate 1",
         {"b1b7"},
         ""},
        {"KRK, the losing side", "fen 8/8/8/8/8/2k5/8/K2R4 b - - 0 1", true, "cp -32000", {}, ""},
        {"KRKR, a draw unless the king walks into the skewer",
         "fen 8/8/8/4k3/8/8/8/3RK1r1 w - - 0 1",
         true,
         "cp 0",
         {"e1f2"},
         ""},
        {"KPK, one king move wins",
         "fen 8/8/2k5/8/4P3/4K3/8/8 w - - 0 1",
         true,
         "cp 32000",
         {},
         "e3f4"},
        {"KQK come back to: only the fastest win leaves the cycle",
         "fen 8/8/8/8/8/4k3/6Q1/6K1 w - - 0 1 moves g1f1 e3d3 f1g1 d3e3",
         true,
         "win",
         {},
         "g2d5"},
        {"KPKP, only taking en passant wins",
         "fen 8/8/8/3pP2k/8/8/8/1K6 w - d6 0 1",
         true,
         "cp 32000",
         {},
         "e5d6"},
        {"fifty-move rule on: the win is a draw", FiftyMoveGame, true, "cp 0", {}, ""},
        {"fifty-move rule off: the win counts", FiftyMoveGame, false, "cp 32000", {}, ""},
    };
    for (const TablebaseCase& test : cases) {
        SCOPED_TRACE(test.name);
        engine.send(std::string("setoption name Syzygy50MoveRule value ") +
                    (test.fiftyMoveRule ? "true" : "false"));
        const Lines lines       = search(test.position);
        const std::string line  = LastBestLine(lines);
        const std::string move  = BestMove(lines);
        const std::string score = Token(line, "score", 2);
        if (test.score == "win" && score.starts_with("mate ")) {
            EXPECT_GT(Number(Token(line, "mate")), 0) << line;
        } else {
            EXPECT_EQ(score, test.score == "win" ? "cp 32000" : test.score) << line;
        }
        EXPECT_GE(Number(Token(line, "tbhits")), 1) << line;
        EXPECT_EQ(test.refused.count(move), 0u) << move;
        if (!test.required.empty()) {
            EXPECT_EQ(move, test.required);
        }
    }
    // Probes inside the search, after captures into smaller endings, count as hits too.
    const Lines lines = search("fen 8/8/8/4k3/8/8/8/3RK1r1 w - - 0 1", "go depth 5");
    EXPECT_GT(Number(Token(LastBestLine(lines), "tbhits")), 1) << LastBestLine(lines);
}

TEST_F(Tablebases, ABadPathIsRefusedAndAnEmptyOneUnloads) {
    const std::string won = "fen 8/8/8/8/8/2k5/1R6/K7 w - - 0 1";
    engine.send("setoption name SyzygyPath value /no/such/folder:" TARVO_TEST_DATA);
    EXPECT_EQ(next(), "info string No tablebases found in /no/such/folder:" TARVO_TEST_DATA
                      ", playing without them");
    Lines lines = search(won);
    EXPECT_EQ(Token(LastBestLine(lines), "tbhits"), "") << LastBestLine(lines);
    EXPECT_NE(BestMove(lines), "");

    engine.send("setoption name SyzygyPath value " TARVO_TEST_DATA "/syzygy");
    EXPECT_EQ(next(), "info string Found 5 tablebases with up to 4 pieces");
    EXPECT_EQ(Token(LastBestLine(search(won)), "score", 2), "cp 32000");
    engine.send("setoption name SyzygyPath value <empty>");
    lines = search(won);
    EXPECT_TRUE(lines.front().starts_with("info depth")) << lines.front();
    EXPECT_EQ(Token(LastBestLine(lines), "tbhits"), "") << LastBestLine(lines);
    EXPECT_NE(Token(LastBestLine(lines), "score", 2), "cp 32000");
}

} // namespace
} // namespace tarvo
