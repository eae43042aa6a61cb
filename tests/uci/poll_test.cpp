// Input read while a search runs, and the wait after it, with standard input a real pipe.

#include "search/state.h"
#include "uci/control.h"
#include "uci/poll.h"
#include "uci/stdio_pipes.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace tarvo {
namespace {

constexpr const char* Exits = nullptr; // the process ends with status 0

std::unique_ptr<SearchState> Searching(SearchRunState run, bool infiniteOrPonder) {
    auto state                      = std::make_unique<SearchState>();
    state->control.runState         = run;
    state->control.infiniteOrPonder = infiniteOrPonder;
    return state;
}

TEST(PollInput, ActsOnTheFirstPendingLine) {
    const struct {
        SearchRunState run;
        int iteration;
        bool infinite; // go infinite or go ponder
        std::string input;
        int polls;
        const char* output;
        SearchRunState runAfter;
        bool stopPending;
        std::string unread;
    } cases[] = {
        {Untimed, 5, false, "", 1, "", Untimed, false, ""},
        {Untimed, 1, true, "stop\n", 1, "", Untimed, true, ""}, // kept for iteration 1's end
        {Timed, 2, false, "   stop now\n", 1, "", Stopped, false, ""},
        {Untimed, 3, true, "ponderhit\n", 1, "", Timed, false, ""},
        {Untimed, 3, false, "ponderhit\n", 1, "", Untimed, false, ""},
        {Stopped, 3, true, "ponderhit\nquit\n", 2, "", Stopped, false, "ponderhit\nquit\n"},
        {Untimed, 7, false, "isready\n", 1, "readyok\n", Untimed, false, ""},
        {Untimed, 4, false, "position startpos\nsetoption name Hash value 64\nisready\n", 2, "",
         Untimed, false, "isready\n"},
        // A long line is read in pieces of 511 characters.
        {Untimed, 4, false, std::string(600, 'x') + "stop\nisready\n", 1, "", Untimed, false,
         std::string(89, 'x') + "stop\nisready\n"},
        {Untimed, 4, false, std::string(600, 'x') + "stop\nisready\n", 2, "", Stopped, false,
         "isready\n"},
        // Quit anywhere in the line, or the end of input, ends the process.
        {Timed, 2, false, "please quit now\n", 1, Exits, Timed, false, ""},
        {Timed, 2, false, "", 1, Exits, Timed, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const auto state         = Searching(c.run, c.infinite);
        state->control.iteration = c.iteration;
        pipes::StdinPipe input;
        input.write(c.input);
        if (c.output == Exits) {
            input.closeWriter();
            EXPECT_TRUE(isInputPending());
            EXPECT_EXIT(pollInput(*state), ::testing::ExitedWithCode(0), "");
            continue;
        }
        EXPECT_EQ(isInputPending(), !c.input.empty());
        const std::string output = pipes::Output([&] {
            for (int i = 0; i < c.polls; ++i)
                pollInput(*state);
        });
        EXPECT_EQ(output, c.output);
        EXPECT_EQ(state->control.runState, c.runAfter);
        EXPECT_EQ(state->control.stopPending, c.stopPending);
        EXPECT_EQ(state->control.iteration, c.iteration);
        EXPECT_EQ(input.drain(), c.unread);
    }
}

// After the last iteration an infinite or pondering search waits for stop or ponderhit.
TEST(FinalWait, WaitsOnlyForInfiniteOrPonderingSearches) {
    const struct {
        bool infinite;
        SearchRunState run;
        bool stopPending;
        const char *input, *output, *unread;
    } cases[] = {
        {true, Untimed, false, "position startpos\nisready\ngo depth 3\nstop\nisready\n",
         "readyok\n", "isready\n"},
        {true, Untimed, false, "ponderhit\ngo\n", "", "go\n"},
        {true, Untimed, false, "", "", ""}, // the end of input ends the wait
        {false, Untimed, false, "stop\n", "", "stop\n"},
        {true, Timed, false, "stop\n", "", "stop\n"},  // pondering that became clock play
        {true, Untimed, true, "stop\n", "", "stop\n"}, // stop already read in iteration 1
        {true, Untimed, false, "isready\nquit\n", Exits, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const auto state           = Searching(c.run, c.infinite);
        state->control.stopPending = c.stopPending;
        pipes::StdinPipe input;
        input.write(c.input);
        input.closeWriter();
        if (c.output == Exits) {
            EXPECT_EXIT(finalWait(*state), ::testing::ExitedWithCode(0), "");
        } else {
            EXPECT_EQ(pipes::Output([&] { finalWait(*state); }), c.output);
            EXPECT_EQ(input.drain(), c.unread);
        }
    }
}

} // namespace
} // namespace tarvo
