#pragma once
// Precomputed attack tables, square-pair tables, pawn masks, Zobrist keys, the bit scan and the
// attack test. Sliding attacks are read per line (rank, file, two diagonals): the occupancy of
// the line's inner squares, gathered from the board's one occupancy word into a 6-bit index,
// selects the attack set, so make and unmake keep no other occupancy up to date. Small tables
// are built at compile time; the seven 64x64 tables are filled by InitTables(), which the
// program calls once before any position is set up.

#include "board/types.h"

#include <array>
#include <cstdint>
#if defined(__BMI2__)
#include <immintrin.h>
#endif

namespace tarvo {

using SquareTable = std::array<Bitboard, 64>;
using PairTable   = std::array<std::array<Bitboard, 64>, 64>;

namespace tables_detail {

constexpr int FileOf(int square) {
    return square & 7;
}
constexpr int RankOf(int square) {
    return square >> 3;
}
constexpr Bitboard Bit(int square) {
    return Bitboard{1} << square;
}

// The squares reached by single steps (fileStep, rankStep) from a square, staying on the board.
constexpr Bitboard StepsFrom(int square, const int (*steps)[2], int count) {
    Bitboard set = 0;
    for (int i = 0; i < count; ++i) {
        const int file = FileOf(square) + steps[i][0];
        const int rank = RankOf(square) + steps[i][1];
        if (file >= 0 && file < 8 && rank >= 0 && rank < 8)
            set |= Bit(8 * rank + file);
    }
    return set;
}

constexpr Bitboard RaysFrom(int square, const int (*directions)[2], int count) {
    Bitboard set = 0;
    for (int i = 0; i < count; ++i) {
        int file = FileOf(square) + directions[i][0];
        int rank = RankOf(square) + directions[i][1];
        while (file >= 0 && file < 8 && rank >= 0 && rank < 8) {
            set |= Bit(8 * rank + file);
            file += directions[i][0];
            rank += directions[i][1];
        }
    }
    return set;
}

inline constexpr int KnightSteps[8][2]   = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                            {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
inline constexpr int KingSteps[8][2]     = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                            {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
inline constexpr int DiagonalSteps[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
inline constexpr int StraightSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

// A splitmix64 stream: fixed, well-mixed constants, identical on every build and run.
constexpr std::uint64_t MixedKey(std::uint64_t index) {
    std::uint64_t z = 0x7a3d1c5b9e2f4861ULL + (index + 1) * 0x9e3779b97f4a7c15ULL;
    z               = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z               = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

} // namespace tables_detail

// SquareBit[s]: the bitboard holding square s alone.
inline constexpr SquareTable SquareBit = [] {
    SquareTable table{};
    for (int square = 0; square < 64; ++square)
        table[square] = tables_detail::Bit(square);
    return table;
}();

// PawnAttacks[c][s]: the squares a pawn of colour c on s attacks. Read backwards,
// PawnAttacks[c ^ 1][s] is where a pawn of colour c must stand to attack s.
inline constexpr std::array<SquareTable, 2> PawnAttacks = [] {
    std::array<SquareTable, 2> table{};
    constexpr int whiteSteps[2][2] = {{-1, 1}, {1, 1}};
    constexpr int blackSteps[2][2] = {{-1, -1}, {1, -1}};
    for (int square = 0; square < 64; ++square) {
        table[White][square] = tables_detail::StepsFrom(square, whiteSteps, 2);
        table[Black][square] = tables_detail::StepsFrom(square, blackSteps, 2);
    }
    return table;
}();

// KnightAttacks[s]: the squares a knight standing on s attacks.
inline constexpr SquareTable KnightAttacks = [] {
    SquareTable table{};
    for (int square = 0; square < 64; ++square)
        table[square] = tables_detail::StepsFrom(square, tables_detail::KnightSteps, 8);
    return table;
}();

// KingAttacks[s]: the squares next to s.
inline constexpr SquareTable KingAttacks = [] {
    SquareTable table{};
    for (int square = 0; square < 64; ++square)
        table[square] = tables_detail::StepsFrom(square, tables_detail::KingSteps, 8);
    return table;
}();

// BishopEmptyAttacks[s]: both diagonals through s on an empty board, s excluded.
inline constexpr SquareTable BishopEmptyAttacks = [] {
    SquareTable table{};
    for (int square = 0; square < 64; ++square)
        table[square] = tables_detail::RaysFrom(square, tables_detail::DiagonalSteps, 4);
    return table;
}();

// RookEmptyAttacks[s]: rank and file through s on an empty board, s excluded.
inline constexpr SquareTable RookEmptyAttacks = [] {
    SquareTable table{};
    for (int square = 0; square < 64; ++square)
        table[square] = tables_detail::RaysFrom(square, tables_detail::StraightSteps, 4);
    return table;
}();

// QueenEmptyAttacks[s]: all eight lines from s on an empty board.
inline constexpr SquareTable QueenEmptyAttacks = [] {
    SquareTable table{};
    for (int square = 0; square < 64; ++square)
        table[square] = BishopEmptyAttacks[square] | RookEmptyAttacks[square];
    return table;
}();

// FileMask[f]: the eight squares of file f.
inline constexpr std::array<Bitboard, 8> FileMask = {
    0x0101010101010101ULL, 0x0202020202020202ULL, 0x0404040404040404ULL, 0x0808080808080808ULL,
    0x1010101010101010ULL, 0x2020202020202020ULL, 0x4040404040404040ULL, 0x8080808080808080ULL};

// AdjacentFilesMask[f]: the files beside file f (one file for a and h).
inline constexpr std::array<Bitboard, 8> AdjacentFilesMask = [] {
    std::array<Bitboard, 8> table{};
    for (int file = 0; file < 8; ++file)
        table[file] = (file > 0 ? FileMask[file - 1] : 0) | (file < 7 ? FileMask[file + 1] : 0);
    return table;
}();

// RankMask[r]: the squares of rank r for r in 0..6; entry 7 is deliberately empty, and code
// that indexes it gets no squares.
inline constexpr std::array<Bitboard, 8> RankMask = {
    0xffULL,         0xff00ULL,         0xff0000ULL,         0xff000000ULL,
    0xff00000000ULL, 0xff0000000000ULL, 0xff000000000000ULL, 0};

// The edge files and the ranks the pawn generators test against, by name.
inline constexpr Bitboard FileA = FileMask[0];
inline constexpr Bitboard FileH = FileMask[7];
inline constexpr Bitboard Rank1 = RankMask[0];
inline constexpr Bitboard Rank2 = RankMask[1];
inline constexpr Bitboard Rank3 = RankMask[2];
inline constexpr Bitboard Rank6 = RankMask[5];
inline constexpr Bitboard Rank7 = RankMask[6];
inline constexpr Bitboard Rank8 = 0xff00000000000000ULL;

// RanksAhead[c][r]: every square on the ranks strictly ahead of rank r, seen from colour c.
inline constexpr std::array<std::array<Bitboard, 8>, 2> RanksAhead = [] {
    std::array<std::array<Bitboard, 8>, 2> table{};
    for (int rank = 0; rank < 8; ++rank) {
        table[White][rank] = rank == 7 ? 0 : ~Bitboard{0} << (8 * (rank + 1));
        table[Black][rank] = rank == 0 ? 0 : ~Bitboard{0} >> (8 * (8 - rank));
    }
    return table;
}();

// FrontSpan[c][s]: own and adjacent files, ranks strictly ahead of s for colour c.
inline constexpr std::array<SquareTable, 2> FrontSpan = [] {
    std::array<SquareTable, 2> table{};
    for (int colour = 0; colour < 2; ++colour)
        for (int square = 0; square < 64; ++square)
            table[colour][square] = (FileMask[square & 7] | AdjacentFilesMask[square & 7]) &
                                    RanksAhead[colour][square >> 3];
    return table;
}();

// AdjacentFilesAhead[c][s]: adjacent files only, ranks strictly ahead of s for colour c.
inline constexpr std::array<SquareTable, 2> AdjacentFilesAhead = [] {
    std::array<SquareTable, 2> table{};
    for (int colour = 0; colour < 2; ++colour)
        for (int square = 0; square < 64; ++square)
            table[colour][square] = AdjacentFilesMask[square & 7] & RanksAhead[colour][square >> 3];
    return table;
}();

// PopCount8[b]: the number of set bits of the byte b.
inline constexpr std::array<std::uint8_t, 256> PopCount8 = [] {
    std::array<std::uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value)
        for (int bits = value; bits != 0; bits &= bits - 1)
            ++table[value];
    return table;
}();

// Inner squares of the lines through s, the line's two end squares left out (nothing lies
// beyond them to block): InnerFile along the file, InnerDiag along the a1-h8 diagonal,
// InnerAntiDiag along the a8-h1 diagonal. The rank's inner squares are files b to g.
inline constexpr SquareTable InnerFile = [] {
    SquareTable table{};
    for (int square = 0; square < 64; ++square)
        table[square] = FileMask[square & 7] & 0x00ffffffffffff00ULL;
    return table;
}();
inline constexpr SquareTable InnerDiag = [] {
    SquareTable table{};
    constexpr int up[1][2] = {{1, 1}}, down[1][2] = {{-1, -1}};
    for (int square = 0; square < 64; ++square)
        table[square] = (tables_detail::RaysFrom(square, up, 1) |
                         tables_detail::RaysFrom(square, down, 1) | tables_detail::Bit(square)) &
                        0x007e7e7e7e7e7e00ULL;
    return table;
}();
inline constexpr SquareTable InnerAntiDiag = [] {
    SquareTable table{};
    constexpr int up[1][2] = {{-1, 1}}, down[1][2] = {{1, -1}};
    for (int square = 0; square < 64; ++square)
        table[square] = (tables_detail::RaysFrom(square, up, 1) |
                         tables_detail::RaysFrom(square, down, 1) | tables_detail::Bit(square)) &
                        0x007e7e7e7e7e7e00ULL;
    return table;
}();

// The 6-bit index of a line's inner occupancy. Built for a processor with a fast bit-extract
// instruction, it gathers the inner squares' bits with it; otherwise a multiplication gathers
// them into the top six bits, a different but equally unique numbering (InitTables fills the
// tables through these same functions, so either way an entry matches its index). Early
// processors of one maker have the instruction but run it slowly, so they take the product.
// A rank's squares are consecutive bits already: a shift and a mask read them.
inline int RankIndex(Bitboard occupied, int square) {
    return static_cast<int>((occupied >> ((square & 56) + 1)) & 63);
}
#if defined(__BMI2__) && !defined(__znver1) && !defined(__znver2)
inline int FileIndex(Bitboard occupied, int square) {
    return static_cast<int>(_pext_u64(occupied, InnerFile[square]));
}
inline int DiagIndex(Bitboard occupied, int square) {
    return static_cast<int>(_pext_u64(occupied, InnerDiag[square]));
}
inline int AntiDiagIndex(Bitboard occupied, int square) {
    return static_cast<int>(_pext_u64(occupied, InnerAntiDiag[square]));
}
#else
// The file is shifted onto file a; the c2-h7 diagonal as multiplier sends rank 7 to bit 58 and
// rank 2 to bit 63, and no two partial products share a bit, so nothing carries.
inline int FileIndex(Bitboard occupied, int square) {
    return static_cast<int>(
        (((occupied >> (square & 7)) & 0x0001010101010100ULL) * 0x0080402010080400ULL) >> 58);
}
// A diagonal has one square per file; the b-file as multiplier stacks them onto rank 8, files b
// to g at bits 58 to 63, again without carries.
inline int DiagIndex(Bitboard occupied, int square) {
    return static_cast<int>(((occupied & InnerDiag[square]) * 0x0202020202020202ULL) >> 58);
}
inline int AntiDiagIndex(Bitboard occupied, int square) {
    return static_cast<int>(((occupied & InnerAntiDiag[square]) * 0x0202020202020202ULL) >> 58);
}
#endif

// Sliding attacks [square][RankIndex and the like]: the squares reached along the line in
// both directions up to and including the first occupied one; pieces of either colour block.
extern PairTable RankAttacks;
extern PairTable FileAttacks;
extern PairTable AntiDiagAttacks;
extern PairTable DiagAttacks;

// Square pairs [a][b], all empty unless a != b share a rank, file or diagonal.
// LineThrough[a][b]: the whole line through a and b, edge to edge, both included.
extern PairTable LineThrough;
// Between[a][b]: the squares strictly between a and b.
extern PairTable Between;
// BehindSquare[a][b]: the neighbour of a on the line, on the side away from b (or none).
extern PairTable BehindSquare;

// Zobrist keys. PieceKey[(type - 1) + 6 * colour][square]; SideKey when Black is to move;
// CastlingRightKey[i][f] for castling right i (bit 1 << i) with its rook on file f, XORed over
// the rights held (the board keeps the sums in castlingSetup.key); EnPassantKey[epFile] for
// epFile 1..8 (entry 0 is 0, so an empty en-passant file adds nothing).
inline constexpr std::array<SquareTable, 12> PieceKey = [] {
    std::array<SquareTable, 12> table{};
    for (int row = 0; row < 12; ++row)
        for (int square = 0; square < 64; ++square)
            table[row][square] = tables_detail::MixedKey(64 * row + square);
    return table;
}();
inline constexpr std::uint64_t SideKey                      = tables_detail::MixedKey(768);
inline constexpr std::array<std::uint64_t, 4> CastleBaseKey = {
    tables_detail::MixedKey(769), tables_detail::MixedKey(770), tables_detail::MixedKey(771),
    tables_detail::MixedKey(772)};
// A right whose rook stands in its standard corner keeps CastleBaseKey, so standard positions
// keep their keys; rooks on other files get keys of their own, so positions that differ only
// in which rook may castle never share a key.
inline constexpr std::array<std::array<std::uint64_t, 8>, 4> CastlingRightKey = [] {
    std::array<std::array<std::uint64_t, 8>, 4> table{};
    for (int right = 0; right < 4; ++right)
        for (int file = 0; file < 8; ++file)
            table[right][file] = file == (right < 2 ? 7 : 0)
                                     ? CastleBaseKey[right]
                                     : tables_detail::MixedKey(781 + 8 * right + file);
    return table;
}();
inline constexpr std::array<std::uint64_t, 9> EnPassantKey = [] {
    std::array<std::uint64_t, 9> table{};
    for (int file = 1; file <= 8; ++file)
        table[file] = tables_detail::MixedKey(772 + file);
    return table;
}();

// The index of the lowest set bit; `set` must not be empty. One instruction (bsf, or tzcnt
// where the build targets a processor that has it).
constexpr int BitScan(Bitboard set) {
    return __builtin_ctzll(set);
}

// Sliding attacks from `square` with the given occupancy, or the board's. Both colours block;
// callers remove their own pieces where they want moves.
inline Bitboard RankAttacksFrom(Bitboard occupied, int square) {
    return RankAttacks[square][RankIndex(occupied, square)];
}
inline Bitboard FileAttacksFrom(Bitboard occupied, int square) {
    return FileAttacks[square][FileIndex(occupied, square)];
}
inline Bitboard AntiDiagAttacksFrom(Bitboard occupied, int square) {
    return AntiDiagAttacks[square][AntiDiagIndex(occupied, square)];
}
inline Bitboard DiagAttacksFrom(Bitboard occupied, int square) {
    return DiagAttacks[square][DiagIndex(occupied, square)];
}
inline Bitboard BishopAttacksFrom(Bitboard occupied, int square) {
    return AntiDiagAttacksFrom(occupied, square) | DiagAttacksFrom(occupied, square);
}
inline Bitboard RookAttacksFrom(Bitboard occupied, int square) {
    return RankAttacksFrom(occupied, square) | FileAttacksFrom(occupied, square);
}
inline Bitboard QueenAttacksFrom(Bitboard occupied, int square) {
    return BishopAttacksFrom(occupied, square) | RookAttacksFrom(occupied, square);
}
inline Bitboard RankAttacksFrom(const Board& board, int square) {
    return RankAttacksFrom(board.occupied, square);
}
inline Bitboard FileAttacksFrom(const Board& board, int square) {
    return FileAttacksFrom(board.occupied, square);
}
inline Bitboard AntiDiagAttacksFrom(const Board& board, int square) {
    return AntiDiagAttacksFrom(board.occupied, square);
}
inline Bitboard DiagAttacksFrom(const Board& board, int square) {
    return DiagAttacksFrom(board.occupied, square);
}
inline Bitboard BishopAttacksFrom(const Board& board, int square) {
    return BishopAttacksFrom(board.occupied, square);
}
inline Bitboard RookAttacksFrom(const Board& board, int square) {
    return RookAttacksFrom(board.occupied, square);
}
inline Bitboard QueenAttacksFrom(const Board& board, int square) {
    return QueenAttacksFrom(board.occupied, square);
}

// Whether a piece of `byColour` attacks `square`. Pieces of both colours block lines,
// including the king of the side being attacked, so the square behind an attacked king on the
// attacking line reads as safe.
inline bool IsSquareAttacked(const Board& board, int byColour, int square) {
    const Bitboard mine = board.colour[byColour];
    if (PawnAttacks[byColour ^ 1][square] & (board.pieces[Pawn] | board.pieces[Bishop]) & mine)
        return true;
    if (KnightAttacks[square] & board.pieces[Knight] & mine)
        return true;
    if (KingAttacks[square] & (board.pieces[King] | board.pieces[Queen]) & mine)
        return true;
    const Bitboard queens = board.pieces[Queen] & mine;
    if (BishopAttacksFrom(board, square) & ((board.pieces[Bishop] & mine) | queens))
        return true;
    return (RookAttacksFrom(board, square) & ((board.pieces[Rook] & mine) | queens)) != 0;
}

// Fills the run-time tables. Called once, before the first position is set up.
void InitTables();

} // namespace tarvo
