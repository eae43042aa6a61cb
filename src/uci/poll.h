#pragma once
// Input during a search. The reader thread of the input acts on the lines meant for a running
// search as they arrive: `isready` is answered, `quit` ends the process, and `stop` and
// `ponderhit` wait as events for the search thread, which takes them at its polls and in its
// waits; every other line is kept, in order, for the command loop to run after the best move
// is out. While an event waits, the helper threads step aside, so the search thread takes it
// at once however many threads search.

namespace tarvo {

struct SearchState;

// Takes the waiting events and acts on them: "stop" stops the search, or from the first
// iteration is kept for its end; "ponderhit" ends pondering (clock play, or the go's own
// limits when it gave no clock). At the end of input an infinite or pondering search stops as
// on "stop" (nothing else could end it), while a limited one runs to its limit. A stopped
// search takes nothing more: the rest is the loop's.
void pollInput(SearchState& state);

// The wait of an infinite or pondering search that has done all it may: sleeps until "stop"
// or "ponderhit" or the end of input, acting on lines as pollInput does.
void waitForStop(SearchState& state);

// Sleeps until `elapsedMs` milliseconds after the search's start, acting on events meanwhile;
// returns early when the search is stopped (or the run state changes).
void waitUntilElapsed(SearchState& state, int elapsedMs);

} // namespace tarvo
