#include "search/draw.h"

#include "board/movegen.h"
#include "board/tables.h"

#include <algorithm>
#include <bit>

namespace tarvo {

namespace {

// Squares of a1's colour.
constexpr Bitboard DarkSquares = 0xaa55aa55aa55aa55ULL;

// Positions with the same side to move since the last irreversible move that hold this one's
// key. Every key since set-up is in history, and the clock counts no further back than the
// last irreversible move. The clock is bounded by the keys held as well, so a board whose clock
// was set without its history never reads before the first key.
int CountEarlierOccurrences(const Board& board, int wanted) {
    const int count = static_cast<int>(board.historyCount);
    const int reach = std::min(static_cast<int>(board.halfmoveClock), count);
    int found       = 0;
    for (int plies = 2; plies <= reach && found < wanted; plies += 2)
        if (board.history[count - plies] == board.hashKey)
            ++found;
    return found;
}

} // namespace

bool IsDeadPosition(const Board& board) {
    if ((board.pieces[Pawn] | board.pieces[Rook] | board.pieces[Queen]) != 0)
        return false;
    const Bitboard minors = board.pieces[Knight] | board.pieces[Bishop];
    if ((minors & (minors - 1)) == 0)
        return true;
    const Bitboard bishops = board.pieces[Bishop];
    return board.pieces[Knight] == 0 &&
           ((bishops & DarkSquares) == 0 || (bishops & ~DarkSquares) == 0);
}

bool IsDrawByRule(const Board& board) {
    const int clock = board.halfmoveClock;
    if (clock > 100)
        return true;
    const int side = board.sideToMove;
    if (clock == 100 && !IsSquareAttacked(board, side ^ 1, board.kingSquare[side]))
        return true;
    // Pawns, rooks or queens on the board, as in nearly every node, settle it with one test.
    if (IsDeadPosition(board))
        return true;
    return CountEarlierOccurrences(board, 1) > 0;
}

bool IsGameDrawnByRule(const Board& board) {
    if (IsDeadPosition(board) || CountEarlierOccurrences(board, 2) >= 2)
        return true;
    if (board.halfmoveClock < 100)
        return false;
    MoveList legal;
    GenerateLegalMoves(board, legal);
    return legal.count > 0 ||
           !IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]);
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
