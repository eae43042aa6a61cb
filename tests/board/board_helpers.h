#pragma once
// Helpers shared by the board and perft tests: reading the perft suite, move text, finding a
// generated move by its text, and comparing whole boards.

#include "board/fen.h"
#include "board/movegen.h"
#include "board/types.h"

#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::testing {

struct SuiteLine {
    std::string fen;
    std::vector<std::pair<int, std::uint64_t>> counts; // (depth, nodes)
};

// The lines of tests/data/perft.epd: "<fen> ;D1 20 ;D2 400 ...".
inline std::vector<SuiteLine> ReadPerftSuite() {
    std::vector<SuiteLine> suite;
    std::ifstream in(TARVO_TEST_DATA "/perft.epd");
    std::string text;
    while (std::getline(in, text)) {
        const auto semicolon = text.find(';');
        if (semicolon == std::string::npos)
            continue;
        SuiteLine line;
        line.fen = text.substr(0, semicolon);
        std::istringstream rest(text.substr(semicolon));
        std::string tag;
        std::uint64_t nodes = 0;
        while (rest >> tag >> nodes)
            line.counts.emplace_back(std::stoi(tag.substr(2)), nodes);
        suite.push_back(line);
    }
    return suite;
}

inline Board BoardFromFen(const std::string& fen) {
    Board board{};
    const char* reason = "";
    EXPECT_TRUE(SetFromFen(board, fen.c_str(), &reason)) << fen << ": " << reason;
    return board;
}

inline std::string SquareText(int square) {
    return {static_cast<char>('a' + (square & 7)), static_cast<char>('1' + (square >> 3))};
}

inline std::string MoveText(Move move) {
    std::string text = SquareText(MoveFrom(move)) + SquareText(MoveTo(move));
    if (move & PromotionFlag)
        text += "qnrb"[MovePromotion(move)];
    return text;
}

inline std::vector<std::string> LegalMoveTexts(const Board& board) {
    MoveList list;
    GenerateLegalMoves(board, list);
    std::vector<std::string> texts;
    for (std::uint32_t i = 0; i < list.count; ++i)
        texts.push_back(MoveText(list.moves[i]));
    return texts;
}

// The generated legal move with this text, or NoMove.
inline Move FindLegalMove(const Board& board, const std::string& text) {
    MoveList list;
    GenerateLegalMoves(board, list);
    for (std::uint32_t i = 0; i < list.count; ++i)
        if (MoveText(list.moves[i]) == text)
            return list.moves[i];
    return NoMove;
}

// Every field of two boards, and the history entries that count, must match.
inline ::testing::AssertionResult SameBoard(const Board& a, const Board& b) {
    if (a.historyCount != b.historyCount || a.sideToMove != b.sideToMove || a.epFile != b.epFile ||
        a.castling != b.castling || a.kingSquare != b.kingSquare ||
        a.halfmoveClock != b.halfmoveClock || a.hashKey != b.hashKey)
        return ::testing::AssertionFailure() << "boards differ in game state or key";
    if (a.squares != b.squares || a.pieces != b.pieces || a.colour != b.colour ||
        a.occupied != b.occupied)
        return ::testing::AssertionFailure() << "boards differ in placement";
    if (a.occupiedFiles != b.occupiedFiles || a.occupiedAntiDiag != b.occupiedAntiDiag ||
        a.occupiedDiag != b.occupiedDiag)
        return ::testing::AssertionFailure() << "boards differ in rotated occupancy";
    for (std::uint32_t i = 0; i < a.historyCount && i < HistoryCapacity; ++i)
        if (a.history[i] != b.history[i])
            return ::testing::AssertionFailure() << "boards differ in history entry " << i;
    return ::testing::AssertionSuccess();
}

} // namespace tarvo::testing
