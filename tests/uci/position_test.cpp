#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "uci/position.h"
#include "uci/stdio_pipes.h"

namespace tarvo {
namespace {

struct Position : ::testing::Test {
    OptionTable table;
    Board board{};

    // Runs the command text and returns what it wrote.
    std::string run(const std::string& text) {
        pipes::StdoutCapture output;
        handlePosition(table, text.c_str(), board);
        return output.text();
    }
    std::string fen() const { return WriteFen(board); }
};

TEST_F(Position, StartposPlaysTheMoveList) {
    EXPECT_EQ(run("startpos\n"), "");
    EXPECT_EQ(fen(), StartFen);
    EXPECT_EQ(run("startpos moves e2e4 e7e5\n"), "");
    EXPECT_EQ(fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(board.historyCount, 2u);
    // Extra blanks and tabs between and around moves change nothing.
    EXPECT_EQ(run("startpos moves   e2e4 \t e7e5  \n"), "");
    EXPECT_EQ(fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 1");
}

TEST_F(Position, FenEndsBeforeTheMoveList) {
    const std::string kiwi = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
    EXPECT_EQ(run("fen " + kiwi + " 0 1\n"), "");
    EXPECT_EQ(fen(), kiwi + " 0 1");
    EXPECT_EQ(run("fen " + kiwi + " 0 1 moves e1g1 a6e2\n"), "");
    EXPECT_EQ(fen(), "r3k2r/p1ppqpb1/1n2pnp1/3PN3/1p2P3/2N2Q1p/PPPBbPPP/R4RK1 w kq - 0 1");
    // The en-passant capture is found and played as such.
    EXPECT_EQ(run("fen " + kiwi + " 0 1 moves a2a4 b4a3\n"), "");
    EXPECT_EQ(fen(), "r3k2r/p1ppqpb1/bn2pnp1/3PN3/4P3/p1N2Q1p/1PPBBPPP/R3K2R w KQkq - 0 1");
}

TEST_F(Position, IllegalMoveStopsTheListThere) {
    EXPECT_EQ(run("startpos moves e2e4 e2e5 d7d5\n"), "info string illegal move e2e5\n");
    EXPECT_EQ(fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(board.historyCount, 1u);

    const char* refused[] = {"e2e4x1", "e2e4q", "e1g1", "e7e5", "0000", "e2", "z9z9"};
    for (const char* token : refused) {
        EXPECT_EQ(run(std::string("startpos moves ") + token + " d2d4\n"),
                  std::string("info string illegal move ") + token + "\n");
        EXPECT_EQ(fen(), StartFen) << token;
    }
}

TEST_F(Position, PromotionNeedsItsLetter) {
    const std::string promotion = "fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves ";
    EXPECT_EQ(run(promotion + "a7a8\n"), "info string illegal move a7a8\n");
    EXPECT_EQ(run(promotion + "a7a8N\n"), "info string illegal move a7a8N\n");
    EXPECT_EQ(run(promotion + "a7a8n\n"), "");
    EXPECT_EQ(fen(), "N3k3/8/8/8/8/8/8/4K3 b - - 0 1");
}

TEST_F(Position, RefusedFenKeepsTheBoardAndSkipsTheMoves) {
    run("startpos moves e2e4\n");
    const std::string before = fen();
    const std::string output = run("fen rnbqkbnr/pppppppp/8/8 w KQkq - 0 1 moves e2e4\n");
    EXPECT_EQ(output.rfind("info string invalid fen: ", 0), 0u) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    EXPECT_EQ(fen(), before);

    EXPECT_EQ(run("moves e2e4\n").rfind("info string ", 0), 0u);
    EXPECT_EQ(run("\n").rfind("info string ", 0), 0u);
    EXPECT_EQ(fen(), before);
}

TEST_F(Position, JunkIsEchoedPrintably) {
    EXPECT_EQ(run("startpos moves \x01\x7f\xff\x1b[2J\n"), "info string illegal move ????[2J\n");
    const std::string longToken(1000, 'e');
    EXPECT_EQ(run("startpos moves " + longToken + "\n"),
              "info string illegal move " + std::string(32, 'e') + "\n");
}

// A 3000-ply game of knights going out and back: the key history never overflows, and the
// position four plies back (the same one) is still found.
TEST_F(Position, LongGamesKeepTheirRecentHistory) {
    std::string text = "startpos moves";
    for (int round = 0; round < 750; ++round)
        text += " g1f3 g8f6 f3g1 f6g8";
    run("startpos moves g1f3 g8f6 f3g1\n");
    const std::uint64_t beforeLastMove = board.hashKey;
    run("startpos moves g1f3 g8f6\n");
    const std::uint64_t twoPliesBack = board.hashKey;

    EXPECT_EQ(run(text + "\n"), "");
    EXPECT_EQ(fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 255 1");
    EXPECT_LE(board.historyCount, static_cast<std::uint32_t>(CompactionThreshold));
    EXPECT_GE(board.historyCount, static_cast<std::uint32_t>(KeptHistory));
    const std::uint32_t count = board.historyCount;
    EXPECT_EQ(board.history[count - 1], beforeLastMove);
    EXPECT_EQ(board.history[count - 2], twoPliesBack);
    for (std::uint32_t back = 4; back <= 100; back += 4)
        EXPECT_EQ(board.history[count - back], board.hashKey) << back;
    EXPECT_NE(board.history[count - 2], board.hashKey);
}

} // namespace
} // namespace tarvo
