#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board/fen.h"
#include "uci/eval_command.h"

namespace tarvo {
namespace {

std::string EvalOutput(const char* fen) {
    Board board{};
    EXPECT_TRUE(SetFromFen(board, fen)) << fen;
    testing::internal::CaptureStdout();
    handleEval(board);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(EvalCommand, PrintsEveryTermForBothColoursAndTheTotal) {
    EXPECT_EQ(EvalOutput("r1bq1rk1/pp3ppp/2n2n2/2bpp3/4P3/2PP1N2/PP1NBPPP/R1BQ1RK1 w - - 0 1"),
              "stage white 0 black 0\n"
              "material white 1432 black -1350\n"
              "outposts white 0 black 0\n"
              "pawns white -128 black 112\n"
              "kingsafety white 94 black -96\n"
              "rooks white 998 black -998\n"
              "bishops white 660 black -706\n"
              "queens white 951 black -952\n"
              "total 17\n");
}

TEST(EvalCommand, TotalIsFromTheSideToMove) {
    const std::string output = EvalOutput("8/5pk1/6p1/3R4/8/6P1/r4PK1/8 b - - 0 1");
    EXPECT_NE(output.find("stage white 2 black 2\n"), std::string::npos) << output;
    EXPECT_NE(output.find("rooks white 548 black -580\n"), std::string::npos) << output;
    EXPECT_EQ(output.substr(output.rfind("total")), "total 32\n");
}

} // namespace
} // namespace tarvo
