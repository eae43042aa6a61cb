// `go perft N staged`: the same divide output as `go perft N`, counted through the staged
// generators.

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "uci/perft_command.h"

namespace tarvo {
namespace {

std::vector<std::string> Lines(const char* fen, const char* text) {
    static Board board;
    EXPECT_TRUE(SetFromFen(board, fen));
    testing::internal::CaptureStdout();
    handlePerft(text, board);
    std::istringstream output(testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(output, line);)
        lines.push_back(line);
    return lines;
}

TEST(PerftCommand, StagedVariantPrintsTheSameDivideInItsOwnOrder) {
    const char* kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    auto legal           = Lines(kiwipete, " 3");
    auto staged          = Lines(kiwipete, " 3 staged");
    ASSERT_EQ(staged.size(), 48u + 2u);
    EXPECT_EQ(staged[48], "");
    EXPECT_EQ(staged[49], "Nodes searched: 97862");
    std::sort(legal.begin(), legal.end());
    std::sort(staged.begin(), staged.end());
    EXPECT_EQ(staged, legal);
}

TEST(PerftCommand, StagedVariantHandlesCheckAtTheRoot) {
    // Black in check from the pawn that has just stepped to d4: e4xd3 is among the evasions.
    const auto lines = Lines("8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", " 1 staged");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "e4d3: 1"), lines.end());
    EXPECT_EQ(lines.back(), "Nodes searched: 9");
}

} // namespace
} // namespace tarvo
