#include "eval/pieces.h"

#include <array>

#include "board/tables.h"
#include "eval/geometry.h"

namespace tarvo {
namespace {

// Square tables: entry s is read by a Black piece on s, entry s ^ 56 by a White one.
// clang-format off
constexpr std::array<int, 64> KnightOutpostTable = {
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,  10,  10,   0,   0,   0,
      0,   6,   7,  15,  15,   5,  10,   0,
      0,   0,   5,  10,  10,   5,   7,   0,
      0,   0,   3,   3,   3,   3,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
};

constexpr std::array<int, 64> BishopSquareTable = {
    -10, -10, -10, -10, -10, -10, -10, -10,
    -25,   0,   0,   0,   0,   0,   0, -10,
    -10,   0,   5,  11,  11,   5,   0,   0,
    -10,   0,   5,  10,  10,   5,   0,   1,
    -10,   0,   7,  10,  10,   7,   0,   5,
    -10,   5,   5,   5,   5,   5,   5,   0,
      0,   3,   2,   0,   0,   0,  10,   2,
      0,   0,   0,   0,   0,   0,   0,  -5,
};

// Mobility tables, [stage][attack count]; a bishop attacks at most 13 squares, a rook 14, and a
// queen 27, which its table reads halved. Bishops share one row for stages 0 and 1.
constexpr std::array<std::array<int, 14>, 3> BishopMobility = {{
    {-15, -5,  0, 5, 10, 15, 19, 23, 26, 28, 30, 31, 32, 32},
    {-15, -5,  0, 5, 10, 15, 19, 23, 26, 28, 30, 31, 32, 32},
    {-20, -10, -5, 0,  5, 10, 15, 19, 23, 26, 29, 31, 33, 34},
}};

constexpr std::array<std::array<int, 15>, 3> RookMobility = {{
    {-10,  -7, -4, -2, 0,  2,  4,  6,  8, 10, 11, 12, 12, 13, 13},
    {-10,  -5, -1,  3, 7, 11, 14, 17, 20, 23, 26, 29, 31, 33, 34},
    {-20, -14, -8, -4, 0,  4,  8, 12, 16, 20, 23, 26, 29, 31, 32},
}};

constexpr std::array<std::array<int, 14>, 3> QueenMobility = {{
    { -2,  -1,  0, 0,  1,  2,  2,  2,  3,  3,  3,  3,  3,  3},
    { -3,  -2, -1, 1,  2,  3,  4,  4,  4,  4,  4,  4,  4,  4},
    {-25, -15, -8, 5, 15, 22, 23, 23, 24, 24, 24, 24, 25, 25},
}};
// clang-format on

constexpr int BishopValue = 325;
constexpr int RookValue   = 500;
constexpr int QueenValue  = 950;

constexpr int RookOpenFileBonus     = 16;
constexpr int RookHalfOpenFileBonus = 6;
constexpr std::array<int, 3> RookSeventhRankBonus  = {20, 20, 35};
constexpr std::array<int, 3> QueenSeventhRankBonus = {10, 14, 14};
constexpr int TrappedRookPenalty                   = -50;

constexpr int SeventhRank = 6; // relative rank index

constexpr Bitboard Bit(int square) { return Bitboard{1} << square; }

// [colour]: the king squares that count as castled on that wing, and the rook squares where a
// rook stays shut in behind such a king.
constexpr std::array<Bitboard, 2> KingSideKing  = {Bit(5) | Bit(6), Bit(61) | Bit(62)};
constexpr std::array<Bitboard, 2> KingSideRook  = {Bit(6) | Bit(7) | Bit(15),
                                                   Bit(62) | Bit(63) | Bit(55)};
constexpr std::array<Bitboard, 2> QueenSideKing = {Bit(1) | Bit(2), Bit(57) | Bit(58)};
constexpr std::array<Bitboard, 2> QueenSideRook = {Bit(0) | Bit(1) | Bit(8),
                                                   Bit(56) | Bit(57) | Bit(48)};

// Every square a pawn of `colour` attacks; captures never wrap across the a- and h-files.
Bitboard PawnAttackSpan(Bitboard pawns, int colour) {
    if (colour == White)
        return ((pawns & ~FileMask[0]) << 7) | ((pawns & ~FileMask[7]) << 9);
    return ((pawns & ~FileMask[0]) >> 9) | ((pawns & ~FileMask[7]) >> 7);
}

} // namespace

int EvalKnightOutposts(const Board& board, int colour, Bitboard knights) {
    const Bitboard ownPawns = board.pieces[Pawn] & board.colour[colour];
    Bitboard supported      = knights & PawnAttackSpan(ownPawns, colour);
    if (supported == 0)
        return 0;
    const Bitboard enemyPawns = board.pieces[Pawn] & board.colour[colour ^ 1];
    int score = 0;
    for (; supported != 0; supported &= supported - 1) {
        const int square = BitScan(supported);
        if ((AdjacentFilesAhead[colour][square] & enemyPawns) == 0)
            score += KnightOutpostTable[TableIndex(colour, square)];
    }
    return ColourSign(colour) * score;
}

int EvalBishops(const Board& board, int colour, int stage, Bitboard enemyZone,
                ZoneAttackers& attackers) {
    int score = 0;
    for (Bitboard set = board.pieces[Bishop] & board.colour[colour]; set != 0; set &= set - 1) {
        const int square    = BitScan(set);
        const Bitboard seen = BishopAttacksFrom(board, square);
        if ((seen & enemyZone) != 0) {
            ++attackers.minors;
            ++attackers.total;
        }
        const int mobility = CountBits(seen);
        score += BishopValue + BishopMobility[stage][mobility] +
                 BishopSquareTable[TableIndex(colour, square)];
    }
    return ColourSign(colour) * score;
}

int EvalRooks(const Board& board, int colour, int stage, Bitboard enemyZone,
              ZoneAttackers& attackers) {
    const Bitboard rooks = board.pieces[Rook] & board.colour[colour];
    if (rooks == 0)
        return 0;
    const Bitboard ownPawns   = board.pieces[Pawn] & board.colour[colour];
    const Bitboard enemyPawns = board.pieces[Pawn] & board.colour[colour ^ 1];
    const Bitboard king       = Bit(board.kingSquare[colour]);

    // The trapped-rook test looks at all the colour's rooks, so while it holds every rook pays it.
    int trapped = 0;
    if ((king & KingSideKing[colour]) != 0 && (rooks & KingSideRook[colour]) != 0)
        trapped += TrappedRookPenalty;
    if ((king & QueenSideKing[colour]) != 0 && (rooks & QueenSideRook[colour]) != 0)
        trapped += TrappedRookPenalty;

    int score = 0;
    for (Bitboard set = rooks; set != 0; set &= set - 1) {
        const int square = BitScan(set);
        const Bitboard seen = RookAttacksFrom(board, square);
        if ((seen & enemyZone) != 0) {
            ++attackers.heavy;
            ++attackers.total;
        }
        score += RookValue + RookMobility[stage][CountBits(seen)];
        const Bitboard file = FileMask[FileOf(square)];
        if ((file & ownPawns) == 0)
            score += (file & enemyPawns) == 0 ? RookOpenFileBonus : RookHalfOpenFileBonus;
        if (RelativeRank(colour, square) == SeventhRank)
            score += RookSeventhRankBonus[stage];
        score += trapped;
    }
    return ColourSign(colour) * score;
}

int EvalQueens(const Board& board, int colour, int stage, Bitboard enemyZone,
               ZoneAttackers& attackers) {
    int score = 0;
    for (Bitboard set = board.pieces[Queen] & board.colour[colour]; set != 0; set &= set - 1) {
        const int square    = BitScan(set);
        const Bitboard seen = QueenAttacksFrom(board, square);
        if ((seen & enemyZone) != 0) {
            attackers.heavy += 2;
            ++attackers.total;
        }
        score += QueenValue + QueenMobility[stage][CountBits(seen) / 2];
        if (RelativeRank(colour, square) == SeventhRank)
            score += QueenSeventhRankBonus[stage];
    }
    return ColourSign(colour) * score;
}

} // namespace tarvo
