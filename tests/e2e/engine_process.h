#pragma once
// A running engine binary driven through two pipes, as a chess interface drives it: write
// command lines, read reply lines with a timeout, close the input, wait for the exit status.
// The child is killed when the object goes away, so a failing test never leaves it behind.

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tarvo::testing {

class EngineProcess {
  public:
    // Starts `binary` with the given arguments; check `running()` afterwards.
    explicit EngineProcess(const char* binary, const std::vector<std::string>& arguments = {});
    ~EngineProcess();
    EngineProcess(const EngineProcess&)            = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool running() const { return pid_ > 0; }

    // Writes `line` and a newline. Returns false if the engine no longer reads.
    bool send(std::string_view line);
    // Writes the bytes as they are, without adding a newline.
    bool sendRaw(std::string_view bytes);

    // The next line without its newline, or false when none arrives within `timeoutMs` or the
    // output ended.
    bool readLine(std::string& line, int timeoutMs = 10000);

    // Lines up to and including the first one that starts with `prefix`; stops early (without
    // that line) on timeout or end of output.
    std::vector<std::string> readUntil(std::string_view prefix, int timeoutMs = 10000);

    // Closes the engine's standard input, which is its end of input.
    void closeInput();

    // The exit status, or -1 on timeout (the child is then killed) or when killed by a signal.
    int waitForExit(int timeoutMs = 10000);

  private:
    pid_t pid_      = -1;
    int toEngine_   = -1;
    int fromEngine_ = -1;
    std::string pending_;
    bool outputEnded_ = false;
};

} // namespace tarvo::testing
