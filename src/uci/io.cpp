#include "uci/io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace tarvo {

namespace {

// Room for a few hundred long position lines kept back while a search runs. Input beyond it
// stays in the pipe until the loop has taken lines: it is never dropped.
constexpr std::size_t BufferCapacity = std::size_t{1} << 20;
constexpr std::size_t PieceLength    = CommandLineCapacity - 1;

// Static storage (the buffer is large), one for the process: there is one standard input.
// Bytes [head, examined) are lines a search kept for the loop, [examined, size) lines nobody
// has looked at yet.
struct InputBuffer {
    char data[BufferCapacity];
    std::size_t head     = 0;
    std::size_t examined = 0;
    std::size_t size     = 0;
    bool ended           = false; // nothing more will arrive
    bool searchQueued    = false; // a kept line starts a search: what follows belongs to it
    // A text standing in for standard input, or nullptr.
    const char* text      = nullptr;
    std::size_t textSize  = 0;
    std::size_t textAt    = 0;
    std::size_t textChunk = 0;
};

InputBuffer Input;

bool isStandardInputReadable() {
    pollfd input{};
    input.fd     = 0;
    input.events = POLLIN;
    int ready;
    do {
        ready = ::poll(&input, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // A hang-up or an invalid descriptor counts as readable: the read meets the end at once.
    return ready > 0;
}

void compact() {
    if (Input.head == 0)
        return;
    std::memmove(Input.data, Input.data + Input.head, Input.size - Input.head);
    Input.size -= Input.head;
    Input.examined -= Input.head;
    Input.head = 0;
}

// Length of the complete line that starts at `from` (its newline included), a piece of
// `piece` bytes of a longer one, the last line of an ended input, or 0 for none yet.
std::size_t lineLengthAt(std::size_t from, std::size_t piece) {
    const std::size_t available = Input.size - from;
    const std::size_t window    = std::min(available, piece);
    if (const void* newline = std::memchr(Input.data + from, '\n', window))
        return static_cast<std::size_t>(static_cast<const char*>(newline) - (Input.data + from)) +
               1;
    if (available >= piece || Input.ended)
        return window;
    return 0;
}

} // namespace

void setUnbufferedOutput() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

void readWaitingInput(bool wait) {
    if (Input.ended)
        return;
    compact();
    const std::size_t room = BufferCapacity - Input.size;
    if (room == 0)
        return;
    if (Input.text) {
        const std::size_t count = std::min({room, Input.textSize - Input.textAt, Input.textChunk});
        if (count == 0) {
            Input.ended = true;
            return;
        }
        std::memcpy(Input.data + Input.size, Input.text + Input.textAt, count);
        Input.textAt += count;
        Input.size += count;
        return;
    }
    if (!wait && !isStandardInputReadable())
        return;
    ssize_t got;
    do {
        got = ::read(0, Input.data + Input.size, room);
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        Input.ended = true;
    else
        Input.size += static_cast<std::size_t>(got);
}

int readLine(char* buffer, int capacity) {
    if (capacity < 2) {
        if (capacity == 1)
            buffer[0] = '\0';
        return capacity == 1 ? 0 : -1;
    }
    const std::size_t piece = std::min(static_cast<std::size_t>(capacity) - 1, PieceLength);
    std::size_t length;
    while ((length = lineLengthAt(Input.head, piece)) == 0) {
        if (Input.ended)
            return -1;
        readWaitingInput(true);
    }
    std::memcpy(buffer, Input.data + Input.head, length);
    Input.head += length;
    // Everything after the line taken is new to the next search, which may be this line's.
    Input.examined     = Input.head;
    Input.searchQueued = false;
    if (length >= 2 && buffer[length - 1] == '\n' && buffer[length - 2] == '\r')
        buffer[--length - 1] = '\n';
    buffer[length] = '\0';
    return static_cast<int>(length);
}

bool isCommandWord(std::string_view line, const char* word) {
    const std::size_t length = std::strlen(word);
    if (line.substr(0, length) != word)
        return false;
    if (line.size() == length)
        return true;
    const char next = line[length];
    return next == ' ' || next == '\t' || next == '\n' || next == '\r';
}

std::string_view peekSearchLine() {
    const std::size_t length = lineLengthAt(Input.examined, PieceLength);
    return {Input.data + Input.examined, length};
}

void keepSearchLine(bool startsSearch) {
    Input.examined += lineLengthAt(Input.examined, PieceLength);
    Input.searchQueued = Input.searchQueued || startsSearch;
}

void dropSearchLine() {
    const std::size_t length = lineLengthAt(Input.examined, PieceLength);
    const std::size_t rest   = Input.examined + length;
    std::memmove(Input.data + Input.examined, Input.data + rest, Input.size - rest);
    Input.size -= length;
}

bool isLaterSearchQueued() {
    return Input.searchQueued;
}

bool isInputBufferFull() {
    return Input.size - Input.head == BufferCapacity &&
           lineLengthAt(Input.examined, PieceLength) == 0;
}

bool hasInputEnded() {
    return Input.ended;
}

void useInputText(std::string_view text, std::size_t chunk) {
    useStandardInput();
    Input.text      = text.data();
    Input.textSize  = text.size();
    Input.textChunk = std::max<std::size_t>(chunk, 1);
}

void useStandardInput() {
    Input.head = Input.examined = Input.size = 0;
    Input.ended = Input.searchQueued = false;
    Input.text                       = nullptr;
    Input.textSize = Input.textAt = Input.textChunk = 0;
}

void quitProcess() {
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace tarvo
