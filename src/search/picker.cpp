#include "search/picker.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "board/movegen.h"
#include "board/see.h"
#include "board/staged.h"
#include "board/tables.h"
#include "board/validate.h"
#include "search/history.h"

namespace tarvo {

namespace {

// Losing captures are pushed below every other capture score, which all lie in 0..63.
constexpr int DeferPenalty = 64;
// Exchange losses up to this much are treated as even.
constexpr int ExchangeTolerance = -15;

// Evasion bands: the hash move, then captures that do not lose, then quiet evasions by history
// (which halving keeps below 32000), then losing captures.
constexpr int HashEvasionScore = 64000;
constexpr int GoodEvasionBonus = 32000;

// The lines from the king to each slider with exactly one piece, a piece of the king's side,
// between them: the pinner's square and the squares up to the king.
Bitboard PinLinesTo(const Board& board, int king, Bitboard sliders) {
    const Bitboard own = board.colour[board.sideToMove];
    Bitboard lines     = 0;
    for (; sliders; sliders &= sliders - 1) {
        const int pinner         = BitScan(sliders);
        const Bitboard blockers  = Between[king][pinner] & board.occupied;
        const bool singleBlocker = blockers && !(blockers & (blockers - 1));
        if (singleBlocker && (blockers & own))
            lines |= SquareBit[pinner] | Between[king][pinner];
    }
    return lines;
}

// Best-first selection: the highest score moves to position 0. A tie goes to position 0 if it
// holds the best score, else to the highest position that does. Each score is packed with its
// position (scores stay far inside 24 bits, positions below 256), so that one maximum over the
// packed words, which the compiler vectorises, finds the highest position of the best score.
void SelectBest(MoveList& list) {
    static_assert(MaxMoves <= 256);
    const int count = static_cast<int>(list.count);
    int top         = INT32_MIN;
    for (int i = 1; i < count; ++i)
        top = std::max(top, list.score[i] * 256 + i);
    // An arithmetic shift floors, which gives back the score whatever its sign.
    if (count < 2 || (top >> 8) <= list.score[0])
        return;
    const int best = top & 255;
    std::swap(list.moves[0], list.moves[best]);
    std::swap(list.score[0], list.score[best]);
}

// Removes position 0; the last move takes its place.
Move TakeFirst(MoveList& list) {
    const Move move = list.moves[0];
    --list.count;
    list.moves[0] = list.moves[list.count];
    list.score[0] = list.score[list.count];
    return move;
}

bool IsSafeExchange(const Board& board, Move move) {
    return ExchangeAtLeast(board, move, ExchangeTolerance);
}

// A capture whose mover is worth no more than its victim cannot lose material, so the
// exchange is only played out for the others.
bool NeedsExchangeTest(Move move) {
    return MovePiece(move) > MoveCaptured(move);
}

void ScoreCaptures(MoveList& list) {
    for (std::uint32_t i = 0; i < list.count; ++i)
        list.score[i] = CaptureScore(list.moves[i]);
}

void ScoreEvasions(MoveList& list, const Board& board, const HistoryTable& historyScore,
                   Move hashMove) {
    const int side = board.sideToMove;
    for (std::uint32_t i = 0; i < list.count; ++i) {
        const Move move = list.moves[i];
        if (move == hashMove) {
            list.score[i] = HashEvasionScore;
        } else if (move & TacticalMask) {
            const int value = StaticExchange(board, move) - ExchangeTolerance;
            list.score[i]   = value < 0 ? value : value + GoodEvasionBonus;
        } else {
            list.score[i] = historyScore[HistoryIndex(move, side)];
        }
    }
}

void ScoreQuiets(MoveList& list, int side, const HistoryTable& historyScore) {
    for (std::uint32_t i = 0; i < list.count; ++i)
        list.score[i] = historyScore[HistoryIndex(list.moves[i], side)];
}

// Starts the evasion stage: shared by both pickers, which differ only in the hash move.
void StartEvasions(MovePicker& picker, const Board& board, const HistoryTable& historyScore,
                   Move hashMove) {
    GenerateEvasions(board, picker.list, picker.straightPins, picker.diagonalPins, picker.checkers,
                     static_cast<int>(picker.checkerCount));
    picker.evasionCount = static_cast<std::int32_t>(picker.list.count);
    ScoreEvasions(picker.list, board, historyScore, hashMove);
}

bool WasStoredMove(const MovePicker& picker, Move move) {
    return move == picker.hashMove || move == picker.mateKiller || move == picker.killers[0] ||
           move == picker.killers[1] || move == picker.killers[2] || move == picker.killers[3];
}

// Pops the next stage into picker.stage; false when none is left.
bool PopStage(MovePicker& picker) {
    if (picker.stages == 0)
        return false;
    picker.stage = static_cast<std::uint32_t>(std::countr_zero(picker.stages));
    picker.stages &= picker.stages - 1;
    return true;
}

// Ends the node's moves: an unknown stage or no stage left.
const Move& Finish(MovePicker& picker) {
    picker.stages     = 0;
    picker.list.count = 0;
    picker.current    = NoMove;
    return picker.current;
}

} // namespace

int CaptureScore(Move move) {
    if (move & PromotionFlag)
        return (5 - MovePromotion(move)) * 8;
    return MoveCaptured(move) * 8 - MovePiece(move) + 5;
}

void ComputePinLines(const Board& board, Bitboard checkers, Bitboard& straightPins,
                     Bitboard& diagonalPins) {
    const int king                 = board.kingSquare[board.sideToMove];
    const Bitboard enemy           = board.colour[board.sideToMove ^ 1] & ~checkers;
    const Bitboard queens          = board.pieces[Queen];
    const Bitboard diagonalSliders = (board.pieces[Bishop] | queens) & enemy;
    const Bitboard straightSliders = (board.pieces[Rook] | queens) & enemy;
    diagonalPins = PinLinesTo(board, king, diagonalSliders & BishopEmptyAttacks[king]);
    straightPins = PinLinesTo(board, king, straightSliders & RookEmptyAttacks[king]);
}

void InitPicker(const SearchState& state, MovePicker& picker, int ply, int checkerCount) {
    const PlyRecord& record = state.plies[ply];
    picker.current          = NoMove;
    picker.list.count       = 0;
    picker.stage            = 0;
    picker.evasionCount     = -1;
    picker.checkerCount     = static_cast<std::uint32_t>(checkerCount);
    picker.hashMove         = record.hashMove;
    picker.mateKiller       = record.mateKiller;
    picker.killers[0]       = record.killer1;
    picker.killers[1]       = record.killer2;
    if (ply >= 4) {
        picker.killers[2] = state.plies[ply - 2].killer1;
        picker.killers[3] = state.plies[ply - 2].killer2;
    } else {
        picker.killers[2] = NoMove;
        picker.killers[3] = NoMove;
    }
}

void InitQuiescencePicker(MovePicker& picker, int checkerCount) {
    picker.current      = NoMove;
    picker.list.count   = 0;
    picker.stage        = 0;
    picker.evasionCount = -1;
    picker.checkerCount = static_cast<std::uint32_t>(checkerCount);
    picker.hashMove     = NoMove;
    picker.mateKiller   = NoMove;
    picker.killers      = {NoMove, NoMove, NoMove, NoMove};
}

const Move& NextMove(MovePicker& picker, const Board& board, const HistoryTable& historyScore) {
    MoveList& list = picker.list;
    picker.current = NoMove;
    for (;;) {
        if (list.count == 0) {
            if (!PopStage(picker))
                return Finish(picker);
            switch (picker.stage) {
            case StageHashMove:
                if (IsStoredMoveLegal(board, picker.hashMove, picker.straightPins,
                                      picker.diagonalPins)) {
                    picker.current = picker.hashMove;
                    return picker.current;
                }
                break;
            case StageMateKiller:
                if (picker.mateKiller != picker.hashMove &&
                    IsStoredMoveLegal(board, picker.mateKiller, picker.straightPins,
                                      picker.diagonalPins)) {
                    picker.current = picker.mateKiller;
                    return picker.current;
                }
                break;
            case StageCaptures:
                GenerateCaptures(board, list, picker.straightPins, picker.diagonalPins);
                ScoreCaptures(list);
                break;
            case StageKillers:
                // Killers are quiet moves; a tactical word here would repeat a capture.
                for (const Move killer : picker.killers)
                    if (killer > NoMove && IsQuiet(killer) && killer != picker.hashMove &&
                        killer != picker.mateKiller)
                        list.moves[list.count++] = killer;
                break;
            case StageQuiets:
                GenerateQuietMoves(board, list, picker.straightPins, picker.diagonalPins);
                ScoreQuiets(list, board.sideToMove, historyScore);
                break;
            case StageEvasions:
                StartEvasions(picker, board, historyScore, picker.hashMove);
                break;
            default:
                return Finish(picker);
            }
            continue;
        }

        switch (picker.stage) {
        case StageCaptures: {
            SelectBest(list);
            const Move move = list.moves[0];
            if (move == picker.hashMove || move == picker.mateKiller) {
                TakeFirst(list);
                continue;
            }
            // A deferred capture comes back only after every other capture, and is not
            // tested again.
            if (list.score[0] < 0 || !NeedsExchangeTest(move) || IsSafeExchange(board, move)) {
                picker.current = TakeFirst(list);
                return picker.current;
            }
            list.score[0] -= DeferPenalty;
            continue;
        }
        case StageKillers: {
            // Taking position 0 out moves the last killer there, so four killers k1..k4 come
            // out as k1, k4, k3, k2.
            const Move killer = TakeFirst(list);
            if (!IsStoredMoveLegal(board, killer, picker.straightPins, picker.diagonalPins))
                continue;
            // The same killer may be held twice (this ply's and ply - 2's); it is played once.
            for (std::uint32_t i = 0; i < list.count; ++i)
                if (list.moves[i] == killer)
                    list.moves[i] = NoMove;
            picker.current = killer;
            return picker.current;
        }
        case StageQuiets: {
            SelectBest(list);
            const Move move = TakeFirst(list);
            // Stored moves that were legal here have already been played.
            if (WasStoredMove(picker, move))
                continue;
            picker.current = move;
            return picker.current;
        }
        default: // StageEvasions
            SelectBest(list);
            picker.current = TakeFirst(list);
            return picker.current;
        }
    }
}

const Move& NextQuiescenceMove(MovePicker& picker, Board& board, const HistoryTable& historyScore) {
    MoveList& list = picker.list;
    picker.current = NoMove;
    for (;;) {
        if (list.count == 0) {
            if (!PopStage(picker))
                return Finish(picker);
            switch (picker.stage) {
            case StageCaptures:
                GenerateCaptures(board, list, picker.straightPins, picker.diagonalPins);
                ScoreCaptures(list);
                break;
            case StageQuietChecks:
                GenerateQuietChecks(board, list);
                break;
            case StageEvasions:
                StartEvasions(picker, board, historyScore, NoMove);
                break;
            default:
                return Finish(picker);
            }
            continue;
        }

        switch (picker.stage) {
        case StageCaptures: {
            SelectBest(list);
            const Move move = TakeFirst(list);
            // Losing captures are never searched here.
            if (!NeedsExchangeTest(move) || IsSafeExchange(board, move)) {
                picker.current = move;
                return picker.current;
            }
            continue;
        }
        case StageQuietChecks: {
            const Move move = TakeFirst(list);
            if (IsSafeExchange(board, move)) {
                picker.current = move;
                return picker.current;
            }
            continue;
        }
        default: // StageEvasions
            SelectBest(list);
            picker.current = TakeFirst(list);
            return picker.current;
        }
    }
}

} // namespace tarvo
