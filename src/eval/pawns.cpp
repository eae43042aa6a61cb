#include "eval/pawns.h"

#include <array>

#include "board/tables.h"
#include "eval/geometry.h"

namespace tarvo {
namespace {

// Entry s is read by a Black pawn on s, entry s ^ 56 by a White one, on top of the base value.
// The table leaves the g- and h-files at 0 so that the castled king's pawns stay at home.
// clang-format off
constexpr std::array<int, 64> PawnSquareTable = {
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      4,   5,   8,  15,  15,   8,   0,   0,
      3,   4,   7,  10,  10,   7,   0,   0,
      2,   3,   4,   5,   5,   5,   0,   0,
      1,   2,   3, -10,  -5,   3,   0,   0,
      0,   0,   0, -25, -25,   8,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
};

constexpr int PawnValue = 100;

// Indexed [stage][relative rank of the pawn]; ranks 0 and 7 never hold a pawn.
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

namespace {

void AnalyseSide(Bitboard own, Bitboard enemy, int colour, PawnSide& side) {
    const int sign       = ColourSign(colour);
    const Bitboard all   = own | enemy;
    side.passed          = 0;
    side.count           = static_cast<std::int8_t>(CountBits(own));
    int structure        = 0;
    int connectedCount   = 0;
    int material         = 0;
    for (Bitboard set = own; set != 0; set &= set - 1) {
        const int square = BitScan(set);
        material += PawnValue + PawnSquareTable[TableIndex(colour, square)];
        const int file   = FileOf(square);
        const int rank   = RankOf(square);
        // A pawn on its first or last rank cannot stand there in a game; a set-up that puts one
        // there would step the front square off the board, so such a pawn gets only its value
        // adjustment.
        const int relativeRank = RelativeRank(colour, square);
        if (relativeRank == 0 || relativeRank == 7)
            continue;
        const Bitboard fileAhead = RanksAhead[colour][rank] & FileMask[file];
        const bool passed = (FrontSpan[colour][square] & enemy) == 0 && (fileAhead & own) == 0;
        const Bitboard besideOrBehind = RankMask[rank] | RankMask[rank - sign];
        const bool connected = (own & AdjacentFilesMask[file] & besideOrBehind) != 0;

        if (passed) {
            side.passed |= SquareBit[square];
        } else if (connected) {
            ++connectedCount;
        } else if ((PawnAttacks[colour][square] & enemy) == 0 && (fileAhead & all) == 0) {
            // Not passed, yet nothing on its file ahead: an enemy pawn beside holds it back and it
            // has nothing to capture.
            structure += WeakPawnPenalty;
        } else if ((own & AdjacentFilesMask[file]) == 0) {
            structure += IsolatedPawnPenalty;
        }
    }
    side.connected = static_cast<std::int8_t>(connectedCount);
    side.structure = static_cast<std::int16_t>(structure);
    side.material  = static_cast<std::int16_t>(material);
    AnalyseShelters(own, enemy, colour, side.shelter);
}

} // namespace

void AnalysePawns(Bitboard whitePawns, Bitboard blackPawns, PawnStructure& structure) {
    AnalyseSide(whitePawns, blackPawns, White, structure.side[White]);
    AnalyseSide(blackPawns, whitePawns, Black, structure.side[Black]);
}

int ScorePawns(const Board& board, const PawnSide& side, int colour, int stage) {
    const int enemyColour  = colour ^ 1;
    const int sign         = ColourSign(colour);
    const Bitboard blocker = board.colour[enemyColour];
    const Bitboard own     = board.pieces[Pawn] & board.colour[colour];
    const int ownKing      = board.kingSquare[colour];
    const int enemyKing    = board.kingSquare[enemyColour];

    int score = side.count * PawnValueAdjustment[stage] + side.connected * ConnectedPawnBonus[stage] +
                side.structure;
    for (Bitboard set = side.passed; set != 0; set &= set - 1) {
        const int square       = BitScan(set);
        const int relativeRank = RelativeRank(colour, square);
        const int front        = square + 8 * sign;
        const int frontRank    = RelativeRank(colour, front);
        score += frontRank * (5 * SquareDistance(enemyKing, front) -
                              4 * SquareDistance(ownKing, front));
        // Connected: a friendly pawn beside it or one rank behind, on an adjacent file.
        const int rank                = RankOf(square);
        const Bitboard besideOrBehind = RankMask[rank] | RankMask[rank - sign];
        score += (own & AdjacentFilesMask[FileOf(square)] & besideOrBehind) != 0
                     ? ConnectedPassedPawnBonus[stage][relativeRank]
                     : PassedPawnBonus[stage][relativeRank];
        if ((blocker & SquareBit[front]) == 0)
            score += FreePathBonus[frontRank];
    }
    return sign * score;
}

} // namespace tarvo
