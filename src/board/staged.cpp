#include "board/staged.h"

#include "board/castling.h"
#include "board/occupancy.h"
#include "board/tables.h"

namespace tarvo {

namespace {

inline void Append(MoveList& list, Move move) {
    list.moves[list.count++] = move;
}

// Appends one move per destination, all from squares at the same offset `to - from`.
inline void AppendShifted(const Board& board, MoveList& list, Bitboard destinations, int offset,
                          Move flags) {
    for (; destinations; destinations &= destinations - 1) {
        const int to = BitScan(destinations);
        Append(list, MakeMoveWord(to - offset, to, Pawn, board.squares[to], flags));
    }
}

inline void AppendPromotions(const Board& board, MoveList& list, Bitboard destinations,
                             int offset) {
    for (; destinations; destinations &= destinations - 1) {
        const int to    = BitScan(destinations);
        const Move base = MakeMoveWord(to - offset, to, Pawn, board.squares[to]);
        for (int index = 0; index < 4; ++index)
            Append(list, base | PromotionWord(index));
    }
}

inline void AppendFrom(const Board& board, MoveList& list, int from, Bitboard destinations) {
    const int piece = board.squares[from];
    for (; destinations; destinations &= destinations - 1) {
        const int to = BitScan(destinations);
        Append(list, MakeMoveWord(from, to, piece, board.squares[to]));
    }
}

inline void AddKnightMoves(const Board& board, MoveList& list, Bitboard targets, Bitboard knights) {
    for (; knights; knights &= knights - 1) {
        const int from = BitScan(knights);
        AppendFrom(board, list, from, KnightAttacks[from] & targets);
    }
}

} // namespace

void AddKingMoves(const Board& board, MoveList& list, Bitboard targets) {
    const int side        = board.sideToMove;
    const int from        = board.kingSquare[side];
    Bitboard destinations = KingAttacks[from] & targets;
    if (!destinations)
        return;
    // The attack test of each destination, split: the squares the enemy's pawns, knights and
    // king attack go at once, and only what is left asks about sliders.
    const Bitboard enemy = board.colour[side ^ 1];
    const Bitboard pawns = board.pieces[Pawn] & enemy;
    Bitboard attacked    = KingAttacks[board.kingSquare[side ^ 1]];
    if (side == White)
        attacked |= ((pawns & ~FileH) >> 7) | ((pawns & ~FileA) >> 9);
    else
        attacked |= ((pawns & ~FileA) << 7) | ((pawns & ~FileH) << 9);
    for (Bitboard knights = board.pieces[Knight] & enemy; knights; knights &= knights - 1)
        attacked |= KnightAttacks[BitScan(knights)];
    const Bitboard queens   = board.pieces[Queen];
    const Bitboard diagonal = (board.pieces[Bishop] | queens) & enemy;
    const Bitboard straight = (board.pieces[Rook] | queens) & enemy;
    for (destinations &= ~attacked; destinations; destinations &= destinations - 1) {
        const int to = BitScan(destinations);
        if ((BishopAttacksFrom(board, to) & diagonal) || (RookAttacksFrom(board, to) & straight))
            continue;
        Append(list, MakeMoveWord(from, to, King, board.squares[to]));
    }
}

void AddCastling(const Board& board, MoveList& list) {
    const int side = board.sideToMove;
    if (!(board.castling & (5 << side)))
        return;
    const int king                          = board.kingSquare[side];
    const std::array<std::uint8_t, 4>& rook = board.castlingSetup.rook;
    if ((board.castling & (1 << side)) && CanCastle(board, side))
        Append(list, MakeMoveWord(king, rook[side], King, NoPiece, CastlingFlag));
    if ((board.castling & (4 << side)) && CanCastle(board, side + 2))
        Append(list, MakeMoveWord(king, rook[side + 2], King, NoPiece, CastlingFlag));
}

void AddPawnCaptures(const Board& board, MoveList& list, Bitboard targets, Bitboard pawns) {
    if (board.sideToMove == White) {
        targets &= ~Rank8;
        AppendShifted(board, list, ((pawns & ~FileA) << 7) & targets, 7, 0);
        AppendShifted(board, list, ((pawns & ~FileH) << 9) & targets, 9, 0);
    } else {
        targets &= ~Rank1;
        AppendShifted(board, list, ((pawns & ~FileH) >> 7) & targets, -7, 0);
        AppendShifted(board, list, ((pawns & ~FileA) >> 9) & targets, -9, 0);
    }
}

void AddPromotions(const Board& board, MoveList& list, Bitboard targets, Bitboard pawns) {
    const Bitboard enemy = board.colour[board.sideToMove ^ 1];
    const Bitboard empty = ~board.occupied;
    if (board.sideToMove == White) {
        pawns &= Rank7;
        if (!pawns)
            return;
        AppendPromotions(board, list, ((pawns & ~FileA) << 7) & targets & enemy, 7);
        AppendPromotions(board, list, ((pawns & ~FileH) << 9) & targets & enemy, 9);
        AppendPromotions(board, list, (pawns << 8) & targets & empty, 8);
    } else {
        pawns &= Rank2;
        if (!pawns)
            return;
        AppendPromotions(board, list, ((pawns & ~FileH) >> 7) & targets & enemy, -7);
        AppendPromotions(board, list, ((pawns & ~FileA) >> 9) & targets & enemy, -9);
        AppendPromotions(board, list, (pawns >> 8) & targets & empty, -8);
    }
}

void AddPawnPushes(const Board& board, MoveList& list, Bitboard targets, Bitboard pawns) {
    const Bitboard empty = ~board.occupied;
    if (board.sideToMove == White) {
        AppendShifted(board, list, (pawns << 8) & targets & ~Rank8, 8, 0);
        const Bitboard passed = ((pawns & Rank2) << 8) & empty;
        AppendShifted(board, list, (passed << 8) & targets, 16, DoubleStepFlag);
    } else {
        AppendShifted(board, list, (pawns >> 8) & targets & ~Rank1, -8, 0);
        const Bitboard passed = ((pawns & Rank7) >> 8) & empty;
        AppendShifted(board, list, (passed >> 8) & targets, -16, DoubleStepFlag);
    }
}

void AddEnPassant(const Board& board, MoveList& list, Bitboard targets, Bitboard pawns) {
    if (board.epFile == 0)
        return;
    const int side   = board.sideToMove;
    const int target = side == White ? 39 + board.epFile : 15 + board.epFile;
    const int victim = side == White ? 31 + board.epFile : 23 + board.epFile;
    if (!(targets & SquareBit[target]))
        return;
    // A file given by a FEN text is not proof of a pawn that has just stepped past the square.
    if ((board.occupied & SquareBit[target]) ||
        !(board.pieces[Pawn] & board.colour[side ^ 1] & SquareBit[victim]))
        return;
    for (Bitboard capturers = PawnAttacks[side ^ 1][target] & pawns; capturers;
         capturers &= capturers - 1) {
        const int from = BitScan(capturers);
        if (!IsKingExposedByEnPassant(board, from, target, victim))
            Append(list, MakeMoveWord(from, target, Pawn, Pawn, EnPassantFlag));
    }
}

void AddDiagonalMoves(const Board& board, MoveList& list, Bitboard targets, Bitboard movers) {
    for (movers &= board.pieces[Bishop] | board.pieces[Queen]; movers; movers &= movers - 1) {
        const int from = BitScan(movers);
        AppendFrom(board, list, from, BishopAttacksFrom(board, from) & targets);
    }
}

void AddOrthogonalMoves(const Board& board, MoveList& list, Bitboard targets, Bitboard movers) {
    for (movers &= board.pieces[Rook] | board.pieces[Queen]; movers; movers &= movers - 1) {
        const int from = BitScan(movers);
        AppendFrom(board, list, from, RookAttacksFrom(board, from) & targets);
    }
}

void GenerateCaptures(const Board& board, MoveList& list, Bitboard straightPins,
                      Bitboard diagonalPins) {
    const int side       = board.sideToMove;
    const Bitboard own   = board.colour[side];
    const Bitboard enemy = board.colour[side ^ 1];
    const Bitboard free  = ~(straightPins | diagonalPins);
    const Bitboard pawns = board.pieces[Pawn] & own;

    AddKingMoves(board, list, enemy);
    AddPawnCaptures(board, list, enemy, pawns & free);
    AddPromotions(board, list, ~Bitboard{0}, pawns & free);
    AddEnPassant(board, list, ~Bitboard{0}, pawns & free);
    // A diagonally pinned pawn captures only along its pin line: the pinner, or en passant
    // onto a square of the line (towards the pinner or back towards its own king).
    if (const Bitboard pinnedPawns = pawns & diagonalPins) {
        AddPawnCaptures(board, list, enemy & diagonalPins, pinnedPawns);
        AddPromotions(board, list, enemy & diagonalPins, pinnedPawns);
        AddEnPassant(board, list, diagonalPins, pinnedPawns);
    }
    AddKnightMoves(board, list, enemy, board.pieces[Knight] & own & free);
    AddDiagonalMoves(board, list, enemy, own & free);
    AddOrthogonalMoves(board, list, enemy, own & free);
    if (diagonalPins)
        AddDiagonalMoves(board, list, enemy & diagonalPins, own & diagonalPins);
    if (straightPins)
        AddOrthogonalMoves(board, list, enemy & straightPins, own & straightPins);
}

void GenerateQuietMoves(const Board& board, MoveList& list, Bitboard straightPins,
                        Bitboard diagonalPins) {
    const int side       = board.sideToMove;
    const Bitboard own   = board.colour[side];
    const Bitboard empty = ~board.occupied;
    const Bitboard free  = ~(straightPins | diagonalPins);
    const Bitboard pawns = board.pieces[Pawn] & own;

    AddKingMoves(board, list, empty);
    AddCastling(board, list);
    AddPawnPushes(board, list, empty, pawns & free);
    // A pawn pinned along its file still advances along it.
    if (const Bitboard pinnedPawns = pawns & straightPins)
        AddPawnPushes(board, list, empty & straightPins, pinnedPawns);
    AddKnightMoves(board, list, empty, board.pieces[Knight] & own & free);
    AddDiagonalMoves(board, list, empty, own & free);
    AddOrthogonalMoves(board, list, empty, own & free);
    if (diagonalPins)
        AddDiagonalMoves(board, list, empty & diagonalPins, own & diagonalPins);
    if (straightPins)
        AddOrthogonalMoves(board, list, empty & straightPins, own & straightPins);
}

void GenerateEvasions(const Board& board, MoveList& list, Bitboard straightPins,
                      Bitboard diagonalPins, Bitboard checkers, int checkerCount) {
    const int side     = board.sideToMove;
    const int king     = board.kingSquare[side];
    const Bitboard own = board.colour[side];

    // The attack test runs with the king still on its square, so the square behind it on a
    // checking line would read as safe.
    Bitboard kingTargets = ~own;
    for (Bitboard sliders = checkers & ~board.pieces[Pawn] & ~board.pieces[Knight]; sliders;
         sliders &= sliders - 1) {
        const int checker = BitScan(sliders);
        kingTargets &= ~(Between[king][checker] | BehindSquare[king][checker]);
    }
    AddKingMoves(board, list, kingTargets);
    if (checkerCount != 1)
        return;

    const int checker    = BitScan(checkers);
    const Bitboard block = Between[king][checker];
    const Bitboard hit   = block | checkers;
    const Bitboard free  = own & ~(straightPins | diagonalPins);
    const Bitboard pawns = board.pieces[Pawn] & free;

    AddPawnPushes(board, list, block, pawns);
    AddPawnCaptures(board, list, checkers, pawns);
    AddPromotions(board, list, hit, pawns);
    // Only a checking pawn that has just made its double step can be taken en passant; its
    // en-passant square lies right behind it.
    const Bitboard behindChecker = side == White ? checkers << 8 : checkers >> 8;
    const Bitboard epTargets =
        (side == White ? Rank6 : Rank3) & AdjacentFilesMask[king & 7] & behindChecker;
    AddEnPassant(board, list, epTargets, pawns);
    AddKnightMoves(board, list, hit, board.pieces[Knight] & free);
    AddDiagonalMoves(board, list, hit, free);
    AddOrthogonalMoves(board, list, hit, free);
}

} // namespace tarvo
