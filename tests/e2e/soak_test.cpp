// Whole games of the engine against itself through pipes, at very short limits, with isready,
// stop, ponderhit and ucinewgame thrown in at random (from a fixed seed): every best move and
// ponder move must be legal where it is played, and every answer must come in time.

#include "e2e/engine_process.h"
#include "support/boards.h"

#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace tarvo {
namespace {

using namespace testing;

#ifdef TARVO_SANITIZED
// The sanitizers slow the engine several times over, and a node poll comes that much later.
constexpr int Games = 2, GraceMs = 150;
#else
constexpr int Games = 5, GraceMs = 0;
#endif
// The increment stays above the few milliseconds that each answer spends in the pipes and
// the scheduler, so the clocks do not drain on their own.
constexpr int ClockMs = 400, IncrementMs = 30, OverheadMs = 30;
constexpr int AnswerMs = 2000; // isready, stop and node-limited searches

Board After(Board board, const std::string& move) {
    UndoInfo undo;
    MakeMove(board, test::FindMove(board, move), undo);
    return board;
}

void Ready(EngineProcess& engine, const std::string& before) {
    engine.send(before + "isready");
    EXPECT_EQ(Last(engine.readUntil("readyok", AnswerMs)), "readyok") << before;
}

struct Match {
    std::mt19937 random{20261206};
    EngineProcess engines[2];
    std::string ponderingOn[2]; // the reply each engine ponders on, "" when it does not
    Board pondered[2], board;
    std::string moves;
    int clock[2]   = {};
    bool clockGame = true;

    bool chance(double p) { return std::uniform_real_distribution<>(0.0, 1.0)(random) < p; }
    int upTo(int n) { return std::uniform_int_distribution<>(0, n)(random); }
    std::string goClock(const char* ponder = "") const {
        return "go" + std::string(ponder) + " wtime " + std::to_string(clock[White]) + " btime " +
               std::to_string(clock[Black]) + " winc " + std::to_string(IncrementMs) + " binc " +
               std::to_string(IncrementMs);
    }

    // The best move's tokens (read with the answer to an isready sent meanwhile), checked
    // legal with their ponder move on `at`; none when they are not, or nothing could be played.
    Lines bestMove(EngineProcess& engine, int timeoutMs, bool readyAsked, const Board& at) {
        const Lines lines = engine.readUntil("bestmove ", timeoutMs);
        EXPECT_EQ(Count(lines, "info ") + Count(lines, "bestmove ") + Count(lines, "readyok"),
                  static_cast<int>(lines.size()));
        if (readyAsked && testing::Count(lines, "readyok") == 0) {
            EXPECT_EQ(Last(engine.readUntil("readyok", AnswerMs)), "readyok");
        }
        const Lines t = testing::Tokens(Last(lines));
        if (test::LegalMoves(at).empty()) { // a guess that left nothing to play
            EXPECT_EQ(t, (Lines{"bestmove", "0000"}));
            return {};
        }
        const bool legal = t.size() > 1 && t[0] == "bestmove" && test::FindMove(at, t[1]) != NoMove;
        EXPECT_TRUE(legal && (t.size() == 2 || (t.size() == 4 && t[2] == "ponder")))
            << Last(lines) << " in " << WriteFen(at) << " within " << timeoutMs << " ms";
        if (legal && t.size() == 4) {
            EXPECT_NE(test::FindMove(After(at, t[1]), t[3]), NoMove) << t[3] << " after " << t[1];
        }
        return legal ? t : Lines{};
    }

    // A player whose guess missed stops, and its answer must still be legal there.
    void endPonder(int side) {
        engines[side].send("stop");
        bestMove(engines[side], AnswerMs, false, pondered[side]);
        ponderingOn[side].clear();
    }

    // Plays the side to move's answer and sets the reply it expects ("" for none); false when
    // no legal answer came.
    bool playMove(std::string& expected) {
        const int side        = board.sideToMove;
        EngineProcess& engine = engines[side];
        const bool hit =
            !ponderingOn[side].empty() && ponderingOn[side] == moves.substr(moves.rfind(' ') + 1);
        if (!ponderingOn[side].empty() && !hit)
            endPonder(side);
        if (!hit && chance(0.05)) // a new game announced mid-game only empties the table
            Ready(engine, "ucinewgame\n");
        const auto start = std::chrono::steady_clock::now();
        engine.send(
            hit ? "ponderhit"
                : "position startpos moves" + moves + "\n" +
                      (clockGame ? goClock() : "go nodes " + std::to_string(200 + upTo(3000))));
        ponderingOn[side].clear();
        const bool askReady = chance(0.3), sendStop = chance(0.1);
        if (askReady || sendStop)
            std::this_thread::sleep_for(std::chrono::milliseconds(upTo(8)));
        if (askReady)
            engine.send("isready");
        if (sendStop)
            engine.send("stop");
        const int limit    = clockGame ? clock[side] + GraceMs : AnswerMs;
        const Lines tokens = bestMove(engine, limit + AnswerMs, askReady, board);
        const int used     = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - start)
                                              .count());
        EXPECT_LE(used, limit) << "side " << side << " with " << clock[side] << " ms left";
        if (tokens.empty())
            return false;
        clock[side] += clockGame ? IncrementMs - used : 0;
        board = After(board, tokens[1]);
        moves += " " + tokens[1];
        expected = tokens.size() == 4 ? tokens[3] : "";
        return true;
    }

    void playGame(int game) {
        clockGame = game % 3 != 2;
        for (EngineProcess& engine : engines)
            Ready(engine, game > 0 && chance(0.7) ? "ucinewgame\n" : "");
        board = test::BoardFrom(StartFen);
        moves.clear();
        clock[White] = clock[Black] = ClockMs;
        std::string expected;
        for (int ply = 0; ply < 80 && !test::LegalMoves(board).empty() && playMove(expected);
             ++ply) {
            // The player who just moved ponders, mostly on the reply its line expects and
            // sometimes on any reply, so both ponderhit and stop come up.
            const auto replies = test::LegalMoves(board);
            if (!clockGame || replies.empty() || !chance(0.5))
                continue;
            const int pick  = upTo(static_cast<int>(replies.size()) - 1),
                      mover = board.sideToMove ^ 1;
            ponderingOn[mover] =
                !expected.empty() && chance(0.7) ? expected : test::MoveText(replies[pick]);
            pondered[mover] = After(board, ponderingOn[mover]);
            engines[mover].send("position startpos moves" + moves + " " + ponderingOn[mover] +
                                "\n" + goClock(" ponder"));
        }
        for (int side : {White, Black})
            if (!ponderingOn[side].empty())
                endPonder(side);
    }
};

TEST(Soak, SelfPlayAtShortLimitsWithCommandsInterleaved) {
    Match match;
    for (EngineProcess& engine : match.engines)
        engine.uci({"Move Overhead value " + std::to_string(OverheadMs)});
    for (int game = 0; game < Games && !::testing::Test::HasFatalFailure(); ++game)
        match.playGame(game);
    for (EngineProcess& engine : match.engines) {
        engine.send("quit");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

} // namespace
} // namespace tarvo
