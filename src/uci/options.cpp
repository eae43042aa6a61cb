#include "uci/options.h"

#include "search/strength.h"
#include "search/tablebase.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "search/threads.h"

namespace tarvo {

namespace {

constexpr const char* TypeNames[] = {"button", "check", "combo", "spin", "string"};

constexpr int HashMinimum          = 8;
constexpr int HashMaximum          = 256;
constexpr int MultiPvMinimum       = 1;
constexpr int MoveOverheadDefault  = 10;
constexpr int MoveOverheadMaximum  = 5000;
constexpr const char* ButtonAtRest = "false";   // a button's value; anything else is a press
constexpr const char* EmptyPath    = "<empty>"; // SyzygyPath's default: no tables
static_assert(std::tuple_size_v<decltype(EngineOptions::syzygyPath)> == OptionTextCapacity,
              "the loaded path is kept as the option holds it");

// Copies at most 127 characters of `text`, stopping at its first newline.
void copyOptionText(std::array<char, OptionTextCapacity>& field, std::string_view text) {
    std::size_t length = text.find('\n');
    if (length == std::string_view::npos)
        length = text.size();
    if (length > OptionTextCapacity - 1)
        length = OptionTextCapacity - 1;
    std::memcpy(field.data(), text.data(), length);
    field[length] = '\0';
}

void appendOption(OptionTable& table, const char* name, OptionType type, const char* value,
                  const char* bounds) {
    OptionEntry& entry = table.entries[table.count++];
    copyOptionText(entry.name, name);
    entry.type = type;
    copyOptionText(entry.value, value);
    copyOptionText(entry.bounds, bounds);
    const char* typeName = TypeNames[static_cast<int>(type)];
    if (type == OptionType::Button)
        std::printf("option name %s type %s %s\n", entry.name.data(), typeName,
                    entry.bounds.data());
    else
        std::printf("option name %s type %s default %s %s\n", entry.name.data(), typeName,
                    entry.value.data(), entry.bounds.data());
}

void appendSpin(OptionTable& table, const char* name, int value, int minimum, int maximum) {
    char valueText[16];
    char bounds[48];
    std::snprintf(valueText, sizeof valueText, "%d", value);
    std::snprintf(bounds, sizeof bounds, "min %d max %d", minimum, maximum);
    appendOption(table, name, OptionType::Spin, valueText, bounds);
}

OptionEntry* findOption(OptionTable& table, std::string_view name) {
    for (int i = 0; i < table.count; ++i)
        if (name == table.entries[i].name.data())
            return &table.entries[i];
    return nullptr;
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

// Loads the tables when the path differs from the one loaded: every setoption applies every
// option, and a reload would drop the tables' mapped memory for nothing.
void applySyzygyPath(const char* value, EngineOptions& options) {
    const char* path = std::strcmp(value, EmptyPath) == 0 ? "" : value;
    if (std::strcmp(path, options.syzygyPath.data()) == 0)
        return;
    copyOptionText(options.syzygyPath, path);
    const TablebaseLoad load = LoadTablebases(path);
    options.tablebasePieces  = load.pieces;
    if (*path == '\0')
        return;
    if (load.pieces > 0)
        std::printf("info string Found %d tablebases with up to %d pieces\n", load.tables,
                    load.pieces);
    else
        std::printf("info string No tablebases found in %s, playing without them\n", path);
}

// A new seed restarts the move choice's random source at once; an unchanged one leaves it
// running, since every setoption applies every option.
void applyStrengthOptions(OptionTable& table, SearchState& state) {
    EngineOptions& options = state.options;
    if (const OptionEntry* limit = findOption(table, "UCI_LimitStrength"))
        options.limitStrength = std::strncmp(limit->value.data(), "true", 4) == 0;
    if (const OptionEntry* elo = findOption(table, "UCI_Elo"))
        options.strengthElo =
            std::clamp(readDecimal(elo->value.data()), MinStrengthElo, MaxStrengthElo);
    if (const OptionEntry* seed = findOption(table, "Strength Seed")) {
        const auto value = static_cast<std::uint64_t>(std::max(readDecimal(seed->value.data()), 0));
        if (value != options.strengthSeed) {
            options.strengthSeed = value;
            SeedStrength(state, value);
        }
    }
}

} // namespace

bool isChess960(const OptionTable& table) {
    for (int i = 0; i < table.count; ++i)
        if (std::strcmp(table.entries[i].name.data(), "UCI_Chess960") == 0)
            return std::strcmp(table.entries[i].value.data(), "true") == 0;
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
    appendSpin(table, "Threads", 1, 1, MaxThreads);
    appendSpin(table, "Move Overhead", MoveOverheadDefault, 0, MoveOverheadMaximum);
    appendOption(table, "UCI_LimitStrength", OptionType::Check, "false", "");
    appendSpin(table, "UCI_Elo", DefaultStrengthElo, MinStrengthElo, MaxStrengthElo);
    appendSpin(table, "Strength Seed", 0, 0, INT_MAX);
}

SetOptionText splitSetOptionLine(const char* line) {
    constexpr std::size_t NameStart = 15; // after "setoption name "
    const std::size_t length        = std::strlen(line);
    if (length <= NameStart)
        return {std::string_view(), std::string_view("true")};
    const char* name  = line + NameStart;
    const char* value = std::strstr(name, "value ");
    if (!value)
        return {std::string_view(name), std::string_view("true")};
    // The blank between the name and the keyword is not part of the name.
    const std::size_t nameLength = value > name ? static_cast<std::size_t>(value - name) - 1 : 0;
    return {std::string_view(name, nameLength), std::string_view(value + 6)};
}

void setOption(OptionTable& table, std::string_view name, std::string_view value) {
    const std::size_t newline = name.find('\n');
    if (newline != std::string_view::npos)
        name = name.substr(0, newline);
    // A name longer than a field can hold is compared by the part the field would keep.
    if (name.size() > OptionTextCapacity - 1)
        name = name.substr(0, OptionTextCapacity - 1);
    if (OptionEntry* entry = findOption(table, name))
        copyOptionText(entry->value, value);
}

void applyOptions(OptionTable& table, SearchState& state) {
    if (const OptionEntry* multiPv = findOption(table, "MultiPV")) {
        const int lines = readDecimal(multiPv->value.data());
        // The line table has MaxMultiPv slots, indexed by multiPv - 1.
        state.options.multiPv = lines < MultiPvMinimum ? MultiPvMinimum
                                : lines > MaxMultiPv   ? MaxMultiPv
                                                       : lines;
    }
    if (const OptionEntry* hash = findOption(table, "Hash")) {
        const int requested = readDecimal(hash->value.data());
        if (requested != state.options.hashMegabytes) {
            state.options.hashMegabytes = requested;
            TTResize(state.tt, hashTableMegabytes(requested));
            ClearEvalCache(state.evalCache);
        }
    }
    if (OptionEntry* clearHash = findOption(table, "Clear Hash")) {
        if (std::strcmp(clearHash->value.data(), ButtonAtRest) != 0) {
            ClearSearchTables(state);
            copyOptionText(clearHash->value, ButtonAtRest);
        }
    }
    if (const OptionEntry* rule = findOption(table, "Syzygy50MoveRule"))
        state.options.syzygy50MoveRule = std::strncmp(rule->value.data(), "true", 4) == 0;
    if (const OptionEntry* syzygy = findOption(table, "SyzygyPath"))
        applySyzygyPath(syzygy->value.data(), state.options);
    if (const OptionEntry* threads = findOption(table, "Threads"))
        SetSearchThreads(state, readDecimal(threads->value.data()));
    if (const OptionEntry* overhead = findOption(table, "Move Overhead")) {
        const int milliseconds        = readDecimal(overhead->value.data());
        state.options.moveOverheadMs = milliseconds < 0                     ? 0
                                       : milliseconds > MoveOverheadMaximum ? MoveOverheadMaximum
                                                                            : milliseconds;
    }
    if (const OptionEntry* rate = findOption(table, "Rate of play")) {
        const char* text = rate->value.data();
        if (std::strstr(text, "slow"))
            state.options.rateOfPlay = SlowRate;
        if (std::strstr(text, "normal"))
            state.options.rateOfPlay = NormalRate;
        if (std::strstr(text, "fast"))
            state.options.rateOfPlay = FastRate;
    }
    if (findOption(table, "UCI_Chess960"))
        state.options.chess960 = isChess960(table);
    applyStrengthOptions(table, state);
}

} // namespace tarvo
