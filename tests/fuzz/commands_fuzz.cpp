// Fuzz target: arbitrary bytes as a session of command lines, read through the engine's own input
// buffer a few bytes at a time, so lines arrive while searches run and every command and option
// meets arbitrary text. Searches stop after NodeCap nodes, on a clock that advances with the node
// count (so runs repeat); lines that quit, perft deeper than PerftCap, and Hash and Threads
// settings (slow, and threads would not repeat; the threaded tests cover them) are taken out
// first. After every line the board keeps its invariants; a search leaves it as it found it.

#include "board/fen.h"
#include "board/tables.h"
#include "fuzz/board_checks.h"
#include "search/tt.h"
#include "uci/control.h"
#include "uci/engine.h"
#include "uci/hooks.h"
#include "uci/io.h"
#include "uci/loop.h"
#include "uci/poll.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace tarvo;

namespace {

constexpr std::uint64_t NodeCap = 1000;
constexpr int PollNodes         = 200;
constexpr int NodesPerMs        = 50;
constexpr int PerftCap          = 2;
constexpr int TableMegabytes    = 1;

std::uint32_t nodeClock(const SearchState& state) {
    return state.control.startTick + static_cast<std::uint32_t>(state.nodes / NodesPerMs);
}

void setUpBounded(SearchState& state, const Board& board, const SearchLimits& limits,
                  MoveList& rootMoves) {
    setUpSearch(state, board, limits, rootMoves);
    state.control.pollInterval  = std::min(state.control.pollInterval, PollNodes);
    state.control.pollCountdown = std::min(state.control.pollCountdown, PollNodes);
}

void pollBounded(SearchState& state) {
    pollInput(state);
    checkLimitsAt(state, nodeClock(state));
    if (state.nodes >= NodeCap)
        state.control.runState = Stopped;
}

bool iterationDoneBounded(SearchState& state) {
    return iterationDoneAt(state, nodeClock(state));
}

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

// Everything a session can change, back to a fresh engine's state; the table stays small.
void resetEngine(Engine& engine) {
    SetFromFen(engine.board, StartFen);
    engine.positionRefused     = false;
    engine.optionTable.count   = 0;
    engine.searchState.options = EngineOptions{};
    TranspositionTable& tt     = engine.searchState.tt;
    if (tt.entryCount != static_cast<std::uint64_t>(TableMegabytes) * 65536)
        TTResize(tt, TableMegabytes);
    else
        TTClear(tt);
}

// A perft that would take longer than a fuzz run should (the command itself caps it at 64).
bool isDeepPerft(const std::string& line) {
    if (!isCommandWord(line, "go") || line.size() < 3)
        return false;
    const char* text = line.c_str() + 3;
    while (*text == ' ' || *text == '\t')
        ++text;
    return std::strncmp(text, "perft", 5) == 0 && std::atoi(text + 5) > PerftCap;
}

// Option names match in any letter case and with any blanks between words, as the engine reads
// them (blanks inside words too are dropped here: that only skips a few more lines).
bool isSizeOption(const std::string& line) {
    std::string name;
    for (const char c : line.substr(0, 64))
        if (c != ' ' && c != '\t')
            name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return name.starts_with("setoptionnamehash") || name.starts_with("setoptionnamethreads");
}

bool isSkipped(const std::string& line) {
    return isCommandWord(line, "quit") || isDeepPerft(line) || isSizeOption(line);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InitTables();
    fuzz::SilenceStandardStreams();
    SearchState& state = TheEngine().searchState;
    InitSearchState(state);
    installSearchHooks(state);
    state.hooks.setUp         = setUpBounded;
    state.hooks.nodePoll      = pollBounded;
    state.hooks.iterationDone = iterationDoneBounded;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Engine& engine = TheEngine();
    resetEngine(engine);
    // The input without the lines the harness cannot let run, split as the reader splits it:
    // at each newline, and a longer line in pieces.
    static std::string input;
    input.clear();
    std::string line;
    for (std::size_t at = 0; at < size;) {
        line.clear();
        while (at < size && line.size() < CommandLineCapacity - 1) {
            const char byte = static_cast<char>(data[at++]);
            line.push_back(byte);
            if (byte == '\n')
                break;
        }
        if (!isSkipped(line))
            input += line;
    }
    useInputText(input, 1 + size % 13);
    static char text[CommandLineCapacity];
    while (readLine(text, CommandLineCapacity) >= 0) {
        const Board before = engine.board;
        dispatchCommand(engine, text);
        fuzz::CheckBoard(engine.board);
        if (isCommandWord(text, "go") && !fuzz::SameBoard(engine.board, before))
            fuzz::Fail("a search left the board changed", before);
    }
    useStandardInput();
    return 0;
}
