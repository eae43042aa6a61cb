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

enum class Line { Rank, File, AntiDiag, Diag };

// Whether `target`, a square on the `line` through `square`, is marked occupied by `index`.
// Only the line's inner squares have index bits; a diagonal square counts when its rotated
// position falls inside the 6-bit window that starts at the square's shift.
bool IsMarked(Line line, int square, int target, int index) {
    int offset = -1;
    switch (line) {
    case Line::Rank:
        offset = (target & 7) - 1;
        break;
    case Line::File:
        offset = 6 - (target >> 3);
        break;
    case Line::AntiDiag:
        offset = BitScan(AntiDiagRotBit[target]) - AntiDiagShift[square];
        break;
    case Line::Diag:
        offset = BitScan(DiagRotBit[target]) - DiagShift[square];
        break;
    }
    return offset >= 0 && offset < 6 && (index >> offset) & 1;
}

// Walks both directions of `line` from `square`, each up to and including the first square
// the index marks as occupied.
Bitboard WalkLine(Line line, int square, int index) {
    int steps[2][2] = {};
    switch (line) {
    case Line::AntiDiag:
        steps[0][0] = 1, steps[0][1] = -1;
        break;
    case Line::Diag:
        steps[0][0] = 1, steps[0][1] = 1;
        break;
    case Line::Rank:
        steps[0][0] = 1;
        break;
    case Line::File:
        steps[0][1] = 1;
        break;
    }
    steps[1][0]  = -steps[0][0];
    steps[1][1]  = -steps[0][1];
    Bitboard set = 0;
    for (const auto& step : steps) {
        int file = (square & 7) + step[0];
        int rank = (square >> 3) + step[1];
        while (file >= 0 && file < 8 && rank >= 0 && rank < 8) {
            const int target = 8 * rank + file;
            set |= SquareBit[target];
            if (IsMarked(line, square, target, index))
                break;
            file += step[0];
            rank += step[1];
        }
    }
    return set;
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
        for (int index = 0; index < 64; ++index) {
            AntiDiagAttacks[square][index] = WalkLine(Line::AntiDiag, square, index);
            DiagAttacks[square][index]     = WalkLine(Line::Diag, square, index);
            RankAttacks[square][index]     = WalkLine(Line::Rank, square, index);
            FileAttacks[square][index]     = WalkLine(Line::File, square, index);
        }
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
