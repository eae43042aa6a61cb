#pragma once
// Legal move generation without making moves: checkers and pins are found first from the
// lines through the king, each piece's destinations are restricted accordingly, and only the
// king's destinations and the castling squares are tested for attack. The order of the moves
// is fixed (pinned pieces, castling, en passant, knights, bishops, rooks, queens, pawns, king;
// lowest square first within each group) because search results depend on it.

#include "board/types.h"

#include <cstdint>

namespace tarvo {

// The squares where a pin along a diagonal, or along a rank or file, can hold a piece: one on
// the board's edge cannot be pinned along a diagonal, nor a corner piece along a rank or file,
// so pin searches skip the rest.
inline constexpr Bitboard DiagonalPinCandidates = 0x007e7e7e7e7e7e00ULL;
inline constexpr Bitboard StraightPinCandidates = 0x7effffffffffff7eULL;

// Appends the legal moves of the side to move to `list`, which the caller passes empty.
// Scores are not written.
void GenerateLegalMoves(const Board& board, MoveList& list);

// The number of moves GenerateLegalMoves would write, counted from the destination sets
// without making the moves' words.
std::uint32_t CountLegalMoves(const Board& board);

// Appends, after the moves already in `list`, the legal quiet moves (no capture, no en
// passant, no promotion; castling and double steps included) that give check, in generation
// order. Checks are found from the lines through the enemy king; only castling is made and
// unmade to test it, so `board` is unchanged on return. Writes only moves and count.
void GenerateQuietChecks(Board& board, MoveList& list);

} // namespace tarvo
