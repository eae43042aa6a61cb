#include "uci/io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace tarvo {

namespace {

// Room for a few hundred long position lines kept back while a search runs. Input beyond it
// stays in the pipe until the loop has taken lines: it is never dropped.
constexpr std::size_t BufferCapacity = std::size_t{1} << 20;
constexpr std::size_t PieceLength    = CommandLineCapacity - 1;
// Bytes the reader thread takes from the pipe per read.
constexpr std::size_t ReadChunk = 65536;

// Static storage (the buffer is large), one for the process: there is one standard input.
// Bytes [head, examined) are lines a search kept for the loop, [examined, size) lines nobody
// has looked at yet. The reader thread, the command loop and the search thread share it:
// every member is read and written with `mutex` held.
struct InputBuffer {
    std::mutex mutex;
    // Signalled when bytes arrive, the input ends, the loop takes lines (room for the reader)
    // or an event for the search is set.
    std::condition_variable changed;
    char data[BufferCapacity];
    std::size_t head     = 0;
    std::size_t examined = 0;
    std::size_t size     = 0;
    bool ended           = false; // nothing more will arrive
    bool searchQueued    = false; // a kept line starts a search: what follows belongs to it
    bool readerStarted   = false;
    // From beginSearchInput to the loop's next read: lines are acted on as they arrive.
    bool searching               = false;
    bool stopTaken               = false; // what follows a stop is the loop's
    unsigned events              = 0;     // StopEvent, PonderhitEvent not yet taken
    std::atomic<bool>* attention = nullptr;
    // A text standing in for standard input, or nullptr.
    const char* text      = nullptr;
    std::size_t textSize  = 0;
    std::size_t textAt    = 0;
    std::size_t textChunk = 0;
};

InputBuffer Input;
// Started by the first read from standard input; the loop joins it once the input has ended.
std::thread Reader;

using Lock = std::unique_lock<std::mutex>;

void compact() {
    if (Input.head == 0)
        return;
    std::memmove(Input.data, Input.data + Input.head, Input.size - Input.head);
    Input.size -= Input.head;
    Input.examined -= Input.head;
    Input.head = 0;
}

std::size_t room() {
    return BufferCapacity - (Input.size - Input.head);
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

bool isBufferFull() {
    return room() == 0 && lineLengthAt(Input.examined, PieceLength) == 0;
}

void keepLine(std::size_t length, bool startsSearch) {
    Input.examined += length;
    Input.searchQueued = Input.searchQueued || startsSearch;
}

void dropLine(std::size_t length) {
    const std::size_t rest = Input.examined + length;
    std::memmove(Input.data + Input.examined, Input.data + rest, Input.size - rest);
    Input.size -= length;
}

void setEvent(unsigned event) {
    Input.events |= event;
    if (Input.attention)
        Input.attention->store(true, std::memory_order_relaxed);
    Input.changed.notify_all();
}

// Acts on the complete lines a search has not looked at yet, in order (mutex held).
void actOnNewLines() {
    if (!Input.searching || Input.stopTaken)
        return;
    for (std::size_t length; (length = lineLengthAt(Input.examined, PieceLength)) != 0;) {
        const std::string_view line(Input.data + Input.examined, length);
        if (isCommandWord(line, "isready")) {
            dropLine(length);
            // Straight to the pipe: a search thread that holds the stream's lock while it
            // waits for a processor must not hold up the answer.
            static constexpr char Ready[] = "readyok\n";
            ssize_t written;
            do {
                written = ::write(1, Ready, sizeof Ready - 1);
            } while (written < 0 && errno == EINTR);
        } else if (Input.searchQueued) {
            keepLine(length, isCommandWord(line, "go"));
        } else if (isCommandWord(line, "quit")) {
            quitProcess();
        } else if (isCommandWord(line, "stop")) {
            dropLine(length);
            setEvent(StopEvent);
            // The search ends: the lines after the stop (an isready that waits for the best
            // move, say) run after it, in order.
            Input.stopTaken = true;
            return;
        } else if (isCommandWord(line, "ponderhit")) {
            dropLine(length);
            setEvent(PonderhitEvent);
        } else {
            keepLine(length, isCommandWord(line, "go"));
        }
    }
    if (Input.ended || isBufferFull())
        setEvent(0);
}

// A test's text: the next piece of it, or its end (mutex held).
void takeTextPiece() {
    if (Input.ended)
        return;
    compact();
    const std::size_t count =
        std::min({BufferCapacity - Input.size, Input.textSize - Input.textAt, Input.textChunk});
    if (count == 0) {
        // A full buffer is not the end of the text.
        if (Input.textAt == Input.textSize)
            Input.ended = true;
        return;
    }
    std::memcpy(Input.data + Input.size, Input.text + Input.textAt, count);
    Input.textAt += count;
    Input.size += count;
}

// Asks the scheduler for the shortest time slices for the calling thread, at its ordinary
// priority: a thread that mostly sleeps then runs within a fraction of a millisecond of waking,
// even among hundreds of busy search threads. Kernels that do not know the request ignore it.
void askForShortSlices() {
#if defined(__linux__) && defined(SYS_sched_setattr)
    struct {
        std::uint32_t size, policy;
        std::uint64_t flags;
        std::int32_t nice;
        std::uint32_t priority;
        std::uint64_t runtime, deadline, period;
    } attributes{};
    attributes.size    = sizeof attributes;
    attributes.policy  = SCHED_OTHER;
    attributes.nice    = getpriority(PRIO_PROCESS, 0);
    attributes.runtime = 100000; // nanoseconds: the shortest slice the kernel grants
    ::syscall(SYS_sched_setattr, 0, &attributes, 0);
#endif
}

// The reader thread: takes what standard input brings as it comes, acts on it for a running
// search, and wakes whoever waits for it; at the end of input it marks the end and returns.
void readStandardInput() {
    askForShortSlices();
    static char chunk[ReadChunk]; // this thread's alone
    for (;;) {
        std::size_t wanted;
        {
            Lock lock(Input.mutex);
            Input.changed.wait(lock, [] { return room() > 0; });
            wanted = std::min(room(), ReadChunk);
        }
        ssize_t got;
        do {
            got = ::read(0, chunk, wanted);
        } while (got < 0 && errno == EINTR);
        Lock lock(Input.mutex);
        if (Input.text) // a test's text stands in for the input now
            continue;
        if (got <= 0) {
            Input.ended = true;
        } else {
            compact();
            std::memcpy(Input.data + Input.size, chunk, static_cast<std::size_t>(got));
            Input.size += static_cast<std::size_t>(got);
        }
        actOnNewLines();
        Input.changed.notify_all();
        if (Input.ended)
            return;
    }
}

// Brings new input into the buffer for a waiting reader of it: a piece of a test's text, or
// the reader thread started once (mutex held).
void startReading() {
    if (Input.text) {
        takeTextPiece();
    } else if (!Input.readerStarted) {
        Input.readerStarted = true;
        Reader              = std::thread(readStandardInput);
    }
}

} // namespace

void setUnbufferedOutput() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

int readLine(char* buffer, int capacity) {
    if (capacity < 2) {
        if (capacity == 1)
            buffer[0] = '\0';
        return capacity == 1 ? 0 : -1;
    }
    const std::size_t piece = std::min(static_cast<std::size_t>(capacity) - 1, PieceLength);
    Lock lock(Input.mutex);
    // Whatever the search left is the loop's now, and new to the next search.
    Input.searching    = false;
    Input.attention    = nullptr;
    Input.examined     = Input.head;
    Input.searchQueued = false;
    std::size_t length;
    while ((length = lineLengthAt(Input.head, piece)) == 0) {
        if (Input.ended) {
            lock.unlock();
            if (Reader.joinable() && Reader.get_id() != std::this_thread::get_id())
                Reader.join();
            return -1;
        }
        const bool text = Input.text != nullptr;
        startReading();
        if (!text)
            Input.changed.wait(lock);
    }
    std::memcpy(buffer, Input.data + Input.head, length);
    Input.head += length;
    Input.examined = Input.head;
    Input.changed.notify_all(); // room for the reader
    lock.unlock();
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

namespace {

// The start of a search's input, once per search (mutex held): what a search before it was
// told is forgotten.
void beginSearch(std::atomic<bool>* attention) {
    if (!Input.searching) {
        Input.searching = true;
        Input.stopTaken = false;
        Input.events    = 0;
        if (attention)
            attention->store(false, std::memory_order_relaxed);
    }
    Input.attention = attention;
}

} // namespace

void beginSearchInput(std::atomic<bool>* attention) {
    Lock lock(Input.mutex);
    beginSearch(attention);
    // Lines that came before the search are taken at its first poll, as they would be without
    // a reader thread; the helpers step aside for it.
    if (attention && lineLengthAt(Input.examined, PieceLength) != 0)
        attention->store(true, std::memory_order_relaxed);
}

void endSearchInput() {
    Lock lock(Input.mutex);
    Input.searching = false;
    Input.attention = nullptr;
}

unsigned takeSearchEvents(std::atomic<bool>* attention) {
    Lock lock(Input.mutex);
    beginSearch(attention);
    if (Input.text)
        takeTextPiece();
    actOnNewLines();
    unsigned events = Input.events;
    Input.events    = 0;
    if (Input.ended)
        events |= EndedEvent;
    if (isBufferFull())
        events |= BlockedEvent;
    if (attention)
        attention->store(false, std::memory_order_relaxed);
    return events;
}

void waitForSearchEvent(int timeoutMs, bool wakeAtEnd) {
    Lock lock(Input.mutex);
    if (Input.text)
        return;
    const auto ready = [&] {
        return Input.events != 0 || (wakeAtEnd && (Input.ended || isBufferFull()));
    };
    if (timeoutMs < 0)
        Input.changed.wait(lock, ready);
    else
        Input.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

void useInputText(std::string_view text, std::size_t chunk) {
    useStandardInput();
    Lock lock(Input.mutex);
    Input.text      = text.data();
    Input.textSize  = text.size();
    Input.textChunk = std::max<std::size_t>(chunk, 1);
}

void useStandardInput() {
    Lock lock(Input.mutex);
    // A reader that met the end of its input was joined: the next read starts a new one.
    Input.readerStarted = Reader.joinable();
    Input.head = Input.examined = Input.size = 0;
    Input.ended = Input.searchQueued = Input.searching = false;
    Input.events                                       = 0;
    Input.attention                                    = nullptr;
    Input.text                                         = nullptr;
    Input.textSize = Input.textAt = Input.textChunk = 0;
}

void quitProcess() {
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace tarvo
