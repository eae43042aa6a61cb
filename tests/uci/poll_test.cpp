// Input read while a search runs, and the wait after it: what the search acts on, and what it
// keeps for the command loop.

#include "search/state.h"
#include "uci/captured.h"
#include "uci/control.h"
#include "uci/io.h"
#include "uci/poll.h"

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

// What the command loop reads afterwards, line by line.
std::string LoopReads() {
    std::string text;
    static char line[CommandLineCapacity];
    while (readLine(line, CommandLineCapacity) >= 0)
        text += line;
    return text;
}

TEST(PollInput, ActsOnStopPonderhitQuitIsreadyAndKeepsTheRest) {
    const std::string longLine = std::string(70000, 'x') + "stop\nisready\n";
    const struct {
        SearchRunState run;
        int iteration;
        bool infinite; // go infinite or go ponder
        std::string input;
        std::size_t chunk; // bytes the input hands over per read
        int polls;
        const char* output;
        SearchRunState runAfter;
        bool stopPending;
        std::string unread;
    } cases[] = {
        {Untimed, 5, false, "", 64, 1, "", Untimed, false, ""},
        {Untimed, 1, true, "stop\n", 64, 1, "", Untimed, true, ""}, // kept for iteration 1's end
        {Timed, 2, false, "stop now\n", 64, 1, "", Stopped, false, ""},
        // Half a line waits for its end; a first word is a whole word.
        {Timed, 2, false, "stop\n", 2, 2, "", Timed, false, "stop\n"},
        {Timed, 2, false, "stop\n", 2, 3, "", Stopped, false, ""},
        {Timed, 2, false, "   stop\nstopped\nponderhitx\n", 64, 1, "", Timed, false,
         "   stop\nstopped\nponderhitx\n"},
        {Untimed, 3, true, "ponderhit\n", 64, 1, "", Timed, false, ""},
        {Untimed, 3, false, "ponderhit\n", 64, 1, "", Untimed, false, ""},
        {Stopped, 3, true, "ponderhit\nquit\n", 64, 1, "", Stopped, false, "ponderhit\nquit\n"},
        {Untimed, 4, false, "position startpos\nsetoption name Hash value 64\nisready\n", 64, 1,
         "readyok\n", Untimed, false, "position startpos\nsetoption name Hash value 64\n"},
        // A long line is kept in pieces, each a line of its own.
        {Untimed, 4, false, longLine, 4096, 30, "readyok\n", Untimed, false,
         std::string(70000, 'x') + "stop\n"},
        // After a kept go, stop and quit are that search's; isready is still answered.
        {Untimed, 4, true, "position startpos\ngo depth 3\nstop\nquit\nisready\n", 64, 1,
         "readyok\n", Untimed, false, "position startpos\ngo depth 3\nstop\nquit\n"},
        {Timed, 2, false, "setoption name quitter\n", 64, 1, "", Timed, false,
         "setoption name quitter\n"},
        // The end of input stops a search without end, and leaves a limited one running.
        {Untimed, 4, true, "", 64, 2, "", Stopped, false, ""},
        {Untimed, 1, true, "", 64, 2, "", Untimed, true, ""},
        {Untimed, 4, false, "", 64, 2, "", Untimed, false, ""},
        {Timed, 2, false, "quit\n", 64, 1, Exits, Timed, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 60));
        const auto state         = Searching(c.run, c.infinite);
        state->control.iteration = c.iteration;
        useInputText(c.input, c.chunk);
        if (c.output == Exits) {
            EXPECT_EXIT(pollInput(*state), ::testing::ExitedWithCode(0), "");
            continue;
        }
        const std::string output = test::Output([&] {
            for (int i = 0; i < c.polls; ++i)
                pollInput(*state);
        });
        EXPECT_EQ(output, c.output);
        EXPECT_EQ(state->control.runState, c.runAfter);
        EXPECT_EQ(state->control.stopPending, c.stopPending);
        EXPECT_EQ(LoopReads(), c.unread);
    }
    useStandardInput();
}

// More lines than the input buffer holds at once.
const std::string ManyLines = [] {
    std::string text;
    while (text.size() < (std::size_t{3} << 20) / 2)
        text += "position startpos\n";
    return text + "stop\n";
}();

// After the last iteration an infinite or pondering search waits for stop or ponderhit.
TEST(FinalWait, WaitsOnlyForInfiniteOrPonderingSearches) {
    const struct {
        bool infinite;
        SearchRunState run;
        bool stopPending;
        const char *input, *output, *unread;
    } cases[] = {
        {true, Untimed, false, "position startpos\nisready\ngo depth 3\nstop\nisready\n",
         "readyok\nreadyok\n", "position startpos\ngo depth 3\nstop\n"},
        {true, Untimed, false, "ponderhit\ngo\n", "", "go\n"},
        {true, Untimed, false, "", "", ""}, // the end of input ends the wait
        {false, Untimed, false, "stop\n", "", "stop\n"},
        {true, Timed, false, "stop\n", "", "stop\n"},  // pondering that became clock play
        {true, Untimed, true, "stop\n", "", "stop\n"}, // stop already read in iteration 1
        {true, Untimed, false, "isready\nquit\n", Exits, ""},
        // A buffer full of kept lines ends the wait rather than spinning on it.
        {true, Untimed, false, ManyLines.c_str(), "", ManyLines.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.input).substr(0, 60));
        const auto state           = Searching(c.run, c.infinite);
        state->control.stopPending = c.stopPending;
        useInputText(c.input, 5);
        if (c.output == Exits) {
            EXPECT_EXIT(finalWait(*state), ::testing::ExitedWithCode(0), "");
        } else {
            EXPECT_EQ(test::Output([&] { finalWait(*state); }), c.output);
            EXPECT_EQ(LoopReads(), c.unread);
        }
    }
    useStandardInput();
}

// Windows line ends, a last line without its end, and more than the buffer holds at once.
TEST(ReadLine, TakesWholeLinesThroughTheBuffer) {
    const std::string longLine = std::string(20000, 'y');
    const std::string input    = "isready\r\nposition startpos\n" + longLine + "\nlast";
    useInputText(input, 7); // read in place: the text outlives the reads
    EXPECT_EQ(LoopReads(), "isready\nposition startpos\n" + longLine + "\nlast");
    useInputText(ManyLines, 1 << 16);
    EXPECT_EQ(LoopReads(), ManyLines);
    useStandardInput();
}

} // namespace
} // namespace tarvo
