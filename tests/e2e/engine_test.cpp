// The built engine through a pipe, as a chess interface drives it.

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "e2e/engine_process.h"
#include "uci/notation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace tarvo {
namespace {

using Lines = std::vector<std::string>;
using testing::EngineProcess;

std::vector<std::string> Tokens(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;)
        tokens.push_back(token);
    return tokens;
}

int Count(const Lines& lines, const std::string& prefix) {
    return static_cast<int>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); }));
}

std::string Last(const Lines& lines) {
    return lines.empty() ? "<no line>" : lines.back();
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

bool IsMoveText(const std::string& t) {
    return (t.size() == 4 || (t.size() == 5 && std::strchr("qnrb", t[4]))) &&
           std::strchr("abcdefgh", t[0]) && std::strchr("12345678", t[1]) &&
           std::strchr("abcdefgh", t[2]) && std::strchr("12345678", t[3]);
}

// "bestmove e2e4 " or "bestmove e2e4  ponder e7e5 ", blanks exactly so.
bool IsBestMoveLine(const std::string& line) {
    const auto t = Tokens(line);
    return (t.size() == 2 && IsMoveText(t[1]) && line == "bestmove " + t[1] + " ") ||
           (t.size() == 4 && IsMoveText(t[1]) && IsMoveText(t[3]) &&
            line == "bestmove " + t[1] + "  ponder " + t[3] + " ");
}

// Every info line is a list of keys, each with its value(s), as an interface parses it.
bool IsInfoLine(const std::string& line) {
    static const std::set<std::string> numeric = {
        "depth",    "seldepth", "time",   "nodes",
        "nps",      "multipv",  "hashfull", "tbhits", "currmovenumber"};
    const auto number = [](const std::string& s) {
        const bool sign = s.starts_with('-');
        return s.size() > sign && s.find_first_not_of("0123456789", sign) == std::string::npos;
    };
    const auto t = Tokens(line);
    for (std::size_t i = 1, n = t.size(); i < n; ++i) {
        if (numeric.count(t[i]) && i + 1 < n && number(t[i + 1]))
            i += 1;
        else if (t[i] == "score" && i + 2 < n && (t[i + 1] == "cp" || t[i + 1] == "mate") &&
                 number(t[i + 2]))
            i += 2;
        else if (t[i] == "currmove" && i + 1 < n && IsMoveText(t[i + 1]))
            i += 1;
        else if (t[i] == "pv" && i + 1 < n) // the line ends with the moves
            return t[0] == "info" && std::all_of(t.begin() + i + 1, t.end(), IsMoveText);
        else
            return false;
    }
    return t.size() > 1 && t[0] == "info";
}

struct Engine : ::testing::Test {
    EngineProcess engine;

    void SetUp() override { ASSERT_TRUE(engine.running()); }
    std::string next() {
        std::string line;
        return engine.readLine(line) ? line : "<no line>";
    }
    // isready answered at once: everything written before it has been read.
    void sync() {
        engine.send("isready");
        EXPECT_EQ(next(), "readyok");
    }
    Lines diagram() {
        engine.send("d");
        return engine.readUntil("Key: ");
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
    ASSERT_EQ(reply.size(), 15u);
    int year = -1, month = -1, day = -1;
    char hour = 0;
    EXPECT_EQ(std::sscanf(reply[0].c_str(), "id name Tarvo %d.%d.%d%c", &year, &month, &day, &hour),
              4);
    EXPECT_TRUE(hour >= 'a' && hour <= 'x') << reply[0];
    EXPECT_EQ(
        Lines(reply.begin() + 1, reply.end()),
        (Lines{"id author Pell Arvost", "option name Hash type spin default 16 min 8 max 256",
               "option name Clear Hash type button ",
               "option name MultiPV type spin default 1 min 1 max 16",
               "option name Ponder type check default false ",
               "option name Rate of play type combo default normal var slow var normal var fast",
               "option name UCI_Chess960 type check default false ",
               "option name UCI_ShowCurrLine type check default false ",
               "option name UCI_EngineAbout type string default Tarvo by Arvost Pell ",
               "option name SyzygyPath type string default <empty> ",
               "option name Syzygy50MoveRule type check default true ",
               "option name Threads type spin default 1 min 1 max 256",
               "option name Move Overhead type spin default 10 min 0 max 5000", "uciok"}));
    for (const char* line : {"ucinewgame", "setoption name Hash value 32", "stop", "ponderhit",
                             " isready", "ISREADY", "", "xyzzy", "setoption name Nothing"})
        engine.send(line);
    sync();

    // Before any position command the engine holds the start position.
    engine.send("go perft 1");
    EXPECT_EQ(engine.readUntil("Nodes searched").back(), "Nodes searched: 20");
    const std::string kiwi = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    engine.send("position fen " + kiwi + " moves e1g1 a6e2");
    Lines board = diagram();
    ASSERT_GE(board.size(), 3u);
    const std::string fen = "r3k2r/p1ppqpb1/1n2pnp1/3PN3/1p2P3/2N2Q1p/PPPBbPPP/R4RK1 w kq - 0 1";
    EXPECT_EQ(board[board.size() - 2], "Fen: " + fen);
    Board reached{};
    ASSERT_TRUE(SetFromFen(reached, fen.c_str()));
    char key[32];
    std::snprintf(key, sizeof key, "Key: %016llX",
                  static_cast<unsigned long long>(reached.hashKey));
    EXPECT_EQ(board.back(), key);
    const auto rank8 =
        std::find(board.begin(), board.end(), " | r |   |   |   | k |   |   | r | 8");
    EXPECT_LT(rank8, std::find(board.begin(), board.end(), " | R |   |   |   |   | R | K |   | 1"));

    // Divides: one line per root move, a blank line, the total; staged counting agrees.
    engine.send("position fen " + kiwi);
    engine.send("go perft 3");
    Lines legal = engine.readUntil("Nodes searched");
    engine.send("go perft 3 staged");
    Lines staged = engine.readUntil("Nodes searched");
    ASSERT_EQ(legal.size(), 48u + 2);
    EXPECT_EQ(legal[48], "");
    EXPECT_EQ(legal.back(), "Nodes searched: 97862");
    std::sort(legal.begin(), legal.end());
    std::sort(staged.begin(), staged.end());
    EXPECT_EQ(staged, legal);
    engine.send("position startpos");
    engine.send("go perft 3");
    legal = engine.readUntil("Nodes searched");
    ASSERT_EQ(legal.size(), 20u + 2);
    EXPECT_EQ(legal[0], "b1a3: 400"); // in generation order
    EXPECT_EQ(legal[15], "d2d4: 560");
    EXPECT_EQ(legal.back(), "Nodes searched: 8902");

    // Refused positions: one line each, and the board keeps the position before the bad FEN.
    engine.send("position startpos moves e2e4 e2e5 e7e5");
    EXPECT_EQ(next(), "info string illegal move e2e5");
    engine.send("position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1");
    EXPECT_TRUE(next().starts_with("info string invalid fen: "));
    sync();
    board = diagram();
    EXPECT_EQ(board.at(board.size() - 2),
              "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");

    // Windows line ends; a 100 KB line; a 100 KB move list; binary junk.
    engine.sendRaw("isready\r\n");
    EXPECT_EQ(next(), "readyok");
    engine.sendRaw("position startpos moves e2e4 e7e5\r\nd\r\n");
    board = engine.readUntil("Key: ");
    EXPECT_EQ(board.at(board.size() - 2),
              "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 1");
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
    engine.send("uci");
    engine.readUntil("uciok");
    // Mates: the score counts moves; a one-move line has no reply to ponder on.
    const char* mates[][3] = {
        {"6k1/5ppp/8/8/8/8/8/K2R4 w - - 0 1", "score mate 1 ", "bestmove d1d8 "},
        {"2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1", "score mate 2 ",
         "bestmove g3g6"},
        {"r4rk1/5ppp/p3q1n1/2p2NQ1/4n3/P3P3/1B3PPP/1R3RK1 w - - 0 1", "score mate 3 ",
         "bestmove g5h6"},
        {"5r1k/p5pp/8/1P1pq3/P1p2nR1/Q7/5BPP/6K1 b - - 0 1", "score mate 3 ", "bestmove e5e1"},
        {"k7/8/1K6/8/8/8/8/7R b - - 0 1", "score mate -1 ", "bestmove a8b8  ponder h1h8 "},
    };
    for (const auto& [fen, score, best] : mates) {
        const Lines lines = search(std::string("fen ") + fen, "go depth 6");
        EXPECT_NE(LastBestLine(lines).find(score), std::string::npos) << fen;
        ASSERT_FALSE(lines.empty());
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

    Lines lines = search("startpos moves e2e4", "go depth 5");
    EXPECT_EQ(Count(lines, "info depth "), 5);
    EXPECT_TRUE(LastBestLine(lines).starts_with("info multipv 1 depth 5 score "));
    EXPECT_TRUE(IsBestMoveLine(Last(lines))) << Last(lines);
    for (const std::string& line : lines)
        EXPECT_TRUE(line.starts_with("bestmove") || IsInfoLine(line)) << line;

    lines = search("startpos", "go nodes 500");
    ASSERT_TRUE(IsBestMoveLine(Last(lines))) << Last(lines);
    for (const std::string& line : lines) {
        const auto t     = Tokens(line);
        const auto nodes = std::find(t.begin(), t.end(), "nodes");
        if (nodes != t.end() && nodes + 1 != t.end()) {
            EXPECT_LE(std::stoll(*(nodes + 1)), 500 + 501) << line; // stops at the first poll past
        }
    }
    const auto start = std::chrono::steady_clock::now();
    lines            = search("startpos", "go movetime 200", 5000);
    EXPECT_TRUE(IsBestMoveLine(Last(lines))) << Last(lines);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    const std::set<std::string> legal = {"a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3",
                                         "h2h3", "a2a4", "b2b4", "c2c4", "d2d4", "e2e4", "f2f4",
                                         "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};
    const std::pair<const char*, int> odd[] = {
        {"go nodes -5", -1},        {"go nodes 1", -1},
        {"go movetime -1", -1},     {"go wtime -100 btime -100", -1},
        {"go mate -2 depth -1", 1}, {"go depth 0", 1},
        {"go depth x", 1},          {"go", -1}};
    for (const auto& [go, depthLines] : odd) {
        lines = search("startpos", go, 20000);
        EXPECT_TRUE(IsBestMoveLine(Last(lines))) << go << ": " << Last(lines);
        EXPECT_TRUE(legal.count(BestMove(lines))) << go;
        if (depthLines > 0) {
            EXPECT_EQ(Count(lines, "info depth "), depthLines) << go;
        }
    }
    lines = search("startpos", "go depth 4 searchmoves a2a3 h2h3 zz9 e7e5");
    EXPECT_TRUE(BestMove(lines) == "a2a3" || BestMove(lines) == "h2h3") << BestMove(lines);

    engine.send("setoption name MultiPV value 3");
    lines = search("startpos", "go depth 5");
    Lines table; // as last written: lines 1, 2 and 3 at the final depth
    for (const std::string& line : lines)
        if (line.starts_with("info multipv ")) {
            if (line.starts_with("info multipv 1 "))
                table.clear();
            table.push_back(line);
        }
    ASSERT_EQ(table.size(), 3u);
    std::set<std::string> firstMoves;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto t = Tokens(table[i]);
        EXPECT_EQ(t[2], std::to_string(i + 1));
        EXPECT_EQ(t[4], "5");
        ASSERT_EQ(t[6], "cp");
        if (i > 0) {
            EXPECT_LE(std::stoi(t[7]), std::stoi(Tokens(table[i - 1])[7]));
        }
        firstMoves.insert(*(std::find(t.begin(), t.end(), "pv") + 1));
    }
    EXPECT_EQ(firstMoves.size(), 3u);
    EXPECT_EQ(table[0].substr(table[0].find(" pv ") + 4, 4), BestMove(lines));
    engine.send("setoption name MultiPV value 1");

    // Searches that end on stop or ponderhit, including a stop read in the first iteration.
    const struct {
        const char *position, *go, *end;
        int waitMs;
    } ended[] = {
        {"startpos", "go infinite", "stop", 300},
        {"startpos moves e2e4", "go ponder wtime 2000 btime 2000", "ponderhit", 100},
        {"startpos moves e2e4 e7e5", "go ponder wtime 60000 btime 60000", "stop", 100},
        {"fen qqq1k1qq/8/8/8/8/8/8/QQQ1K1QQ w - - 0 1", "go infinite", "stop", 0},
    };
    for (const auto& c : ended) {
        engine.send(std::string("position ") + c.position);
        engine.send(c.go);
        std::this_thread::sleep_for(std::chrono::milliseconds(c.waitMs));
        engine.send(c.end);
        lines = engine.readUntil("bestmove", 60000);
        EXPECT_TRUE(IsBestMoveLine(Last(lines))) << c.go << ": " << Last(lines);
    }
    // The queens' first iteration takes many polls: the stop waits for its end.
    EXPECT_EQ(Count(lines, "info depth "), 1);
    EXPECT_EQ(Count(lines, "info multipv 1 depth 1 "), Count(lines, "info multipv"));
    sync();

    // The end of input during a search ends the process without a best move.
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(), 0);
    EXPECT_EQ(Count(engine.readUntil("bestmove", 1000), "bestmove"), 0);
}

// A Fischer random game: the engine castles as the king taking its rook (here the only mate,
// a castling whose king does not move), and a game played move by move stays legal, each
// bestmove checked against the generator's moves written the same way.
TEST_F(Engine, FischerRandomGamesCastleAsKingTakesRook) {
    engine.send("uci");
    engine.readUntil("uciok");
    engine.send("setoption name UCI_Chess960 value true");
    const Lines mate = search("fen 4rkr1/4p1p1/8/8/8/8/8/6KR w K - 0 1", "go depth 4");
    EXPECT_NE(LastBestLine(mate).find("score mate 1 "), std::string::npos);
    EXPECT_EQ(Last(mate), "bestmove g1h1 ");

    const std::string start = "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9";
    Board board{};
    ASSERT_TRUE(SetFromFen(board, start.c_str(), nullptr, true));
    std::string moves;
    int castlings = 0;
    for (int ply = 0; ply < 24; ++ply) {
        const Lines lines      = search("fen " + start + moves, "go depth 3");
        const std::string best = BestMove(lines);
        MoveList legal;
        GenerateLegalMoves(board, legal);
        if (legal.count == 0) {
            EXPECT_EQ(Last(lines), "bestmove 0000");
            break;
        }
        Move played = NoMove;
        for (std::uint32_t i = 0; i < legal.count; ++i)
            if (moveToText(legal.moves[i], true).data() == best)
                played = legal.moves[i];
        ASSERT_NE(played, NoMove) << "ply " << ply << ": " << Last(lines);
        castlings += (played & CastlingFlag) != 0;
        UndoInfo undo;
        MakeMove(board, played, undo);
        moves += (moves.empty() ? " moves " : " ") + best;
    }
    engine.send("position fen " + start + moves);
    const Lines shown = diagram();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[shown.size() - 2], "Fen: " + WriteFen(board));
    EXPECT_GE(castlings, 1);
}

std::set<std::string> LegalMoveTexts(const std::string& fen) {
    Board board{};
    std::set<std::string> texts;
    if (!SetFromFen(board, fen.c_str()))
        return texts;
    MoveList list;
    list.count = 0;
    GenerateLegalMoves(board, list);
    for (std::uint32_t i = 0; i < list.count; ++i)
        texts.insert(moveToText(list.moves[i], false).data());
    return texts;
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
    std::set<std::string> legal[std::size(fens)];
    for (std::size_t i = 0; i < std::size(fens); ++i)
        legal[i] = LegalMoveTexts(fens[i]);
    engine.send("uci");
    engine.readUntil("uciok");
    engine.send("setoption name Threads value 2");
    const auto play = [&](int i, const std::string& go, const char* end) {
        const std::size_t p = static_cast<std::size_t>(i) % std::size(fens);
        engine.send("position fen " + fens[p]);
        engine.send(go);
        if (end)
            engine.send(end);
        const Lines lines = engine.readUntil("bestmove", 30000);
        ASSERT_TRUE(IsBestMoveLine(Last(lines))) << go << " #" << i << ": " << Last(lines);
        EXPECT_TRUE(legal[p].count(BestMove(lines))) << fens[p] << ": " << Last(lines);
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

    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST_F(Engine, QuitDuringASearchEndsWithoutBestMove) {
    for (const char* position : {"startpos", "fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"}) {
        EngineProcess process;
        process.send(std::string("position ") + position);
        process.send("go infinite");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        process.send("quit");
        EXPECT_EQ(process.waitForExit(), 0) << position;
        EXPECT_EQ(Count(process.readUntil("bestmove", 1000), "bestmove"), 0) << position;
    }
}

} // namespace
} // namespace tarvo
