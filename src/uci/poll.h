#pragma once
// Input during a search. The search runs on the engine's main thread, so it looks at the
// input itself: at its polls it takes what standard input holds without blocking and acts on
// the commands meant for it. `stop`, `ponderhit` and `quit` act on the running search,
// `isready` is answered at once; every other line is kept, in order, for the command loop to
// run after the best move is out. Once a kept line starts a search of its own (`go`), the
// lines after it (but `isready`) are that search's and are kept too.

namespace tarvo {

struct SearchState;

// Reads what is waiting and acts on it: "quit" ends the process with status 0; "stop" stops
// the search, or from the first iteration is kept for its end; "ponderhit" turns a pondering
// search into clock play; "isready" is answered. At the end of input an infinite or pondering
// search stops as on "stop" (nothing else could end it), while a limited one runs to its
// limit. A stopped search reads nothing more: the rest is the loop's.
void pollInput(SearchState& state);

// The wait of an infinite or pondering search whose iterations ran out: reads, blocking, until
// "stop" or "ponderhit" or the end of input, acting on and keeping lines as pollInput does.
void waitForStop(SearchState& state);

} // namespace tarvo
