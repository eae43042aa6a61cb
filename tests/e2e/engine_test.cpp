// The built engine through a pipe, as a chess interface drives it.

#include "e2e/engine_process.h"
#include "support/boards.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace tarvo {
namespace {

using testing::EngineProcess;
using testing::Last;
using testing::Lines;
using testing::Tokens;

int Count(const Lines& lines, const std::string& prefix) {
    return static_cast<int>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); }));
}

std::string BestMove(const Lines& lines) {
    return Last(lines).starts_with("bestmove ") ? Tokens(lines.back()).at(1) : "";
}

// The last line shown for the best line.
std::string LastBestLine(const Lines& lines) {
    std::string found;
    for (const std::string& line : lines)
        if (line.starts_with("info multipv 1 "))
            found = line;
    return found;
}

using testing::IsBestMoveLine;
using testing::IsInfoLine;

struct Engine : ::testing::Test {
    EngineProcess engine;

    void SetUp() override { ASSERT_TRUE(engine.running()); }
    std::string next() {
        std::string line;
        return engine.readLine(line) ? line : "<no line>";
    }
    // Options take effect only after the engine has listed them.
    void uci() {
        engine.send("uci");
        EXPECT_EQ(Last(engine.readUntil("uciok")), "uciok");
    }
    // isready answered at once: everything written before it has been read.
    void sync() {
        engine.send("isready");
        EXPECT_EQ(next(), "readyok");
    }
    std::string shownFen() {
        engine.send("d");
        const Lines board = engine.readUntil("Key: ");
        return board.size() < 2 ? "<no board>" : board[board.size() - 2];
    }
    Lines search(const std::string& position, const std::string& go, int timeoutMs = 60000) {
        engine.send("position " + position);
        engine.send(go);
        return engine.readUntil("bestmove", timeoutMs);
    }
};

TEST_F(Engine, ShellCommandsAndHostileInput) {
    engine.send("uci");
    const Lines reply = engine.readUntil("uciok");
    ASSERT_EQ(reply.size(), 21u);
    EXPECT_TRUE(std::regex_match(reply[0], std::regex("id name Tarvo \\d+\\.\\d+\\.\\d+[a-x]")))
        << reply[0];
    EXPECT_EQ(
        Lines(reply.begin() + 1, reply.end()),
        (Lines{"id author Pell Arvost", "option name Hash type spin default 16 min 8 max 65536",
               "option name Clear Hash type button ",
               "option name MultiPV type spin default 1 min 1 max 16",
               "option name Ponder type check default false ",
               "option name Rate of play type combo default normal var slow var normal var fast",
               "option name UCI_Chess960 type check default false ",
               "option name UCI_ShowCurrLine type check default false ",
               "option name UCI_EngineAbout type string default Tarvo by Arvost Pell ",
               "option name SyzygyPath type string default <empty> ",
               "option name Syzygy50MoveRule type check default true ",
               "option name SyzygyProbeDepth type spin default 1 min 1 max 100",
               "option name SyzygyProbeLimit type spin default 7 min 0 max 7",
               "option name Threads type spin default 1 min 1 max 256",
               "option name Move Overhead type spin default 10 min 0 max 5000",
               "option name UCI_ShowWDL type check default false ",
               "option name UCI_LimitStrength type check default false ",
               "option name UCI_Elo type spin default 1500 min 1000 max 1850",
               "option name Strength Seed type spin default 0 min 0 max 2147483647", "uciok"}));
    // Commands are whole first words: "quitter" quits nothing, "gox" searches nothing. An
    // option the engine does not offer is named in one line.
    for (const char* line : {"ucinewgame", "setoption name Hash value 32", "stop", "ponderhit",
                             " isready", "ISREADY", "", "xyzzy", "quitter", "gox", "uciok",
                             "setoption name Nothing value 1"})
        engine.send(line);
    EXPECT_EQ(next(), "info string No such option: Nothing");
    sync();

    // Before any position command the engine holds the start position. Divides: one line per
    // root move in generation order, a blank line, the total.
    engine.send("go perft 3");
    const Lines divide = engine.readUntil("Nodes searched");
    ASSERT_EQ(divide.size(), 20u + 2);
    EXPECT_EQ(divide[0], "b1a3: 400");
    EXPECT_EQ(divide[15], "d2d4: 560");
    EXPECT_EQ(divide[20], "");
    EXPECT_EQ(divide.back(), "Nodes searched: 8902");

    // Windows line ends; a 100 KB line; a 100 KB move list; binary junk.
    engine.sendRaw("isready\r\n");
    EXPECT_EQ(next(), "readyok");
    engine.sendRaw("position startpos moves e2e4 e7e5\r\n");
    EXPECT_EQ(shownFen(), "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
    engine.send(std::string(100 * 1024, 'x'));
    std::string moves = "position startpos moves";
    for (int i = 0; i < 10000; ++i)
        moves += " g1f3 g8f6 f3g1 f6g8";
    engine.send(moves);
    EXPECT_TRUE(next().starts_with("info string illegal move "));
    sync();
    std::string junk;
    for (int byte = 0; byte < 256; ++byte)
        junk += static_cast<char>(byte);
    engine.sendRaw(junk + "\n\t\t\n\n\r\n\r\r\n go\n");
    engine.sendRaw("position startpos moves \x01\xff\n");
    EXPECT_EQ(next(), "info string illegal move ??");
    sync();

    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(), 0);
    std::string line;
    EXPECT_FALSE(engine.readLine(line, 1000)) << line;
}

TEST_F(Engine, SearchesAnswerWithTheirBestMove) {
    // Mates: the score counts moves; a one-move line has no reply to ponder on.
    const char* mates[][3] = {
        {"6k1/5ppp/8/8/8/8/8/K2R4 w - - 0 1", "score mate 1 ", "bestmove d1d8"},
        {"2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1", "score mate 2 ",
         "bestmove g3g6"},
        {"5r1k/p5pp/8/1P1pq3/P1p2nR1/Q7/5BPP/6K1 b - - 0 1", "score mate 3 ", "bestmove e5e1"},
        {"k7/8/1K6/8/8/8/8/7R b - - 0 1", "score mate -1 ", "bestmove a8b8 ponder h1h8"},
    };
    for (const auto& [fen, score, best] : mates) {
        const Lines lines = search(std::string("fen ") + fen, "go depth 6");
        EXPECT_NE(LastBestLine(lines).find(score), std::string::npos) << fen;
        EXPECT_TRUE(Last(lines).starts_with(best)) << Last(lines);
        EXPECT_TRUE(IsBestMoveLine(Last(lines))) << Last(lines);
    }
    // No legal move: the null move at once under a limit; infinite and pondering searches
    // wait for their stop or ponderhit, answering isready meanwhile.
    const std::string mated = "fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
    const std::string stalemate = "fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
    EXPECT_EQ(search(mated, "go depth 4"), Lines{"bestmove 0000"});
    EXPECT_EQ(search(stalemate, "go wtime 1000 btime 1000"), Lines{"bestmove 0000"});
    for (const auto& [position, go, end] :
         {std::tuple{mated, "go infinite", "stop"}, std::tuple{stalemate, "go ponder", "stop"},
          std::tuple{mated, "go ponder wtime 500 btime 500", "ponderhit"}}) {
        EXPECT_TRUE(search(position, go, 200).empty()) << go;
        sync();
        engine.send(end);
        EXPECT_EQ(engine.readUntil("bestmove"), Lines{"bestmove 0000"}) << go;
    }

    // Every line parses as an interface reads it, one per depth, the best move last.
    Lines lines = search("startpos moves e2e4", "go depth 5");
    EXPECT_EQ(Count(lines, "info depth "), 5);
    EXPECT_TRUE(LastBestLine(lines).starts_with("info multipv 1 depth 5 score "));
    EXPECT_TRUE(IsBestMoveLine(Last(lines))) << Last(lines);
    for (const std::string& line : lines)
        EXPECT_TRUE(line.starts_with("bestmove") || IsInfoLine(line)) << line;

    // Odd and negative limits still end with a legal move (-1: any number of depths).
    const Board start = test::BoardFrom(StartFen);
    const std::pair<const char*, int> odd[] = {
        {"go nodes -5", -1},    {"go nodes 1", -1},          {"go movetime -1", -1},
        {"go movetime 200", -1}, {"go wtime -100 btime -100", -1}, {"go mate -2 depth -1", 1},
        {"go depth 0", 1},      {"go depth x", 1},           {"go", -1}};
    for (const auto& [go, depthLines] : odd) {
        lines = search("startpos", go, 20000);
        EXPECT_TRUE(IsBestMoveLine(Last(lines))) << go << ": " << Last(lines);
        EXPECT_NE(test::FindMove(start, BestMove(lines)), NoMove) << go;
        if (depthLines > 0) {
            EXPECT_EQ(Count(lines, "info depth "), depthLines) << go;
        }
    }

    // A stop read in the first iteration waits for its end: the queens' first takes many polls.
    engine.send("position fen qqq1k1qq/8/8/8/8/8/8/QQQ1K1QQ w - - 0 1");
    engine.send("go infinite");
    engine.send("stop");
    lines = engine.readUntil("bestmove", 60000);
    EXPECT_TRUE(IsBestMoveLine(Last(lines))) << Last(lines);
    EXPECT_EQ(Count(lines, "info depth "), 1);
    EXPECT_EQ(Count(lines, "info multipv 1 depth 1 "), Count(lines, "info multipv"));

    // MultiPV: lines 1, 2 and 3 at the final depth, as last written, by falling score.
    uci();
    engine.send("setoption name MultiPV value 3");
    lines = search("startpos", "go depth 5");
    Lines table; // as last written
    for (const std::string& line : lines)
        if (line.starts_with("info multipv 1 "))
            table = {line};
        else if (line.starts_with("info multipv "))
            table.push_back(line);
    ASSERT_EQ(table.size(), 3u);
    std::set<std::string> firstMoves;
    for (std::size_t i = 0, previous = 0; i < table.size(); ++i) {
        std::smatch row;
        ASSERT_TRUE(std::regex_search(
            table[i], row, std::regex("^info multipv (\\d) depth 5 score cp (-?\\d+) .* pv (\\S+)")))
            << table[i];
        EXPECT_EQ(row[1], std::to_string(i + 1));
        EXPECT_TRUE(i == 0 || std::stoi(row[2]) <= std::stoi(Tokens(table[previous])[7]));
        previous = i;
        firstMoves.insert(row[3]);
    }
    EXPECT_EQ(firstMoves.size(), 3u);
    EXPECT_NE(table[0].find(" pv " + BestMove(lines)), std::string::npos);
}

// A Fischer random game: the engine castles as the king taking its rook (here the only mate,
// a castling whose king does not move), and a game played move by move stays legal, each
// bestmove checked against the generator's moves written the same way.
TEST_F(Engine, FischerRandomGamesCastleAsKingTakesRook) {
    uci();
    engine.send("setoption name UCI_Chess960 value true");
    const Lines mate = search("fen 4rkr1/4p1p1/8/8/8/8/8/6KR w K - 0 1", "go depth 4");
    EXPECT_NE(LastBestLine(mate).find("score mate 1 "), std::string::npos);
    EXPECT_EQ(Last(mate), "bestmove g1h1");

    const std::string start = "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9";
    Board board = test::BoardFrom(start.c_str(), true);
    std::string moves;
    int castlings = 0;
    for (int ply = 0; ply < 24 && !test::LegalMoves(board).empty(); ++ply) {
        const Lines lines = search("fen " + start + moves, "go depth 3");
        const Move played = test::FindMove(board, BestMove(lines), true);
        ASSERT_NE(played, NoMove) << "ply " << ply << ": " << Last(lines);
        castlings += (played & CastlingFlag) != 0;
        board.fullmoveNumber += board.sideToMove == Black;
        UndoInfo undo;
        MakeMove(board, played, undo);
        moves += (moves.empty() ? " moves " : " ") + BestMove(lines);
    }
    engine.send("position fen " + start + moves);
    EXPECT_EQ(shownFen(), "Fen: " + WriteFen(board));
    EXPECT_GE(castlings, 1);
}

// Two threads, searches ended every way the protocol allows, as fast as an interface can send
// them: each go ends with one legal best move, nothing hangs and no stop is lost.
TEST_F(Engine, ThreadsEndEveryGoWithOneLegalBestMove) {
#ifdef TARVO_SANITIZED
    constexpr int Pairs = 60, TimedSearches = 20;
#else
    constexpr int Pairs = 1000, TimedSearches = 200;
#endif
    const std::string fens[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "6k1/5ppp/8/8/8/8/8/K2R4 w - - 0 1",  // mate in one: the iterations run out at once
        "4k3/8/8/8/8/8/3P1P2/r3K3 w - - 0 1", // a single legal move
    };
    uci();
    engine.send("setoption name Threads value 2");
    const auto play = [&](int i, const std::string& go, const char* end) {
        const std::string& fen = fens[static_cast<std::size_t>(i) % std::size(fens)];
        engine.send("position fen " + fen);
        engine.send(go);
        if (end)
            engine.send(end);
        const Lines lines = engine.readUntil("bestmove", 30000);
        ASSERT_TRUE(IsBestMoveLine(Last(lines))) << go << " #" << i << ": " << Last(lines);
        EXPECT_NE(test::FindMove(test::BoardFrom(fen.c_str()), BestMove(lines)), NoMove)
            << fen << ": " << Last(lines);
    };
    for (int i = 0; i < Pairs; ++i)
        ASSERT_NO_FATAL_FAILURE(play(i, "go infinite", "stop"));
    for (int i = 0; i < TimedSearches; ++i)
        ASSERT_NO_FATAL_FAILURE(
            play(i, i % 2 ? "go movetime 5" : "go wtime 300 btime 300 winc 5 binc 5", nullptr));
    for (int i = 0; i < 5; ++i)
        ASSERT_NO_FATAL_FAILURE(play(i, "go ponder wtime 200 btime 200", "ponderhit"));
    // Answered during the search, not after it.
    engine.send("position startpos");
    engine.send("go infinite");
    engine.send("isready");
    EXPECT_EQ(Count(engine.readUntil("readyok"), "bestmove"), 0);
    engine.send("stop");
    EXPECT_TRUE(IsBestMoveLine(Last(engine.readUntil("bestmove"))));
    // Exactly one best move each: none is left over.
    engine.send("isready");
    EXPECT_EQ(Count(engine.readUntil("readyok"), "bestmove"), 0);
}

// The engine says how many threads it runs, only when that changes; and with far more threads
// than cores, whichever thread runs notices the time limit.
TEST_F(Engine, ManyThreadsSayHowManyRunAndAnswerOnTime) {
    uci();
    engine.send("setoption name Threads value 3");
    EXPECT_EQ(next(), "info string Using 3 search threads");
    engine.send("setoption name MultiPV value 1");
    engine.send("setoption name Threads value 3");
    sync();
#ifndef TARVO_SANITIZED
    engine.send("setoption name Threads value 256");
    EXPECT_EQ(next(), "info string Using 256 search threads");
    auto fastest = std::chrono::milliseconds(100000);
    for (int i = 0; i < 3; ++i) {
        const auto start  = std::chrono::steady_clock::now();
        const Lines lines = search("startpos", "go movetime 16");
        EXPECT_TRUE(IsBestMoveLine(Last(lines))) << Last(lines);
        fastest = std::min(fastest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start));
    }
    EXPECT_LT(fastest.count(), 500);
#endif
}

// Lines sent during a search are run after it, in order: none is lost, whatever the search
// was doing when it read them, and a stop behind a queued go is that search's.
TEST_F(Engine, LinesSentDuringASearchRunAfterIt) {
    uci();
    engine.send("position fen r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1\n"
                "go nodes 5000\nstop\nposition startpos\ngo depth 1\nisready");
    Lines lines = engine.readUntil("bestmove");
    ASSERT_TRUE(IsBestMoveLine(Last(lines)));
    lines = engine.readUntil("bestmove");
    EXPECT_EQ(Count(lines, "info depth "), 1);
    EXPECT_NE(test::FindMove(test::BoardFrom(StartFen), BestMove(lines)), NoMove) << Last(lines);

    engine.send("position startpos\ngo depth 8\nposition startpos moves e2e4\ngo depth 3\n"
                "setoption name MultiPV value 2\ngo infinite\nstop\nisready");
    lines = engine.readUntil("bestmove");
    EXPECT_TRUE(Last(lines).starts_with("bestmove ")) << Last(lines);
    lines = engine.readUntil("bestmove");
    EXPECT_EQ(Count(lines, "info depth "), 3);
    EXPECT_TRUE(Last(lines).starts_with("bestmove ") && BestMove(lines)[1] >= '5') << Last(lines);
    lines = engine.readUntil("bestmove");
    EXPECT_GE(Count(lines, "info multipv 2 depth 1 "), 1) << "the MultiPV line ran first";
    // The depth of the iteration beside its selective depth, as interfaces parse them.
    EXPECT_TRUE(std::regex_match(lines.front(), std::regex("info depth 1 seldepth \\d+")))
        << lines.front();
    engine.send("isready");
    EXPECT_EQ(Count(engine.readUntil("readyok"), "bestmove"), 0);
}

// The clock binds whatever else limits the search; the FEN's counters are kept and shown.
TEST_F(Engine, ClocksBindBesideOtherLimitsAndTheFenKeepsItsCounters) {
    for (const char* go : {"go wtime 30 btime 30 depth 30", "go wtime 30 btime 30 nodes 100000000",
                           "go wtime 30 btime 30 movetime 60000"}) {
        const auto start  = std::chrono::steady_clock::now();
        const Lines lines = search("startpos moves e2e4", go, 20000);
        const auto took   = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(IsBestMoveLine(Last(lines))) << go;
        // Far below what the other limit would take, with room for a loaded machine.
        EXPECT_LT(took, std::chrono::milliseconds(2000)) << go;
    }
    engine.send("position fen 8/8/8/3k4/8/8/8/R3K3 w - - 95 60 moves a1a2 d5d4");
    EXPECT_EQ(shownFen(), "Fen: 8/8/8/8/3k4/8/R7/4K3 w - - 97 61");
    engine.send("position fen 8/8/8/3k4/8/8/8/R3K3 w - - x 60");
    EXPECT_EQ(next(), "info string invalid fen: half-move clock is not a number from 0 to 255");
}

// Quit during a search ends the process without a best move; the end of input lets the
// search end (an infinite one at once) and answer first.
TEST(EngineExit, QuitEndsAtOnceAndTheEndOfInputAnswersFirst) {
    for (const auto& [position, threads, quit] :
         {std::tuple{"startpos", "1", true}, {"fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "1", true},
          {"startpos", "2", true}, {"startpos", "1", false}, {"startpos", "2", false},
          {"fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "1", false}}) {
        EngineProcess process;
        process.send("uci");
        process.send(std::string("setoption name Threads value ") + threads);
        process.send(std::string("position ") + position);
        process.send("go infinite");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        quit ? process.send("quit") : process.closeInput();
        EXPECT_EQ(process.waitForExit(), 0) << position << threads << quit;
        EXPECT_EQ(Count(process.readUntil("bestmove", 1000), "bestmove"), quit ? 0 : 1)
            << position;
    }
    EngineProcess process;
    process.send("position startpos\ngo depth 7\nposition startpos moves e2e4\ngo nodes 2000");
    process.closeInput();
    EXPECT_EQ(process.waitForExit(), 0);
    const Lines lines = process.readUntil("bestmove", 1000);
    EXPECT_EQ(Count(lines, "info depth 7 "), 1);
    EXPECT_EQ(Count(process.readUntil("bestmove", 1000), "bestmove"), 1) << "the second go";
}

} // namespace
} // namespace tarvo
