#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board/fen.h"
#include "uci/loop.h"
#include "uci/stdio_pipes.h"

namespace tarvo {
namespace {

std::string version(const char* date, const char* time) {
    return versionFromBuildStamp(date, time).data();
}

TEST(VersionText, ComesFromTheBuildDateAndTime) {
    EXPECT_EQ(version("Mar 15 2009", "09:30:00"), "9.3.15j");
    EXPECT_EQ(version("Dec  1 2024", "23:59:59"), "24.12.1x");
    EXPECT_EQ(version("Jan 05 2000", "00:00:00"), "0.1.5a");
    EXPECT_EQ(version("Foo 10 2031", "12:00:00"), "31.13.10m");
    int year = -1, month = -1, day = -1;
    char hour = 0;
    EXPECT_EQ(std::sscanf(buildVersionString().data(), "%d.%d.%d%c", &year, &month, &day, &hour),
              4);
    EXPECT_TRUE(year >= 0 && year < 1000 && month >= 1 && month <= 12 && day >= 1 && day <= 31 &&
                hour >= 'a' && hour <= 'x')
        << buildVersionString().data();
}

// Dispatch by prefix, in-process: what each line writes.
struct Dispatch : ::testing::Test {
    static Engine& engine() {
        static Engine* shared = [] {
            auto* created = new Engine;
            InitSearchState(created->searchState);
            SetFromFen(created->board, StartFen);
            return created;
        }();
        return *shared;
    }
    std::string run(const char* line) {
        pipes::StdoutCapture output;
        dispatchCommand(engine(), line);
        return output.text();
    }
};

TEST_F(Dispatch, ExtensionsAreWholeWords) {
    run("position startpos\n");
    const std::string diagram = run("d\n");
    EXPECT_NE(diagram.find("Fen: " + std::string(StartFen) + "\n"), std::string::npos);
    EXPECT_EQ(run("d \n"), diagram);
    EXPECT_EQ(run("dd\n"), "");
    EXPECT_EQ(run("d x\n"), "");
    EXPECT_EQ(run("evaluate\n"), "");
}

TEST_F(Dispatch, ShortLinesReadEmptyText) {
    run("position startpos moves e2e4\n");
    // Shorter than the offset of its text: nothing past the line's end may be read (the
    // sanitizer build checks), and the empty text names no position.
    EXPECT_EQ(run("position").rfind("info string ", 0), 0u);
    EXPECT_NE(run("d\n").find("Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b"),
              std::string::npos);
    // Anything after the prefix is accepted: gox is go.
    EXPECT_NE(run("gox perft 1\n").find("\nNodes searched: 20\n"), std::string::npos);
}

} // namespace
} // namespace tarvo
