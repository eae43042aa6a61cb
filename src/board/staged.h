#pragma once
// Staged move generation for the search: captures (with every promotion and en passant),
// quiet moves (castling included) and check evasions, each appended to a MoveList on its own
// so that a node that cuts off early never pays for the rest. The moves are legal by
// construction: the caller passes the pin lines of the side to move (and, for evasions, the
// checking pieces), so no move is ever made to test it. The order in which moves are appended
// is part of the behaviour, because the pickers break ties between equal scores by position.

#include "board/types.h"

namespace tarvo {

// Pin lines: for every piece of the side to move pinned against its king along a rank or file
// (straightPins) or a diagonal (diagonalPins), the squares strictly between the king and the
// pinner plus the pinner's square. Own pieces on a pin line are exactly the pinned pieces.

// Out of check: every capture, every promotion (capturing or not) and every en-passant capture.
void GenerateCaptures(const Board& board, MoveList& list, Bitboard straightPins,
                      Bitboard diagonalPins);
// Out of check: every other legal move, castling included. With GenerateCaptures it gives each
// legal move exactly once.
void GenerateQuietMoves(const Board& board, MoveList& list, Bitboard straightPins,
                        Bitboard diagonalPins);
// In check (checkerCount 1 or 2): every legal move.
void GenerateEvasions(const Board& board, MoveList& list, Bitboard straightPins,
                      Bitboard diagonalPins, Bitboard checkers, int checkerCount);

// The per-kind generators the stages are built from. Targets and movers are bitboards chosen
// by the caller; the side to move is the board's. Pieces are taken lowest square first, and
// each piece's destinations lowest square first.

// King steps into targets onto squares the opponent does not attack, tested with the king
// still on its square (exact out of check; evasions remove the checking lines first).
void AddKingMoves(const Board& board, MoveList& list, Bitboard targets);
// Castling by rights, empty squares and unattacked king path, written as the king taking its
// own rook; only for use out of check.
void AddCastling(const Board& board, MoveList& list);
// Non-promoting diagonal captures: towards the a-file first for White, the h-file for Black.
void AddPawnCaptures(const Board& board, MoveList& list, Bitboard targets, Bitboard pawns);
// Promotions, four words each (queen, knight, rook, bishop): both capture directions, then
// pushes onto empty target squares.
void AddPromotions(const Board& board, MoveList& list, Bitboard targets, Bitboard pawns);
// Non-promoting single pushes, then double steps. Targets must hold empty squares only.
void AddPawnPushes(const Board& board, MoveList& list, Bitboard targets, Bitboard pawns);
// En-passant captures onto the en-passant square when it is in targets, skipping a capture
// that would open the king's rank to a rook or queen.
void AddEnPassant(const Board& board, MoveList& list, Bitboard targets, Bitboard pawns);
// Bishops and queens of movers along diagonals.
void AddDiagonalMoves(const Board& board, MoveList& list, Bitboard targets, Bitboard movers);
// Rooks and queens of movers along ranks and files.
void AddOrthogonalMoves(const Board& board, MoveList& list, Bitboard targets, Bitboard movers);

} // namespace tarvo
