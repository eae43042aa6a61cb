#include "uci/perft_command.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/make_move.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "search/perft_staged.h"
#include "uci/notation.h"

namespace tarvo {

void handlePerft(const char* text, Board& board, bool chess960) {
    int depth = std::atoi(text);
    // Each ply adds a key to the history; a search line never goes deeper than MaxPly either.
    if (depth > MaxPly)
        depth = MaxPly;
    // `go perft N staged` walks the tree with the moves the search itself would see.
    const bool staged   = std::strstr(text, "staged") != nullptr;
    std::uint64_t total = 0;
    if (depth < 1) {
        total = 1;
    } else {
        MoveList moves;
        if (staged)
            GenerateStagedMoves(board, moves);
        else
            GenerateLegalMoves(board, moves);
        for (std::uint32_t i = 0; i < moves.count; ++i) {
            UndoInfo undo;
            MakeMove(board, moves.moves[i], undo);
            const std::uint64_t count =
                staged ? PerftStaged(board, depth - 1) : Perft(board, depth - 1);
            UnmakeMove(board, moves.moves[i], undo);
            total += count;
            std::printf("%s: %" PRIu64 "\n", moveToText(moves.moves[i], chess960).data(), count);
        }
    }
    std::printf("\nNodes searched: %" PRIu64 "\n", total);
}

} // namespace tarvo
