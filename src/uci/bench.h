#pragma once
// `tarvo bench`: a fixed search workload whose total node count signs the engine's behaviour.
// Every position is searched to one fixed depth from a freshly cleared state with a 16 MB
// table, and nothing but the depth may end a search, so the count is the same on every run
// and every machine; any change to the search, the ordering or the evaluation moves it.

#include <cstdint>

namespace tarvo {

struct SearchState;

inline constexpr int BenchDepth = 9;

// The number of positions in the built-in list.
int benchPositionCount();

// Searches the first `positionCount` built-in positions to `depth` with `state` and returns
// the total number of nodes. With `progress`, writes one line per position.
std::uint64_t benchNodes(SearchState& state, int depth, int positionCount, bool progress);

// The whole workload on `threads` search threads, with its report; the last three lines are
// "Nodes searched: N", "Time (ms): T" and "Nodes/second: S". Only one thread gives the same
// count on every run: helpers make it depend on timing. Returns the process exit status.
int runBench(int threads);

} // namespace tarvo
