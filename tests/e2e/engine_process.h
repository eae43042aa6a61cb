#pragma once
// The built engine driven through two pipes, as a chess interface drives it. The child is
// killed when the object goes away, so a failing test never leaves it behind.

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
// GCC 12 under the sanitizers falsely warns of an uninitialised std::function inside <regex>.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tarvo::testing {

using Lines = std::vector<std::string>;

inline Lines Tokens(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}
inline std::string Last(const Lines& lines) {
    return lines.empty() ? "<no line>" : lines.back();
}
// The best move of a search's lines, or "" when they do not end with one.
inline std::string BestMove(const Lines& lines) {
    return Last(lines).starts_with("bestmove ") ? Tokens(lines.back()).at(1) : "";
}
inline int Count(const Lines& lines, const std::string& prefix) {
    return static_cast<int>(std::ranges::count_if(
        lines, [&](const std::string& line) { return line.starts_with(prefix); }));
}

inline const std::string MoveText = "[a-h][1-8][a-h][1-8][qnrb]?";
// "bestmove e2e4" or "bestmove e2e4 ponder e7e5": single blanks, nothing trailing.
inline bool IsBestMoveLine(const std::string& line) {
    static const std::regex best("bestmove " + MoveText + "( ponder " + MoveText + ")?");
    return std::regex_match(line, best);
}
// Every info line is a list of keys, each with its value(s), as an interface parses it, or a
// free text after "string".
inline bool IsInfoLine(const std::string& line) {
    static const std::regex info(
        "info(( (depth|seldepth|time|nodes|nps|multipv|hashfull|tbhits|currmovenumber) -?\\d+)|"
        "( score (cp|mate) -?\\d+)|( wdl \\d+ \\d+ \\d+)|( currmove " +
        MoveText + "))*( pv( " + MoveText + ")+)? ?");
    return line.starts_with("info string ") || (line != "info" && std::regex_match(line, info));
}

class EngineProcess {
  public:
    EngineProcess() {
        std::signal(SIGPIPE, SIG_IGN); // a write to an engine that has exited must just fail
        int input[2], output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
            return;
        if ((pid_ = fork()) == 0) {
            dup2(input[0], STDIN_FILENO);
            dup2(output[1], STDOUT_FILENO);
            execl(TARVO_BINARY, TARVO_BINARY, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(input[0]);
        close(output[1]);
        toEngine_   = input[1];
        fromEngine_ = output[0];
    }
    ~EngineProcess() {
        closeInput();
        close(fromEngine_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    EngineProcess(const EngineProcess&) = delete;

    // A blocking pipe takes the whole text, however long, as the engine reads it.
    void send(const std::string& line) {
        [[maybe_unused]] const ssize_t put =
            write(toEngine_, (line + "\n").data(), line.size() + 1);
    }
    // Lists the options (they take effect only after that), then sets each "NAME value V".
    void uci(const Lines& options = {}) {
        send("uci");
        readUntil("uciok");
        for (const std::string& option : options)
            send("setoption name " + option);
    }
    // A search's lines up to its best move.
    Lines search(const std::string& position, const std::string& go) {
        send("position " + position + "\n" + go);
        return readUntil("bestmove");
    }
    void closeInput() { close(std::exchange(toEngine_, -1)); }

    // The next line without its newline; false when the output ends or none comes in time.
    bool readLine(std::string& line, int timeoutMs = 10000) {
        std::size_t newline;
        while ((newline = pending_.find('\n')) == std::string::npos) {
            pollfd ready{fromEngine_, POLLIN, 0};
            char buffer[4096];
            const ssize_t got =
                poll(&ready, 1, timeoutMs) > 0 ? read(fromEngine_, buffer, sizeof buffer) : 0;
            if (got <= 0)
                return false;
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
        line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        return true;
    }
    // Lines up to and including the first that starts with `prefix`; fewer when the engine
    // falls silent for `timeoutMs`.
    Lines readUntil(const std::string& prefix, int timeoutMs = 60000) {
        Lines lines;
        for (std::string line;
             (lines.empty() || !lines.back().starts_with(prefix)) && readLine(line, timeoutMs);)
            lines.push_back(line);
        return lines;
    }
    // The exit status, or -1 on timeout or death by a signal.
    int waitForExit(int timeoutMs = 10000) {
        int status = 0;
        for (int waited = 0; waited < timeoutMs && pid_ > 0; waited += 2, usleep(2000))
            if (const pid_t done = waitpid(pid_, &status, WNOHANG); done != 0) {
                pid_ = -1;
                return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        return -1;
    }

  private:
    pid_t pid_    = -1;
    int toEngine_ = -1, fromEngine_ = -1;
    std::string pending_;
};

} // namespace tarvo::testing
