#include "board/see.h"

#include <algorithm>

#include "board/tables.h"

namespace tarvo {

int StaticExchange(const Board& board, Move move) {
    // A castling word's destination holds the mover's own rook, which is not a capture.
    if (move & CastlingFlag)
        return 0;
    const int from = MoveFrom(move);
    const int to   = MoveTo(move);
    const int side = board.sideToMove;

    // The mover is lifted first, so a piece behind it on a line through `to` joins at once.
    Bitboard occupied = board.occupied & ~SquareBit[from];
    // The pawn taken en passant leaves its square too, opening the file behind it.
    if (move & EnPassantFlag)
        occupied &= ~SquareBit[side == White ? to - 8 : to + 8];

    const Bitboard diagonalSliders = board.pieces[Bishop] | board.pieces[Queen];
    const Bitboard straightSliders = board.pieces[Rook] | board.pieces[Queen];
    Bitboard attackers = (PawnAttacks[Black][to] & board.pieces[Pawn] & board.colour[White]) |
                         (PawnAttacks[White][to] & board.pieces[Pawn] & board.colour[Black]) |
                         (KnightAttacks[to] & board.pieces[Knight]) |
                         (KingAttacks[to] & board.pieces[King]) |
                         (BishopAttacksFrom(occupied, to) & diagonalSliders) |
                         (RookAttacksFrom(occupied, to) & straightSliders);
    attackers &= occupied;

    // One entry per capture plus the closing entry of an illegal king capture: never more
    // than the squares of the board, whatever position the board holds.
    std::array<int, 66> gain;
    gain[0]      = ExchangeValue[MoveCaptured(move)];
    int onTarget = ExchangeValue[MovePiece(move)];
    if (move & PromotionFlag) {
        gain[0] += PromotionValue[MovePromotion(move)] - 100;
        onTarget = PromotionValue[MovePromotion(move)];
    }

    int toMove = side ^ 1;
    if (!(attackers & board.colour[toMove]))
        return gain[0];

    int count = 0;
    for (;;) {
        const Bitboard mine = attackers & board.colour[toMove];
        int type            = Pawn;
        while (!(mine & board.pieces[type]))
            ++type;
        occupied &= ~SquareBit[BitScan(mine & board.pieces[type])];
        if (type == Pawn || type == Bishop || type == Queen)
            attackers |= BishopAttacksFrom(occupied, to) & diagonalSliders;
        if (type == Rook || type == Queen)
            attackers |= RookAttacksFrom(occupied, to) & straightSliders;
        ++count;
        gain[count] = onTarget - gain[count - 1];
        attackers &= occupied;
        // A pawn recapturing on the last rank is still counted as a pawn.
        onTarget = ExchangeValue[type];
        toMove ^= 1;
        if (type == King && (attackers & board.colour[toMove])) {
            // The king took a defended piece: that capture was illegal, and the side that made
            // it must stop before it.
            gain[++count] = 10000;
            break;
        }
        if (!(attackers & board.colour[toMove]))
            break;
    }

    for (int i = count; i > 0; --i)
        gain[i - 1] = std::min(gain[i - 1], -gain[i]);
    return gain[0];
}

} // namespace tarvo
