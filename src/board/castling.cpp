#include "board/castling.h"

namespace tarvo {

void SetUpCastling(Board& board) {
    CastlingSetup& setup = board.castlingSetup;
    setup.mask.fill(0xff);
    std::array<std::uint64_t, 4> rightKey{};
    for (int index = 0; index < 4; ++index) {
        setup.empty[index]    = 0;
        setup.kingPath[index] = 0;
        if (!(board.castling & (1 << index)))
            continue;
        const int king        = board.kingSquare[index & 1];
        const int rook        = setup.rook[index];
        const int kingTo      = CastlingKingTo(king, rook);
        const int rookTo      = CastlingRookTo(king, rook);
        const Bitboard own    = SquareBit[king] | SquareBit[rook];
        setup.kingPath[index] = (Between[king][kingTo] | SquareBit[kingTo]) & ~SquareBit[king];
        setup.empty[index] =
            (setup.kingPath[index] | Between[rook][rookTo] | SquareBit[rookTo]) & ~own;
        setup.mask[king] &= static_cast<std::uint8_t>(~(1 << index));
        setup.mask[rook] &= static_cast<std::uint8_t>(~(1 << index));
        rightKey[index] = CastlingRightKey[index][rook & 7];
    }
    for (int rights = 0; rights < 16; ++rights) {
        setup.key[rights] = 0;
        for (int index = 0; index < 4; ++index)
            if (rights & (1 << index))
                setup.key[rights] ^= rightKey[index];
    }
}

} // namespace tarvo
