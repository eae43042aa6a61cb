// The engine at a limited strength, through a pipe (transcripts.txt: it still mates in one;
// Engine.Threads*: every go ends with one legal move).

#include "board/tables.h"
#include "e2e/engine_process.h"
#include "support/boards.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

using namespace testing;

void Limit(EngineProcess& engine, int seed) {
    engine.uci({"UCI_LimitStrength value true", "UCI_Elo value 1000",
                "Strength Seed value " + std::to_string(seed)});
    engine.send("ucinewgame");
}

// The weakest setting mates a full-strength defender with queen or rook from the middle of the
// board well inside the fifty-move rule.
TEST(LimitedStrength, ConvertsTheBasicMatesAtTheLowestSetting) {
    for (const char* fen : {"8/8/8/4k3/8/8/8/3QK3 w - - 0 1", "8/8/8/4k3/8/8/8/R3K3 w - - 0 1"}) {
        EngineProcess players[2];
        Limit(players[0], 1);
        players[1].uci();
        Board board       = test::BoardFrom(fen);
        std::string moves = " moves";
        MoveList legal;
        for (int ply = 0; ply < 100 && (GenerateLegalMoves(board, legal), legal.count); ++ply) {
            const std::string best = BestMove(players[ply % 2].search(
                std::string("fen ") + fen + moves, ply % 2 ? "go nodes 2000" : "go wtime 60000"));
            const Move move        = test::FindMove(board, best);
            ASSERT_NE(move, NoMove) << fen << moves << ": " << best;
            UndoInfo undo;
            MakeMove(board, move, undo);
            moves += " " + best;
        }
        EXPECT_TRUE(
            legal.count == 0 &&
            IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]))
            << fen << moves;
    }
}

// The random source restarts with each game: one seed replays its choices, another one
// makes others.
TEST(LimitedStrength, ChoicesFollowTheSeed) {
    const auto choices = [](int seed) {
        EngineProcess engine;
        Limit(engine, seed);
        std::string played;
        for (const char* moves : {"", " e2e4", " e2e4 e7e5", " d2d4", " d2d4 d7d5 c2c4", " c2c4",
                                  " g1f3", " e2e4 c7c5"})
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
