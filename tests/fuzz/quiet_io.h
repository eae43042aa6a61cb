#pragma once
// Standard streams of a fuzz target: output goes nowhere (the engine answers every command,
// and writing it would cost more than running it), and input is an empty pipe that stays open,
// so a stray read would block until the fuzzer's timeout reports it instead of ending the
// process quietly.

#include <fcntl.h>
#include <unistd.h>

namespace tarvo::fuzz {

inline void SilenceStandardStreams() {
    const int nowhere = ::open("/dev/null", O_WRONLY);
    if (nowhere >= 0) {
        ::dup2(nowhere, STDOUT_FILENO);
        ::close(nowhere);
    }
    int ends[2];
    if (::pipe(ends) == 0) {
        ::dup2(ends[0], STDIN_FILENO);
        ::close(ends[0]); // the write end stays open for the life of the process
    }
}

} // namespace tarvo::fuzz
