#include "uci/io.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace tarvo {

void setUnbufferedOutput() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

int readLine(char* buffer, int capacity) {
    if (capacity < 2) {
        if (capacity == 1)
            buffer[0] = '\0';
        return capacity == 1 ? 0 : -1;
    }
    int length = 0;
    bool ended = false;
    while (length < capacity - 1) {
        char byte   = 0;
        ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ended = true;
            break;
        }
        if (byte == '\n' && length > 0 && buffer[length - 1] == '\r') {
            buffer[length - 1] = '\n';
            break;
        }
        buffer[length++] = byte;
        if (byte == '\n')
            break;
    }
    buffer[length] = '\0';
    return (ended && length == 0) ? -1 : length;
}

void quitProcess() {
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace tarvo
