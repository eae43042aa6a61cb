#pragma once
// Setting a board up from FEN text, writing it back, and the from-scratch Zobrist key.
// The reader refuses texts that do not describe a playable position instead of building a
// half-made board: the engine's invariants (one king per side, occupancy matching the
// placement, a key that make-move can update) must hold for every board it searches.

#include "board/types.h"

#include <cstdint>
#include <string>

namespace tarvo {

inline constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Sets `board` from the zero-terminated FEN `text`. Reads placement, side to move, castling
// rights, the en-passant file, the half-move clock (0 to 255; 0 when absent) and the move
// number (1 to 9999, where 0 reads as 1; 1 when absent); historyCount starts at 0. Castling
// is read in X-FEN and Shredder-FEN: KQkq name the outermost rook on a wing, file letters
// (A-H White, a-h Black) the rook on that file.
// A right whose king is off its back rank or whose rook is missing is dropped; unless
// `chess960` is set, so is one whose king is not on the e-file or whose rook is not in a
// corner. On refusal returns false, leaves `board` as it was and, when `reason` is given,
// points it at a short static text.
bool SetFromFen(Board& board, const char* text, const char** reason = nullptr,
                bool chess960 = false);

// The FEN of `board`, with its half-move clock and move number. Castling is written in X-FEN
// (KQkq, as in standard chess), with the rook's file letter where the castling rook is not the
// outermost one on its wing.
std::string WriteFen(const Board& board);

// The Zobrist key of `board` computed from its pieces, side, rights and en-passant file.
std::uint64_t ComputeHashKey(const Board& board);

} // namespace tarvo
