#pragma once
// Input during a search. The search runs on the engine's only thread, so it looks at standard
// input itself: at its polls it asks, without blocking and without consuming anything, whether
// a line is waiting, and only then reads that one line. Standard input is never buffered
// inside the process, so whatever the pending test does not see cannot be waiting here.

namespace tarvo {

struct SearchState;

// True when a read of standard input would not block: a line (or the end of input) is waiting.
bool isInputPending();

// Reads one waiting line (at most 511 characters; a longer line in pieces by later polls) and
// acts on it: "quit" or the end of input ends the process with status 0; "stop" stops the
// search, or from the first iteration is kept for its end; "ponderhit" turns a pondering
// search into clock play; "isready" is answered at once. Every other line is dropped. A
// stopped search reads nothing more.
void pollInput(SearchState& state);

} // namespace tarvo
