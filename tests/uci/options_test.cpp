#include <gtest/gtest.h>

#include <string>

#include "search/state.h"
#include "uci/options.h"
#include "uci/stdio_pipes.h"

namespace tarvo {
namespace {

// One search state for the whole file: it is large, and building it allocates the table.
SearchState& sharedState() {
    static SearchState* state = [] {
        auto* created = new SearchState;
        InitSearchState(*created);
        return created;
    }();
    return *state;
}

struct Options : ::testing::Test {
    OptionTable table;
    SearchState& state = sharedState();

    void SetUp() override {
        pipes::StdoutCapture quiet;
        printOptions(table);
        applyOptions(table, state);
        quiet.text();
    }
    void set(const char* line) {
        const SetOptionText option = splitSetOptionLine(line);
        setOption(table, option.name, option.value);
        applyOptions(table, state);
    }
    std::string valueOf(const char* name) const {
        for (int i = 0; i < table.count; ++i)
            if (std::string(table.entries[i].name.data()) == name)
                return table.entries[i].value.data();
        return "<missing>";
    }
};

TEST(PrintOptions, WritesTheEightLinesWithTheirTrailingBlanks) {
    OptionTable table;
    pipes::StdoutCapture output;
    printOptions(table);
    EXPECT_EQ(output.text(), "option name Hash type spin default 16 min 8 max 256\n"
                             "option name Clear Hash type button \n"
                             "option name MultiPV type spin default 1 min 1 max 16\n"
                             "option name Ponder type check default false \n"
                             "option name Rate of play type combo default normal var slow var "
                             "normal var fast\n"
                             "option name UCI_Chess960 type check default false \n"
                             "option name UCI_ShowCurrLine type check default false \n"
                             "option name UCI_EngineAbout type string default Tarvo by Arvost "
                             "Pell \n");
    EXPECT_EQ(table.count, 8);
}

TEST(SplitSetOptionLine, NameEndsAtTheBlankBeforeValue) {
    SetOptionText option = splitSetOptionLine("setoption name Rate of play value fast\n");
    EXPECT_EQ(option.name, "Rate of play");
    EXPECT_EQ(option.value, "fast\n");

    option = splitSetOptionLine("setoption name Clear Hash\n");
    EXPECT_EQ(option.name, "Clear Hash\n");
    EXPECT_EQ(option.value, "true");

    // Nothing after the keyword, or a keyword right where the name starts.
    EXPECT_EQ(splitSetOptionLine("setoption name").name, "");
    option = splitSetOptionLine("setoption name value 5");
    EXPECT_EQ(option.name, "");
    EXPECT_EQ(option.value, "5");
}

TEST_F(Options, HashIsBroughtIntoRangeAndRoundedDown) {
    const struct {
        const char* line;
        std::uint32_t megabytes;
    } cases[] = {{"setoption name Hash value 7", 8},      {"setoption name Hash value 9", 8},
                 {"setoption name Hash value 16", 16},    {"setoption name Hash value 255", 128},
                 {"setoption name Hash value 1000", 256}, {"setoption name Hash value x", 8},
                 {"setoption name Hash value 100", 64}};
    for (const auto& c : cases) {
        set(c.line);
        EXPECT_EQ(state.tt.entryCount, c.megabytes * 65536) << c.line;
    }
    EXPECT_EQ(state.options.hashMegabytes, 100);
}

TEST_F(Options, TableKeepsItsEntriesUnlessHashChanges) {
    set("setoption name Hash value 100");
    TTStore(state.tt, 77, 0x1234, 5, 3.0f, LowerBound);
    set("setoption name Hash value 100");
    EXPECT_NE(TTProbe(state.tt, 77), nullptr);
    // Same 64 MB, but a different request: rebuilt and so emptied.
    set("setoption name Hash value 64");
    EXPECT_EQ(state.tt.entryCount, 64u * 65536);
    EXPECT_EQ(TTProbe(state.tt, 77), nullptr);
}

TEST_F(Options, UciRestoresTheDefaultHash) {
    set("setoption name Hash value 32");
    EXPECT_EQ(state.tt.entryCount, 32u * 65536);
    SetUp();
    EXPECT_EQ(state.options.hashMegabytes, 16);
    EXPECT_EQ(state.tt.entryCount, 16u * 65536);
}

TEST_F(Options, ClearHashEmptiesTheTableOncePerPress) {
    TTStore(state.tt, 77, 0x1234, 5, 3.0f, LowerBound);
    set("setoption name Clear Hash\n");
    EXPECT_EQ(TTProbe(state.tt, 77), nullptr);
    EXPECT_EQ(valueOf("Clear Hash"), "false");
    // A later, unrelated setoption does not press the button again.
    TTStore(state.tt, 78, 0x1234, 5, 3.0f, LowerBound);
    set("setoption name MultiPV value 2");
    EXPECT_NE(TTProbe(state.tt, 78), nullptr);
}

TEST_F(Options, RateOfPlayReadsTheWordsItContains) {
    set("setoption name Rate of play value fast");
    EXPECT_EQ(state.options.rateOfPlay, FastRate);
    set("setoption name Rate of play value quick");
    EXPECT_EQ(state.options.rateOfPlay, FastRate);
    set("setoption name Rate of play value slow\n");
    EXPECT_EQ(state.options.rateOfPlay, SlowRate);
    // Later words win: normal is tested after slow.
    set("setoption name Rate of play value slow or normal");
    EXPECT_EQ(state.options.rateOfPlay, NormalRate);
}

TEST_F(Options, MultiPvIsClampedToTheLineTable) {
    const struct {
        const char* value;
        int lines;
    } cases[] = {{"4", 4},   {"0", 1},   {"-3", 1}, {"17", 16}, {"99999999999", 16},
                 {"abc", 1}, {" 16", 16}};
    for (const auto& c : cases) {
        setOption(table, "MultiPV", c.value);
        applyOptions(table, state);
        EXPECT_EQ(state.options.multiPv, c.lines) << c.value;
    }
}

TEST_F(Options, NamesMatchExactlyAndUnknownNamesAreIgnored) {
    set("setoption name multipv value 3");
    set("setoption name MultiPV  value 3");
    set("setoption name NoSuchOption value 3");
    EXPECT_EQ(state.options.multiPv, 1);
    EXPECT_EQ(valueOf("MultiPV"), "1");
    set("setoption name Ponder value true\n");
    EXPECT_EQ(valueOf("Ponder"), "true");
}

TEST_F(Options, LongTextsAreCutAt127Characters) {
    const std::string longValue(300, 'v');
    setOption(table, "UCI_EngineAbout", longValue);
    EXPECT_EQ(valueOf("UCI_EngineAbout"), std::string(127, 'v'));

    const std::string longName = "Ponder" + std::string(300, 'x');
    setOption(table, longName, "true");
    EXPECT_EQ(valueOf("Ponder"), "false");
    EXPECT_EQ(table.count, 8);
}

TEST(ApplyOptions, EmptyTableChangesNothing) {
    SearchState& state = sharedState();
    OptionTable empty;
    const EngineOptions before  = state.options;
    const std::uint32_t entries = state.tt.entryCount;
    setOption(empty, "Hash", "64");
    applyOptions(empty, state);
    EXPECT_EQ(state.options.hashMegabytes, before.hashMegabytes);
    EXPECT_EQ(state.options.multiPv, before.multiPv);
    EXPECT_EQ(state.tt.entryCount, entries);
}

} // namespace
} // namespace tarvo
