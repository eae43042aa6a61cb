#include "board/movegen.h"

#include "board/castling.h"
#include "board/make_move.h"
#include "board/tables.h"

namespace tarvo {

namespace {

enum Orientation { Diag, AntiDiag, RankLine, FileLine };

template <Orientation line> inline Bitboard LineAttacks(Bitboard occupied, int square) {
    if constexpr (line == Diag)
        return DiagAttacksFrom(occupied, square);
    else if constexpr (line == AntiDiag)
        return AntiDiagAttacksFrom(occupied, square);
    else if constexpr (line == RankLine)
        return RankAttacksFrom(occupied, square);
    else
        return FileAttacksFrom(occupied, square);
}

// With `counting` the generators only count: list.count grows as if the moves were written,
// and no move word is made.
template <bool counting> inline void Add(MoveList& list, Move move) {
    if constexpr (counting)
        ++list.count;
    else
        list.moves[list.count++] = move;
}

// A pawn move to `to`, as four promotions (queen, knight, rook, bishop) on the last rank.
template <bool counting>
inline void AddPawnMove(MoveList& list, int from, int to, int captured, Bitboard lastRank) {
    if constexpr (counting) {
        list.count += (SquareBit[to] & lastRank) ? 4 : 1;
        return;
    }
    const Move move = MakeMoveWord(from, to, Pawn, captured);
    if (SquareBit[to] & lastRank) {
        Add<false>(list, move | PromotionWord(0));
        Add<false>(list, move | PromotionWord(1));
        Add<false>(list, move | PromotionWord(2));
        Add<false>(list, move | PromotionWord(3));
    } else {
        Add<false>(list, move);
    }
}

// One move to each square of `targets`, capturing whatever stands there.
template <bool counting>
inline void AddMovesTo(MoveList& list, const Board& board, int from, int piece, Bitboard targets) {
    if constexpr (counting) {
        list.count += static_cast<std::uint32_t>(__builtin_popcountll(targets));
        return;
    }
    for (; targets != 0; targets &= targets - 1) {
        const int to = BitScan(targets);
        Add<false>(list, MakeMoveWord(from, to, piece, board.squares[to]));
    }
}

// Whether the king on `king` would stand attacked by a slider after an en-passant capture
// from `from` to `target` that removes the pawn on `victim`. The rank is the case that
// arises in play (both pawns leave the king's rank); the diagonals guard boards whose
// en-passant file was given by a FEN text rather than by the double step itself.
bool EnPassantExposesKing(const Board& board, int king, int from, int target, int victim,
                          Bitboard diagonalSliders, Bitboard straightSliders) {
    const Bitboard occupied =
        board.occupied ^ SquareBit[from] ^ SquareBit[victim] ^ SquareBit[target];
    if (RankAttacksFrom(occupied, king) & straightSliders)
        return true;
    return diagonalSliders != 0 && (BishopAttacksFrom(occupied, king) & diagonalSliders) != 0;
}

struct CheckInfo {
    int count           = 0;
    Bitboard checkers   = 0; // checking pawns and sliders
    Bitboard blockMask  = 0; // a checking knight, and the squares between king and slider
    Bitboard behindMask = 0; // the square behind the king on each checking line
};

// Slider checks along one line orientation through the king. Every checker is counted, so a
// set-up position with two checkers on one line still reads as a double check.
inline void FindLineChecks(int king, Bitboard attacks, Bitboard sliders, CheckInfo& check) {
    for (Bitboard hits = attacks & sliders; hits != 0; hits &= hits - 1) {
        const int square = BitScan(hits);
        ++check.count;
        check.checkers |= SquareBit[square];
        check.blockMask |= Between[king][square];
        check.behindMask |= BehindSquare[king][square];
    }
}

// Pins along one orientation: marks pinned pieces and, when `emit` is set, adds the moves
// they keep along the pin line.
template <Orientation line, bool counting>
inline void FindLinePins(const Board& board, MoveList& list, int king, Bitboard rays,
                         Bitboard sliders, Bitboard& pinned, bool emit) {
    const int side          = board.sideToMove;
    const Bitboard own      = board.colour[side];
    constexpr bool diagonal = line == Diag || line == AntiDiag;
    const Bitboard candidates =
        rays & own & (diagonal ? DiagonalPinCandidates : StraightPinCandidates);
    if (candidates == 0)
        return;
    // With the first own piece of each direction lifted off, the line from the king reaches the
    // slider behind it, if any. A pinner lies beyond its pinned piece, so pinners taken from
    // the lowest square up take the pinned pieces from the lowest square up too.
    for (Bitboard pinners = LineAttacks<line>(board.occupied ^ candidates, king) & sliders & ~rays;
         pinners != 0; pinners &= pinners - 1) {
        const int pinner = BitScan(pinners);
        // The pin line from the king to the pinner, the king left out and the pinner included.
        const Bitboard segment = Between[king][pinner] | SquareBit[pinner];
        const int square       = BitScan(segment & candidates);
        const Bitboard attack  = segment & ~SquareBit[square];
        pinned |= SquareBit[square];
        if (!emit)
            continue;
        const int piece = board.squares[square];
        if (piece == Queen || piece == (diagonal ? Bishop : Rook)) {
            AddMovesTo<counting>(list, board, square, piece, attack);
        } else if (piece == Pawn && diagonal) {
            const Bitboard lastRank = side == White ? Rank8 : Rank1;
            if (PawnAttacks[side][square] & SquareBit[pinner]) {
                AddPawnMove<counting>(list, square, pinner, board.squares[pinner], lastRank);
            } else if (board.epFile != 0) {
                // The pawn stays on the pin line when the en-passant target lies on it, on
                // either side of the pawn.
                const int target = side == White ? 39 + board.epFile : 15 + board.epFile;
                const int victim = side == White ? 31 + board.epFile : 23 + board.epFile;
                const int opp    = side ^ 1;
                const Bitboard straight =
                    (board.pieces[Rook] | board.pieces[Queen]) & board.colour[opp];
                if ((PawnAttacks[side][square] & attack & SquareBit[target] & ~board.occupied) &&
                    (board.pieces[Pawn] & board.colour[opp] & SquareBit[victim]) &&
                    !EnPassantExposesKing(board, king, square, target, victim, sliders, straight))
                    Add<counting>(list, MakeMoveWord(square, target, Pawn, Pawn, EnPassantFlag));
            }
        } else if (piece == Pawn && line == FileLine) {
            const int ahead = side == White ? square + 8 : square - 8;
            if (!(board.occupied & SquareBit[ahead])) {
                Add<counting>(list, MakeMoveWord(square, ahead, Pawn));
                const int twoAhead = side == White ? square + 16 : square - 16;
                if ((SquareBit[square] & (side == White ? Rank2 : Rank7)) &&
                    !(board.occupied & SquareBit[twoAhead]))
                    Add<counting>(list,
                                  MakeMoveWord(square, twoAhead, Pawn, NoPiece, DoubleStepFlag));
            }
        }
    }
}

// Squares a piece must reach, or stand on, to check the enemy king after a quiet move: the
// generator for quiet checks keeps only moves that may check, a superset the caller then tests
// exactly, so it spares the moves of most pieces and the king's attack tests. Everything is
// open for the plain legal generator.
struct CheckTargets {
    Bitboard pawn     = ~Bitboard{0}; // pawn destinations
    Bitboard knight   = ~Bitboard{0};
    Bitboard diagonal = ~Bitboard{0};
    Bitboard straight = ~Bitboard{0};
    Bitboard uncover  = ~Bitboard{0}; // own pieces whose leaving uncovers a slider's check
};

// The squares from which each piece type attacks the enemy king, with the current occupancy (a
// slider's own square never lies between its destination and that king, or the king would be
// in check with the other side to move), and the pieces that stand alone between an own slider
// and the king.
template <int side> CheckTargets CheckTargetsOf(const Board& board) {
    const int king          = board.kingSquare[side ^ 1];
    const Bitboard own      = board.colour[side];
    const Bitboard occupied = board.occupied;
    CheckTargets targets;
    targets.pawn          = PawnAttacks[side ^ 1][king];
    targets.knight        = KnightAttacks[king];
    targets.diagonal      = BishopAttacksFrom(occupied, king);
    targets.straight      = RookAttacksFrom(occupied, king);
    targets.uncover       = 0;
    const Bitboard queens = board.pieces[Queen];
    Bitboard sliders      = (BishopEmptyAttacks[king] & (board.pieces[Bishop] | queens) & own) |
                       (RookEmptyAttacks[king] & (board.pieces[Rook] | queens) & own);
    for (; sliders; sliders &= sliders - 1) {
        const Bitboard between = Between[king][BitScan(sliders)] & occupied;
        if (between && !(between & (between - 1)))
            targets.uncover |= between & own;
    }
    // A pawn that uncovers a check may push anywhere; the others only onto checking squares.
    if constexpr (side == White)
        targets.pawn |= (targets.uncover << 8) | (targets.uncover << 16);
    else
        targets.pawn |= (targets.uncover >> 8) | (targets.uncover >> 16);
    return targets;
}

enum class Mode { Legal, QuietChecks, Count };

// The legal moves; with Mode::QuietChecks a subset that holds every legal quiet check, in the
// same order; with Mode::Count only their number, in list.count.

template <int side, Mode mode> void GenerateFor(const Board& board, MoveList& list) {
    constexpr bool quietChecks  = mode == Mode::QuietChecks;
    constexpr bool counting     = mode == Mode::Count;
    constexpr int opp           = side ^ 1;
    const int king              = board.kingSquare[side];
    const Bitboard own          = board.colour[side];
    const Bitboard enemy        = board.colour[opp];
    const Bitboard occupied     = board.occupied;
    const Bitboard diagonal     = (board.pieces[Bishop] | board.pieces[Queen]) & enemy;
    const Bitboard straight     = (board.pieces[Rook] | board.pieces[Queen]) & enemy;
    const Bitboard enemyPawns   = board.pieces[Pawn] & enemy;
    constexpr Bitboard lastRank = side == White ? Rank8 : Rank1;

    CheckInfo check;
    const Bitboard knightCheckers = KnightAttacks[king] & board.pieces[Knight] & enemy;
    if (knightCheckers) {
        check.count = (knightCheckers & (knightCheckers - 1)) ? 2 : 1;
        check.blockMask |= knightCheckers;
    }
    bool epPawnChecks           = false;
    const Bitboard pawnCheckers = PawnAttacks[side][king] & enemyPawns;
    if (pawnCheckers) {
        check.count += (pawnCheckers & (pawnCheckers - 1)) ? 2 : 1;
        check.checkers |= pawnCheckers;
        if (board.epFile != 0) {
            const int victim = side == White ? 31 + board.epFile : 23 + board.epFile;
            epPawnChecks     = (pawnCheckers & SquareBit[victim]) != 0;
        }
    }

    // Only lines through the king that hold an enemy slider can check or pin; entry 0 of an
    // attack table is the line on an empty board.
    Bitboard diagRays = 0, antiRays = 0, rankRays = 0, fileRays = 0;
    if (diagonal & DiagAttacks[king][0]) {
        diagRays = DiagAttacksFrom(board, king);
        FindLineChecks(king, diagRays, diagonal, check);
    }
    if (diagonal & AntiDiagAttacks[king][0]) {
        antiRays = AntiDiagAttacksFrom(board, king);
        FindLineChecks(king, antiRays, diagonal, check);
    }
    if (straight & RankAttacks[king][0]) {
        rankRays = RankAttacksFrom(board, king);
        FindLineChecks(king, rankRays, straight, check);
    }
    if (straight & FileAttacks[king][0]) {
        fileRays = FileAttacksFrom(board, king);
        FindLineChecks(king, fileRays, straight, check);
    }

    // Pinned pieces' moves cannot answer a check, so in check the pins are only marked.
    const bool emitPinned = check.count == 0;
    Bitboard pinned       = 0;
    if (diagRays)
        FindLinePins<Diag, counting>(board, list, king, diagRays, diagonal, pinned, emitPinned);
    if (antiRays)
        FindLinePins<AntiDiag, counting>(board, list, king, antiRays, diagonal, pinned, emitPinned);
    if (rankRays)
        FindLinePins<RankLine, counting>(board, list, king, rankRays, straight, pinned, emitPinned);
    if (fileRays)
        FindLinePins<FileLine, counting>(board, list, king, fileRays, straight, pinned, emitPinned);
    const Bitboard free = own & ~pinned;

    if (check.count != 0)
        list.count = 0;

    CheckTargets reach;
    if constexpr (quietChecks)
        reach = CheckTargetsOf<side>(board);
    // Destinations of the piece on `from` towards the checking squares `toward`.
    const auto reachFrom = [&reach](int from, Bitboard toward) {
        return (SquareBit[from] & reach.uncover) ? ~Bitboard{0} : toward;
    };

    if (check.count < 2) {
        if (check.count == 0) {
            const std::array<std::uint8_t, 4>& rook = board.castlingSetup.rook;
            if ((board.castling & (1 << side)) && CanCastle(board, side))
                Add<counting>(list, MakeMoveWord(king, rook[side], King, NoPiece, CastlingFlag));
            if ((board.castling & (4 << side)) && CanCastle(board, side + 2))
                Add<counting>(list,
                              MakeMoveWord(king, rook[side + 2], King, NoPiece, CastlingFlag));
        }

        if (!quietChecks && board.epFile != 0 && (check.count == 0 || epPawnChecks)) {
            const int target = side == White ? 39 + board.epFile : 15 + board.epFile;
            const int victim = side == White ? 31 + board.epFile : 23 + board.epFile;
            if ((enemyPawns & SquareBit[victim]) && !(occupied & SquareBit[target])) {
                for (Bitboard capturers = PawnAttacks[opp][target] & free & board.pieces[Pawn];
                     capturers != 0; capturers &= capturers - 1) {
                    const int from = BitScan(capturers);
                    if (!EnPassantExposesKing(board, king, from, target, victim, diagonal,
                                              straight))
                        Add<counting>(list, MakeMoveWord(from, target, Pawn, Pawn, EnPassantFlag));
                }
            }
        }

        Bitboard targets = quietChecks ? ~occupied : ~own;
        if (check.count != 0)
            targets &= check.checkers | check.blockMask;

        for (Bitboard set = board.pieces[Knight] & free; set != 0; set &= set - 1) {
            const int from = BitScan(set);
            AddMovesTo<counting>(list, board, from, Knight,
                                 KnightAttacks[from] & targets & reachFrom(from, reach.knight));
        }
        for (Bitboard set = board.pieces[Bishop] & free; set != 0; set &= set - 1) {
            const int from = BitScan(set);
            AddMovesTo<counting>(list, board, from, Bishop,
                                 BishopAttacksFrom(board, from) & targets &
                                     reachFrom(from, reach.diagonal));
        }
        for (Bitboard set = board.pieces[Rook] & free; set != 0; set &= set - 1) {
            const int from = BitScan(set);
            AddMovesTo<counting>(list, board, from, Rook,
                                 RookAttacksFrom(board, from) & targets &
                                     reachFrom(from, reach.straight));
        }
        for (Bitboard set = board.pieces[Queen] & free; set != 0; set &= set - 1) {
            const int from = BitScan(set);
            AddMovesTo<counting>(list, board, from, Queen,
                                 QueenAttacksFrom(board, from) & targets &
                                     reachFrom(from, reach.diagonal | reach.straight));
        }

        const Bitboard pawns = board.pieces[Pawn] & free;
        const Bitboard empty = ~occupied & (quietChecks ? reach.pawn & ~lastRank : ~Bitboard{0});
        const Bitboard captureTo = quietChecks ? 0 : enemy & targets;
        if constexpr (counting) {
            // Every pawn destination counts once, and three more on the last rank.
            const Bitboard single = (side == White ? pawns << 8 : pawns >> 8) & ~occupied;
            const Bitboard pushes = single & targets;
            const Bitboard doubles =
                (side == White ? (single & Rank3) << 8 : (single & Rank6) >> 8) & ~occupied &
                targets;
            const Bitboard left =
                (side == White ? (pawns & ~FileA) << 7 : (pawns & ~FileH) >> 7) & captureTo;
            const Bitboard right =
                (side == White ? (pawns & ~FileH) << 9 : (pawns & ~FileA) >> 9) & captureTo;
            list.count += static_cast<std::uint32_t>(
                __builtin_popcountll(pushes) + __builtin_popcountll(doubles) +
                __builtin_popcountll(left) + __builtin_popcountll(right) +
                3 * (__builtin_popcountll(pushes & lastRank) +
                     __builtin_popcountll(left & lastRank) +
                     __builtin_popcountll(right & lastRank)));
        } else if constexpr (side == White) {
            for (Bitboard set = ((pawns & ~FileA) << 7) & captureTo; set; set &= set - 1) {
                const int to = BitScan(set);
                AddPawnMove<counting>(list, to - 7, to, board.squares[to], lastRank);
            }
            for (Bitboard set = ((pawns & ~FileH) << 9) & captureTo; set; set &= set - 1) {
                const int to = BitScan(set);
                AddPawnMove<counting>(list, to - 9, to, board.squares[to], lastRank);
            }
            const Bitboard single = (pawns << 8) & ~occupied;
            for (Bitboard set = single & empty & targets; set; set &= set - 1) {
                const int to = BitScan(set);
                AddPawnMove<counting>(list, to - 8, to, NoPiece, lastRank);
            }
            for (Bitboard set = ((single & Rank3) << 8) & empty & targets; set; set &= set - 1) {
                const int to = BitScan(set);
                Add<counting>(list, MakeMoveWord(to - 16, to, Pawn, NoPiece, DoubleStepFlag));
            }
        } else {
            for (Bitboard set = ((pawns & ~FileH) >> 7) & captureTo; set; set &= set - 1) {
                const int to = BitScan(set);
                AddPawnMove<counting>(list, to + 7, to, board.squares[to], lastRank);
            }
            for (Bitboard set = ((pawns & ~FileA) >> 9) & captureTo; set; set &= set - 1) {
                const int to = BitScan(set);
                AddPawnMove<counting>(list, to + 9, to, board.squares[to], lastRank);
            }
            const Bitboard single = (pawns >> 8) & ~occupied;
            for (Bitboard set = single & empty & targets; set; set &= set - 1) {
                const int to = BitScan(set);
                AddPawnMove<counting>(list, to + 8, to, NoPiece, lastRank);
            }
            for (Bitboard set = ((single & Rank6) >> 8) & empty & targets; set; set &= set - 1) {
                const int to = BitScan(set);
                Add<counting>(list, MakeMoveWord(to + 16, to, Pawn, NoPiece, DoubleStepFlag));
            }
        }
    }

    // A king gives no check of its own: only one that uncovers a slider's check moves here.
    if (quietChecks && !(SquareBit[king] & reach.uncover))
        return;
    // King destinations are tested with the king still on its square; behindMask removes
    // the one square that occupancy shows wrongly as safe.
    const Bitboard enemyKing   = board.pieces[King] & enemy;
    const Bitboard knights     = board.pieces[Knight] & enemy;
    const Bitboard kingTargets = quietChecks ? ~occupied : ~own;
    for (Bitboard set = KingAttacks[king] & kingTargets & ~check.blockMask & ~check.behindMask; set;
         set &= set - 1) {
        const int to = BitScan(set);
        if ((PawnAttacks[side][to] & enemyPawns) || (KnightAttacks[to] & knights) ||
            (KingAttacks[to] & enemyKing))
            continue;
        // Lines with no enemy slider on them even on an empty board need no lookup.
        if ((BishopEmptyAttacks[to] & diagonal) && (BishopAttacksFrom(board, to) & diagonal))
            continue;
        if ((RookEmptyAttacks[to] & straight) && (RookAttacksFrom(board, to) & straight))
            continue;
        Add<counting>(list, MakeMoveWord(king, to, King, board.squares[to]));
    }
}

// Whether a quiet move other than castling checks the enemy king: directly, by the moved piece
// from its new square, or by uncovering a slider behind the square it leaves. The occupancy
// after the move is the board's with `from` emptied and `to` filled.
bool QuietMoveGivesCheck(const Board& board, Move move) {
    const int side          = board.sideToMove;
    const int king          = board.kingSquare[side ^ 1];
    const int from          = MoveFrom(move);
    const int to            = MoveTo(move);
    const Bitboard kingBit  = SquareBit[king];
    const Bitboard occupied = (board.occupied ^ SquareBit[from]) | SquareBit[to];
    const bool openPath     = (Between[to][king] & occupied) == 0;
    switch (MovePiece(move)) {
    case Pawn:
        if (PawnAttacks[side][to] & kingBit)
            return true;
        break;
    case Knight:
        if (KnightAttacks[to] & kingBit)
            return true;
        break;
    case Bishop:
        if ((BishopEmptyAttacks[to] & kingBit) && openPath)
            return true;
        break;
    case Rook:
        if ((RookEmptyAttacks[to] & kingBit) && openPath)
            return true;
        break;
    case Queen:
        if ((QueenEmptyAttacks[to] & kingBit) && openPath)
            return true;
        break;
    default:
        break;
    }
    // Discovered: an own slider on the line from the king through `from`, with nothing left
    // between them once the move is made.
    const Bitboard own    = board.colour[side] & ~SquareBit[from];
    const Bitboard queens = board.pieces[Queen];
    Bitboard sliders      = 0;
    if (BishopEmptyAttacks[king] & SquareBit[from])
        sliders = (board.pieces[Bishop] | queens) & own & LineThrough[king][from];
    else if (RookEmptyAttacks[king] & SquareBit[from])
        sliders = (board.pieces[Rook] | queens) & own & LineThrough[king][from];
    for (; sliders != 0; sliders &= sliders - 1) {
        const Bitboard path = Between[king][BitScan(sliders)];
        if ((path & SquareBit[from]) && (path & occupied) == 0)
            return true;
    }
    return false;
}

} // namespace

void GenerateLegalMoves(const Board& board, MoveList& list) {
    if (board.sideToMove == White)
        GenerateFor<White, Mode::Legal>(board, list);
    else
        GenerateFor<Black, Mode::Legal>(board, list);
}

std::uint32_t CountLegalMoves(const Board& board) {
    MoveList list;
    list.count = 0;
    if (board.sideToMove == White)
        GenerateFor<White, Mode::Count>(board, list);
    else
        GenerateFor<Black, Mode::Count>(board, list);
    return list.count;
}

void GenerateQuietChecks(Board& board, MoveList& list) {
    MoveList legal;
    if (board.sideToMove == White)
        GenerateFor<White, Mode::QuietChecks>(board, legal);
    else
        GenerateFor<Black, Mode::QuietChecks>(board, legal);
    const int mover = board.sideToMove;
    for (std::uint32_t i = 0; i < legal.count; ++i) {
        const Move move = legal.moves[i];
        if (move & TacticalMask)
            continue;
        bool check;
        if (move & CastlingFlag) {
            // Castling moves two pieces; making it keeps every castling rule in one place.
            UndoInfo undo;
            MakeMove(board, move, undo);
            check = IsSquareAttacked(board, mover, board.kingSquare[board.sideToMove]);
            UnmakeMove(board, move, undo);
        } else {
            check = QuietMoveGivesCheck(board, move);
        }
        if (check)
            list.moves[list.count++] = move;
    }
}

} // namespace tarvo
