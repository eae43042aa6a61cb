#pragma once
// Board invariants for the fuzz targets, which run without GoogleTest: each check names the first
// broken invariant and stops the process, so the fuzzer keeps the input. Their output goes nowhere
// and their input is an open empty pipe: a stray read blocks until the fuzzer's timeout says so.

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "board/types.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace tarvo::fuzz {

[[noreturn]] inline void Fail(const char* what, const Board& board) {
    std::fprintf(stderr, "broken invariant: %s\nboard: %s\n", what, WriteFen(board).c_str());
    std::abort();
}

// The first invariant the board breaks, or nullptr: one king a side where kingSquare says,
// placement, colours and the four occupancy words agreeing square by square, fields in range,
// the side not to move out of check, and the key equal to the one computed from scratch.
inline const char* BoardProblem(const Board& board) {
    Bitboard occupied = 0;
    for (int square = 0; square < 64; ++square) {
        const int piece = board.squares[square];
        if (piece > King)
            return "a square holds no piece type";
        const Bitboard bit = SquareBit[square];
        for (int type = Pawn; type <= King; ++type)
            if (((board.pieces[type] & bit) != 0) != (piece == type))
                return "piece bitboards disagree with the squares";
        const bool white = (board.colour[White] & bit) != 0;
        const bool black = (board.colour[Black] & bit) != 0;
        if ((white || black) != (piece != NoPiece) || (white && black))
            return "colour bitboards disagree with the squares";
        if (piece != NoPiece)
            occupied |= bit;
    }
    if (board.pieces[NoPiece] != 0 || board.pieces[7] != 0)
        return "unused piece bitboards are not empty";
    if (board.occupied != occupied)
        return "the occupancy disagrees with the squares";
    for (int side = White; side <= Black; ++side) {
        const Bitboard kings = board.pieces[King] & board.colour[side];
        if (kings == 0 || (kings & (kings - 1)) != 0)
            return "a side has not exactly one king";
        if (BitScan(kings) != board.kingSquare[side])
            return "kingSquare is not where the king stands";
    }
    if (board.sideToMove > Black || board.epFile > 8 || board.castling > 15 ||
        board.historyCount > HistoryCapacity)
        return "a field is out of range";
    const int waiting = board.sideToMove ^ 1;
    if (IsSquareAttacked(board, board.sideToMove, board.kingSquare[waiting]))
        return "the side not to move is in check";
    if (board.hashKey != ComputeHashKey(board))
        return "the incremental key differs from the computed one";
    return nullptr;
}

// Every field, and the key history entries in use.
inline bool SameBoard(const Board& a, const Board& b) {
    if (a.historyCount != b.historyCount || a.sideToMove != b.sideToMove ||
        a.squares != b.squares || a.epFile != b.epFile || a.castling != b.castling ||
        a.kingSquare != b.kingSquare || a.halfmoveClock != b.halfmoveClock ||
        a.pieces != b.pieces || a.occupied != b.occupied || a.colour != b.colour ||
        a.hashKey != b.hashKey || a.castlingSetup.mask != b.castlingSetup.mask ||
        a.castlingSetup.key != b.castlingSetup.key)
        return false;
    for (std::uint32_t i = 0; i < a.historyCount && i < HistoryCapacity; ++i)
        if (a.history[i] != b.history[i])
            return false;
    return true;
}

inline void CheckBoard(const Board& board) {
    if (const char* problem = BoardProblem(board))
        Fail(problem, board);
}

// The first problem of a legal move (or a null move, out of check) made and unmade, or nullptr:
// the board keeps its invariants (so its key) and records the key it left, a null move clears the
// en-passant file and the clock, and unmaking restores every field.
inline const char* MoveProblem(Board& board) {
    if (board.historyCount >= HistoryCapacity)
        return nullptr; // no room to record another move: a game is compacted before it gets here
    MoveList moves;
    GenerateLegalMoves(board, moves);
    if (!IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]))
        moves.moves[moves.count++] = NullMove;
    const Board before = board;
    for (std::uint32_t i = 0; i < moves.count; ++i) {
        const Move move = moves.moves[i];
        UndoInfo undo;
        move == NullMove ? MakeNullMove(board, undo) : MakeMove(board, move, undo);
        const char* problem = BoardProblem(board);
        if (!problem && (board.historyCount != before.historyCount + 1 ||
                         board.history[before.historyCount] != before.hashKey))
            problem = "a move did not record the key it left";
        if (!problem && move == NullMove &&
            (board.epFile || board.halfmoveClock || board.sideToMove == before.sideToMove))
            problem = "a null move kept the side to move, the en-passant file or the clock";
        move == NullMove ? UnmakeNullMove(board, undo) : UnmakeMove(board, move, undo);
        if (!problem && !SameBoard(board, before))
            problem = "unmake did not restore every field";
        if (problem)
            return problem;
    }
    return nullptr;
}

inline void CheckBoardAndEveryMove(Board& board) {
    CheckBoard(board);
    if (const char* problem = MoveProblem(board))
        Fail(problem, board);
}

inline void SilenceStandardStreams() {
    const int nowhere = ::open("/dev/null", O_WRONLY);
    if (nowhere >= 0)
        ::dup2(nowhere, STDOUT_FILENO), ::close(nowhere);
    if (int ends[2]; ::pipe(ends) == 0)
        ::dup2(ends[0], STDIN_FILENO), ::close(ends[0]); // the write end stays open
}

} // namespace tarvo::fuzz
