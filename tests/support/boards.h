#pragma once
// Positions for the board, eval, search and perft tests: the perft suite of tests/data/perft.epd,
// a few set-up corner positions, a walk over every position a few plies from them, move text,
// and pin lines found by stepping along rays, independent of the engine's tables.

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/types.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::test {

struct SuiteLine {
    std::string fen;
    std::vector<std::pair<int, std::uint64_t>> counts; // (depth, leaf count)
};

// A suite of tests/data: perft.epd (standard chess) or perft960.epd (Fischer random).
inline std::vector<SuiteLine> ReadPerftSuite(const std::string& name = "perft.epd") {
    std::vector<SuiteLine> lines;
    std::ifstream in(TARVO_TEST_DATA "/" + name);
    for (std::string text; std::getline(in, text);) {
        const auto semicolon = text.find(';');
        if (semicolon == std::string::npos)
            continue;
        SuiteLine line{text.substr(0, semicolon), {}};
        std::istringstream fields(text.substr(semicolon));
        std::string depth;
        std::uint64_t count = 0;
        while (fields >> depth >> count)
            line.counts.emplace_back(std::stoi(depth.substr(2)), count);
        lines.push_back(line);
    }
    return lines;
}

// Positions only a FEN text can set up, which the suite's games never reach.
inline constexpr const char* CornerFens[] = {
    "4k3/8/8/3P4/8/8/8/4K3 w - e6 0 1",     // en-passant square without a pawn behind it
    "4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1",  // en-passant square occupied
    "7b/8/8/3Pp3/8/2K5/8/k7 w - e6 0 1",    // the pawn to be taken shields the king
    "7k/8/8/r2K3r/8/6N1/8/8 w - - 0 1",     // two rooks check along one rank
    "4r2k/8/8/8/4K3/2n5/8/8 w - - 0 1",     // rook and knight check
    "4r2k/8/8/8/Rb6/8/8/4K3 w - - 0 1",     // rook and bishop check
    "4k3/2N3N1/8/8/8/8/8/4K3 b - - 0 1",    // two knights check
    "5q1k/6b1/8/3pP3/8/8/1K6/8 w - d6 0 1", // pinned pawn may not take off its diagonal
};

// Fischer random castling corners, each with its right: the king does not move (g1), king and
// rook swap (f1, g1), the rook already stands on its destination (f1), the queen-side rook on
// b1 shields c1 from a rook on a1, and a castling king crossing the whole rank.
inline constexpr const char* Chess960CornerFens[] = {
    "1r4kr/8/8/8/8/8/8/6KR w Kk - 0 1",   "4k3/8/8/8/8/8/r7/5KR1 w K - 0 1",
    "rk6/8/8/8/8/8/8/4KR2 w Kq - 0 1",    "4k3/8/8/8/8/8/8/rRK5 w Q - 0 1",
    "1rk5/8/8/8/8/8/1P6/QK5R b Hb - 0 1",
};

// Plies walked from every position by the property tests: fewer under the sanitizers.
#ifdef TARVO_SANITIZED
inline constexpr int WalkPlies = 2;
#else
inline constexpr int WalkPlies = 3;
#endif

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

// Calls visit(Board&) for every position up to `plies` plies from every suite line and corner
// position, repeats included, and from every eighth line of the Fischer random suite and its
// corner positions.
template <typename Visit> void WalkSuite(int plies, Visit visit) {
    std::vector<std::pair<std::string, bool>> starts; // FEN, Fischer random
    for (const SuiteLine& line : ReadPerftSuite())
        starts.emplace_back(line.fen, false);
    for (const char* fen : CornerFens)
        starts.emplace_back(fen, false);
    const std::vector<SuiteLine> random = ReadPerftSuite("perft960.epd");
    for (std::size_t i = 0; i < random.size(); i += 8)
        starts.emplace_back(random[i].fen, true);
    for (const char* fen : Chess960CornerFens)
        starts.emplace_back(fen, true);
    static Board board;
    for (const auto& [fen, chess960] : starts) {
        EXPECT_TRUE(SetFromFen(board, fen.c_str(), nullptr, chess960)) << fen;
        WalkFrom(board, plies, visit);
    }
}

inline Board BoardFrom(const char* fen, bool chess960 = false) {
    Board board{};
    const char* reason = "";
    EXPECT_TRUE(SetFromFen(board, fen, &reason, chess960)) << fen << ": " << reason;
    return board;
}

// Castling as the king's move (e1g1), or with `chess960` as the king taking its rook (e1h1).
inline std::string MoveText(Move move, bool chess960 = false) {
    const auto square = [](int s) {
        return std::string{char('a' + (s & 7)), char('1' + (s >> 3))};
    };
    const int from = MoveFrom(move);
    const int to =
        (move & CastlingFlag) && !chess960 ? CastlingKingTo(from, MoveTo(move)) : MoveTo(move);
    std::string text = square(from) + square(to);
    if (move & PromotionFlag)
        text += "qnrb"[MovePromotion(move)];
    return text;
}

inline std::string Texts(const std::vector<Move>& moves, bool chess960 = false) {
    std::string text;
    for (const Move move : moves)
        text.append(text.empty() ? "" : " ").append(MoveText(move, chess960));
    return text;
}

inline std::vector<Move> Sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

inline std::vector<Move> LegalMoves(const Board& board) {
    MoveList list;
    GenerateLegalMoves(board, list);
    return {list.moves.begin(), list.moves.begin() + list.count};
}

// The legal move with this text, or NoMove.
inline Move FindMove(const Board& board, const std::string& text, bool chess960 = false) {
    for (const Move move : LegalMoves(board))
        if (MoveText(move, chess960) == text)
            return move;
    return NoMove;
}

// Every field, and the key history entries in use.
inline ::testing::AssertionResult SameBoard(const Board& a, const Board& b) {
    if (a.historyCount != b.historyCount || a.sideToMove != b.sideToMove ||
        a.squares != b.squares || a.epFile != b.epFile || a.castling != b.castling ||
        a.kingSquare != b.kingSquare || a.halfmoveClock != b.halfmoveClock ||
        a.pieces != b.pieces || a.occupied != b.occupied || a.occupiedFiles != b.occupiedFiles ||
        a.occupiedAntiDiag != b.occupiedAntiDiag || a.occupiedDiag != b.occupiedDiag ||
        a.colour != b.colour || a.hashKey != b.hashKey ||
        a.castlingSetup.mask != b.castlingSetup.mask || a.castlingSetup.key != b.castlingSetup.key)
        return ::testing::AssertionFailure()
               << "boards differ: " << WriteFen(a) << " / " << WriteFen(b);
    for (std::uint32_t i = 0; i < a.historyCount && i < HistoryCapacity; ++i)
        if (a.history[i] != b.history[i])
            return ::testing::AssertionFailure() << "key history differs at " << i;
    return ::testing::AssertionSuccess();
}

// The pin lines of the side to move: the first piece on a ray from its king is pinned when it is
// its own and the next piece is an enemy slider of the ray's kind. Each line holds the squares
// after the king up to the pinner.
inline void ReferencePinLines(const Board& board, Bitboard& straight, Bitboard& diagonal) {
    straight = diagonal   = 0;
    const int side        = board.sideToMove;
    const int king        = board.kingSquare[side];
    const int steps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    for (int ray = 0; ray < 8; ++ray) {
        Bitboard line = 0;
        int ownSeen   = 0;
        for (int file = (king & 7) + steps[ray][0], rank = (king >> 3) + steps[ray][1];
             file >= 0 && file < 8 && rank >= 0 && rank < 8;
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
            if (ownSeen == 1 && (piece == Queen || piece == (ray < 4 ? Rook : Bishop)))
                (ray < 4 ? straight : diagonal) |= line;
            break;
        }
    }
}

} // namespace tarvo::test
