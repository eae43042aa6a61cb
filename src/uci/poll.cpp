#include "uci/poll.h"

#include <cstdio>
#include <string_view>

#include "search/state.h"
#include "search/threads.h"
#include "uci/io.h"

namespace tarvo {

namespace {

void stopSearch(SearchControl& control) {
    // The first iteration always completes; a stop in it is kept and ends the search there.
    if (control.iteration > 1)
        control.runState = Stopped;
    else
        control.stopPending = true;
}

// Acts on the complete lines that have arrived, in order. "isready" is answered at once; once
// a kept line starts a search, the lines after it are that search's and are kept. Returns true
// when a line ended a wait for the search's end: "stop" or "ponderhit".
bool actOnWaitingLines(SearchState& state) {
    SearchControl& control = state.control;
    for (std::string_view line; !(line = peekSearchLine()).empty();) {
        if (isCommandWord(line, "isready")) {
            dropSearchLine();
            std::printf("readyok\n");
        } else if (isLaterSearchQueued()) {
            keepSearchLine(isCommandWord(line, "go"));
        } else if (isCommandWord(line, "quit")) {
            quitProcess();
        } else if (isCommandWord(line, "stop")) {
            dropSearchLine();
            stopSearch(control);
            return true;
        } else if (isCommandWord(line, "ponderhit")) {
            dropSearchLine();
            // Clock play takes over, with time counted from the go. A stopped search stays
            // stopped, and a search that was not started to ponder (or to run without end)
            // keeps its own limits rather than falling to a clock it was never given.
            if (control.runState != Stopped && control.infiniteOrPonder) {
                control.runState = Timed;
                PublishHardLimit(state);
            }
            return true;
        } else {
            keepSearchLine(isCommandWord(line, "go"));
        }
    }
    return false;
}

} // namespace

void pollInput(SearchState& state) {
    SearchControl& control = state.control;
    if (control.runState == Stopped)
        return;
    readWaitingInput(false);
    if (actOnWaitingLines(state) && control.runState == Stopped)
        return;
    // Nothing can stop a search without end once the input is gone.
    if (hasInputEnded() && peekSearchLine().empty() && control.infiniteOrPonder &&
        control.runState == Untimed)
        stopSearch(control);
}

void waitForStop(SearchState& state) {
    for (;;) {
        if (actOnWaitingLines(state))
            return;
        if (hasInputEnded() || isInputBufferFull())
            return;
        readWaitingInput(true);
    }
}

} // namespace tarvo
