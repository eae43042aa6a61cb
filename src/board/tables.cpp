#include "board/tables.h"

namespace tarvo {

PairTable RankAttacks;
PairTable FileAttacks;
PairTable AntiDiagAttacks;
PairTable DiagAttacks;
PairTable LineThrough;
PairTable Between;
PairTable BehindSquare;

namespace {

// The squares reached from `square` along the direction (fileStep, rankStep) and its opposite,
// each up to and including the first square of `blockers`.
Bitboard WalkLine(int square, int fileStep, int rankStep, Bitboard blockers) {
    Bitboard set = 0;
    for (const int sign : {1, -1}) {
        int file = (square & 7) + sign * fileStep;
        int rank = (square >> 3) + sign * rankStep;
        while (file >= 0 && file < 8 && rank >= 0 && rank < 8) {
            const int target = 8 * rank + file;
            set |= SquareBit[target];
            if (blockers & SquareBit[target])
                break;
            file += sign * fileStep;
            rank += sign * rankStep;
        }
    }
    return set;
}

// Fills one line's row of `table` for `square`: every occupancy of the inner squares `inner`
// through the index function the lookups use.
void FillLine(PairTable& table, int square, Bitboard inner, int fileStep, int rankStep,
              int (*index)(Bitboard, int)) {
    Bitboard subset = 0;
    do {
        table[square][index(subset, square)] = WalkLine(square, fileStep, rankStep, subset);
        subset                               = (subset - inner) & inner;
    } while (subset != 0);
}

// Sliding attacks from `from` (straight or diagonal lines) with only `blocker` occupied.
Bitboard SlideWithOnly(int from, int blocker, bool straight) {
    Bitboard set        = 0;
    const int(*dirs)[2] = straight ? tables_detail::StraightSteps : tables_detail::DiagonalSteps;
    for (int i = 0; i < 4; ++i) {
        int file = (from & 7) + dirs[i][0];
        int rank = (from >> 3) + dirs[i][1];
        while (file >= 0 && file < 8 && rank >= 0 && rank < 8) {
            const int target = 8 * rank + file;
            set |= SquareBit[target];
            if (target == blocker)
                break;
            file += dirs[i][0];
            rank += dirs[i][1];
        }
    }
    return set;
}

} // namespace

void InitTables() {
    for (int square = 0; square < 64; ++square) {
        FillLine(RankAttacks, square, (0xffULL << (square & 56)) & 0x7e7e7e7e7e7e7e7eULL, 1, 0,
                 RankIndex);
        FillLine(FileAttacks, square, InnerFile[square], 0, 1, FileIndex);
        FillLine(DiagAttacks, square, InnerDiag[square], 1, 1, DiagIndex);
        FillLine(AntiDiagAttacks, square, InnerAntiDiag[square], 1, -1, AntiDiagIndex);
    }

    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
            LineThrough[a][b]  = 0;
            Between[a][b]      = 0;
            BehindSquare[a][b] = 0;
            bool straight      = false;
            if (RookEmptyAttacks[a] & SquareBit[b])
                straight = true;
            else if (!(BishopEmptyAttacks[a] & SquareBit[b]))
                continue;
            const Bitboard lines = straight ? RookEmptyAttacks[a] & RookEmptyAttacks[b]
                                            : BishopEmptyAttacks[a] & BishopEmptyAttacks[b];
            LineThrough[a][b]    = lines | SquareBit[a] | SquareBit[b];
            Between[a][b]        = SlideWithOnly(a, b, straight) & SlideWithOnly(b, a, straight);
            BehindSquare[a][b]   = KingAttacks[a] & ~Between[a][b] & lines;
        }
    }
}

} // namespace tarvo
