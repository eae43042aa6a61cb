#include "search/strength.h"

#include "search/state.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace tarvo {

namespace {

// One calibrated setting: the nodes it searches and the largest error of its move choice.
// Between two rows the nodes grow geometrically and the error shrinks linearly.
struct StrengthStep {
    int elo;
    double nodes;
    int error;
};

// clang-format off
constexpr std::array<StrengthStep, 4> StrengthSteps = {{
    {MinStrengthElo,   1200, 270},
    {1350,             3000, 130},
    {1700,            20000,  45},
    {MaxStrengthElo,  60000,   0},
}};
// clang-format on

// Enough for the search to see the mate against a bare king within a few moves, so that even
// the weakest setting converts king and rook against king long before the fifty-move rule.
constexpr std::int64_t BareKingNodes = 200000;

// Under a clock a limited search answers after this share of the move's budget, drawn afresh
// for each move between the two bounds (in percent).
constexpr int PaceSharePercent[] = {45, 90};

// Node allowances this small are checked often, or a whole poll interval would overrun them.
constexpr std::int64_t PollsPerAllowance = 8;
constexpr std::int32_t MinPollInterval   = 16;

// The row at or below `elo`, never the last one: the lower end of its interpolation.
int StepBelow(int elo) {
    int row = 0;
    while (row + 2 < static_cast<int>(StrengthSteps.size()) && elo >= StrengthSteps[row + 1].elo)
        ++row;
    return row;
}

// How far `elo` lies from `row` towards the next row, 0 to 1.
double FractionAbove(int elo, int row) {
    const StrengthStep& low  = StrengthSteps[row];
    const StrengthStep& high = StrengthSteps[row + 1];
    return static_cast<double>(elo - low.elo) / (high.elo - low.elo);
}

// splitmix64: one multiply-and-shift round per draw, and any seed (0 included) starts a
// well-mixed stream.
std::uint64_t NextRandom(std::uint64_t& state) {
    state += 0x9E3779B97F4A7C15u;
    std::uint64_t z = state;
    z               = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z               = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

int FilledPlaces(const MultiPvTable& table) {
    int places = 0;
    while (places < MaxMultiPv && table.score[places] != -Infinity)
        ++places;
    return places;
}

} // namespace

std::int64_t StrengthNodes(int elo) {
    elo                = std::clamp(elo, MinStrengthElo, MaxStrengthElo);
    const int row      = StepBelow(elo);
    const double ratio = StrengthSteps[row + 1].nodes / StrengthSteps[row].nodes;
    return std::llround(StrengthSteps[row].nodes * std::pow(ratio, FractionAbove(elo, row)));
}

int StrengthError(int elo) {
    elo            = std::clamp(elo, MinStrengthElo, MaxStrengthElo);
    const int row  = StepBelow(elo);
    const int low  = StrengthSteps[row].error;
    const int high = StrengthSteps[row + 1].error;
    return static_cast<int>(std::lround(low + (high - low) * FractionAbove(elo, row)));
}

int SearchedLines(const SearchState& state) {
    const int lines = std::clamp(state.options.multiPv, 1, MaxMultiPv);
    return state.options.limitStrength ? std::max(lines, StrengthLines) : lines;
}

void SeedStrength(SearchState& state, std::uint64_t entropy) {
    state.strengthRandom = state.options.strengthSeed != 0 ? state.options.strengthSeed : entropy;
}

void LimitSearchStrength(SearchState& state, const Board& board) {
    SearchControl& control = state.control;
    control.strengthNodes  = 0;
    control.strengthExact  = false;
    control.strengthPaceMs = 0;
    if (!state.options.limitStrength || state.threadIndex != 0)
        return;
    state.completedLines.score.fill(-Infinity);

    std::int64_t nodes  = StrengthNodes(state.options.strengthElo);
    const int defender  = board.sideToMove ^ 1;
    const bool bareKing = std::popcount(board.colour[defender]) == 1;
    if (bareKing) {
        nodes                 = std::max(nodes, BareKingNodes);
        control.strengthExact = true;
    }
    control.strengthNodes = nodes;

    // The pace: a share of the budget, which itself lies inside the clock's limits. The share
    // comes from its own mix of the seed and the position, so it leaves the move choice's
    // stream as it is.
    std::uint64_t mix = state.strengthRandom ^ board.hashKey;
    const auto spread = static_cast<int>(NextRandom(mix) % 1001);
    const double share =
        (PaceSharePercent[0] + (PaceSharePercent[1] - PaceSharePercent[0]) * spread / 1000.0) /
        100.0;
    const std::int32_t cap = std::min({control.budgetMs, control.maxTimeMs, control.deadlineMs});
    control.strengthPaceMs = cap > 0 ? static_cast<std::int32_t>(cap * share) : 0;

    const auto interval = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(nodes / PollsPerAllowance, MinPollInterval, 1000));
    control.pollInterval  = std::min(control.pollInterval, interval);
    control.pollCountdown = std::min(control.pollCountdown, control.pollInterval);
}

void KeepCompletedLines(SearchState& state) {
    if (state.options.limitStrength && state.threadIndex == 0)
        state.completedLines = state.multiPv;
}

void ChooseLimitedMove(SearchState& state) {
    if (!state.options.limitStrength || state.threadIndex != 0 || state.control.strengthExact)
        return;
    // A stopped iteration counts once its first lines, which every iteration searches with a
    // full window, are all in; before that the last complete iteration decides.
    const int wanted = std::min(SearchedLines(state), state.rootMoveCount);
    const MultiPvTable& table =
        FilledPlaces(state.multiPv) >= wanted ? state.multiPv : state.completedLines;
    const int places = FilledPlaces(table);
    const int error  = StrengthError(state.options.strengthElo);
    if (places < 2 || error == 0 || table.score[0] >= MateThreshold)
        return;

    int chosen  = 0;
    int bestKey = -Infinity - error;
    for (int place = 0; place < places; ++place) {
        if (place > 0 && table.score[place] <= -MateThreshold)
            break;
        const int noise = static_cast<int>(NextRandom(state.strengthRandom) %
                                           static_cast<std::uint64_t>(error + 1));
        if (table.score[place] + noise > bestKey) {
            bestKey = table.score[place] + noise;
            chosen  = place;
        }
    }
    const int slot  = table.slotOfPlace[chosen];
    PlyRecord& root = state.plies[0];
    root.pvLength   = static_cast<std::uint32_t>(table.length[slot]);
    std::copy_n(table.lineMoves[slot].begin(), table.length[slot], root.pv.begin());
}

} // namespace tarvo
