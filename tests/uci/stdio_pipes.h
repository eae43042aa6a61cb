#pragma once
// Standard input replaced by a pipe that the test writes into, so the engine's own reads of
// file descriptor 0 can be fed; and standard output captured around a call.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace tarvo::pipes {

struct StdinPipe {
    int savedInput = -1, writeEnd = -1;

    StdinPipe() {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        // Ends above the standard descriptors, even when the test started with input closed.
        const int readEnd = ::fcntl(ends[0], F_DUPFD, 3);
        writeEnd          = ::fcntl(ends[1], F_DUPFD, 3);
        ::close(ends[0]);
        ::close(ends[1]);
        savedInput = ::fcntl(0, F_DUPFD, 3);
        ::dup2(readEnd, 0);
        ::close(readEnd);
    }
    ~StdinPipe() {
        closeWriter();
        if (savedInput >= 0) {
            ::dup2(savedInput, 0);
            ::close(savedInput);
        } else {
            ::close(0);
        }
    }
    StdinPipe(const StdinPipe&) = delete;

    void write(const std::string& text) const {
        ASSERT_EQ(::write(writeEnd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // The reader then meets the end of input once the pipe is drained.
    void closeWriter() {
        if (writeEnd >= 0)
            ::close(writeEnd);
        writeEnd = -1;
    }
    // Everything still unread; closes the writer first so the read ends.
    std::string drain() {
        closeWriter();
        std::string text;
        char chunk[256];
        for (ssize_t got; (got = ::read(0, chunk, sizeof chunk)) > 0;)
            text.append(chunk, static_cast<std::size_t>(got));
        return text;
    }
};

// What `run` writes to standard output.
template <typename Run> std::string Output(Run&& run) {
    ::testing::internal::CaptureStdout();
    run();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace tarvo::pipes
