#include "uci/poll.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>

#include "search/state.h"
#include "uci/io.h"

namespace tarvo {

namespace {

// A poll reads at most this many characters minus one: the rest of a longer line waits for
// the next polls, which treat each piece as a line of its own.
constexpr int PollLineCapacity = 512;

} // namespace

bool isInputPending() {
    pollfd input{};
    input.fd     = 0;
    input.events = POLLIN;
    int ready;
    do {
        ready = ::poll(&input, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // A hang-up or an invalid descriptor also counts as pending: the read that follows meets
    // the end of input at once instead of blocking. A failed poll reads nothing, so the
    // search can never stall on a read.
    return ready > 0;
}

void pollInput(SearchState& state) {
    // Once stopped, the search only unwinds: whatever arrives now is the command loop's to
    // read, after the best move is out.
    if (state.control.runState == Stopped || !isInputPending())
        return;

    char line[PollLineCapacity];
    line[0] = '\0';
    if (readLine(line, PollLineCapacity) < 0)
        quitProcess();

    SearchControl& control = state.control;
    if (std::strstr(line, "quit"))
        quitProcess();
    if (std::strstr(line, "stop")) {
        if (control.iteration > 1) {
            control.runState = Stopped;
            return;
        }
        // The first iteration always completes; the stop is kept and ends the search there.
        control.stopPending = true;
    }
    if (std::strstr(line, "ponderhit")) {
        // Clock play takes over, with time counted from the go. A stopped search stays
        // stopped, and a search that was not started to ponder (or to run without end) keeps
        // its own limits rather than falling to a clock it was never given.
        if (control.runState != Stopped && control.infiniteOrPonder)
            control.runState = Timed;
        return;
    }
    if (std::strstr(line, "isready"))
        std::printf("readyok\n");
}

} // namespace tarvo
