#include "uci/loop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "search/strength.h"
#include "uci/clock.h"
#include "uci/eval_command.h"
#include "uci/go.h"
#include "uci/display.h"
#include "uci/io.h"
#include "uci/position.h"

#ifndef TARVO_BUILD_DATE
#define TARVO_BUILD_DATE __DATE__
#endif
#ifndef TARVO_BUILD_TIME
#define TARVO_BUILD_TIME __TIME__
#endif

namespace tarvo {

namespace {

// True when the line is `word` alone, trailing white space aside.
bool isWholeWord(const char* line, const char* word) {
    const std::size_t length = std::strlen(word);
    if (std::strncmp(line, word, length) != 0)
        return false;
    for (const char* rest = line + length; *rest; ++rest)
        if (*rest != ' ' && *rest != '\t' && *rest != '\n' && *rest != '\r')
            return false;
    return true;
}

// The text a fixed number of characters into the line, or empty text when the line is
// shorter (a bare "go" at the end of input has no separator after it).
const char* textFrom(const char* line, std::size_t offset) {
    return std::strlen(line) >= offset ? line + offset : "";
}

void answerUci(Engine& engine) {
    std::printf("id name Tarvo %s\n", buildVersionString().data());
    std::printf("id author Pell Arvost\n");
    printOptions(engine.optionTable);
    applyOptions(engine.optionTable, engine.searchState);
    std::printf("uciok\n");
}

} // namespace

VersionText versionFromBuildStamp(const char* date, const char* time) {
    static constexpr const char* Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::size_t dateLength          = std::strlen(date);
    const int year                        = dateLength >= 4 ? std::atoi(date + dateLength - 4) : 0;
    int month                             = 13;
    for (int index = 0; index < 12; ++index)
        if (std::strncmp(date, Months[index], 3) == 0) {
            month = index + 1;
            break;
        }
    const int day  = dateLength >= 5 ? std::atoi(date + 4) : 0;
    const int hour = std::atoi(time);
    VersionText text{};
    std::snprintf(text.data(), text.size(), "%d.%d.%d%c", year % 1000, month, day,
                  static_cast<char>('a' + hour));
    return text;
}

VersionText buildVersionString() {
    return versionFromBuildStamp(TARVO_BUILD_DATE, TARVO_BUILD_TIME);
}

void dispatchCommand(Engine& engine, const char* line) {
    if (isCommandWord(line, "go")) {
        handleGo(engine.optionTable, textFrom(line, 3), engine.board, engine.searchState,
                 engine.positionRefused);
    } else if (isCommandWord(line, "position")) {
        engine.positionRefused =
            !handlePosition(engine.optionTable, textFrom(line, 9), engine.board);
    } else if (isCommandWord(line, "stop")) {
        // Only meaningful while a search runs, where the poll reads it.
    } else if (isCommandWord(line, "ucinewgame")) {
        ClearSearchTables(engine.searchState);
        SeedStrength(engine.searchState, readTickCount());
    } else if (isCommandWord(line, "uci")) {
        answerUci(engine);
    } else if (std::strncmp(line, "setoption name", 14) == 0 && isCommandWord(line + 10, "name")) {
        const SetOptionText option = splitSetOptionLine(line);
        setOption(engine.optionTable, option.name, option.value);
        applyOptions(engine.optionTable, engine.searchState);
    } else if (isCommandWord(line, "isready")) {
        std::printf("readyok\n");
    } else if (isCommandWord(line, "ponderhit")) {
        // Only meaningful while a search runs, where the poll reads it.
    } else if (isCommandWord(line, "quit")) {
        quitProcess();
    } else if (isWholeWord(line, "d")) {
        printBoard(engine.board);
    } else if (isWholeWord(line, "eval")) {
        handleEval(engine.board);
    }
}

void commandLoop(Engine& engine) {
    // Static: the buffer is too large for a comfortable stack frame.
    static char line[CommandLineCapacity];
    while (readLine(line, CommandLineCapacity) >= 0)
        dispatchCommand(engine, line);
}

} // namespace tarvo
