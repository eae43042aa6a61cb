#pragma once
// Standard input and output of the engine process. Output is unbuffered, so each formatted
// write reaches the interface at once. Input passes through one buffer of the engine's own:
// the command loop takes its lines from it, and a running search looks into it at its polls
// for the commands it acts on, leaving every other line in place, in order, for the loop to
// run after the best move is out. Nothing read is ever thrown away.

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
// the number of bytes stored, or -1 when the input has ended and nothing is left.
int readLine(char* buffer, int capacity);

// Whether the first word of `line` is `word`: the line starts with it, byte for byte, and it is
// followed by a blank, a line end or nothing.
bool isCommandWord(std::string_view line, const char* word);

// The search's side of the buffer. readWaitingInput takes what standard input holds now into
// the buffer (with wait, it blocks until something arrives or the input ends). peekSearchLine
// gives the next complete line the search has not looked at yet (empty when there is none);
// the search then either keeps it for the loop (keepSearchLine, noting whether it starts a
// search of its own: the lines after such a line belong to that search) or takes it out
// (dropSearchLine). The loop's next read makes every line it has not taken new again.
void readWaitingInput(bool wait);
std::string_view peekSearchLine();
void keepSearchLine(bool startsSearch);
void dropSearchLine();
bool isLaterSearchQueued();
// Whether the buffer is full of lines kept for the loop: nothing more can be read until the
// loop takes some.
bool isInputBufferFull();
bool hasInputEnded();

// Tests and fuzzing: the input becomes `text` (kept by the caller), handed out in pieces of at
// most `chunk` bytes per read and ended after its last byte; an empty buffer and standard input
// again with useStandardInput.
void useInputText(std::string_view text, std::size_t chunk);
void useStandardInput();

// Ends the process with exit status 0 at once, as `quit` demands.
[[noreturn]] void quitProcess();

} // namespace tarvo
