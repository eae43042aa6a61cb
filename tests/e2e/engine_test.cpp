// The built engine driven through two pipes, as a chess interface drives it: the sessions of
// transcripts.txt, and what a transcript cannot say (legality under threads, timing, exits, the
// limited strength's games and seeds).

#include "board/tables.h"
#include "support/boards.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <poll.h>
// GCC 12 under the sanitizers falsely warns of an uninitialised std::function inside <regex>.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tarvo {
namespace {

using Lines = std::vector<std::string>;

inline Lines Tokens(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}
inline std::string Last(const Lines& lines) {
    return lines.empty() ? "<no line>" : lines.back();
}
// The best move of a search's lines, or "" when they do not end with one.
inline std::string BestMove(const Lines& lines) {
    return Last(lines).starts_with("bestmove ") ? Tokens(lines.back()).at(1) : "";
}
inline int Count(const Lines& lines, const std::string& prefix) {
    return static_cast<int>(std::ranges::count_if(
        lines, [&](const std::string& line) { return line.starts_with(prefix); }));
}

inline const std::string MoveText = "[a-h][1-8][a-h][1-8][qnrb]?";
// "bestmove e2e4" or "bestmove e2e4 ponder e7e5": single blanks, nothing trailing.
inline bool IsBestMoveLine(const std::string& line) {
    static const std::regex best("bestmove " + MoveText + "( ponder " + MoveText + ")?");
    return std::regex_match(line, best);
}
// Every info line is a list of keys, each with its value(s), as an interface parses it, or a
// free text after "string".
inline bool IsInfoLine(const std::string& line) {
    static const std::regex info(
        "info(( (depth|seldepth|time|nodes|nps|multipv|hashfull|tbhits|currmovenumber) -?\\d+)|"
        "( score (cp|mate) -?\\d+)|( wdl \\d+ \\d+ \\d+)|( currmove " +
        MoveText + "))*( pv( " + MoveText + ")+)? ?");
    return line.starts_with("info string ") || (line != "info" && std::regex_match(line, info));
}

// The engine as a child process, killed when the object goes away, so a failing test never
// leaves it behind.
class EngineProcess {
  public:
    EngineProcess() {
        std::signal(SIGPIPE, SIG_IGN); // a write to an engine that has exited must just fail
        int input[2], output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
            return;
        if ((pid_ = fork()) == 0) {
            dup2(input[0], STDIN_FILENO);
            dup2(output[1], STDOUT_FILENO);
            execl(TARVO_BINARY, TARVO_BINARY, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(input[0]);
        close(output[1]);
        toEngine_   = input[1];
        fromEngine_ = output[0];
    }
    ~EngineProcess() {
        closeInput();
        close(fromEngine_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    EngineProcess(const EngineProcess&) = delete;

    // A blocking pipe takes the whole text, however long, as the engine reads it.
    void send(const std::string& line) {
        [[maybe_unused]] const ssize_t put =
            write(toEngine_, (line + "\n").data(), line.size() + 1);
    }
    // Lists the options (they take effect only after that), then sets each "NAME value V".
    void uci(const Lines& options = {}) {
        send("uci");
        readUntil("uciok");
        for (const std::string& option : options)
            send("setoption name " + option);
    }
    // A search's lines up to its best move.
    Lines search(const std::string& position, const std::string& go) {
        send("position " + position + "\n" + go);
        return readUntil("bestmove");
    }
    void closeInput() { close(std::exchange(toEngine_, -1)); }

    // The next line without its newline; false when the output ends or none comes in time.
    bool readLine(std::string& line, int timeoutMs = 10000) {
        std::size_t newline;
        while ((newline = pending_.find('\n')) == std::string::npos) {
            pollfd ready{fromEngine_, POLLIN, 0};
            char buffer[4096];
            const ssize_t got =
                poll(&ready, 1, timeoutMs) > 0 ? read(fromEngine_, buffer, sizeof buffer) : 0;
            if (got <= 0)
                return false;
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
        line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        return true;
    }
    // Lines up to and including the first that starts with `prefix`; fewer when the engine
    // falls silent for `timeoutMs`.
    Lines readUntil(const std::string& prefix, int timeoutMs = 60000) {
        Lines lines;
        for (std::string line;
             (lines.empty() || !lines.back().starts_with(prefix)) && readLine(line, timeoutMs);)
            lines.push_back(line);
        return lines;
    }
    // The exit status, or -1 on timeout or death by a signal.
    int waitForExit(int timeoutMs = 10000) {
        int status = 0;
        for (int waited = 0; waited < timeoutMs && pid_ > 0; waited += 2, usleep(2000))
            if (const pid_t done = waitpid(pid_, &status, WNOHANG); done != 0) {
                pid_ = -1;
                return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        return -1;
    }

  private:
    pid_t pid_    = -1;
    int toEngine_ = -1, fromEngine_ = -1;
    std::string pending_;
};

int MsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count());
}

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
        EXPECT_TRUE(!line.starts_with("info") || IsInfoLine(line)) << line;
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
    EXPECT_EQ(sessions, 3);
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
        answerMs          = MsSince(start);
        ASSERT_TRUE(IsBestMoveLine(Last(lines))) << go << ": " << Last(lines);
        const Lines best = Tokens(Last(lines));
        ASSERT_NE(test::FindMove(board, best[1]), NoMove) << WriteFen(board) << " " << go;
        board = test::After(board, best[1]);
        if (best.size() == 4) {
            EXPECT_NE(test::FindMove(board, best[3]), NoMove) << WriteFen(board) << " " << go;
        }
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_TRUE(lines[i] == "readyok" || IsInfoLine(lines[i])) << lines[i];
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
    // A budget of 20 s: the limited engine's wait would last 9 s at least, a stop ends it at once.
    for (const char* go :
         {"go depth 6", "go nodes 3000", "go movetime 100", "go wtime 600000 btime 600000|stop",
          "go infinite|stop", "go ponder wtime 2000 btime 2000|ponderhit",
          "setoption name MultiPV value 3\ngo depth 5",
          "setoption name Threads value 2\ngo wtime 2000 btime 2000 winc 20 binc 20",
          "go infinite|stop"}) {
        ASSERT_NO_FATAL_FAILURE(play(limited, go, true));
        EXPECT_LT(answerMs, 8000) << go;
    }
    // Exactly one best move each, none left over; quit during a search ends the process at once.
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(), 0);
    EXPECT_EQ(Count(engine.readUntil("bestmove", 1000), "bestmove"), 0);
}

// The clock binds beside any other limit, a clock of a few dozen ms is answered inside it, and
// with far more threads than cores whichever thread runs notices the time limit (the fastest of
// a few tries counts). Pondering ends by its go's limits from ponderhit on, counted from the go; a
// limited engine under a clock takes a share of its budget and uses a move time in full.
TEST(Engine, ClocksBindAndPonderhitAndALimitedEngineKeepTheirTime) {
    const std::tuple<const char*, int, int> cases[] = {
        {"go wtime 30 btime 30 depth 30", 0, 2000},
        {"go wtime 30 btime 30 nodes 100000000", 0, 2000},
        {"go wtime 30 btime 30 movetime 60000", 0, 2000},
        {"go wtime 112 btime 33 winc 0 binc 0 movestogo 1", 0, 33},
#ifndef TARVO_SANITIZED
        {"setoption name Threads value 256\ngo movetime 16", 0, 500},
#endif
        {"setoption name Threads value 1\ngo ponder movetime 1000\nponderhit", 1000, 60000},
        // A budget of 580 ms: the limited engine answers after 45 to 90 % of it.
        {"setoption name UCI_LimitStrength value true\ngo wtime 20000 btime 20000", 260, 60000},
        {"go movetime 700", 700, 60000},
    };
    // The engine counts whole milliseconds of its tick clock, so a span it reads as N ms may
    // be up to 1 ms shorter: one is added back before comparing with a lower bound.
    EngineProcess engine;
    engine.uci({"UCI_Elo value 1200"});
    for (const auto& [go, atLeastMs, belowMs] : cases) {
        int fastest = 1 << 30;
        for (int attempt = 0; attempt < 10 && fastest >= belowMs; ++attempt) {
            const auto start  = std::chrono::steady_clock::now();
            const Lines lines = engine.search("startpos moves e2e4", go);
            fastest           = std::min(fastest, MsSince(start));
            EXPECT_TRUE(IsBestMoveLine(Last(lines))) << go << ": " << Last(lines);
        }
        EXPECT_LT(fastest, belowMs) << go;
        EXPECT_GE(fastest + 1, atLeastMs) << go;
    }
    // The end of input lets the searches queued before it run in full, and an infinite one end
    // at once and answer, before the process ends.
    engine.send("setoption name UCI_LimitStrength value false\nposition startpos\ngo depth 7\n"
                "position startpos moves e2e4\ngo infinite");
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(), 0);
    const Lines rest = engine.readUntil("bestmove", 1000);
    EXPECT_EQ(std::pair(Count(rest, "info depth 7 "), Count(rest, "bestmove")), std::pair(1, 1));
    EXPECT_EQ(Count(engine.readUntil("bestmove", 1000), "bestmove"), 1) << "the second go";
}

// The weakest setting mates a full-strength defender with queen or rook from the middle of the
// board well inside the fifty-move rule, the last move a mate in one it finds. Its random source
// restarts with each game: one seed replays its choices, another one makes others.
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
