#pragma once
// The one Engine of the process: everything the program knows between two commands. It is
// large (the search state holds the history tables), so it lives in static storage.

#include "board/types.h"
#include "search/state.h"
#include "uci/options.h"

namespace tarvo {

struct Engine {
    SearchState searchState;
    Board board;
    OptionTable optionTable;
    // The last position command was refused: the board is not the one the interface sent, so
    // a go answers the null move until a position is accepted.
    bool positionRefused = false;
};

} // namespace tarvo
