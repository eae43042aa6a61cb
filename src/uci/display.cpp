#include "uci/display.h"

#include <cinttypes>
#include <cstdio>

#include "board/fen.h"

namespace tarvo {

void printBoard(const Board& board) {
    constexpr char Letters[] = " pnbrqk";
    std::printf("\n +---+---+---+---+---+---+---+---+\n");
    for (int rank = 7; rank >= 0; --rank) {
        std::printf(" |");
        for (int file = 0; file < 8; ++file) {
            const int square = 8 * rank + file;
            const int type   = board.squares[square] < 7 ? board.squares[square] : 0;
            char letter      = Letters[type];
            if (type != NoPiece && (board.colour[White] >> square & 1))
                letter = static_cast<char>(letter - 'a' + 'A');
            std::printf(" %c |", letter);
        }
        std::printf(" %d\n +---+---+---+---+---+---+---+---+\n", rank + 1);
    }
    std::printf("   a   b   c   d   e   f   g   h\n\n");
    std::printf("Fen: %s\n", WriteFen(board).c_str());
    std::printf("Key: %016" PRIX64 "\n", board.hashKey);
}

} // namespace tarvo
