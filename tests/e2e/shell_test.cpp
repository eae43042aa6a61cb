#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "board/fen.h"
#include "e2e/engine_process.h"

namespace tarvo {
namespace {

using testing::EngineProcess;

// The next line the engine writes, or a marker that none came.
std::string nextLine(EngineProcess& engine) {
    std::string line;
    return engine.readLine(line) ? line : "<no line>";
}

// Sends isready and expects readyok as the very next line: everything the commands before it
// wrote has then been read.
void expectReadyNext(EngineProcess& engine) {
    ASSERT_TRUE(engine.send("isready"));
    EXPECT_EQ(nextLine(engine), "readyok");
}

TEST(Shell, AnswersUciExactly) {
    EngineProcess engine(TARVO_BINARY);
    ASSERT_TRUE(engine.running());
    ASSERT_TRUE(engine.send("uci"));
    const std::vector<std::string> reply = engine.readUntil("uciok");
    ASSERT_EQ(reply.size(), 11u);
    int year = -1, month = -1, day = -1;
    char hour = 0;
    EXPECT_EQ(std::sscanf(reply[0].c_str(), "id name Tarvo %d.%d.%d%c", &year, &month, &day, &hour),
              4)
        << reply[0];
    EXPECT_TRUE(hour >= 'a' && hour <= 'x') << reply[0];
    const std::vector<std::string> expected = {
        "id author Pell Arvost",
        "option name Hash type spin default 16 min 8 max 256",
        "option name Clear Hash type button ",
        "option name MultiPV type spin default 1 min 1 max 16",
        "option name Ponder type check default false ",
        "option name Rate of play type combo default normal var slow var normal var fast",
        "option name UCI_Chess960 type check default false ",
        "option name UCI_ShowCurrLine type check default false ",
        "option name UCI_EngineAbout type string default Tarvo by Arvost Pell ",
        "uciok"};
    EXPECT_EQ(std::vector<std::string>(reply.begin() + 1, reply.end()), expected);

    // Silent commands, and lines that are not commands.
    for (const char* line : {"ucinewgame", "setoption name Hash value 32", "stop", "ponderhit",
                             " isready", "ISREADY", "", "xyzzy", "setoption name Nothing"})
        ASSERT_TRUE(engine.send(line));
    expectReadyNext(engine);

    ASSERT_TRUE(engine.send("quit"));
    EXPECT_EQ(engine.waitForExit(), 0);
    std::string line;
    EXPECT_FALSE(engine.readLine(line, 1000)) << line;
}

TEST(Shell, SetsPositionsAndCountsMoves) {
    EngineProcess engine(TARVO_BINARY);
    ASSERT_TRUE(engine.running());
    // Before any position command the engine holds the start position.
    ASSERT_TRUE(engine.send("go perft 1"));
    EXPECT_EQ(engine.readUntil("Nodes searched").back(), "Nodes searched: 20");

    const std::string kiwi = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    ASSERT_TRUE(engine.send("position fen " + kiwi + " moves e1g1 a6e2"));
    ASSERT_TRUE(engine.send("d"));
    const std::vector<std::string> diagram = engine.readUntil("Key: ");
    ASSERT_GE(diagram.size(), 3u);
    const std::string fen = "r3k2r/p1ppqpb1/1n2pnp1/3PN3/1p2P3/2N2Q1p/PPPBbPPP/R4RK1 w kq - 0 1";
    EXPECT_EQ(diagram[diagram.size() - 2], "Fen: " + fen);
    Board board{};
    ASSERT_TRUE(SetFromFen(board, fen.c_str()));
    char key[32];
    std::snprintf(key, sizeof key, "Key: %016llX", static_cast<unsigned long long>(board.hashKey));
    EXPECT_EQ(diagram.back(), key);
    // Rank 8 on top, white pieces in capitals.
    const std::string rank8 = " | r |   |   |   | k |   |   | r | 8";
    const std::string rank1 = " | R |   |   |   |   | R | K |   | 1";
    EXPECT_NE(std::find(diagram.begin(), diagram.end(), rank8), diagram.end());
    EXPECT_LT(std::find(diagram.begin(), diagram.end(), rank8),
              std::find(diagram.begin(), diagram.end(), rank1));

    ASSERT_TRUE(engine.send("position fen " + kiwi));
    ASSERT_TRUE(engine.send("go perft 3"));
    std::vector<std::string> lines = engine.readUntil("Nodes searched");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Nodes searched: 97862");
    EXPECT_EQ(lines.size(), 48u + 2);

    ASSERT_TRUE(engine.send("position startpos"));
    ASSERT_TRUE(engine.send("go perft 3"));
    lines                                 = engine.readUntil("Nodes searched");
    const std::vector<std::string> divide = {
        "a2a3: 380", "b2b3: 420", "c2c3: 420", "d2d3: 539",           "e2e3: 599", "f2f3: 380",
        "g2g3: 420", "h2h3: 380", "a2a4: 420", "b2b4: 421",           "c2c4: 441", "d2d4: 560",
        "e2e4: 600", "f2f4: 401", "g2g4: 421", "h2h4: 420",           "b1a3: 400", "b1c3: 440",
        "g1f3: 440", "g1h3: 400", "",          "Nodes searched: 8902"};
    // The divide lines come in generation order; compare them as a set.
    std::vector<std::string> sorted   = lines;
    std::vector<std::string> expected = divide;
    std::sort(sorted.begin(), sorted.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
    ASSERT_EQ(lines.size(), divide.size());
    EXPECT_EQ(lines[20], "");
    expectReadyNext(engine);

    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST(Shell, RefusesBadPositionsWithOneLine) {
    EngineProcess engine(TARVO_BINARY);
    ASSERT_TRUE(engine.running());
    ASSERT_TRUE(engine.send("position startpos moves e2e4 e2e5 e7e5"));
    EXPECT_EQ(nextLine(engine), "info string illegal move e2e5");
    expectReadyNext(engine);

    ASSERT_TRUE(engine.send("position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1"));
    EXPECT_EQ(nextLine(engine).rfind("info string invalid fen: ", 0), 0u);
    expectReadyNext(engine);

    // The board still holds the position before the refused FEN.
    ASSERT_TRUE(engine.send("d"));
    const std::vector<std::string> diagram = engine.readUntil("Key: ");
    ASSERT_GE(diagram.size(), 2u);
    EXPECT_EQ(diagram[diagram.size() - 2],
              "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST(Shell, SurvivesHostileInput) {
    EngineProcess engine(TARVO_BINARY);
    ASSERT_TRUE(engine.running());
    // Windows line ends: the carriage return never reaches a command.
    ASSERT_TRUE(engine.sendRaw("isready\r\n"));
    EXPECT_EQ(nextLine(engine), "readyok");
    ASSERT_TRUE(engine.sendRaw("position startpos moves e2e4 e7e5\r\nd\r\n"));
    std::vector<std::string> diagram = engine.readUntil("Key: ");
    ASSERT_GE(diagram.size(), 2u);
    EXPECT_EQ(diagram[diagram.size() - 2],
              "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 1");

    // A 100 KB line is read in pieces; neither piece is a command.
    ASSERT_TRUE(engine.send(std::string(100 * 1024, 'x')));
    // A 100 KB move list: the board keeps the legal moves and refuses the first bad token.
    std::string moves = "position startpos moves";
    for (int i = 0; i < 10000; ++i)
        moves += " g1f3 g8f6 f3g1 f6g8";
    ASSERT_TRUE(engine.send(moves));
    std::string line = nextLine(engine);
    EXPECT_EQ(line.rfind("info string illegal move ", 0), 0u) << line;
    expectReadyNext(engine);

    // Binary junk, tabs and empty lines.
    std::string junk;
    for (int byte = 0; byte < 256; ++byte)
        junk += static_cast<char>(byte);
    ASSERT_TRUE(engine.sendRaw(junk + "\n\t\t\n\n\r\n\r\r\n go\n"));
    ASSERT_TRUE(engine.sendRaw("position startpos moves \x01\xff\n"));
    EXPECT_EQ(nextLine(engine), "info string illegal move ??");
    expectReadyNext(engine);

    // A last line without its newline still counts.
    ASSERT_TRUE(engine.sendRaw("quit"));
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(), 0);
}

} // namespace
} // namespace tarvo
