#pragma once
// The command loop: reads standard input line by line and dispatches each line by its first
// word, byte for byte and case-sensitive (a line that starts with a blank names no command).
// Lines that match nothing are ignored without a reply. Lines that arrived while a search ran
// and were kept for the loop are run in their order after the search, as if they had arrived
// then.

#include <array>

#include "uci/engine.h"
#include "uci/io.h"

namespace tarvo {

using VersionText = std::array<char, 32>;

// Runs until the end of input (a search under way when it ends runs to its limit, or stops if
// it has none, and reports); `quit` ends the process from inside.
void commandLoop(Engine& engine);

// Handles one command line, as the loop does.
void dispatchCommand(Engine& engine, const char* line);

// The version text of this build, for example 9.3.15j for 15 March 2009 at 09:30.
VersionText buildVersionString();

// The version text for a build date such as "Mar 15 2009" and a time such as "09:30:00":
// year mod 1000, month (13 for an unknown name), day, and 'a' + hour.
VersionText versionFromBuildStamp(const char* date, const char* time);

} // namespace tarvo
