#pragma once
// The engine's shared position and move types: the board with its bitboards, the 32-bit move word, the fixed-size move list and the undo record.
// Everything is a plain value: a Board owns no heap memory and is copied with `=`.

#include <array>
#include <cstdint>

namespace tarvo {

using Bitboard = std::uint64_t;
using Move     = std::uint32_t;

// Squares: a1 = 0, h1 = 7, a8 = 56, h8 = 63; file = square & 7, rank = square >> 3.
inline constexpr int White = 0;
inline constexpr int Black = 1;

inline constexpr int NoPiece = 0;
inline constexpr int Pawn    = 1;
inline constexpr int Knight  = 2;
inline constexpr int Bishop  = 3;
inline constexpr int Rook    = 4;
inline constexpr int Queen   = 5;
inline constexpr int King    = 6;

// Castling rights: bit set = right still held.
inline constexpr int WhiteKingSide  = 1;
inline constexpr int BlackKingSide  = 2;
inline constexpr int WhiteQueenSide = 4;
inline constexpr int BlackQueenSide = 8;

inline constexpr int MaxMoves        = 256;
inline constexpr int HistoryCapacity = 1024;
inline constexpr int MaxPly          = 64;

// Reserved move words: 0 is written "null", 1 "none"; 1 also marks "no move" everywhere.
inline constexpr Move NullMove = 0;
inline constexpr Move NoMove   = 1;

// Move word layout:
//   bits  0-5   0x3f      from      origin square
//   bits  6-11  0xfc0     to        destination square
//   bits 12-14  0x7000    piece     type of the moving piece (1..6)
//   bits 15-17  0x38000   captured  type of the captured piece; Pawn for en passant
//   bit  18     0x40000   EnPassantFlag
//   bit  19     0x80000   DoubleStepFlag
//   bit  20     0x100000  CastlingFlag   (to is the castling rook's square: the king "takes"
//                                         its own rook, e1h1, e8a8, so any king and rook
//                                         placement has one word with from != to)
//   bit  21     0x200000  PromotionFlag
//   bits 22-23  0xc00000  promotion  0 queen, 1 knight, 2 rook, 3 bishop
//   bits 24-31            always 0
inline constexpr Move FromMask       = 0x3f;
inline constexpr Move ToMask         = 0xfc0;
inline constexpr Move PieceMask      = 0x7000;
inline constexpr Move CapturedMask   = 0x38000;
inline constexpr Move EnPassantFlag  = 0x40000;
inline constexpr Move DoubleStepFlag = 0x80000;
inline constexpr Move CastlingFlag   = 0x100000;
inline constexpr Move PromotionFlag  = 0x200000;
inline constexpr Move PromotionMask  = 0xc00000;
// A move with none of these bits is quiet: no capture, no en passant, no promotion.
inline constexpr Move TacticalMask = CapturedMask | PromotionFlag;

constexpr int MoveFrom(Move move) { return static_cast<int>(move & FromMask); }
constexpr int MoveTo(Move move) { return static_cast<int>((move & ToMask) >> 6); }
constexpr int MovePiece(Move move) { return static_cast<int>((move & PieceMask) >> 12); }
constexpr int MoveCaptured(Move move) { return static_cast<int>((move & CapturedMask) >> 15); }
constexpr int MovePromotion(Move move) { return static_cast<int>((move & PromotionMask) >> 22); }
constexpr bool IsQuiet(Move move) { return (move & TacticalMask) == 0; }

constexpr Move MakeMoveWord(int from, int to, int piece, int captured = NoPiece, Move flags = 0) {
    return static_cast<Move>(from) | (static_cast<Move>(to) << 6) |
           (static_cast<Move>(piece) << 12) | (static_cast<Move>(captured) << 15) | flags;
}
constexpr Move PromotionWord(int index) { return PromotionFlag | (static_cast<Move>(index) << 22); }

// Where king and rook end in a castling move from `from` (the king's square) to `to` (the
// rook's square): on the g and f files when the rook stands beyond the king towards file h,
// on the c and d files otherwise, on the king's rank.
constexpr int CastlingKingTo(int from, int to) { return (from & 56) + (to > from ? 6 : 2); }
constexpr int CastlingRookTo(int from, int to) { return (from & 56) + (to > from ? 5 : 3); }

// PromotionPiece[index]: the piece type a promotion index stands for ("qnrb").
inline constexpr std::array<int, 4> PromotionPiece = {Queen, Knight, Rook, Bishop};

static_assert(MakeMoveWord(36, 43, Pawn, Pawn, EnPassantFlag) == 0x49AE4);
static_assert(MakeMoveWord(4, 7, King, NoPiece, CastlingFlag) == 0x1061C4);
static_assert(MakeMoveWord(60, 56, King, NoPiece, CastlingFlag) == 0x106E3C);
static_assert(MakeMoveWord(49, 56, Pawn, Rook, PromotionWord(1)) == 0x621E31);

// Castling as set up by the FEN, fixed for the rest of the game: a right never comes back, and
// its king and rook never move while it is held. Index i stands for the right with bit 1 << i
// (White king side, Black king side, White queen side, Black queen side); entries of rights
// the FEN did not give are unused.
struct CastlingSetup {
    std::array<std::uint8_t, 4> rook; // the castling rook's square
    // Squares that must be empty: those king and rook cross or reach, except their own two.
    std::array<Bitboard, 4> empty;
    // Squares that must not be attacked: the king's path, destination included, start excluded.
    std::array<Bitboard, 4> kingPath;
    std::array<std::uint8_t, 64> mask; // mask[s]: the rights that survive a move from or to s
    std::array<std::uint64_t, 16> key; // key[rights]: the key share of a set of rights
};

struct Board {
    std::uint32_t historyCount;
    std::uint8_t sideToMove;
    std::array<std::uint8_t, 64> squares; // piece type per square; colour is in `colour`
    std::uint8_t epFile;                  // 0 none, else 1..8 = file a..h of the double-stepped pawn
    std::uint8_t castling;
    std::array<std::uint8_t, 2> kingSquare;
    std::uint8_t halfmoveClock;
    std::uint16_t fullmoveNumber; // from the FEN; the position command counts the moves it plays
    std::array<Bitboard, 8> pieces; // by piece type, both colours; entries 0 and 7 stay empty
    Bitboard occupied;
    std::array<Bitboard, 2> colour;
    std::uint64_t hashKey;
    CastlingSetup castlingSetup;
    // history[i]: key of the position in which the (i+1)-th move since set-up was made.
    std::array<std::uint64_t, HistoryCapacity> history;
};

struct MoveList {
    std::uint32_t count = 0;
    std::array<std::int32_t, MaxMoves> score;
    std::array<Move, MaxMoves> moves;
};

struct UndoInfo {
    std::uint32_t epFile;
    std::uint8_t castling;
    std::uint32_t historyCount;
    std::uint8_t sideToMove;
    std::array<std::uint8_t, 2> kingSquare;
    std::uint64_t hashKey;
    std::uint32_t halfmoveClock;
};

} // namespace tarvo
