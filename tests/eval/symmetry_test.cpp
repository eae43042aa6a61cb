#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "eval/eval_helpers.h"
#include "eval/evaluate.h"

namespace tarvo {
namespace {

struct SuiteEntry {
    std::string fen;
    long long withinTwoPlies; // the position itself plus its perft counts at depths 1 and 2
};

long long PerftCount(const std::string& line, const char* depth) {
    const std::size_t at = line.find(depth);
    return at == std::string::npos ? 0 : std::stoll(line.substr(at + 4));
}

std::vector<SuiteEntry> ReadSuite() {
    std::vector<SuiteEntry> suite;
    std::ifstream file(TARVO_TEST_DATA "/perft.epd");
    for (std::string line; std::getline(file, line);) {
        const std::string fen = line.substr(0, line.find(';'));
        if (fen.find_first_not_of(" \t\r") != std::string::npos)
            suite.push_back({fen, 1 + PerftCount(line, ";D1 ") + PerftCount(line, ";D2 ")});
    }
    return suite;
}

struct Tally {
    long long positions        = 0;
    long long sideSwapsChecked = 0;
};

// Both properties for one position: its colour-flipped mirror scores the same, and with only the
// side to move changed the score changes sign. The swap is skipped only where it would leave the
// side not to move in check, which no game can reach.
void CheckPosition(const Board& board, Tally& tally) {
    ++tally.positions;
    const int score = Evaluate(board);

    const std::string mirrored = test::MirroredFen(board);
    Board mirror{};
    ASSERT_TRUE(SetFromFen(mirror, mirrored.c_str())) << mirrored;
    ASSERT_EQ(Evaluate(mirror), score) << WriteFen(board) << " mirrored " << mirrored;

    const int mover = board.sideToMove;
    if (IsSquareAttacked(board, mover ^ 1, board.kingSquare[mover]))
        return; // after the swap the side in check would not be the one to move
    const std::string swapped = test::SideSwappedFen(board);
    Board other{};
    ASSERT_TRUE(SetFromFen(other, swapped.c_str())) << swapped;
    ASSERT_EQ(Evaluate(other), -score) << WriteFen(board) << " with the other side to move";
    ++tally.sideSwapsChecked;
}

TEST(EvaluateSymmetry, MirrorAndSideSwapOverSuiteAndTwoPlies) {
    const std::vector<SuiteEntry> suite = ReadSuite();
    ASSERT_GE(suite.size(), 60u);
    Tally tally;
    long long expected = 0;
    for (const SuiteEntry& entry : suite) {
        expected += entry.withinTwoPlies;
        Board board = test::BoardFromFen(entry.fen.c_str());
        CheckPosition(board, tally);
        MoveList first;
        GenerateLegalMoves(board, first);
        for (std::uint32_t i = 0; i < first.count; ++i) {
            UndoInfo undo1;
            MakeMove(board, first.moves[i], undo1);
            CheckPosition(board, tally);
            MoveList second;
            GenerateLegalMoves(board, second);
            for (std::uint32_t j = 0; j < second.count; ++j) {
                UndoInfo undo2;
                MakeMove(board, second.moves[j], undo2);
                CheckPosition(board, tally);
                UnmakeMove(board, second.moves[j], undo2);
                if (testing::Test::HasFatalFailure())
                    return;
            }
            UnmakeMove(board, first.moves[i], undo1);
        }
    }
    // Every position within two plies was visited, and most could be tested with either side to
    // move (play rarely leaves the side to move in check).
    EXPECT_EQ(tally.positions, expected);
    EXPECT_GT(tally.sideSwapsChecked, tally.positions * 8 / 10);
}

} // namespace
} // namespace tarvo
