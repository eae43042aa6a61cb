#pragma once
// Static exchange evaluation: the material outcome of a move, found by playing out in the head
// every capture on its destination square, each side taking with its least valuable piece and
// free to stop when going on would lose. The pickers order and filter captures with it. Pieces
// that join through a line opened by an earlier capture are counted; pins are not.

#include <array>

#include "board/types.h"

namespace tarvo {

// ExchangeValue[type]: a piece's worth in the exchange, by piece-type code (7 never occurs).
inline constexpr std::array<int, 8> ExchangeValue = {0, 100, 310, 325, 500, 950, 10000, 0};
// PromotionValue[index]: the promoted piece's worth, by promotion index (queen, knight, rook,
// bishop).
inline constexpr std::array<int, 4> PromotionValue = {950, 310, 500, 325};

// The expected material gain, in centipawns, for the side making `move` (any move word the
// generators produce in this position, quiet ones included). The board is not changed.
int StaticExchange(const Board& board, Move move);

// StaticExchange(board, move) >= threshold, found with fewer steps: the captures are followed
// only until the answer can no longer change.
bool ExchangeAtLeast(const Board& board, Move move, int threshold);

} // namespace tarvo
