#include "board/make_move.h"

#include "board/fen.h"
#include "board/tables.h"

#include <cassert>

namespace tarvo {

namespace {

// Moves king and rook of a castling between their start and end squares in the bitboards; the
// same toggle makes and unmakes it, and the caller writes the piece array.
// Start and end squares may coincide or swap (king f1 and rook g1 castling king side): XOR
// leaves such a square as it was.
inline void ToggleCastling(Board& board, int side, int kingFrom, int kingTo, int rookFrom,
                           int rookTo) {
    const Bitboard kingBits = SquareBit[kingFrom] ^ SquareBit[kingTo];
    const Bitboard rookBits = SquareBit[rookFrom] ^ SquareBit[rookTo];
    board.pieces[King] ^= kingBits;
    board.pieces[Rook] ^= rookBits;
    board.colour[side] ^= kingBits ^ rookBits;
    board.occupied = board.colour[White] | board.colour[Black];
}

// The square of the pawn an en-passant capture to `to` removes.
constexpr int EnPassantVictim(int side, int to) {
    return side == White ? to - 8 : to + 8;
}

} // namespace

void MakeMove(Board& board, Move move, UndoInfo& undo) {
    const int side     = board.sideToMove;
    const int opp      = side ^ 1;
    const int from     = MoveFrom(move);
    const int to       = MoveTo(move);
    const int piece    = MovePiece(move);
    const int captured = MoveCaptured(move);

    undo.epFile        = board.epFile;
    undo.castling      = board.castling;
    undo.kingSquare    = board.kingSquare;
    undo.historyCount  = board.historyCount;
    undo.sideToMove    = board.sideToMove;
    undo.hashKey       = board.hashKey;
    undo.halfmoveClock = board.halfmoveClock;

    board.halfmoveClock += board.halfmoveClock != 255;
    if (piece == Pawn || captured != NoPiece)
        board.halfmoveClock = 0;

    // Nothing here bounds the history: the position command keeps the game part short enough
    // that the plies of a search always fit.
    assert(board.historyCount < HistoryCapacity);
    board.history[board.historyCount++] = board.hashKey;

    std::uint64_t key          = board.hashKey ^ SideKey;
    const CastlingSetup& setup = board.castlingSetup;
    const unsigned rights      = board.castling & setup.mask[from] & setup.mask[to];
    key ^= setup.key[board.castling ^ rights];
    board.castling = static_cast<std::uint8_t>(rights);
    if (board.epFile != 0) {
        key ^= EnPassantKey[board.epFile];
        board.epFile = 0;
    }

    if (move & CastlingFlag) {
        // `to` is the rook's square; king and rook leave first, so a square one of them
        // reaches may be the other's start.
        const int kingTo      = CastlingKingTo(from, to);
        const int rookTo      = CastlingRookTo(from, to);
        board.squares[from]   = NoPiece;
        board.squares[to]     = NoPiece;
        board.squares[kingTo] = King;
        board.squares[rookTo] = Rook;
        ToggleCastling(board, side, from, kingTo, to, rookTo);
        board.kingSquare[side] = static_cast<std::uint8_t>(kingTo);
        key ^= PieceKey[5 + 6 * side][from] ^ PieceKey[5 + 6 * side][kingTo] ^
               PieceKey[3 + 6 * side][to] ^ PieceKey[3 + 6 * side][rookTo];
        board.hashKey    = key;
        board.sideToMove = static_cast<std::uint8_t>(opp);
        assert(board.hashKey == ComputeHashKey(board));
        return;
    }
    key ^= PieceKey[piece - 1 + 6 * side][from];

    const Bitboard fromBit = SquareBit[from];
    const Bitboard toBit   = SquareBit[to];
    int newType            = piece;
    if (move & PromotionFlag) {
        newType = PromotionPiece[MovePromotion(move)];
        board.pieces[Pawn] ^= fromBit;
        board.pieces[newType] ^= toBit;
    } else {
        board.pieces[piece] ^= fromBit | toBit;
        if (move & DoubleStepFlag) {
            // PawnAttacks[White][to - 8] is the two squares beside `to` on its rank, whichever
            // side made the double step.
            if (board.pieces[Pawn] & board.colour[opp] & PawnAttacks[White][to - 8]) {
                board.epFile = static_cast<std::uint8_t>((to & 7) + 1);
                key ^= EnPassantKey[board.epFile];
            }
        } else if (piece == King) {
            board.kingSquare[side] = static_cast<std::uint8_t>(to);
        }
    }
    board.squares[to] = static_cast<std::uint8_t>(newType);
    key ^= PieceKey[newType - 1 + 6 * side][to];

    if (move & EnPassantFlag) {
        const int victim      = EnPassantVictim(side, to);
        board.squares[victim] = NoPiece;
        board.pieces[Pawn] ^= SquareBit[victim];
        board.colour[opp] ^= SquareBit[victim];
        key ^= PieceKey[6 * opp][victim];
    } else if (captured != NoPiece) {
        board.pieces[captured] ^= toBit;
        board.colour[opp] ^= toBit;
        key ^= PieceKey[captured - 1 + 6 * opp][to];
    }

    board.colour[side] ^= fromBit | toBit;
    board.squares[from] = NoPiece;
    board.occupied      = board.colour[White] | board.colour[Black];
    board.hashKey       = key;
    board.sideToMove    = static_cast<std::uint8_t>(opp);
    assert(board.hashKey == ComputeHashKey(board));
}

void UnmakeMove(Board& board, Move move, const UndoInfo& undo) {
    board.historyCount  = undo.historyCount;
    board.epFile        = static_cast<std::uint8_t>(undo.epFile);
    board.sideToMove    = undo.sideToMove;
    board.hashKey       = undo.hashKey;
    board.halfmoveClock = static_cast<std::uint8_t>(undo.halfmoveClock);
    board.castling      = undo.castling;

    const int side         = board.sideToMove;
    const int opp          = side ^ 1;
    const int from         = MoveFrom(move);
    const int to           = MoveTo(move);
    const int piece        = MovePiece(move);
    const int captured     = MoveCaptured(move);
    const Bitboard fromBit = SquareBit[from];
    const Bitboard toBit   = SquareBit[to];

    if (move & CastlingFlag) {
        const int kingTo      = CastlingKingTo(from, to);
        const int rookTo      = CastlingRookTo(from, to);
        board.squares[kingTo] = NoPiece;
        board.squares[rookTo] = NoPiece;
        board.squares[from]   = King;
        board.squares[to]     = Rook;
        ToggleCastling(board, side, from, kingTo, to, rookTo);
        board.kingSquare[side] = static_cast<std::uint8_t>(from);
        assert(board.hashKey == ComputeHashKey(board));
        return;
    }

    if (piece == Pawn) {
        board.pieces[Pawn] ^= fromBit;
        board.pieces[(move & PromotionFlag) ? PromotionPiece[MovePromotion(move)] : Pawn] ^= toBit;
    } else {
        board.pieces[piece] ^= fromBit | toBit;
        if (piece == King)
            board.kingSquare[side] = undo.kingSquare[side];
    }
    board.squares[from] = static_cast<std::uint8_t>(piece);

    if (move & EnPassantFlag) {
        const int victim      = EnPassantVictim(side, to);
        board.squares[victim] = Pawn;
        board.squares[to]     = NoPiece;
        board.pieces[Pawn] ^= SquareBit[victim];
        board.colour[opp] ^= SquareBit[victim];
    } else if (captured != NoPiece) {
        board.pieces[captured] ^= toBit;
        board.colour[opp] ^= toBit;
        board.squares[to] = static_cast<std::uint8_t>(captured);
    } else {
        board.squares[to] = NoPiece;
    }

    board.colour[side] ^= fromBit | toBit;
    board.occupied = board.colour[White] | board.colour[Black];
    assert(board.hashKey == ComputeHashKey(board));
}

void MakeNullMove(Board& board, UndoInfo& undo) {
    undo.epFile        = board.epFile;
    undo.historyCount  = board.historyCount;
    undo.sideToMove    = board.sideToMove;
    undo.hashKey       = board.hashKey;
    undo.halfmoveClock = board.halfmoveClock;

    board.halfmoveClock = 0;
    assert(board.historyCount < HistoryCapacity);
    board.history[board.historyCount++] = board.hashKey;
    board.sideToMove ^= 1;
    board.hashKey ^= SideKey;
    if (board.epFile != 0) {
        board.hashKey ^= EnPassantKey[board.epFile];
        board.epFile = 0;
    }
}

void UnmakeNullMove(Board& board, const UndoInfo& undo) {
    board.epFile        = static_cast<std::uint8_t>(undo.epFile);
    board.historyCount  = undo.historyCount;
    board.sideToMove    = undo.sideToMove;
    board.hashKey       = undo.hashKey;
    board.halfmoveClock = static_cast<std::uint8_t>(undo.halfmoveClock);
}

} // namespace tarvo
