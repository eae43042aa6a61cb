#pragma once
// Test support shared by the board, search and perft tests: the perft suite of
// tests/data/perft.epd, a walk over every position a few plies from each of its lines, and
// pin lines found by walking rays square by square, independent of the engine's tables.

#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/types.h"

namespace tarvo::test {

struct SuiteLine {
    std::string fen;
    std::vector<std::pair<int, std::uint64_t>> counts; // (depth, leaf count)
};

inline std::vector<SuiteLine> ReadPerftSuite() {
    std::vector<SuiteLine> lines;
    std::ifstream in(std::string(TARVO_TEST_DATA) + "/perft.epd");
    std::string text;
    while (std::getline(in, text)) {
        const auto semicolon = text.find(';');
        if (semicolon == std::string::npos)
            continue;
        SuiteLine line;
        line.fen = text.substr(0, semicolon);
        std::istringstream fields(text.substr(semicolon));
        std::string depth;
        std::uint64_t count = 0;
        while (fields >> depth >> count)
            line.counts.emplace_back(std::stoi(depth.substr(2)), count);
        lines.push_back(line);
    }
    return lines;
}

// Plies walked from every suite line by the property tests: fewer under the sanitizers.
#ifdef TARVO_SANITIZED
inline constexpr int WalkPlies = 2;
#else
inline constexpr int WalkPlies = 3;
#endif

namespace detail {
template <typename Visit> void WalkFrom(Board& board, int plies, Visit& visit) {
    visit(board);
    if (plies == 0)
        return;
    MoveList list;
    GenerateLegalMoves(board, list);
    for (std::uint32_t i = 0; i < list.count; ++i) {
        UndoInfo undo;
        MakeMove(board, list.moves[i], undo);
        WalkFrom(board, plies - 1, visit);
        UnmakeMove(board, list.moves[i], undo);
    }
}
} // namespace detail

// Calls visit(Board&) for every position up to `plies` plies from every suite line (repeats
// included); returns the number of suite lines set up.
template <typename Visit> int WalkSuite(int plies, Visit visit) {
    int lines = 0;
    static Board board;
    for (const SuiteLine& line : ReadPerftSuite()) {
        if (!SetFromFen(board, line.fen.c_str()))
            continue;
        ++lines;
        detail::WalkFrom(board, plies, visit);
    }
    return lines;
}

// The pin lines of the side to move, found by stepping along the eight rays from its king:
// the first piece on a ray is pinned when it is its own and the next piece is an enemy slider
// of the ray's kind. Rays that run along ranks and files go to `straight`, the others to
// `diagonal`; each line holds the squares after the king up to the pinner.
inline void ReferencePinLines(const Board& board, Bitboard& straight, Bitboard& diagonal) {
    straight = diagonal   = 0;
    const int side        = board.sideToMove;
    const int king        = board.kingSquare[side];
    const int steps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    for (int ray = 0; ray < 8; ++ray) {
        const bool isStraight = ray < 4;
        Bitboard line         = 0;
        int ownSeen           = 0;
        int file = (king & 7) + steps[ray][0], rank = (king >> 3) + steps[ray][1];
        for (; file >= 0 && file < 8 && rank >= 0 && rank < 8;
             file += steps[ray][0], rank += steps[ray][1]) {
            const int square = 8 * rank + file;
            line |= Bitboard{1} << square;
            const int piece = board.squares[square];
            if (piece == NoPiece)
                continue;
            if (board.colour[side] >> square & 1) {
                if (++ownSeen > 1)
                    break;
                continue;
            }
            const bool slides = piece == Queen || piece == (isStraight ? Rook : Bishop);
            if (ownSeen == 1 && slides)
                (isStraight ? straight : diagonal) |= line;
            break;
        }
    }
}

inline std::string WriteFenOf(const Board& board) {
    return WriteFen(board);
}

// Every legal move of the board, by the engine's legal generator.
inline std::vector<Move> LegalMoves(const Board& board) {
    MoveList list;
    GenerateLegalMoves(board, list);
    return {list.moves.begin(), list.moves.begin() + list.count};
}

// Sets up `fen`; a refused text fails the test.
inline Board BoardFrom(const char* fen) {
    Board board{};
    EXPECT_TRUE(SetFromFen(board, fen)) << fen;
    return board;
}

} // namespace tarvo::test
