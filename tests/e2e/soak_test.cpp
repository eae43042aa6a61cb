// Whole games of the engine against itself through pipes, at very short limits, with isready,
// stop, ponderhit and ucinewgame thrown in at random (from a fixed seed): every best move and
// ponder move must be legal where it is played, and every answer must come in time.

#include "e2e/engine_process.h"
#include "support/boards.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tarvo {
namespace {

using testing::EngineProcess;
using testing::Last;
using testing::Lines;
using testing::Tokens;
using SteadyClock = std::chrono::steady_clock;

#ifdef TARVO_SANITIZED
constexpr int Games = 2;
// The sanitizers slow the engine several times over, and a node poll comes that much later.
constexpr int GraceMs = 150;
#else
constexpr int Games   = 5;
constexpr int GraceMs = 0;
#endif
// The increment stays above the few milliseconds that each answer spends in the pipes and
// the scheduler, so the clocks do not drain on their own.
constexpr int MaxPlies    = 80;
constexpr int ClockMs     = 400;
constexpr int IncrementMs = 30;
constexpr int OverheadMs  = 30;
constexpr int AnswerMs    = 2000; // isready, stop and node-limited searches

int MsSince(SteadyClock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count());
}

// One engine of the match, with what it ponders on (empty when it is not pondering).
struct Player {
    EngineProcess engine;
    std::string ponderingOn;
    Board pondered{};
};

struct Match {
    std::mt19937 random{20261206};
    std::array<Player, 2> players;
    Board board{};
    std::string moves;
    std::array<int, 2> clock{};
    bool clockGame = true;

    bool chance(double p) { return std::uniform_real_distribution<>(0.0, 1.0)(random) < p; }
    int upTo(int n) { return std::uniform_int_distribution<>(0, n)(random); }

    std::string goClock(const char* extra = "") const {
        return "go" + std::string(extra) + " wtime " + std::to_string(clock[White]) + " btime " +
               std::to_string(clock[Black]) + " winc " + std::to_string(IncrementMs) + " binc " +
               std::to_string(IncrementMs);
    }

    void sync(EngineProcess& engine) {
        engine.send("isready");
        ASSERT_EQ(Last(engine.readUntil("readyok", AnswerMs)), "readyok");
    }

    // Reads to the bestmove line, and the answer to an isready sent meanwhile; returns its
    // tokens.
    Lines bestMove(EngineProcess& engine, int timeoutMs, bool readyAsked) {
        const Lines lines = engine.readUntil("bestmove ", timeoutMs);
        for (const std::string& line : lines)
            EXPECT_TRUE(line.starts_with("info ") || line.starts_with("bestmove ") ||
                        line == "readyok")
                << line;
        std::string ready;
        if (readyAsked && std::find(lines.begin(), lines.end(), "readyok") == lines.end()) {
            EXPECT_TRUE(engine.readLine(ready, AnswerMs) && ready == "readyok") << ready;
        }
        if (Last(lines).starts_with("bestmove "))
            return Tokens(lines.back());
        ADD_FAILURE() << "no bestmove within " << timeoutMs << " ms";
        return {};
    }

    // The best move, checked legal with its ponder move on `at`; empty when it is not.
    static std::string CheckedMove(const Lines& t, const Board& at) {
        const Move move = t.size() > 1 ? test::FindMove(at, t[1]) : NoMove;
        EXPECT_NE(move, NoMove) << (t.size() > 1 ? t[1] : "none") << " in " << WriteFen(at);
        EXPECT_TRUE(t.size() == 2 || (t.size() == 4 && t[2] == "ponder"));
        if (move == NoMove)
            return "";
        if (t.size() == 4) {
            Board after = at;
            UndoInfo undo;
            MakeMove(after, move, undo);
            EXPECT_NE(test::FindMove(after, t[3]), NoMove) << t[3] << " after " << t[1];
        }
        return t[1];
    }

    // A pondering player whose guess missed: stop, and its answer must still be legal there
    // (the null move when the guess left it nothing to play).
    void endPonder(Player& player) {
        player.engine.send("stop");
        const auto tokens = bestMove(player.engine, AnswerMs, false);
        if (test::LegalMoves(player.pondered).empty())
            EXPECT_EQ(tokens, (Lines{"bestmove", "0000"}));
        else
            CheckedMove(tokens, player.pondered);
        player.ponderingOn.clear();
    }

    // Plays the side to move's answer on the board and sets the reply it expects, if any;
    // false when no legal answer came.
    bool playMove(const std::string& lastMove, std::string& expected) {
        const int side        = board.sideToMove;
        Player& player        = players[side];
        EngineProcess& engine = player.engine;
        const bool hit        = !player.ponderingOn.empty() && player.ponderingOn == lastMove;
        if (!player.ponderingOn.empty() && !hit)
            endPonder(player);
        if (!hit && chance(0.05)) { // a new game announced mid-game only empties the table
            engine.send("ucinewgame");
            sync(engine);
        }
        const auto start = SteadyClock::now();
        if (hit) {
            engine.send("ponderhit");
            player.ponderingOn.clear();
        } else {
            engine.send("position startpos moves" + moves);
            engine.send(clockGame ? goClock() : "go nodes " + std::to_string(200 + upTo(3000)));
        }
        const bool askReady = chance(0.3);
        const bool sendStop = chance(0.1);
        if (askReady || sendStop)
            std::this_thread::sleep_for(std::chrono::milliseconds(upTo(8)));
        if (askReady)
            engine.send("isready");
        if (sendStop)
            engine.send("stop");
        const int limit        = clockGame ? clock[side] + GraceMs : AnswerMs;
        const auto tokens      = bestMove(engine, limit + AnswerMs, askReady);
        const int used         = MsSince(start);
        const std::string best = CheckedMove(tokens, board);
        EXPECT_LE(used, limit) << "side " << side << " with " << clock[side] << " ms left";
        if (best.empty())
            return false;
        if (clockGame)
            clock[side] += IncrementMs - used;

        UndoInfo undo;
        MakeMove(board, test::FindMove(board, best), undo);
        moves += " " + best;
        expected = tokens.size() == 4 ? tokens[3] : "";
        return true;
    }

    void playGame(int game) {
        clockGame = game % 3 != 2;
        for (Player& player : players) {
            if (game > 0 && chance(0.7))
                player.engine.send("ucinewgame");
            sync(player.engine);
        }
        ASSERT_TRUE(SetFromFen(board, StartFen));
        moves.clear();
        clock = {ClockMs, ClockMs};
        std::string lastMove;
        for (int ply = 0; ply < MaxPlies && !test::LegalMoves(board).empty(); ++ply) {
            std::string expected;
            if (!playMove(lastMove, expected))
                return;
            lastMove = moves.substr(moves.rfind(' ') + 1);
            // The player who just moved ponders, mostly on the reply its line expects and
            // sometimes on any reply, so both ponderhit and stop come up.
            const auto replies = test::LegalMoves(board);
            if (!clockGame || replies.empty() || !chance(0.5))
                continue;
            const int pick = upTo(static_cast<int>(replies.size()) - 1);
            const std::string guess =
                !expected.empty() && chance(0.7) ? expected : test::MoveText(replies[pick]);
            Player& mover     = players[board.sideToMove ^ 1];
            mover.ponderingOn = guess;
            mover.pondered    = board;
            UndoInfo undo;
            MakeMove(mover.pondered, test::FindMove(board, guess), undo);
            mover.engine.send("position startpos moves" + moves + " " + guess);
            mover.engine.send(goClock(" ponder"));
        }
        for (Player& player : players)
            if (!player.ponderingOn.empty())
                endPonder(player);
    }
};

TEST(Soak, SelfPlayAtShortLimitsWithCommandsInterleaved) {
    Match match;
    for (Player& player : match.players) {
        ASSERT_TRUE(player.engine.running());
        player.engine.send("uci");
        ASSERT_EQ(Last(player.engine.readUntil("uciok")), "uciok");
        player.engine.send("setoption name Move Overhead value " + std::to_string(OverheadMs));
    }
    for (int game = 0; game < Games && !::testing::Test::HasFatalFailure(); ++game)
        match.playGame(game);
    for (Player& player : match.players) {
        player.engine.send("quit");
        EXPECT_EQ(player.engine.waitForExit(), 0);
    }
}

} // namespace
} // namespace tarvo
