#include "uci/output.h"

#include "search/state.h"
#include "search/strength.h"
#include "search/threads.h"
#include "uci/clock.h"
#include "uci/notation.h"
#include "uci/wdl.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tarvo {

namespace {

// Long enough for a full line of 64 moves of five characters with their blanks.
constexpr int LineCapacity = 640;

struct LineBuffer {
    char text[LineCapacity];
    int length = 0;
};

void Append(LineBuffer& line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int room    = LineCapacity - line.length;
    const int written = std::vsnprintf(line.text + line.length, room, format, args);
    va_end(args);
    if (written > 0)
        line.length += std::min(written, room - 1);
}

// A move followed by one blank; the reserved words stand alone.
void AppendMove(LineBuffer& line, Move move, bool chess960) {
    if (move <= NoMove)
        Append(line, "%s", move == NullMove ? "null" : "none");
    else
        Append(line, "%s ", moveToText(move, chess960).data());
}

void Write(const LineBuffer& line) {
    std::fwrite(line.text, 1, static_cast<std::size_t>(line.length), stdout);
}

int ShownLines(const SearchState& state) {
    return std::clamp(state.options.multiPv, 1, MaxMultiPv);
}

} // namespace

std::int32_t nodesPerSecond(std::uint64_t nodes, std::int32_t timeMs) {
    const std::uint64_t divisor = static_cast<std::uint64_t>(std::max(timeMs, 128));
    return static_cast<std::int32_t>(nodes * 1000 / divisor);
}

int mateDistance(int score) {
    const int moves = (Infinity - std::abs(score)) / 2;
    return score < 0 ? -moves : moves;
}

bool recordRootResult(SearchState& state, int score, Move move) {
    MultiPvTable& table = state.multiPv;
    // A limited strength keeps more lines than it shows: they are its candidate moves.
    const int weakest   = SearchedLines(state) - 1;
    if (score <= table.score[weakest])
        return false;
    if (state.control.runState == Stopped && state.rootMoveCount > 1)
        return false;

    const int slot           = table.slotOfPlace[weakest];
    const PlyRecord& below   = state.plies[1];
    state.control.nowTick    = readTickCount();
    table.lineMoves[slot][0] = move;
    std::copy_n(below.pv.begin(), below.pvLength, table.lineMoves[slot].begin() + 1);
    table.length[slot] = static_cast<std::int32_t>(below.pvLength) + 1;

    int place = weakest;
    while (place > 0 && score > table.score[place - 1]) {
        table.score[place]       = table.score[place - 1];
        table.slotOfPlace[place] = table.slotOfPlace[place - 1];
        --place;
    }
    table.score[place]       = score;
    table.slotOfPlace[place] = slot;

    if (place == 0) {
        PlyRecord& root = state.plies[0];
        root.pv[0]      = move;
        std::copy_n(below.pv.begin(), below.pvLength, root.pv.begin() + 1);
        root.pvLength       = below.pvLength + 1;
        const int iteration = state.control.iteration;
        if (iteration >= 0 && iteration < MaxPly)
            ++state.control.bestLineChanges[iteration];
    }
    return place < ShownLines(state);
}

void printLines(const SearchState& state) {
    const MultiPvTable& table = state.multiPv;
    const int shown           = std::min(ShownLines(state), state.rootMoveCount);
    // One report, one moment: every line carries the search's counters as they are now.
    const SearchCounters counters = SummedCounters(state);
    const int time                = ticksBetween(state.control.startTick, state.control.nowTick);
    const auto nodes              = static_cast<unsigned long long>(counters.nodes);
    const int nps                 = nodesPerSecond(counters.nodes, time);
    for (int place = 0; place < shown && table.score[place] != -Infinity; ++place) {
        const int score = table.score[place];
        const int slot  = table.slotOfPlace[place];

        LineBuffer line;
        Append(line, "info multipv %d depth %d ", place + 1, state.control.iteration);
        if (std::abs(score) >= MateThreshold)
            Append(line, "score mate %d ", mateDistance(score));
        else if (state.control.rootInTablebase)
            Append(line, "score cp %d ", state.control.rootTablebaseScore);
        else
            Append(line, "score cp %d ", score);
        if (state.options.showWdl) {
            const WdlPermille wdl = wdlOfRootScore(state.control, score);
            Append(line, "wdl %d %d %d ", wdl.win, wdl.draw, wdl.loss);
        }
        Append(line, "time %d nodes %llu nps %d ", time, nodes, nps);
        if (state.options.tablebasePieces > 0)
            Append(line, "tbhits %llu ", static_cast<unsigned long long>(counters.tbHits));
        Append(line, "pv ");
        for (int i = 0; i < table.length[slot]; ++i)
            AppendMove(line, table.lineMoves[slot][i], state.options.chess960);
        Append(line, "\n");
        Write(line);
    }
}

void printDepthLines(SearchState& state) {
    SearchControl& control = state.control;
    control.nowTick        = readTickCount();
    LineBuffer line;
    Append(line, "info depth %d seldepth %d\n", control.iteration, state.selDepth);
    Append(line, "info time %d\n", ticksBetween(control.startTick, control.nowTick));
    Write(line);
}

void printCurrentMove(SearchState& state, Move move, int number) {
    const SearchControl& control = state.control;
    if (ticksBetween(control.startTick, control.nowTick) <= 512)
        return;
    LineBuffer line;
    Append(line, "info currmove ");
    AppendMove(line, move, state.options.chess960);
    Append(line, "currmovenumber %d\n", number);
    Write(line);
}

} // namespace tarvo
