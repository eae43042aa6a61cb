#include "eval/pawns.h"

#include <array>

#include "board/tables.h"
#include "eval/geometry.h"

namespace tarvo {
namespace {

// Indexed [stage][relative rank of the pawn]; ranks 0 and 7 never hold a pawn.
// clang-format off
constexpr std::array<std::array<int, 8>, 3> PassedPawnBonus = {{
    {0,  5,  5, 10, 30,  70, 120, 0},
    {0,  7,  7, 15, 40,  80, 130, 0},
    {0, 15, 15, 25, 60, 110, 150, 0},
}};

constexpr std::array<std::array<int, 8>, 3> ConnectedPassedPawnBonus = {{
    {0,  5,  5, 10, 40,  90, 160, 0},
    {0,  7,  7, 18, 55, 100, 170, 0},
    {0, 15, 15, 30, 75, 130, 190, 0},
}};

// Indexed by the relative rank of the square in front of the pawn: nothing for the promotion
// square itself.
constexpr std::array<int, 8> FreePathBonus = {0, 0, 0, 10, 30, 50, 60, 0};
// clang-format on

constexpr std::array<int, 3> ConnectedPawnBonus = {2, 2, 4};
constexpr int WeakPawnPenalty                   = -30;
constexpr int IsolatedPawnPenalty               = -15;
// Pawns are worth less while the opponent still has pieces to stop them with.
constexpr std::array<int, 3> PawnValueAdjustment = {-18, -13, 0};

} // namespace

int EvalPawns(const Board& board, int colour, int stage) {
    const Bitboard own = board.pieces[Pawn] & board.colour[colour];
    if (own == 0)
        return 0;
    const int enemyColour  = colour ^ 1;
    const int sign         = ColourSign(colour);
    const Bitboard enemy   = board.pieces[Pawn] & board.colour[enemyColour];
    const Bitboard blocker = board.colour[enemyColour];
    const int ownKing      = board.kingSquare[colour];
    const int enemyKing    = board.kingSquare[enemyColour];

    int score = 0;
    for (Bitboard set = own; set != 0; set &= set - 1) {
        const int square = BitScan(set);
        const int file   = FileOf(square);
        const int rank   = RankOf(square);
        // A pawn on its first or last rank cannot stand there in a game; a set-up that puts one
        // there would step the front square off the board, so such a pawn gets only its value
        // adjustment.
        const int relativeRank = RelativeRank(colour, square);
        if (relativeRank == 0 || relativeRank == 7) {
            score += PawnValueAdjustment[stage];
            continue;
        }
        const Bitboard fileAhead = RanksAhead[colour][rank] & FileMask[file];
        const bool passed = (FrontSpan[colour][square] & enemy) == 0 && (fileAhead & own) == 0;
        const Bitboard besideOrBehind = RankMask[rank] | RankMask[rank - sign];
        const bool connected = (own & AdjacentFilesMask[file] & besideOrBehind) != 0;

        if (passed) {
            const int front     = square + 8 * sign;
            const int frontRank = RelativeRank(colour, front);
            score += frontRank * (5 * SquareDistance(enemyKing, front) -
                                  4 * SquareDistance(ownKing, front));
            score += connected ? ConnectedPassedPawnBonus[stage][relativeRank]
                               : PassedPawnBonus[stage][relativeRank];
            if ((blocker & (Bitboard{1} << front)) == 0)
                score += FreePathBonus[frontRank];
        } else if (connected) {
            score += ConnectedPawnBonus[stage];
        } else if ((PawnAttacks[colour][square] & enemy) == 0 &&
                   (fileAhead & board.pieces[Pawn]) == 0) {
            // Not passed, yet nothing on its file ahead: an enemy pawn beside holds it back and it
            // has nothing to capture.
            score += WeakPawnPenalty;
        } else if ((own & AdjacentFilesMask[file]) == 0) {
            score += IsolatedPawnPenalty;
        }
        score += PawnValueAdjustment[stage];
    }
    return sign * score;
}

} // namespace tarvo
