// Entry point: builds the one Engine, the precomputed tables, and speaks UCI on standard
// input and output until the input ends. The argument "bench", optionally followed by a number
// of threads, runs the fixed search workload instead.

#include <cstdlib>
#include <cstring>

#include "board/fen.h"
#include "board/tables.h"
#include "uci/bench.h"
#include "uci/engine.h"
#include "uci/hooks.h"
#include "uci/io.h"
#include "uci/loop.h"
#include "uci/memory.h"

int main(int argc, char** argv) {
    using namespace tarvo;
    // Static storage: the search state is far too large for the stack.
    static Engine engine;
    engine.searchState.tt.memory = LargePageMemory;
    InitSearchState(engine.searchState);
    installSearchHooks(engine.searchState);
    InitTables();
    // Until the first position command the board holds the start position, so that a go or d
    // typed first works on a real game rather than on an empty board without kings.
    SetFromFen(engine.board, StartFen);
    setUnbufferedOutput();
    if (argc > 1 && std::strcmp(argv[1], "bench") == 0) {
        // `bench N` runs the workload on N threads (malformed or missing: one).
        const int status = runBench(argc > 2 ? std::atoi(argv[2]) : 1);
        ReleaseSearchState(engine.searchState);
        return status;
    }
    commandLoop(engine);
    ReleaseSearchState(engine.searchState);
    return 0;
}
