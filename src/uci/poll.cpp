#include "uci/poll.h"

#include "search/state.h"
#include "search/threads.h"
#include "uci/clock.h"
#include "uci/io.h"

#include <atomic>

namespace tarvo {

namespace {

std::atomic<bool>* attentionOf(const SearchState& state) {
    return state.threads && state.threadIndex == 0 ? &state.threads->attention : nullptr;
}

void stopSearch(SearchControl& control) {
    // The first iteration always completes; a stop in it is kept and ends the search there.
    if (control.iteration > 1)
        control.runState = Stopped;
    else
        control.stopPending = true;
}

void ponderhit(SearchState& state) {
    SearchControl& control = state.control;
    // A stopped search stays stopped, and a search that was not started to ponder (or to run
    // without end) keeps its own limits rather than falling to a clock it was never given.
    if (control.runState == Stopped || !control.infiniteOrPonder)
        return;
    if (control.pondering && control.ponderhitKeepsLimits) {
        // The go's own depth, nodes, mate or move time, counted from the go.
        control.infiniteOrPonder = false;
    } else {
        // Clock play, with time counted from the go.
        control.runState = Timed;
    }
    control.pondering = false;
    PublishHardLimit(state);
}

// Takes the events and acts on them. Returns the events taken.
unsigned actOnEvents(SearchState& state) {
    std::atomic<bool>* attention = attentionOf(state);
    const unsigned events        = takeSearchEvents(attention);
    if (events & StopEvent)
        stopSearch(state.control);
    if (events & PonderhitEvent)
        ponderhit(state);
    // A search that ends keeps its helpers aside, so that it reaches its answer at once; they
    // stop when it stops them.
    if (attention && (state.control.runState == Stopped || state.control.stopPending))
        attention->store(true, std::memory_order_relaxed);
    else
        ResumeHelpers(state);
    return events;
}

} // namespace

void pollInput(SearchState& state) {
    SearchControl& control = state.control;
    if (control.runState == Stopped)
        return;
    const unsigned events = actOnEvents(state);
    if (control.runState == Stopped)
        return;
    // Nothing can stop a search without end once the input is gone.
    if ((events & EndedEvent) && control.infiniteOrPonder && control.runState == Untimed)
        stopSearch(control);
}

void waitForStop(SearchState& state) {
    for (;;) {
        const unsigned events = actOnEvents(state);
        if (events & (StopEvent | PonderhitEvent | EndedEvent | BlockedEvent))
            return;
        waitForSearchEvent(-1, true);
    }
}

void waitUntilElapsed(SearchState& state, int elapsedMs) {
    SearchControl& control     = state.control;
    const SearchRunState start = control.runState;
    for (;;) {
        actOnEvents(state);
        if (control.runState != start || control.stopPending)
            return;
        const int left = elapsedMs - ticksBetween(control.startTick, readTickCount());
        if (left <= 0)
            return;
        waitForSearchEvent(left, false);
    }
}

} // namespace tarvo
