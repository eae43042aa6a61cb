// The built engine through a pipe, as a chess interface drives it: the sessions of
// transcripts.txt, and what a transcript cannot say (legality under threads, timing, exits, the
// limited strength's games and seeds).

#include "board/tables.h"
#include "e2e/engine_process.h"
#include "support/boards.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <tuple>

namespace tarvo {
namespace {

using namespace testing;

// A transcript's text to send: {TEXT}*N repeats TEXT, then \n \r \t \xNN are unescaped.
std::string Unescape(std::string text) {
    static const std::regex repeat("\\{([^}]*)\\}\\*(\\d+)");
    for (std::smatch found; std::regex_search(text, found, repeat);) {
        std::string repeated;
        for (int i = std::stoi(found[2]); i > 0; --i)
            repeated += found[1];
        text = found.prefix().str() + repeated + found.suffix().str();
    }
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : '\0';
        if (c == 'x')
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)), i += 2;
        else
            bytes += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c ? c : text[i];
    }
    return bytes;
}

// Reads until the lines read end with lines that match `pattern` (split at \n); without `skip`
// the next line must. A best move passed on the way ends the wait.
bool Expect(EngineProcess& engine, const std::string& pattern, bool skip) {
    const std::regex wanted("(?:^|\n)(?:" + pattern + ")\n$");
    std::string read;
    for (std::string line; engine.readLine(line, 60000);) {
        EXPECT_TRUE(!line.starts_with("info") || testing::IsInfoLine(line)) << line;
        if (std::regex_search(read += line + "\n", wanted))
            return true;
        if (!skip || line.starts_with("bestmove"))
            break;
    }
    ADD_FAILURE() << "expected: " << pattern << "\nread:\n" << read;
    return false;
}

TEST(Engine, Transcripts) {
    std::ifstream in(TARVO_SOURCE_DIR "/tests/e2e/transcripts.txt");
    std::unique_ptr<EngineProcess> engine;
    std::string session;
    bool failed = true;
    int number = 0, sessions = 0;
    for (std::string step; std::getline(in, step); ++number) {
        std::size_t digits = 0; // "3~ RE": the step three times
        const int times    = step[0] >= '1' && step[0] <= '9' ? std::stoi(step, &digits) : 1;
        step.erase(0, digits);
        if (step.starts_with("== ")) {
            engine  = std::make_unique<EngineProcess>();
            session = step.substr(3), failed = false, ++sessions;
        }
        if (failed || step.empty() || step[0] == '#' || step.starts_with("=="))
            continue;
        SCOPED_TRACE("transcripts.txt:" + std::to_string(number + 1) + " in " + session);
        const std::string text =
            std::regex_replace(step.substr(std::min<std::size_t>(2, step.size())),
                               std::regex("\\$DATA"), TARVO_TEST_DATA);
        if (step[0] == '>')
            engine->send(Unescape(text));
        for (int i = 0; i < times && step[0] != '>' && !failed; ++i)
            failed = !Expect(*engine, text, step[0] == '~');
    }
    EXPECT_EQ(sessions, 7);
}

// Searches ended every way the protocol allows, as fast as an interface sends them, on two threads
// and at a limited strength, some in games the engine plays against itself: each ends with one
// legal best move and a legal ponder move after it, no stop is lost, one waiting for stop or
// ponderhit answers isready meanwhile, and clock play answers inside its clock.
TEST(Engine, ThreadsEndEveryGoWithOneLegalBestMove) {
#ifdef TARVO_SANITIZED
    constexpr int Pairs = 60, TimedSearches = 40, GraceMs = 1000;
#else
    constexpr int Pairs = 1000, TimedSearches = 400, GraceMs = 100;
#endif
    // Among them a mate in one, where the iterations run out at once, and a single legal move.
    const char* fens[] = {
        StartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "6k1/5ppp/8/8/8/8/8/K2R4 w - - 0 1",
        "4k3/8/8/8/8/8/3P1P2/r3K3 w - - 0 1"};
    EngineProcess engine;
    engine.uci({"Threads value 2"});
    // `go` may name its end (stop, ponderhit) behind a bar; `waits`: isready comes first. The best
    // move is played on `board`; `answerMs` counts from the last command sent.
    int answerMs    = 0;
    const auto play = [&](Board& board, const std::string& go, bool waits) {
        const auto bar = go.find('|');
        engine.send("position fen " + WriteFen(board) + "\n" + go.substr(0, bar));
        if (waits && bar != std::string::npos) { // long after a limited allowance is spent
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            engine.send("isready");
            EXPECT_EQ(Count(engine.readUntil("readyok"), "bestmove"), 0) << go;
        }
        if (bar != std::string::npos)
            engine.send(go.substr(bar + 1));
        const auto start  = std::chrono::steady_clock::now();
        const Lines lines = engine.readUntil("bestmove");
        answerMs          = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
        ASSERT_TRUE(IsBestMoveLine(Last(lines))) << go << ": " << Last(lines);
        const Lines best = Tokens(Last(lines));
        ASSERT_NE(test::FindMove(board, best[1]), NoMove) << WriteFen(board) << " " << go;
        board = test::After(board, best[1]);
        if (best.size() == 4) {
            EXPECT_NE(test::FindMove(board, best[3]), NoMove) << WriteFen(board) << " " << go;
        }
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_TRUE(lines[i] == "readyok" || testing::IsInfoLine(lines[i])) << lines[i];
    };
    for (int i = 0; i < Pairs; ++i) {
        Board board = test::BoardFrom(fens[i % 5]);
        ASSERT_NO_FATAL_FAILURE(play(board, "go infinite|stop", i == 0));
    }
    // Every other search on the next position of a game; pondering ends with a ponderhit, or with
    // a stop where its guess missed.
    const char* timed[] = {"go movetime 5", "go wtime 300 btime 300 winc 5 binc 5",
                           "go ponder wtime 300 btime 300 winc 5 binc 5|ponderhit",
                           "go ponder movetime 5|stop"};
    Board game          = test::BoardFrom(StartFen);
    for (int i = 0; i < TimedSearches; ++i) {
        if (i % 160 == 0 || test::LegalMoves(game).empty())
            game = test::BoardFrom(StartFen);
        Board fixed = test::BoardFrom(fens[i / 2 % 5]);
        ASSERT_NO_FATAL_FAILURE(play(i % 2 ? game : fixed, timed[i / 2 % 4], false));
        if (i / 2 % 4 == 1 || i / 2 % 4 == 2) {
            EXPECT_LT(answerMs, 300 + GraceMs) << timed[i / 2 % 4];
        }
    }
    engine.send(
        "setoption name Threads value 1\nsetoption name UCI_LimitStrength value true\n"
        "setoption name UCI_Elo value 1200\nsetoption name Strength Seed value 1\nucinewgame");
    Board limited =
        test::BoardFrom("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4");
    for (const char* go :
         {"go depth 6", "go nodes 3000", "go movetime 100",
          "go wtime 2000 btime 2000 winc 20 binc 20", "go infinite|stop",
          "go ponder wtime 2000 btime 2000|ponderhit", "setoption name MultiPV value 3\ngo depth 5",
          "setoption name Threads value 2\ngo wtime 2000 btime 2000", "go infinite|stop"})
        ASSERT_NO_FATAL_FAILURE(play(limited, go, true));
    // Exactly one best move each: none is left over.
    engine.send("isready");
    EXPECT_EQ(Count(engine.readUntil("readyok"), "bestmove"), 0);
}

// The clock binds whatever else limits the search, a clock of a few dozen milliseconds is
// answered inside it, and with far more threads than cores whichever thread runs notices the
// time limit (the fastest of a few tries counts: the machine's scheduling adds to any one).
// Pondering ends by the limits of its go from ponderhit on, counted from the go; a limited engine
// under a clock takes a share of its budget (asleep once its nodes are spent), uses a move time in
// full, and a stop ends its wait at once. Lower bounds are checked once, with upper ones far above.
TEST(Engine, ClocksBindAndPonderhitAndALimitedEngineKeepTheirTime) {
    const std::tuple<int, const char*, int, int> cases[] = {
        {1, "go wtime 30 btime 30 depth 30", 0, 2000},
        {1, "go wtime 30 btime 30 nodes 100000000", 0, 2000},
        {1, "go wtime 30 btime 30 movetime 60000", 0, 2000},
        {1, "go wtime 112 btime 33 winc 0 binc 0 movestogo 1", 0, 33},
#ifndef TARVO_SANITIZED
        {256, "go movetime 16", 0, 500},
#endif
        {1, "go ponder movetime 1000\nponderhit", 1000, 60000},
        // A budget of 580 ms: the limited engine answers after 45 to 90 % of it.
        {1, "setoption name UCI_LimitStrength value true\ngo wtime 20000 btime 20000", 260, 60000},
        {1, "go movetime 700", 700, 60000},
    };
    // The engine counts whole milliseconds of its tick clock, so a span it reads as N ms may
    // be up to 1 ms shorter: one is added back before comparing with a lower bound.
    const auto msSince = [](std::chrono::steady_clock::time_point start) {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
    };
    EngineProcess engine;
    engine.uci({"UCI_Elo value 1200"});
    for (const auto& [threads, go, atLeastMs, belowMs] : cases) {
        engine.send("setoption name Threads value " + std::to_string(threads));
        int fastest = 1 << 30;
        for (int attempt = 0; attempt < 10 && fastest >= belowMs; ++attempt) {
            const auto start  = std::chrono::steady_clock::now();
            const Lines lines = engine.search("startpos moves e2e4", go);
            fastest           = std::min(fastest, msSince(start));
            EXPECT_TRUE(IsBestMoveLine(Last(lines))) << go << ": " << Last(lines);
        }
        EXPECT_LT(fastest, belowMs) << go;
        EXPECT_GE(fastest + 1, atLeastMs) << go;
    }
    // A budget of 20 s: the wait would last 9 s at least.
    const auto start = std::chrono::steady_clock::now();
    engine.send("go wtime 600000 btime 600000");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine.send("isready");
    EXPECT_EQ(Count(engine.readUntil("readyok"), "bestmove"), 0);
    engine.send("stop");
    EXPECT_TRUE(IsBestMoveLine(Last(engine.readUntil("bestmove"))));
    EXPECT_LT(msSince(start), 8000);
}

// Quit during a search ends the process without a best move; the end of input lets the
// search end (an infinite one at once) and answer first, and the searches queued behind it.
TEST(Engine, QuitEndsAtOnceAndTheEndOfInputAnswersFirst) {
    for (const bool quit : {true, false})
        for (const auto& [position, threads] : {std::pair{"startpos", 1},
                                                {"fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 1},
                                                {"startpos", 2}}) {
            EngineProcess engine;
            engine.uci({"Threads value " + std::to_string(threads)});
            engine.send(std::string("position ") + position + "\ngo infinite");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            quit ? engine.send("quit") : engine.closeInput();
            EXPECT_EQ(engine.waitForExit(), 0) << position << threads << quit;
            EXPECT_EQ(Count(engine.readUntil("bestmove", 1000), "bestmove"), quit ? 0 : 1)
                << position;
        }
    EngineProcess engine;
    engine.send("position startpos\ngo depth 7\nposition startpos moves e2e4\ngo nodes 2000");
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(), 0);
    EXPECT_EQ(Count(engine.readUntil("bestmove", 1000), "info depth 7 "), 1);
    EXPECT_EQ(Count(engine.readUntil("bestmove", 1000), "bestmove"), 1) << "the second go";
}

// The weakest setting mates a full-strength defender with queen or rook from the middle of the
// board well inside the fifty-move rule (transcripts.txt: it still mates in one). Its random
// source restarts with each game: one seed replays its choices, another one makes others.
TEST(LimitedStrength, ConvertsTheBasicMatesAndFollowsTheSeed) {
    const auto limited = [](EngineProcess& engine, int seed) {
        engine.uci({"UCI_LimitStrength value true", "UCI_Elo value 1000",
                    "Strength Seed value " + std::to_string(seed)});
        engine.send("ucinewgame");
    };
    for (const char* fen : {"8/8/8/4k3/8/8/8/3QK3 w - - 0 1", "8/8/8/4k3/8/8/8/R3K3 w - - 0 1"}) {
        EngineProcess players[2];
        limited(players[0], 1);
        players[1].uci();
        Board board       = test::BoardFrom(fen);
        std::string moves = " moves";
        for (int ply = 0; ply < 100 && !test::LegalMoves(board).empty(); ++ply) {
            const std::string best = BestMove(players[ply % 2].search(
                std::string("fen ") + fen + moves, ply % 2 ? "go nodes 2000" : "go wtime 60000"));
            ASSERT_NE(test::FindMove(board, best), NoMove) << fen << moves << ": " << best;
            board = test::After(board, best);
            moves += " " + best;
        }
        EXPECT_TRUE(
            test::LegalMoves(board).empty() &&
            IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]))
            << fen << moves;
    }
    const auto choices = [&](int seed) {
        EngineProcess engine;
        limited(engine, seed);
        std::string played;
        for (const char* moves : {"", " e2e4", " e2e4 e7e5", " d2d4 d7d5 c2c4", " e2e4 c7c5"})
            played += BestMove(engine.search(std::string("startpos moves") + moves,
                                             "go wtime 60000 btime 60000")) +
                      " ";
        return played;
    };
    EXPECT_EQ(choices(7), choices(7));
    EXPECT_NE(choices(7), choices(8));
}

} // namespace
} // namespace tarvo
