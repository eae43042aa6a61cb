#include "eval/king_safety.h"

#include <array>

#include "board/tables.h"
#include "eval/evaluate.h"
#include "eval/geometry.h"

namespace tarvo {
namespace {

// [file of the king]: the group of its shelter files. A king on a, b or c is sheltered by files a
// to c, one on f, g or h by files e to g, so the centre file always has both neighbours.
constexpr std::array<int, 8> ShelterGroup = {0, 0, 0, 1, 2, 3, 3, 3};
// [group]: the centre file of its three files.
constexpr std::array<int, ShelterGroups> ShelterCentreFile = {1, 3, 4, 5};

// Stage weight W; the term is 0 in the endgame.
constexpr std::array<int, 3> StageWeight = {8, 4, 0};

constexpr int NoEscapePenalty = 20;

// The eight bits of rank `rank` of `set`, as a byte.
inline int RankByte(Bitboard set, int rank) { return static_cast<int>((set >> (8 * rank)) & 0xff); }

// Number of pieces of `set` on rank `rank` within the files of `fileBits` (bit f = file f).
inline int CountOnRank(Bitboard set, int rank, int fileBits) {
    return PopCount8[RankByte(set, rank) & fileBits];
}

constexpr Bitboard ShelterFiles(int centreFile) {
    return FileMask[centreFile] | AdjacentFilesMask[centreFile];
}

// ZoneAround[k]: the king's neighbours, and on an edge file those of the square beside it.
constexpr std::array<Bitboard, 64> ZoneAround = [] {
    std::array<Bitboard, 64> table{};
    for (int king = 0; king < 64; ++king) {
        table[king] = KingAttacks[king];
        if (FileOf(king) == 0)
            table[king] |= KingAttacks[king + 1];
        else if (FileOf(king) == 7)
            table[king] |= KingAttacks[king - 1];
    }
    return table;
}();

// ZoneAhead[c][k]: the neighbours of the square in front of c's king on its shelter files,
// which join the zone where c's own pawns stand; empty on the last rank.
constexpr std::array<std::array<Bitboard, 64>, 2> ZoneAhead = [] {
    std::array<std::array<Bitboard, 64>, 2> table{};
    for (int colour = White; colour <= Black; ++colour)
        for (int king = 0; king < 64; ++king)
            if (RelativeRank(colour, king) != 7)
                table[colour][king] = KingAttacks[king + 8 * ColourSign(colour)] &
                                      ShelterFiles(ShelterCentreFile[ShelterGroup[FileOf(king)]]);
    return table;
}();

} // namespace

void AnalyseShelters(Bitboard own, Bitboard enemy, int colour, ShelterTable& shelters) {
    const int sign     = ColourSign(colour);
    const Bitboard all = own | enemy;
    // Ranks one to four steps forward of the back rank.
    const int backRank = colour == White ? 0 : 7;
    const int r2       = backRank + sign;
    const int r3       = backRank + 2 * sign;
    const int r4       = backRank + 3 * sign;
    const int r5       = backRank + 4 * sign;
    for (int group = 0; group < ShelterGroups; ++group) {
        const int centreFile    = ShelterCentreFile[group];
        const int centreBits    = 1 << centreFile;
        const int sideBits      = (1 << (centreFile - 1)) | (1 << (centreFile + 1));
        const int shelterBits   = centreBits | sideBits;
        const int raw = 7 * CountOnRank(all, r2, centreBits) + 6 * CountOnRank(own, r3, centreBits) +
                        2 * CountOnRank(own, r4, centreBits) + 4 * CountOnRank(own, r2, sideBits) +
                        2 * CountOnRank(own, r3, sideBits) + 2 * CountOnRank(own, r4, sideBits) -
                        4 * CountOnRank(enemy, r3, shelterBits) -
                        3 * CountOnRank(enemy, r4, shelterBits) -
                        1 * CountOnRank(enemy, r5, shelterBits);
        KingShelter& shelter = shelters[group];
        shelter.raw          = static_cast<std::int8_t>(raw);
        const int enemyPawns = CountBits(enemy & ShelterFiles(centreFile));
        shelter.missingEnemies = enemyPawns < 3 ? 3 - enemyPawns : 0;
        shelter.noSidePawns    = (own & AdjacentFilesMask[centreFile]) == 0;
        shelter.noEscape       = CountOnRank(all, r2, shelterBits) >= 3;
    }
}

Bitboard KingZone(const Board& board, int colour, int stage) {
    if (stage == Endgame)
        return 0;
    const int king          = board.kingSquare[colour];
    const Bitboard ownPawns = board.pieces[Pawn] & board.colour[colour];
    return ZoneAround[king] | (ZoneAhead[colour][king] & ownPawns);
}

int EvalKingSafety(const Board& board, int colour, int stage, const ShelterTable& shelters,
                   Bitboard zone, ZoneAttackers attackers) {
    if (stage == Endgame)
        return 0;
    const int weight           = StageWeight[stage];
    const int sign             = ColourSign(colour);
    const int enemyColour      = colour ^ 1;
    const int group            = ShelterGroup[FileOf(board.kingSquare[colour])];
    const KingShelter& shelter = shelters[group];

    const int shelterScore = sign * weight * shelter.raw;
    int score              = shelterScore;

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
    const int magnitude = shelterScore < 0 ? -shelterScore : shelterScore;
    if (!(total < 2 && magnitude > 14 * weight)) {
        const int penalty = magnitude < 10 * weight ? total * (5 * heavy + 3 * minors)
                                                    : total * (3 * heavy + 2 * minors);
        score -= sign * penalty;
    }

    // Few enemy pawns on the shelter files leave them open for its rooks, unless its own king
    // lives on those files too.
    const Bitboard shelterFiles = ShelterFiles(ShelterCentreFile[group]);
    if ((SquareBit[board.kingSquare[enemyColour]] & shelterFiles) == 0)
        score -= sign * 2 * weight * shelter.missingEnemies;

    if (shelter.noSidePawns)
        score -= sign * 3 * weight;

    if (shelter.noEscape)
        score -= sign * NoEscapePenalty;

    return score;
}

} // namespace tarvo
