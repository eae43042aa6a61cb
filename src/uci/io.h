#pragma once
// Standard input and output of the engine process. Output is unbuffered, so each formatted
// write reaches the interface at once. Input passes through one buffer of the engine's own,
// filled by a reader thread that does nothing else: the command loop takes its lines from it,
// and while a search runs the reader acts at once on the commands meant for the search (however
// busy the search threads keep the processors), leaving every other line in place, in order,
// for the loop to run after the best move is out. Nothing read is ever thrown away.

#include <atomic>
#include <cstddef>
#include <string_view>

namespace tarvo {

// The longest line handed out whole, with its terminating zero: a longer line comes in pieces
// of CommandLineCapacity - 1 characters, each piece a line of its own.
inline constexpr int CommandLineCapacity = 65536;

// Makes every later write to standard output leave the process immediately.
void setUnbufferedOutput();

// The command loop's read: the next line, blocking until it is complete, stored with a
// terminating zero in at most capacity bytes. A carriage return right before the newline is
// dropped; the newline itself is kept. A line longer than capacity - 1 comes in pieces. Returns
// the number of bytes stored, or -1 when the input has ended and nothing is left. The first read
// from standard input starts the reader thread. A read also ends the search's side (below):
// every line not taken yet is the loop's again.
int readLine(char* buffer, int capacity);

// Whether the first word of `line` is `word`: the line starts with it, byte for byte, and it is
// followed by a blank, a line end or nothing.
bool isCommandWord(std::string_view line, const char* word);

// What the running search is told by the input. Stop and Ponderhit are taken once each; Ended
// (nothing more will arrive) and Blocked (the buffer is full of lines kept for the loop, so
// nothing more can be read until the loop takes some) hold until the loop reads again.
enum SearchInputEvent : unsigned {
    StopEvent      = 1,
    PonderhitEvent = 2,
    EndedEvent     = 4,
    BlockedEvent   = 8
};

// The search's side of the buffer. From beginSearchInput until endSearchInput, every
// complete line is looked at as it arrives (by the reader thread; lines that were waiting
// when the search began, and a test's text, at takeSearchEvents): "isready" is answered at once,
// "quit" ends the process, "stop" and "ponderhit" become events, and every other line is kept, in
// order, for the loop, which runs it after the best move. Once a kept line is a "go", the lines
// after it (but "isready") are that search's and are kept as they are; after a "stop", every line
// is the loop's, so that an "isready" behind it is answered after the best move. `attention`, when
// not null, is set with every event: the search's helper threads step aside until the search thread
// has taken it (and cleared it). Calling beginSearchInput again in the same search changes nothing.
void beginSearchInput(std::atomic<bool>* attention);
// The search has ended: the lines from here on are the loop's.
void endSearchInput();
// The events since the last call (beginning the search's input if need be); clears attention.
unsigned takeSearchEvents(std::atomic<bool>* attention);
// Sleeps, without using the processor, until an event is waiting or `timeoutMs` milliseconds
// have passed (a negative timeout: no limit); with wakeAtEnd false the lasting events Ended and
// Blocked do not count. Returns at once when the input is a test's text.
void waitForSearchEvent(int timeoutMs, bool wakeAtEnd);

// Tests and fuzzing: the input becomes `text` (kept by the caller), handed out in pieces of at
// most `chunk` bytes per read and ended after its last byte; an empty buffer and standard input
// again with useStandardInput.
void useInputText(std::string_view text, std::size_t chunk);
void useStandardInput();

// Ends the process with exit status 0 at once, as `quit` demands.
[[noreturn]] void quitProcess();

} // namespace tarvo
