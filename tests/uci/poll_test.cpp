#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "search/state.h"
#include "uci/poll.h"
#include "uci/stdio_pipes.h"

namespace tarvo {
namespace {

// A search in progress with standard input replaced by a pipe the test writes into.
struct PollFixture : ::testing::Test {
    std::unique_ptr<SearchState> state = std::make_unique<SearchState>();
    pipes::StdinPipe input;

    SearchControl& control() { return state->control; }
    void searching(SearchRunState runState, int iteration, bool infiniteOrPonder = false) {
        control().runState         = runState;
        control().iteration        = iteration;
        control().infiniteOrPonder = infiniteOrPonder;
    }
    // Polls with standard output captured; returns what the poll wrote.
    std::string pollOnce() {
        pipes::StdoutCapture capture;
        pollInput(*state);
        return capture.text();
    }
};

using PollInput = PollFixture;

TEST_F(PollInput, NothingPendingReturnsAtOnceAndReadsNothing) {
    searching(Untimed, 5);
    EXPECT_FALSE(isInputPending());
    EXPECT_EQ(pollOnce(), "");
    EXPECT_EQ(control().runState, Untimed);
    input.write("stop\n");
    EXPECT_EQ(input.drain(), "stop\n");
}

TEST_F(PollInput, PendingTestConsumesNothing) {
    input.write("stop\n");
    EXPECT_TRUE(isInputPending());
    EXPECT_TRUE(isInputPending());
    EXPECT_EQ(input.drain(), "stop\n");
}

TEST_F(PollInput, StopInTheFirstIterationIsKeptForItsEnd) {
    searching(Untimed, 1, true);
    input.write("stop\n");
    pollOnce();
    EXPECT_EQ(control().runState, Untimed);
    EXPECT_TRUE(control().stopPending);
}

TEST_F(PollInput, StopFromTheSecondIterationStops) {
    searching(Timed, 2);
    input.write("   stop now\n");
    pollOnce();
    EXPECT_EQ(control().runState, Stopped);
    EXPECT_FALSE(control().stopPending);
}

TEST_F(PollInput, PonderhitTurnsPonderingIntoClockPlay) {
    searching(Untimed, 3, true);
    input.write("ponderhit\n");
    pollOnce();
    EXPECT_EQ(control().runState, Timed);
}

TEST_F(PollInput, PonderhitLeavesOtherSearchesAlone) {
    searching(Untimed, 3, false); // go depth, nodes or movetime
    input.write("ponderhit\n");
    pollOnce();
    EXPECT_EQ(control().runState, Untimed);
}

TEST_F(PollInput, StoppedSearchLeavesInputToTheCommandLoop) {
    searching(Stopped, 3, true);
    input.write("ponderhit\nquit\n");
    pollOnce();
    pollOnce();
    EXPECT_EQ(control().runState, Stopped);
    EXPECT_EQ(input.drain(), "ponderhit\nquit\n");
}

TEST_F(PollInput, IsreadyIsAnsweredWithoutDisturbingTheSearch) {
    searching(Untimed, 7);
    input.write("isready\n");
    EXPECT_EQ(pollOnce(), "readyok\n");
    EXPECT_EQ(control().runState, Untimed);
    EXPECT_EQ(control().iteration, 7);
}

TEST_F(PollInput, OtherLinesAreDroppedOneLinePerPoll) {
    searching(Untimed, 4);
    input.write("position startpos moves e2e4\nsetoption name Hash value 64\nisready\n");
    EXPECT_EQ(pollOnce(), "");
    EXPECT_EQ(pollOnce(), "");
    EXPECT_EQ(control().runState, Untimed);
    EXPECT_EQ(input.drain(), "isready\n");
}

TEST_F(PollInput, LongLineIsReadIn511CharacterPieces) {
    searching(Untimed, 4);
    input.write(std::string(600, 'x') + "stop\n" + "isready\n");
    pollOnce();
    EXPECT_EQ(control().runState, Untimed); // the first piece holds only x's
    pollOnce();
    EXPECT_EQ(control().runState, Stopped); // the rest of the line holds the stop
    EXPECT_EQ(input.drain(), "isready\n");
}

TEST_F(PollInput, QuitAnywhereInTheLineEndsTheProcess) {
    searching(Timed, 6);
    input.write("please quit now\n");
    EXPECT_EXIT(pollInput(*state), ::testing::ExitedWithCode(0), "");
}

TEST_F(PollInput, EndOfInputEndsTheProcess) {
    searching(Untimed, 9);
    input.closeWriter();
    EXPECT_TRUE(isInputPending());
    EXPECT_EXIT(pollInput(*state), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tarvo
