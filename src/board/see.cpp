#include "board/see.h"

#include <algorithm>

#include "board/tables.h"

namespace tarvo {

namespace {

// The board as the exchange on a move's destination starts: the mover lifted, and every piece
// that attacks the destination through what is left.
struct Exchange {
    int to;
    Bitboard occupied;
    Bitboard attackers;
    Bitboard diagonalSliders;
    Bitboard straightSliders;
};

[[gnu::always_inline]] inline Exchange StartExchange(const Board& board, Move move) {
    Exchange x;
    const int from = MoveFrom(move);
    x.to           = MoveTo(move);
    // The mover is lifted first, so a piece behind it on a line through `to` joins at once.
    x.occupied = board.occupied & ~SquareBit[from];
    // The pawn taken en passant leaves its square too, opening the file behind it.
    if (move & EnPassantFlag)
        x.occupied &= ~SquareBit[board.sideToMove == White ? x.to - 8 : x.to + 8];

    x.diagonalSliders = board.pieces[Bishop] | board.pieces[Queen];
    x.straightSliders = board.pieces[Rook] | board.pieces[Queen];
    const int to      = x.to;
    x.attackers = (PawnAttacks[Black][to] & board.pieces[Pawn] & board.colour[White]) |
                  (PawnAttacks[White][to] & board.pieces[Pawn] & board.colour[Black]) |
                  (KnightAttacks[to] & board.pieces[Knight]) |
                  (KingAttacks[to] & board.pieces[King]) |
                  (BishopAttacksFrom(x.occupied, to) & x.diagonalSliders) |
                  (RookAttacksFrom(x.occupied, to) & x.straightSliders);
    x.attackers &= x.occupied;
    return x;
}

// Takes the least valuable attacker of `toMove` off the board, lets the pieces behind it join,
// and returns its type. The side must have an attacker left.
[[gnu::always_inline]] inline int TakeLeastValuable(const Board& board, Exchange& x, int toMove) {
    const Bitboard mine = x.attackers & board.colour[toMove];
    int type            = Pawn;
    while (!(mine & board.pieces[type]))
        ++type;
    x.occupied &= ~SquareBit[BitScan(mine & board.pieces[type])];
    if (type == Pawn || type == Bishop || type == Queen)
        x.attackers |= BishopAttacksFrom(x.occupied, x.to) & x.diagonalSliders;
    if (type == Rook || type == Queen)
        x.attackers |= RookAttacksFrom(x.occupied, x.to) & x.straightSliders;
    x.attackers &= x.occupied;
    return type;
}

// Plays the exchange out from the mover's first capture until the answer is settled (see
// ExchangeAtLeast for the rules).
bool ExchangeFrom(const Board& board, Move move, int threshold, int balance, int onTarget) {
    Exchange x      = StartExchange(board, move);
    const int mover = board.sideToMove;
    int toMove      = mover ^ 1;
    for (;;) {
        const int next = toMove == mover ? balance + onTarget : balance - onTarget;
        if (!(x.attackers & board.colour[toMove]) || (toMove == mover) == (next < threshold))
            return toMove != mover;
        const int type = TakeLeastValuable(board, x, toMove);
        balance        = next;
        onTarget       = ExchangeValue[type];
        toMove ^= 1;
        // A king that took a defended piece made an illegal capture, which the other side
        // answers by taking the king: that ends the exchange.
        if (type == King && (x.attackers & board.colour[toMove]))
            return (toMove == mover ? 10000 : -10000) >= threshold;
    }
}

} // namespace

int StaticExchange(const Board& board, Move move) {
    // A castling word's destination holds the mover's own rook, which is not a capture.
    if (move & CastlingFlag)
        return 0;
    Exchange x = StartExchange(board, move);

    // One entry per capture plus the closing entry of an illegal king capture: never more
    // than the squares of the board, whatever position the board holds.
    std::array<int, 66> gain;
    gain[0]      = ExchangeValue[MoveCaptured(move)];
    int onTarget = ExchangeValue[MovePiece(move)];
    if (move & PromotionFlag) {
        gain[0] += PromotionValue[MovePromotion(move)] - 100;
        onTarget = PromotionValue[MovePromotion(move)];
    }

    int toMove = board.sideToMove ^ 1;
    if (!(x.attackers & board.colour[toMove]))
        return gain[0];

    int count = 0;
    for (;;) {
        const int type = TakeLeastValuable(board, x, toMove);
        ++count;
        gain[count] = onTarget - gain[count - 1];
        // A pawn recapturing on the last rank is still counted as a pawn.
        onTarget = ExchangeValue[type];
        toMove ^= 1;
        if (type == King && (x.attackers & board.colour[toMove])) {
            // The king took a defended piece: that capture was illegal, and the side that made
            // it must stop before it.
            gain[++count] = 10000;
            break;
        }
        if (!(x.attackers & board.colour[toMove]))
            break;
    }

    for (int i = count; i > 0; --i)
        gain[i - 1] = std::min(gain[i - 1], -gain[i]);
    return gain[0];
}

bool ExchangeAtLeast(const Board& board, Move move, int threshold) {
    if (move & CastlingFlag)
        return 0 >= threshold;

    // balance: the mover's material gain after the captures so far. A side may stop instead of
    // capturing, so the exchange is settled as soon as a capture would decide it: when the
    // mover's own capture would still leave the balance short of the threshold, the answer is
    // no (the opponent stops before it); when even the opponent's capture would leave it at the
    // threshold, it is yes (the mover stops after it). When a side has nothing left to capture
    // with, the side that made the last capture has its way.
    int balance  = ExchangeValue[MoveCaptured(move)];
    int onTarget = ExchangeValue[MovePiece(move)];
    if (move & PromotionFlag) {
        balance += PromotionValue[MovePromotion(move)] - 100;
        onTarget = PromotionValue[MovePromotion(move)];
    }
    if (balance < threshold)
        return false;
    // Losing the mover outright still reaches the threshold: nothing that follows matters.
    if (balance - onTarget >= threshold)
        return true;

    // Most exchanges are settled by the opponent's cheapest defender, which the plain tables
    // find without the sliding-attack lookups: none at all, or a pawn or knight whose capture
    // the mover could not take back profitably enough.
    const int mover         = board.sideToMove;
    const int to            = MoveTo(move);
    const Bitboard enemy    = board.colour[mover ^ 1];
    const Bitboard queens   = board.pieces[Queen];
    const Bitboard defender = enemy & ((PawnAttacks[mover][to] & board.pieces[Pawn]) |
                                       (KnightAttacks[to] & board.pieces[Knight]) |
                                       (KingAttacks[to] & board.pieces[King]) |
                                       (BishopEmptyAttacks[to] & (board.pieces[Bishop] | queens)) |
                                       (RookEmptyAttacks[to] & (board.pieces[Rook] | queens)));
    if (!defender)
        return true;
    if (PawnAttacks[mover][to] & board.pieces[Pawn] & enemy)
        return balance - onTarget + ExchangeValue[Pawn] >= threshold &&
               ExchangeFrom(board, move, threshold, balance, onTarget);
    if (KnightAttacks[to] & board.pieces[Knight] & enemy)
        return balance - onTarget + ExchangeValue[Knight] >= threshold &&
               ExchangeFrom(board, move, threshold, balance, onTarget);
    return ExchangeFrom(board, move, threshold, balance, onTarget);
}

} // namespace tarvo
