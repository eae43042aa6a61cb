#include "board/perft.h"

#include "board/movegen.h"

namespace tarvo {

std::uint64_t Perft(Board& board, int depth) {
    return CountPaths(board, depth, GenerateLegalMoves, CountLegalMoves);
}

} // namespace tarvo
