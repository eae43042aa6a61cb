#pragma once
// Standard input and output of the engine process. Lines are read with read(2) one byte at
// a time, so nothing beyond the current line ever waits inside the process: a test for
// pending input on the pipe sees everything that has not been handled. Output is switched
// to unbuffered so that each formatted write reaches the interface at once.

namespace tarvo {

// Makes every later write to standard output leave the process immediately.
void setUnbufferedOutput();

// Reads one line from standard input into `buffer`, blocking until its newline arrives,
// storing at most capacity - 1 bytes and a terminating zero. A carriage return right before
// the newline is dropped; the newline itself is kept. A line longer than the buffer is
// returned in pieces, each piece a line of its own. Returns the number of bytes stored, or
// -1 when the input has ended and nothing was read.
int readLine(char* buffer, int capacity);

// Ends the process with exit status 0 at once, as `quit` demands.
[[noreturn]] void quitProcess();

} // namespace tarvo
