#include "eval/eval_helpers.h"

#include <gtest/gtest.h>

#include "board/fen.h"

namespace tarvo::test {
namespace {

constexpr const char* PieceLetters = " pnbrqk";

// The FEN letter of the piece on `square`, or 0 when it is empty; `swapColour` gives the piece
// to the other side.
char LetterAt(const Board& board, int square, bool swapColour) {
    const int type = board.squares[square];
    if (type == NoPiece)
        return 0;
    bool white = (board.colour[White] >> square) & 1;
    if (swapColour)
        white = !white;
    const char letter = PieceLetters[type];
    return white ? static_cast<char>(letter - 'a' + 'A') : letter;
}

std::string Placement(const Board& board, bool mirror) {
    std::string text;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const int source = mirror ? (7 - rank) * 8 + file : rank * 8 + file;
            const char letter = LetterAt(board, source, mirror);
            if (letter == 0) {
                ++empty;
                continue;
            }
            if (empty > 0)
                text += static_cast<char>('0' + empty);
            empty = 0;
            text += letter;
        }
        if (empty > 0)
            text += static_cast<char>('0' + empty);
        if (rank > 0)
            text += '/';
    }
    return text;
}

std::string Castling(int rights) {
    std::string text;
    if (rights & WhiteKingSide)
        text += 'K';
    if (rights & WhiteQueenSide)
        text += 'Q';
    if (rights & BlackKingSide)
        text += 'k';
    if (rights & BlackQueenSide)
        text += 'q';
    return text.empty() ? "-" : text;
}

// White's rights move to Black's bits and back.
int SwappedCastling(int rights) {
    return ((rights & (WhiteKingSide | WhiteQueenSide)) << 1) |
           ((rights & (BlackKingSide | BlackQueenSide)) >> 1);
}

// The square behind a pawn that has just double-stepped; `sideToMove` is the side that may take it.
std::string EnPassant(int epFile, int sideToMove) {
    if (epFile == 0)
        return "-";
    std::string text(1, static_cast<char>('a' + epFile - 1));
    text += sideToMove == White ? '6' : '3';
    return text;
}

} // namespace

Board BoardFromFen(const char* fen) {
    Board board{};
    const char* reason = nullptr;
    EXPECT_TRUE(SetFromFen(board, fen, &reason)) << fen << ": " << (reason ? reason : "");
    return board;
}

std::string MirroredFen(const Board& board) {
    const int side = board.sideToMove ^ 1;
    return Placement(board, true) + (side == White ? " w " : " b ") +
           Castling(SwappedCastling(board.castling)) + " " + EnPassant(board.epFile, side) +
           " 0 1";
}

std::string SideSwappedFen(const Board& board) {
    return Placement(board, false) + (board.sideToMove == White ? " b " : " w ") +
           Castling(board.castling) + " - 0 1";
}

} // namespace tarvo::test
