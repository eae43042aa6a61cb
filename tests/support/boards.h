#pragma once
// Positions for the tests: the perft suites and corner positions of tests/data, a walk over
// every position a few plies from them, move text, and standard output captured around a call.

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/types.h"
#include "fuzz/board_checks.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <tuple>
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

// visit(Board&) for every position up to `plies` plies (repeats included) from each line of the
// suite, the corner positions, every eighth line of the Fischer random suite and its corners.
template <typename Visit> void WalkSuite(int plies, Visit visit) {
    static Board board;
    for (const auto& [name, chess960, step] : {std::tuple{"perft.epd", false, 1},
                                               {"corners.epd", false, 1},
                                               {"perft960.epd", true, 8},
                                               {"corners960.epd", true, 1}}) {
        const std::vector<SuiteLine> lines = ReadPerftSuite(name);
        for (std::size_t i = 0; i < lines.size(); i += static_cast<std::size_t>(step)) {
            EXPECT_TRUE(SetFromFen(board, lines[i].fen.c_str(), nullptr, chess960)) << lines[i].fen;
            WalkFrom(board, plies, visit);
        }
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

// The board after the legal move with this text.
inline Board After(Board board, const std::string& text) {
    UndoInfo undo;
    MakeMove(board, FindMove(board, text), undo);
    return board;
}

inline ::testing::AssertionResult SameBoard(const Board& a, const Board& b) {
    if (fuzz::SameBoard(a, b))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "boards differ: " << WriteFen(a) << " / " << WriteFen(b);
}

// What `run` writes to standard output.
template <typename Run> std::string Output(Run&& run) {
    ::testing::internal::CaptureStdout();
    run();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace tarvo::test
