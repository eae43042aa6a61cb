#pragma once
// The engine's UCI options, kept twice: as text in the OptionTable, which is what the
// interface sees and sets, and as typed values in the search state's EngineOptions, which
// is what the engine uses. `applyOptions` is the one bridge from the first to the second;
// values are stored unchecked and brought into range only when applied.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "search/state.h"

namespace tarvo {

inline constexpr int MaxOptions = 128;

enum class OptionType : std::int32_t { Button = 0, Check = 1, Combo = 2, Spin = 3, String = 4 };

// Texts of any length: a value such as a list of tablebase folders is kept whole.
struct OptionEntry {
    std::string name;
    OptionType type = OptionType::Button;
    std::string value;
    std::string bounds; // "min 8 max 256", the combo's choices, or empty
    bool changed = false; // set since the last applyOptions
};

struct OptionTable {
    std::int32_t count = 0; // empty until the first `uci`
    std::array<OptionEntry, MaxOptions> entries;
};

// Name and value of a `setoption name ... [value ...]` line; both views point into the line.
struct SetOptionText {
    std::string_view name;
    std::string_view value;
};

// Empties the table, appends every option with its default and writes each one's
// "option name ..." line.
void printOptions(OptionTable& table);

// Splits a whole `setoption name` line at its first word "value": the name before it, the
// value after it (empty when the line ends there), both without blanks at either end and cut
// at the line's end. Without that word the value is "true" (a button press).
SetOptionText splitSetOptionLine(const char* line);

// Stores the value text of the option called `name`, both cut at their first newline and
// without blanks at either end. Names match without regard to letter case or to how many
// blanks stand between their words. A check takes true or false and a combo one of its
// choices, in any letter case; a spin takes a whole number; a string any text, the empty one
// included. A value that does not fit is answered with one info string naming the option and
// the value, and the option keeps its value. A name the engine does not offer is answered with
// one info string naming it (before the first `uci` the table is empty and nothing is said).
void setOption(OptionTable& table, std::string_view name, std::string_view value);

// Turns the table's texts into EngineOptions: MultiPV (brought into 1..16), Hash (the
// transposition table is rebuilt, and so emptied, only when the requested size changes; a size
// the machine cannot give is refused with an info string and the table is kept as it was),
// Rate of play, UCI_Chess960, Syzygy50MoveRule, SyzygyProbeDepth (1..100), SyzygyProbeLimit
// (0..7) and SyzygyPath (the tables are loaded, or unloaded, each time the option is set, with
// an info string saying what was found), Threads (brought into 1..256; the helper threads are
// replaced only when the requested number changes, with an info string giving the number
// running), Move Overhead (brought into 0..5000), UCI_ShowWDL, UCI_LimitStrength, UCI_Elo
// (brought into the calibrated range) and Strength Seed (a new value restarts the move choice's
// random source). A pressed Clear Hash empties the table. Options missing from the table, as
// before the first `uci`, are left as they are.
void applyOptions(OptionTable& table, SearchState& state);

// Whether the table's UCI_Chess960 is "true": Fischer random positions and castling notation.
bool isChess960(const OptionTable& table);

// Megabytes of transposition table for a requested Hash value: 8..65536, then rounded down to
// a power of two.
int hashTableMegabytes(int requested);

} // namespace tarvo
