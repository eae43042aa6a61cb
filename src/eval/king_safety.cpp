#include "eval/king_safety.h"

#include <array>

#include "board/tables.h"
#include "eval/evaluate.h"
#include "eval/geometry.h"

namespace tarvo {
namespace {

// [file of the king]: the centre file of the three shelter files, the same for both colours. A king
// on a, b or c is sheltered by files a to c, one on f, g or h by files e to g, so the centre file
// always has both neighbours on the board.
constexpr std::array<int, 8> ShelterCentreFile = {1, 1, 1, 3, 4, 5, 5, 5};

// Stage weight W; the term is 0 in the endgame.
constexpr std::array<int, 3> StageWeight = {8, 4, 0};

constexpr int NoEscapePenalty = 20;

// The eight bits of rank `rank` of `set`, as a byte.
inline int RankByte(Bitboard set, int rank) { return static_cast<int>((set >> (8 * rank)) & 0xff); }

// Number of pieces of `set` on rank `rank` within the files of `fileBits` (bit f = file f).
inline int CountOnRank(Bitboard set, int rank, int fileBits) {
    return PopCount8[RankByte(set, rank) & fileBits];
}

} // namespace

Bitboard KingZone(const Board& board, int colour, int stage) {
    if (stage == Endgame)
        return 0;
    const int sign              = ColourSign(colour);
    const int king              = board.kingSquare[colour];
    const int centreFile        = ShelterCentreFile[FileOf(king)];
    const Bitboard shelterFiles = FileMask[centreFile] | AdjacentFilesMask[centreFile];
    const Bitboard ownPawns     = board.pieces[Pawn] & board.colour[colour];
    // The king's neighbours, the own shelter pawns next to the square in front of it, and on an
    // edge file the neighbours of the square beside it.
    Bitboard zone = KingAttacks[king];
    if (RelativeRank(colour, king) != 7)
        zone |= KingAttacks[king + 8 * sign] & ownPawns & shelterFiles;
    if (FileOf(king) == 0)
        zone |= KingAttacks[king + 1];
    else if (FileOf(king) == 7)
        zone |= KingAttacks[king - 1];
    return zone;
}

int EvalKingSafety(const Board& board, int colour, int stage, ZoneAttackers attackers) {
    if (stage == Endgame)
        return 0;
    const int weight      = StageWeight[stage];
    const int sign        = ColourSign(colour);
    const int enemyColour = colour ^ 1;
    const int king        = board.kingSquare[colour];

    const Bitboard allPawns   = board.pieces[Pawn];
    const Bitboard ownPawns   = allPawns & board.colour[colour];
    const Bitboard enemyPawns = allPawns & board.colour[enemyColour];

    const int centreFile    = ShelterCentreFile[FileOf(king)];
    const int centreBits    = 1 << centreFile;
    const int sideBits      = (1 << (centreFile - 1)) | (1 << (centreFile + 1));
    const int shelterBits   = centreBits | sideBits;
    const Bitboard shelterFiles = FileMask[centreFile] | AdjacentFilesMask[centreFile];
    // Ranks one to four steps forward of the back rank.
    const int backRank = colour == White ? 0 : 7;
    const int r2       = backRank + sign;
    const int r3       = backRank + 2 * sign;
    const int r4       = backRank + 3 * sign;
    const int r5       = backRank + 4 * sign;

    const int raw = 7 * CountOnRank(allPawns, r2, centreBits) +
                    6 * CountOnRank(ownPawns, r3, centreBits) +
                    2 * CountOnRank(ownPawns, r4, centreBits) +
                    4 * CountOnRank(ownPawns, r2, sideBits) +
                    2 * CountOnRank(ownPawns, r3, sideBits) +
                    2 * CountOnRank(ownPawns, r4, sideBits) -
                    4 * CountOnRank(enemyPawns, r3, shelterBits) -
                    3 * CountOnRank(enemyPawns, r4, shelterBits) -
                    1 * CountOnRank(enemyPawns, r5, shelterBits);
    const int shelter = sign * weight * raw;
    int score         = shelter;

    const Bitboard zone = KingZone(board, colour, stage);
    for (Bitboard set = board.pieces[Knight] & board.colour[enemyColour]; set != 0;
         set &= set - 1) {
        if ((KnightAttacks[BitScan(set)] & zone) != 0) {
            ++attackers.minors;
            ++attackers.total;
        }
    }
    const int minors = attackers.minors;
    const int heavy  = attackers.heavy;
    const int total  = attackers.total;

    // A lone attacker against a very strong (or very weak) shelter is ignored. The shelter's
    // magnitude picks the row, whatever its sign.
    const int magnitude = shelter < 0 ? -shelter : shelter;
    if (!(total < 2 && magnitude > 14 * weight)) {
        const int penalty = magnitude < 10 * weight ? total * (5 * heavy + 3 * minors)
                                                    : total * (3 * heavy + 2 * minors);
        score -= sign * penalty;
    }

    // Few enemy pawns on the shelter files leave them open for its rooks, unless its own king
    // lives on those files too.
    if ((Bitboard{1} << board.kingSquare[enemyColour] & shelterFiles) == 0) {
        const int enemyPawnCount = CountBits(enemyPawns & shelterFiles);
        if (enemyPawnCount < 3)
            score -= sign * 2 * weight * (3 - enemyPawnCount);
    }

    if ((ownPawns & AdjacentFilesMask[centreFile]) == 0)
        score -= sign * 3 * weight;

    if (CountOnRank(allPawns, r2, shelterBits) >= 3)
        score -= sign * NoEscapePenalty;

    return score;
}

} // namespace tarvo
