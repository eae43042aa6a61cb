// Fuzz target: each line of the input read as a FEN (a refused text leaves the board exactly as it
// was, an accepted one gives a sound board) and as a `position` command applied to the board the
// earlier lines left; after every line every legal move made and unmade restores every field.

#include "board/fen.h"
#include "board/tables.h"
#include "fuzz/board_checks.h"
#include "uci/options.h"
#include "uci/position.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace tarvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InitTables();
    fuzz::SilenceStandardStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Board board, probe;
    static const OptionTable table{};
    SetFromFen(board, StartFen);
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start <= input.size();) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        // The command loop hands its handlers the line with its newline, as read.
        const std::string line = input.substr(start, end - start + (end < input.size()));
        start                  = end + 1;

        probe               = board;
        const bool accepted = SetFromFen(probe, line.c_str());
        if (!accepted && !fuzz::SameBoard(probe, board))
            fuzz::Fail("a refused FEN changed the board", board);
        if (accepted)
            fuzz::CheckBoardAndEveryMove(probe);

        handlePosition(table, line.c_str(), board);
        fuzz::CheckBoardAndEveryMove(board);
    }
    return 0;
}
