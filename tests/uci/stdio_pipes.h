#pragma once
// Test helpers that put pipes in place of the process's standard input and output, so the
// engine's own reads and writes of file descriptors 0 and 1 can be fed and read back. Each
// helper restores the original descriptor when it goes out of scope.

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace tarvo::pipes {

// A pipe whose ends lie above the standard descriptors, even when the test program was started
// with standard input or output closed (pipe() would then hand out 0 or 1 itself).
inline bool openHighPipe(int ends[2]) {
    int low[2];
    if (::pipe(low) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        ends[i] = ::fcntl(low[i], F_DUPFD, 3);
        ::close(low[i]);
    }
    return ends[0] >= 0 && ends[1] >= 0;
}

// Puts `fd` in place of the standard descriptor `target`; returns a copy of what was there
// before, or -1 when `target` was closed.
inline int replaceDescriptor(int target, int fd) {
    const int saved = ::fcntl(target, F_DUPFD, 3);
    ::dup2(fd, target);
    ::close(fd);
    return saved;
}

inline void restoreDescriptor(int target, int saved) {
    if (saved >= 0) {
        ::dup2(saved, target);
        ::close(saved);
    } else {
        ::close(target);
    }
}

// Standard input reads from a pipe that the test writes into.
struct StdinPipe {
    int savedInput = -1;
    int writeEnd   = -1;

    StdinPipe() {
        int ends[2];
        if (!openHighPipe(ends))
            return;
        savedInput = replaceDescriptor(0, ends[0]);
        writeEnd   = ends[1];
    }
    ~StdinPipe() {
        closeWriter();
        restoreDescriptor(0, savedInput);
    }
    StdinPipe(const StdinPipe&)            = delete;
    StdinPipe& operator=(const StdinPipe&) = delete;

    void write(const std::string& text) const {
        const char* data = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            const ssize_t put = ::write(writeEnd, data, left);
            if (put <= 0)
                return;
            data += put;
            left -= static_cast<std::size_t>(put);
        }
    }
    // The reader then meets the end of input once the pipe is drained.
    void closeWriter() {
        if (writeEnd >= 0)
            ::close(writeEnd);
        writeEnd = -1;
    }
    // Everything still unread in the pipe; closes the writer first so the read ends.
    std::string drain() {
        closeWriter();
        std::string text;
        char chunk[256];
        ssize_t got;
        while ((got = ::read(0, chunk, sizeof chunk)) > 0)
            text.append(chunk, static_cast<std::size_t>(got));
        return text;
    }
};

// Standard output goes into a pipe until text() restores it and returns what was written.
struct StdoutCapture {
    int savedOutput = -1;
    int readEnd     = -1;
    bool active     = false;

    StdoutCapture() {
        std::fflush(stdout);
        int ends[2];
        if (!openHighPipe(ends))
            return;
        savedOutput = replaceDescriptor(1, ends[1]);
        readEnd     = ends[0];
        active      = true;
    }
    ~StdoutCapture() { text(); }
    StdoutCapture(const StdoutCapture&)            = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    std::string text() {
        if (!active)
            return captured;
        active = false;
        std::fflush(stdout);
        restoreDescriptor(1, savedOutput);
        char chunk[256];
        ssize_t got;
        while ((got = ::read(readEnd, chunk, sizeof chunk)) > 0)
            captured.append(chunk, static_cast<std::size_t>(got));
        ::close(readEnd);
        return captured;
    }

    std::string captured;
};

} // namespace tarvo::pipes
