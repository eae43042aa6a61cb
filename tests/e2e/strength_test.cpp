// The engine at a limited strength, through a pipe: it still mates, converts the basic
// endings, answers every kind of go with one legal move, and varies only with its seed.

#include "board/make_move.h"
#include "board/tables.h"
#include "e2e/engine_process.h"
#include "support/boards.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <tuple>

namespace tarvo {
namespace {

using testing::EngineProcess;
using testing::Last;
using testing::Lines;
using testing::Tokens;

using testing::IsBestMoveLine;

struct LimitedEngine {
    EngineProcess engine;

    explicit LimitedEngine(int elo, int seed = 1) {
        engine.send("uci");
        engine.readUntil("uciok");
        engine.send("setoption name UCI_LimitStrength value true");
        engine.send("setoption name UCI_Elo value " + std::to_string(elo));
        engine.send("setoption name Strength Seed value " + std::to_string(seed));
        engine.send("ucinewgame");
    }
    Lines search(const std::string& position, const std::string& go, const char* end = nullptr) {
        engine.send("position " + position);
        engine.send(go);
        if (end)
            engine.send(end);
        return engine.readUntil("bestmove", 60000);
    }
    std::string bestMove(const std::string& position, const std::string& go) {
        const Lines lines = search(position, go);
        return IsBestMoveLine(Last(lines)) ? Tokens(Last(lines)).at(1) : Last(lines);
    }
};

const std::string Clock = "go wtime 60000 btime 60000";

bool IsMate(const Board& board) {
    return test::LegalMoves(board).empty() &&
           IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]);
}

TEST(LimitedStrength, PlaysMateInOneAtTheLowestSetting) {
    LimitedEngine weakest(0);
    for (const char* fen : {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1",
                            "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
                            "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2",
                            "7k/8/6K1/8/8/8/8/1Q6 w - - 0 1"}) {
        Board board     = test::BoardFrom(fen);
        const Move move = test::FindMove(board, weakest.bestMove(std::string("fen ") + fen, Clock));
        ASSERT_NE(move, NoMove) << fen;
        UndoInfo undo;
        MakeMove(board, move, undo);
        EXPECT_TRUE(IsMate(board)) << fen;
    }
}

// The weakest setting mates a full-strength defender with queen or rook from the middle of the
// board well inside the fifty-move rule.
TEST(LimitedStrength, ConvertsTheBasicMatesAtTheLowestSetting) {
    for (const char* fen : {"8/8/8/4k3/8/8/8/3QK3 w - - 0 1", "8/8/8/4k3/8/8/8/R3K3 w - - 0 1"}) {
        LimitedEngine attacker(0);
        EngineProcess defender;
        defender.send("uci");
        defender.readUntil("uciok");
        Board board = test::BoardFrom(fen);
        std::string moves;
        int plies = 0;
        for (; plies < 100 && !test::LegalMoves(board).empty(); ++plies) {
            const std::string position = std::string("fen ") + fen + moves;
            std::string text;
            if (plies % 2 == 0) {
                text = attacker.bestMove(position, Clock);
            } else {
                defender.send("position " + position);
                defender.send("go nodes 2000");
                text = Tokens(Last(defender.readUntil("bestmove"))).at(1);
            }
            const Move move = test::FindMove(board, text);
            ASSERT_NE(move, NoMove) << fen << moves << ": " << text;
            UndoInfo undo;
            MakeMove(board, move, undo);
            moves += (moves.empty() ? " moves " : " ") + text;
        }
        EXPECT_TRUE(IsMate(board)) << fen << moves;
        EXPECT_LT(plies, 100) << fen;
    }
}

// Every form of go ends with one legal best move and well-formed lines; those that wait for
// stop or ponderhit still wait, answering isready meanwhile.
TEST(LimitedStrength, EveryGoEndsWithOneLegalBestMove) {
    LimitedEngine limited(1200);
    const std::string position = "fen r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w "
                                 "KQkq - 4 4";
    const Board board          = test::BoardFrom(position.c_str() + 4);
    const std::tuple<const char*, const char*, const char*> forms[] = {
        {"go depth 6", nullptr, nullptr},
        {"go nodes 3000", nullptr, nullptr},
        {"go movetime 100", nullptr, nullptr},
        {"go wtime 2000 btime 2000 winc 20 binc 20", nullptr, nullptr},
        {"go infinite", "stop", nullptr},
        {"go ponder wtime 2000 btime 2000", "ponderhit", nullptr},
        {"go depth 5", nullptr, "setoption name MultiPV value 3"},
        {"go wtime 2000 btime 2000", nullptr, "setoption name Threads value 2"},
        {"go infinite", "stop", nullptr},
    };
    for (const auto& [go, end, option] : forms) {
        if (option)
            limited.engine.send(option);
        limited.engine.send("position " + position);
        limited.engine.send(go);
        if (end) {
            // The allowance is long spent: the search waits for its end all the same.
            limited.engine.send("isready");
            const Lines waiting = limited.engine.readUntil("readyok", 20000);
            EXPECT_FALSE(Last(waiting).starts_with("bestmove")) << go;
            limited.engine.send(end);
        }
        const Lines lines = limited.engine.readUntil("bestmove", 60000);
        ASSERT_TRUE(IsBestMoveLine(Last(lines))) << go << ": " << Last(lines);
        EXPECT_NE(test::FindMove(board, Tokens(Last(lines)).at(1)), NoMove) << go;
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_TRUE(lines[i] == "readyok" || testing::IsInfoLine(lines[i])) << lines[i];
        limited.engine.send("isready");
        EXPECT_EQ(Last(limited.engine.readUntil("readyok")), "readyok") << go;
    }
}

// The random source restarts with each game: one seed replays its choices, another one
// makes others.
TEST(LimitedStrength, ChoicesFollowTheSeed) {
    const auto choices = [](int seed) {
        LimitedEngine limited(1000, seed);
        std::string played;
        for (const char* moves : {"", " e2e4", " e2e4 e7e5", " d2d4", " d2d4 d7d5 c2c4", " c2c4",
                                  " g1f3", " e2e4 c7c5"})
            played += limited.bestMove(std::string("startpos") + (*moves ? " moves" : "") + moves,
                                       Clock) +
                      " ";
        return played;
    };
    EXPECT_EQ(choices(7), choices(7));
    EXPECT_NE(choices(7), choices(8));
}

} // namespace
} // namespace tarvo
