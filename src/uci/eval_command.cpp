#include "uci/eval_command.h"

#include <array>
#include <cstdio>

#include "eval/evaluate.h"

namespace tarvo {
namespace {

// Indexed by EvalTerm; single words, so a script can split each line on blanks.
constexpr std::array<const char*, TermCount> TermNames = {
    "material", "outposts", "pawns", "kingsafety", "rooks", "bishops", "queens"};

} // namespace

void handleEval(const Board& board) {
    EvalBreakdown breakdown{};
    ComputeEvalBreakdown(board, breakdown);
    std::printf("stage white %d black %d\n", breakdown.stage[White], breakdown.stage[Black]);
    for (int term = 0; term < TermCount; ++term)
        std::printf("%s white %d black %d\n", TermNames[term], breakdown.terms[term][White],
                    breakdown.terms[term][Black]);
    std::printf("total %d\n", Evaluate(board));
}

} // namespace tarvo
