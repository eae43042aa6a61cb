#include "board/validate.h"

#include "board/castling.h"
#include "board/occupancy.h"
#include "board/tables.h"

namespace tarvo {

namespace {

// Whether the king of `side` would be safe on `to` after leaving `from`: lines through `from`
// are opened, so stepping back along a checking line is caught.
bool IsKingStepSafe(const Board& board, int side, int from, int to) {
    const Bitboard enemy    = board.colour[side ^ 1];
    const Bitboard occupied = board.occupied & ~SquareBit[from];
    const Bitboard queens   = board.pieces[Queen];
    if (BishopAttacksFrom(occupied, to) & (board.pieces[Bishop] | queens) & enemy)
        return false;
    if (RookAttacksFrom(occupied, to) & (board.pieces[Rook] | queens) & enemy)
        return false;
    if (PawnAttacks[side][to] & board.pieces[Pawn] & enemy)
        return false;
    if (KnightAttacks[to] & board.pieces[Knight] & enemy)
        return false;
    return !(KingAttacks[to] & board.pieces[King] & enemy);
}

bool IsEnPassantLegal(const Board& board, int from, int to, Bitboard straightPins,
                      Bitboard diagonalPins) {
    const int side = board.sideToMove;
    if (board.epFile == 0)
        return false;
    // Comparing the whole square, not only the file, refuses a word of the other side, whose
    // en-passant captures land on the other sixth rank.
    const int target = side == White ? 39 + board.epFile : 15 + board.epFile;
    if (to != target)
        return false;
    const Bitboard fromBit = SquareBit[from];
    if (fromBit & straightPins)
        return false;
    if ((fromBit & diagonalPins) && !(SquareBit[to] & diagonalPins))
        return false;
    const int victim = side == White ? to - 8 : to + 8;
    if ((board.occupied & SquareBit[to]) ||
        !(board.pieces[Pawn] & board.colour[side ^ 1] & SquareBit[victim]))
        return false;
    return !IsKingExposedByEnPassant(board, from, to, victim);
}

// `to` is the rook's square; the caller has checked that the side's king stands on `from`.
bool IsCastlingLegal(const Board& board, int from, int to) {
    const int index = CastlingIndex(board.sideToMove, from, to);
    return (board.castling & (1 << index)) && board.castlingSetup.rook[index] == to &&
           CanCastle(board, index);
}

} // namespace

bool IsStoredMoveLegal(const Board& board, Move move, Bitboard straightPins,
                       Bitboard diagonalPins) {
    const int side         = board.sideToMove;
    const int from         = MoveFrom(move);
    const int to           = MoveTo(move);
    const int piece        = MovePiece(move);
    const Bitboard fromBit = SquareBit[from];
    const Bitboard toBit   = SquareBit[to];
    // pieces[NoPiece] is empty, so the words 0 and 1 fail here.
    if (!(board.pieces[piece] & board.colour[side] & fromBit))
        return false;

    if (move & EnPassantFlag)
        return piece == Pawn && IsEnPassantLegal(board, from, to, straightPins, diagonalPins);
    if (move & CastlingFlag)
        return piece == King && IsCastlingLegal(board, from, to);

    // With no own piece on `to` and the recorded victim equal to what stands there, the victim
    // is an enemy piece exactly when the word is a capture.
    if (toBit & board.colour[side])
        return false;
    const int captured = MoveCaptured(move);
    if (captured != board.squares[to])
        return false;

    switch (piece) {
    case Pawn:
        // A pawn word of the other side runs backwards; this refuses every one of them.
        if (side == White ? to < from : to > from)
            return false;
        if (captured == NoPiece &&
            (board.occupied & SquareBit[side == White ? from + 8 : from - 8]))
            return false;
        if ((fromBit & straightPins) && !(toBit & straightPins))
            return false;
        return !(fromBit & diagonalPins) || (toBit & diagonalPins);
    case Knight:
        return !(fromBit & (straightPins | diagonalPins));
    case Bishop:
        if (!(BishopAttacksFrom(board, from) & toBit) || (fromBit & straightPins))
            return false;
        return !(fromBit & diagonalPins) || (toBit & diagonalPins);
    case Rook:
        if (!(RookAttacksFrom(board, from) & toBit) || (fromBit & diagonalPins))
            return false;
        return !(fromBit & straightPins) || (toBit & straightPins);
    case Queen:
        if (!(QueenAttacksFrom(board, from) & toBit))
            return false;
        return !(fromBit & (straightPins | diagonalPins)) ||
               (LineThrough[from][to] & SquareBit[board.kingSquare[side]]);
    case King:
        return IsKingStepSafe(board, side, from, to);
    default:
        return false;
    }
}

} // namespace tarvo
