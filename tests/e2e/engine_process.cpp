#include "e2e/engine_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvo::testing {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

EngineProcess::EngineProcess(const char* binary, const std::vector<std::string>& arguments) {
    // A write to an engine that has exited must fail, not kill the test program.
    std::signal(SIGPIPE, SIG_IGN);
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        return;
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        execv(binary, argv.data());
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    if (pid < 0) {
        close(input[1]);
        close(output[0]);
        return;
    }
    pid_        = pid;
    toEngine_   = input[1];
    fromEngine_ = output[0];
}

EngineProcess::~EngineProcess() {
    if (toEngine_ >= 0)
        close(toEngine_);
    if (fromEngine_ >= 0)
        close(fromEngine_);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool EngineProcess::send(std::string_view line) {
    std::string text(line);
    text += '\n';
    return sendRaw(text);
}

bool EngineProcess::sendRaw(std::string_view bytes) {
    if (toEngine_ < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t written = write(toEngine_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool EngineProcess::readLine(std::string& line, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return true;
        }
        if (outputEnded_ || fromEngine_ < 0)
            return false;
        pollfd ready{fromEngine_, POLLIN, 0};
        const int waiting = poll(&ready, 1, millisecondsLeft(deadline));
        if (waiting < 0 && errno == EINTR)
            continue;
        if (waiting <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = read(fromEngine_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            outputEnded_ = true;
            continue;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

std::vector<std::string> EngineProcess::readUntil(std::string_view prefix, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::string> lines;
    std::string line;
    while (readLine(line, millisecondsLeft(deadline))) {
        lines.push_back(line);
        if (line.compare(0, prefix.size(), prefix) == 0)
            break;
    }
    return lines;
}

void EngineProcess::closeInput() {
    if (toEngine_ >= 0)
        close(toEngine_);
    toEngine_ = -1;
}

int EngineProcess::waitForExit(int timeoutMs) {
    if (pid_ <= 0)
        return -1;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status         = 0;
        const pid_t result = waitpid(pid_, &status, WNOHANG);
        if (result == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (result < 0 || millisecondsLeft(deadline) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        usleep(2000);
    }
}

} // namespace tarvo::testing
