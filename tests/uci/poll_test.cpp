// Input read while a search runs, and the wait after it: what the search acts on, and what it
// keeps for the command loop.

#include "search/state.h"
#include "uci/captured.h"
#include "uci/control.h"
#include "uci/io.h"
#include "uci/poll.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace tarvo {
namespace {

constexpr const char* Exits = nullptr; // the process ends with status 0

// What the command loop reads afterwards, line by line.
std::string LoopReads() {
    std::string text;
    static char line[CommandLineCapacity];
    while (readLine(line, CommandLineCapacity) >= 0)
        text += line;
    return text;
}

// More lines than the input buffer holds at once.
const std::string ManyLines = [] {
    std::string text;
    while (text.size() < (std::size_t{3} << 20) / 2)
        text += "position startpos\n";
    return text + "stop\n";
}();

// The polls during a search act on stop, ponderhit, quit and isready and keep the rest for the
// command loop; after the last iteration an infinite or pondering search waits for stop or
// ponderhit (polls 0).
TEST(PollInput, ActsOnStopPonderhitQuitIsreadyAndKeepsTheRest) {
    const std::string longLine = std::string(70000, 'x') + "stop\nisready\n";
    const std::string crlf     = "position startpos\r\n" + std::string(20000, 'y') + "\r\nlast";
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
        bool stopBefore = false; // a stop read in iteration 1
        bool keepsLimits = false; // go ponder with depth, nodes or movetime and no clock
    } cases[] = {
        {Untimed, 1, true, "stop\n", 64, 1, "", Untimed, true, ""}, // kept for iteration 1's end
        {Timed, 2, false, "stop now\n", 64, 1, "", Stopped, false, ""},
        // Half a line waits for its end; a first word is a whole word.
        {Timed, 2, false, "stop\n", 2, 2, "", Timed, false, "stop\n"},
        {Timed, 2, false, "stop\n", 2, 3, "", Stopped, false, ""},
        {Timed, 2, false, "   stop\nstopped\nponderhitx\n", 64, 1, "", Timed, false,
         "   stop\nstopped\nponderhitx\n"},
        {Untimed, 3, true, "ponderhit\n", 64, 1, "", Timed, false, ""},
        {Untimed, 3, false, "ponderhit\n", 64, 1, "", Untimed, false, ""},
        // A ponderhit leaves the go's own limits in force; the lines after a stop are the loop's.
        {Untimed, 3, true, "ponderhit\n", 64, 1, "", Untimed, false, "", false, true},
        {Timed, 2, false, "stop\nisready\nquit\n", 64, 1, "", Stopped, false, "isready\nquit\n"},
        {Stopped, 3, true, "ponderhit\nquit\n", 64, 1, "", Stopped, false, "ponderhit\nquit\n"},
        {Untimed, 4, false, "position startpos\nsetoption name Hash value 64\nisready\n", 64, 1,
         "readyok\n", Untimed, false, "position startpos\nsetoption name Hash value 64\n"},
        // Windows line ends read as plain ones, and the last line needs no end.
        {Timed, 2, false, crlf, 7, 1, "", Timed, false,
         "position startpos\n" + std::string(20000, 'y') + "\nlast"},
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
        // The final wait (no polls).
        {Untimed, 9, true, "position startpos\nisready\ngo depth 3\nstop\nisready\n", 5, 0,
         "readyok\nreadyok\n", Untimed, false, "position startpos\ngo depth 3\nstop\n"},
        {Untimed, 9, true, "ponderhit\ngo\n", 5, 0, "", Timed, false, "go\n"},
        {Untimed, 9, true, "", 5, 0, "", Untimed, false, ""}, // the end of input ends the wait
        {Untimed, 9, false, "stop\n", 5, 0, "", Untimed, false, "stop\n"},
        {Timed, 9, true, "stop\n", 5, 0, "", Timed, false, "stop\n"}, // pondering became clock play
        {Untimed, 9, true, "stop\n", 5, 0, "", Untimed, true, "stop\n", true},
        {Untimed, 9, true, "isready\nquit\n", 5, 0, Exits, Untimed, false, ""},
        // A buffer full of kept lines ends the wait rather than spinning on it.
        {Untimed, 9, true, ManyLines, 5, 0, "", Untimed, false, ManyLines},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 60));
        const auto state = std::make_unique<SearchState>();
        state->control   = {.iteration            = c.iteration,
                            .runState             = c.run,
                            .infiniteOrPonder     = c.infinite,
                            .stopPending          = c.stopBefore,
                            .pondering            = c.keepsLimits,
                            .ponderhitKeepsLimits = c.keepsLimits};
        useInputText(c.input, c.chunk);
        const auto run = [&] {
            if (c.polls == 0)
                finalWait(*state);
            for (int i = 0; i < c.polls; ++i)
                pollInput(*state);
        };
        if (c.output == Exits) {
            EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
            continue;
        }
        EXPECT_EQ(test::Output(run), c.output);
        EXPECT_EQ(state->control.runState, c.runAfter);
        EXPECT_EQ(state->control.stopPending, c.stopPending);
        EXPECT_EQ(state->control.infiniteOrPonder, c.infinite && !c.keepsLimits);
        EXPECT_EQ(LoopReads(), c.unread);
    }
    useStandardInput();
}

// Standard input is read by a thread of its own: with the search thread busy elsewhere (it
// takes nothing here until the end), isready is answered and a stop raises the attention
// flag that makes helper threads step aside; the lines after the stop are the loop's.
TEST(InputReader, ActsWhileTheSearchThreadIsBusy) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int savedInput = dup(0);
    dup2(pipeEnds[0], 0);
    close(pipeEnds[0]);
    useStandardInput();
    const auto send = [&](std::string_view text) {
        ASSERT_EQ(write(pipeEnds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    };
    send("position startpos\n");
    static char line[CommandLineCapacity];
    EXPECT_EQ(readLine(line, CommandLineCapacity), 18);

    std::atomic<bool> attention{false};
    const std::string answered = test::Output([&] {
        beginSearchInput(&attention);
        send("isready\nsetoption name Hash value 32\nstop\nisready\n");
        for (int ms = 0; ms < 20000 && !attention.load(); ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    EXPECT_EQ(answered, "readyok\n");
    EXPECT_TRUE(attention.load());
    EXPECT_EQ(takeSearchEvents(&attention), unsigned{StopEvent});
    EXPECT_FALSE(attention.load());
    endSearchInput();
    close(pipeEnds[1]);
    EXPECT_EQ(LoopReads(), "setoption name Hash value 32\nisready\n");
    dup2(savedInput, 0);
    close(savedInput);
    useStandardInput();
}

} // namespace
} // namespace tarvo
