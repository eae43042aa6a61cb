#include "search/draw.h"

#include "board/tables.h"

#include <algorithm>
#include <bit>

namespace tarvo {

bool IsDrawByRule(const Board& board) {
    const int clock = board.halfmoveClock;
    if (clock > 100)
        return true;
    const int side = board.sideToMove;
    if (clock == 100 && !IsSquareAttacked(board, side ^ 1, board.kingSquare[side]))
        return true;
    // Every key since set-up is in history, and the clock counts no further back than the last
    // irreversible move. The clock is bounded by the keys held as well, so a board whose clock
    // was set without its history never reads before the first key.
    const int count = static_cast<int>(board.historyCount);
    const int reach = std::min(clock, count);
    for (int plies = 2; plies <= reach; plies += 2)
        if (board.history[count - plies] == board.hashKey)
            return true;
    return false;
}

Bitboard FindCheckers(const Board& board, int& checkerCount) {
    const int side           = board.sideToMove;
    const int king           = board.kingSquare[side];
    const Bitboard enemy     = board.colour[side ^ 1];
    const Bitboard diagonals = (board.pieces[Bishop] | board.pieces[Queen]) & enemy;
    const Bitboard straights = (board.pieces[Rook] | board.pieces[Queen]) & enemy;
    Bitboard checkers        = (PawnAttacks[side][king] & board.pieces[Pawn] & enemy) |
                        (KnightAttacks[king] & board.pieces[Knight] & enemy);
    // A slider off every line through the king checks from nowhere: skip its lookups.
    if (BishopEmptyAttacks[king] & diagonals)
        checkers |= BishopAttacksFrom(board, king) & diagonals;
    if (RookEmptyAttacks[king] & straights)
        checkers |= RookAttacksFrom(board, king) & straights;
    // Pieces, not kinds of line, are counted: in play no two checkers share a kind, but a
    // FEN text can set up two knights giving check, and only a count of two keeps the evasions
    // to king moves there.
    checkerCount = std::popcount(checkers);
    return checkers;
}

} // namespace tarvo
