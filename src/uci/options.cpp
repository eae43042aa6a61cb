#include "uci/options.h"

#include "search/strength.h"
#include "search/tablebase.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#include "search/threads.h"

namespace tarvo {

namespace {

constexpr const char* TypeNames[] = {"button", "check", "combo", "spin", "string"};

constexpr int HashMinimum          = 8;
constexpr int HashMaximum          = 65536;
constexpr int MultiPvMinimum       = 1;
constexpr int MoveOverheadDefault  = 10;
constexpr int MoveOverheadMaximum  = 5000;
constexpr const char* ButtonAtRest = "false";   // a button's value; anything else is a press
constexpr const char* EmptyPath    = "<empty>"; // SyzygyPath's default: no tables
constexpr int ProbeDepthMaximum    = 100;
constexpr int ProbeLimitMaximum    = 7;

// The text up to its first newline.
std::string_view firstLine(std::string_view text) {
    return text.substr(0, text.find('\n'));
}

void appendOption(OptionTable& table, const char* name, OptionType type, const char* value,
                  const char* bounds) {
    OptionEntry& entry = table.entries[table.count++];
    entry.name         = name;
    entry.type         = type;
    entry.value        = value;
    entry.bounds       = bounds;
    entry.changed      = true;
    const char* typeName = TypeNames[static_cast<int>(type)];
    if (type == OptionType::Button)
        std::printf("option name %s type %s %s\n", entry.name.c_str(), typeName,
                    entry.bounds.c_str());
    else
        std::printf("option name %s type %s default %s %s\n", entry.name.c_str(), typeName,
                    entry.value.c_str(), entry.bounds.c_str());
}

void appendSpin(OptionTable& table, const char* name, int value, int minimum, int maximum) {
    char valueText[16];
    char bounds[48];
    std::snprintf(valueText, sizeof valueText, "%d", value);
    std::snprintf(bounds, sizeof bounds, "min %d max %d", minimum, maximum);
    appendOption(table, name, OptionType::Spin, valueText, bounds);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowered(a[i]) != lowered(b[i]))
            return false;
    return true;
}

// Names as interfaces send them: letter case aside, any run of blanks stands for one blank and
// blanks at either end do not count.
bool isSameName(std::string_view given, std::string_view name) {
    given         = trimmed(given);
    std::size_t i = 0, j = 0;
    while (i < given.size() && j < name.size()) {
        if (isBlank(given[i]) && name[j] == ' ') {
            while (i < given.size() && isBlank(given[i]))
                ++i;
            ++j;
        } else if (lowered(given[i]) == lowered(name[j])) {
            ++i, ++j;
        } else {
            return false;
        }
    }
    return i == given.size() && j == name.size();
}

OptionEntry* findOption(OptionTable& table, std::string_view name) {
    for (int i = 0; i < table.count; ++i)
        if (isSameName(name, table.entries[i].name))
            return &table.entries[i];
    return nullptr;
}

// A whole number, optionally signed, and nothing else.
bool isWholeNumber(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
        text.remove_prefix(1);
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The choice of a combo's "var a var b ..." list that `value` names, letter case aside.
std::string_view findChoice(const std::string& bounds, std::string_view value) {
    std::string_view rest = bounds;
    while (!rest.empty()) {
        const std::size_t end       = rest.find(' ');
        const std::string_view word = rest.substr(0, end);
        if (word != "var" && equalIgnoringCase(word, value))
            return word;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return {};
}

// The text `value` is stored as for `entry`, or false when it does not fit the option: a check
// takes true or false and a combo one of its choices, each in any letter case (stored as the
// option spells it), and a spin a whole number (brought into range when applied).
bool fitValue(const OptionEntry& entry, std::string_view value, std::string& stored) {
    switch (entry.type) {
    case OptionType::Check:
        if (!equalIgnoringCase(value, "true") && !equalIgnoringCase(value, "false"))
            return false;
        stored = lowered(value.front()) == 't' ? "true" : "false";
        return true;
    case OptionType::Combo: {
        const std::string_view choice = findChoice(entry.bounds, value);
        if (choice.empty())
            return false;
        stored = choice;
        return true;
    }
    case OptionType::Spin:
        if (!isWholeNumber(value))
            return false;
        stored = value;
        return true;
    case OptionType::Button:
    case OptionType::String:
        stored = value;
        return true;
    }
    return false;
}

// The decimal number at the start of `text`: blanks skipped, optional sign, no digits give 0.
// Saturates instead of overflowing.
int readDecimal(const char* text) {
    while (*text == ' ' || *text == '\t')
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value <= INT_MAX)
            value = value * 10 + (*text - '0');
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<int>(negative ? -value : value);
}

// A spin option's number, brought into [minimum, maximum].
int readSpin(const OptionEntry& entry, int minimum, int maximum) {
    const int value = readDecimal(entry.value.c_str());
    return value < minimum ? minimum : value > maximum ? maximum : value;
}

// Loads the tables of the path, or unloads them for an empty one, with a line saying what was
// found. Run each time the option is set, so a folder fixed since the last try is read anew.
void applySyzygyPath(const std::string& value, EngineOptions& options) {
    const std::string_view path = value == EmptyPath ? std::string_view() : value;
    const TablebaseLoad load    = LoadTablebases(path);
    options.tablebasePieces     = load.pieces;
    if (path.empty())
        return;
    if (load.pieces > 0)
        std::printf("info string Found %d tablebases with up to %d pieces\n", load.tables,
                    load.pieces);
    else
        std::printf("info string No tablebases found in %s, playing without them\n",
                    value.c_str());
}

// Input is echoed, never trusted to be printable.
std::string printable(std::string_view text) {
    std::string shown(text);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7f)
            c = '?';
    return shown;
}

void applyThreads(const OptionEntry& entry, SearchState& state) {
    const int requested = readSpin(entry, 1, MaxThreads);
    if (requested == state.options.threadsRequested)
        return;
    state.options.threadsRequested = requested;
    const int running              = SetSearchThreads(state, requested);
    if (running == requested)
        std::printf("info string Using %d search thread%s\n", running, running == 1 ? "" : "s");
    else
        std::printf("info string Using %d search threads: only %d of the %d requested could be "
                    "started\n",
                    running, running, requested);
}

// A new seed restarts the move choice's random source at once; an unchanged one leaves it
// running, since every setoption applies every option.
void applyStrengthOptions(OptionTable& table, SearchState& state) {
    EngineOptions& options = state.options;
    if (const OptionEntry* limit = findOption(table, "UCI_LimitStrength"))
        options.limitStrength = limit->value.compare(0, 4, "true") == 0;
    if (const OptionEntry* elo = findOption(table, "UCI_Elo"))
        options.strengthElo = readSpin(*elo, MinStrengthElo, MaxStrengthElo);
    if (const OptionEntry* seed = findOption(table, "Strength Seed")) {
        const auto value = static_cast<std::uint64_t>(readSpin(*seed, 0, INT_MAX));
        if (value != options.strengthSeed) {
            options.strengthSeed = value;
            SeedStrength(state, value);
        }
    }
}

} // namespace

bool isChess960(const OptionTable& table) {
    for (int i = 0; i < table.count; ++i)
        if (table.entries[i].name == "UCI_Chess960")
            return table.entries[i].value == "true";
    return false;
}

int hashTableMegabytes(int requested) {
    int size  = requested < HashMinimum   ? HashMinimum
                : requested > HashMaximum ? HashMaximum
                                          : requested;
    int power = HashMinimum;
    while (power * 2 <= size)
        power *= 2;
    return power;
}

void printOptions(OptionTable& table) {
    table.count = 0;
    appendSpin(table, "Hash", 16, HashMinimum, HashMaximum);
    appendOption(table, "Clear Hash", OptionType::Button, ButtonAtRest, "");
    appendSpin(table, "MultiPV", 1, MultiPvMinimum, MaxMultiPv);
    appendOption(table, "Ponder", OptionType::Check, "false", "");
    appendOption(table, "Rate of play", OptionType::Combo, "normal",
                 "var slow var normal var fast");
    appendOption(table, "UCI_Chess960", OptionType::Check, "false", "");
    appendOption(table, "UCI_ShowCurrLine", OptionType::Check, "false", "");
    appendOption(table, "UCI_EngineAbout", OptionType::String, "Tarvo by Arvost Pell", "");
    appendOption(table, "SyzygyPath", OptionType::String, EmptyPath, "");
    appendOption(table, "Syzygy50MoveRule", OptionType::Check, "true", "");
    appendSpin(table, "SyzygyProbeDepth", 1, 1, ProbeDepthMaximum);
    appendSpin(table, "SyzygyProbeLimit", ProbeLimitMaximum, 0, ProbeLimitMaximum);
    appendSpin(table, "Threads", 1, 1, MaxThreads);
    appendSpin(table, "Move Overhead", MoveOverheadDefault, 0, MoveOverheadMaximum);
    appendOption(table, "UCI_ShowWDL", OptionType::Check, "false", "");
    appendOption(table, "UCI_LimitStrength", OptionType::Check, "false", "");
    appendSpin(table, "UCI_Elo", DefaultStrengthElo, MinStrengthElo, MaxStrengthElo);
    appendSpin(table, "Strength Seed", 0, 0, INT_MAX);
}

SetOptionText splitSetOptionLine(const char* line) {
    constexpr std::size_t NameStart = 14; // after "setoption name"
    const std::string_view text     = firstLine(line);
    if (text.size() <= NameStart)
        return {std::string_view(), std::string_view("true")};
    const std::string_view rest = text.substr(NameStart);
    // The value starts after the first word "value" standing on its own.
    for (std::size_t at = rest.find("value"); at != std::string_view::npos;
         at             = rest.find("value", at + 1)) {
        const std::size_t end = at + 5;
        if (at > 0 && isBlank(rest[at - 1]) && (end == rest.size() || isBlank(rest[end])))
            return {trimmed(rest.substr(0, at)), trimmed(rest.substr(end))};
    }
    return {trimmed(rest), std::string_view("true")};
}

void setOption(OptionTable& table, std::string_view name, std::string_view value) {
    name               = trimmed(firstLine(name));
    value              = trimmed(firstLine(value));
    OptionEntry* entry = findOption(table, name);
    if (!entry) {
        if (table.count > 0)
            std::printf("info string No such option: %s\n", printable(name).c_str());
        return;
    }
    std::string stored;
    if (!fitValue(*entry, value, stored)) {
        std::printf("info string Invalid value for %s: %s\n", entry->name.c_str(),
                    printable(value).c_str());
        return;
    }
    entry->value   = std::move(stored);
    entry->changed = true;
}

void applyOptions(OptionTable& table, SearchState& state) {
    if (const OptionEntry* multiPv = findOption(table, "MultiPV"))
        state.options.multiPv = readSpin(*multiPv, MultiPvMinimum, MaxMultiPv);
    if (const OptionEntry* hash = findOption(table, "Hash")) {
        const int requested = readDecimal(hash->value.c_str());
        if (requested != state.options.hashMegabytes) {
            // Kept even when refused, so that the refusal is said once, not at every setoption.
            state.options.hashMegabytes = requested;
            const int megabytes         = hashTableMegabytes(requested);
            if (TTResize(state.tt, megabytes, state.options.threads))
                ClearEvalCache(state.evalCache);
            else
                std::printf(
                    "info string Hash %d MB could not be allocated; keeping the %llu MB "
                    "table\n",
                    megabytes,
                    static_cast<unsigned long long>(state.tt.entryCount / TTEntriesPerMegabyte));
        }
    }
    if (OptionEntry* clearHash = findOption(table, "Clear Hash")) {
        if (clearHash->value != ButtonAtRest) {
            ClearSearchTables(state);
            clearHash->value = ButtonAtRest;
        }
    }
    if (const OptionEntry* rule = findOption(table, "Syzygy50MoveRule"))
        state.options.syzygy50MoveRule = rule->value.compare(0, 4, "true") == 0;
    if (const OptionEntry* depth = findOption(table, "SyzygyProbeDepth"))
        state.options.tablebaseProbeDepth = readSpin(*depth, 1, ProbeDepthMaximum);
    if (const OptionEntry* limit = findOption(table, "SyzygyProbeLimit"))
        state.options.tablebaseProbeLimit = readSpin(*limit, 0, ProbeLimitMaximum);
    if (const OptionEntry* syzygy = findOption(table, "SyzygyPath"); syzygy && syzygy->changed)
        applySyzygyPath(syzygy->value, state.options);
    if (const OptionEntry* threads = findOption(table, "Threads"))
        applyThreads(*threads, state);
    if (const OptionEntry* overhead = findOption(table, "Move Overhead"))
        state.options.moveOverheadMs = readSpin(*overhead, 0, MoveOverheadMaximum);
    if (const OptionEntry* rate = findOption(table, "Rate of play")) {
        const std::string& text = rate->value;
        if (text.find("slow") != std::string::npos)
            state.options.rateOfPlay = SlowRate;
        if (text.find("normal") != std::string::npos)
            state.options.rateOfPlay = NormalRate;
        if (text.find("fast") != std::string::npos)
            state.options.rateOfPlay = FastRate;
    }
    if (findOption(table, "UCI_Chess960"))
        state.options.chess960 = isChess960(table);
    if (const OptionEntry* wdl = findOption(table, "UCI_ShowWDL"))
        state.options.showWdl = wdl->value == "true";
    applyStrengthOptions(table, state);
    for (int i = 0; i < table.count; ++i)
        table.entries[i].changed = false;
}

} // namespace tarvo
