#include "search/tablebase.h"

#include "search/draw.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <tbprobe.h>

namespace tarvo {

namespace {

// The library's loaded tables are process-wide state, and the build of it this engine links
// maps a table into memory on its first probe without a lock of its own; every call into the
// library holds this lock, so probes from several search threads cannot race on that.
std::mutex LibraryLock;

// Our own count of loaded pieces is the only one to trust: the library leaves TB_LARGEST at
// its old value when an empty path unloads the tables, and a probe after that crashes.
int LoadedPieces = 0;

// Results of one move, from the mover's view, once the fifty-move option is applied.
enum Outcome : int { Loss = -1, Draw = 0, Win = 1 };

bool IsEmptyPath(std::string_view path) {
    return path.empty() || path == "<empty>";
}

int CountTableFiles(std::string_view path) {
    int tables = 0;
    while (!path.empty()) {
        const std::size_t colon = path.find(':');
        const std::string folder(path.substr(0, colon));
        path = colon == std::string_view::npos ? std::string_view() : path.substr(colon + 1);
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error))
            if (entry->path().extension() == ".rtbw")
                ++tables;
    }
    return tables;
}

// The en-passant target square of the library's board (a1 = 0, as ours), or 0 for none.
unsigned EnPassantSquare(const Board& board) {
    if (board.epFile == 0)
        return 0;
    const int rank = board.sideToMove == White ? 5 : 2;
    return static_cast<unsigned>(rank * 8 + board.epFile - 1);
}

// The library's promotion code for a move word: 0 none, 1 queen, 2 rook, 3 bishop, 4 knight.
unsigned PromotionCode(Move move) {
    if ((move & PromotionFlag) == 0)
        return TB_PROMOTES_NONE;
    switch (PromotionPiece[MovePromotion(move)]) {
    case Queen:
        return TB_PROMOTES_QUEEN;
    case Rook:
        return TB_PROMOTES_ROOK;
    case Bishop:
        return TB_PROMOTES_BISHOP;
    default:
        return TB_PROMOTES_KNIGHT;
    }
}

Outcome OutcomeOf(unsigned wdl, bool fiftyMoveRule) {
    switch (wdl) {
    case TB_WIN:
        return Win;
    case TB_LOSS:
        return Loss;
    case TB_CURSED_WIN:
        return fiftyMoveRule ? Draw : Win;
    case TB_BLESSED_LOSS:
        return fiftyMoveRule ? Draw : Loss;
    default:
        return Draw;
    }
}

} // namespace

TablebaseLoad LoadTablebases(std::string_view path) {
    std::lock_guard<std::mutex> lock(LibraryLock);
    LoadedPieces = 0;
    if (IsEmptyPath(path)) {
        tb_init("");
        return {};
    }
    const std::string text(path);
    if (!tb_init(text.c_str()) || TB_LARGEST == 0) {
        tb_init("");
        return {};
    }
    LoadedPieces = static_cast<int>(TB_LARGEST);
    return {CountTableFiles(path), LoadedPieces};
}

bool ProbeTablebaseScore(SearchState& state, const Board& board, int ply, int& score) {
    unsigned wdl;
    {
        std::lock_guard<std::mutex> lock(LibraryLock);
        if (LoadedPieces == 0)
            return false;
        wdl = tb_probe_wdl(board.colour[White], board.colour[Black], board.pieces[King],
                           board.pieces[Queen], board.pieces[Rook], board.pieces[Bishop],
                           board.pieces[Knight], board.pieces[Pawn], 0, 0, EnPassantSquare(board),
                           board.sideToMove == White);
    }
    if (wdl == TB_RESULT_FAILED)
        return false;
    ++state.tbHits;
    score = OutcomeOf(wdl, state.options.syzygy50MoveRule) * (TablebaseWinScore - ply);
    return true;
}

void FilterRootMovesByTablebase(SearchState& state, const Board& board, MoveList& rootMoves) {
    SearchControl& control  = state.control;
    control.rootInTablebase = false;
    if (!IsTablebasePosition(state, board) || rootMoves.count == 0)
        return;

    std::array<unsigned, TB_MAX_MOVES> results;
    unsigned verdict;
    {
        std::lock_guard<std::mutex> lock(LibraryLock);
        if (LoadedPieces == 0)
            return;
        verdict = tb_probe_root(board.colour[White], board.colour[Black], board.pieces[King],
                                board.pieces[Queen], board.pieces[Rook], board.pieces[Bishop],
                                board.pieces[Knight], board.pieces[Pawn], board.halfmoveClock, 0,
                                EnPassantSquare(board), board.sideToMove == White, results.data());
    }
    if (verdict == TB_RESULT_FAILED)
        return;
    ++state.tbHits;

    // Each root move's outcome and distance to zeroing; a move the tables did not list
    // leaves the list as it is (the search then decides alone).
    std::array<Outcome, MaxMoves> outcome;
    std::array<unsigned, MaxMoves> distance;
    Outcome best = Loss;
    for (std::uint32_t i = 0; i < rootMoves.count; ++i) {
        const Move move = rootMoves.moves[i];
        bool found      = false;
        for (std::size_t r = 0; r < results.size() && results[r] != TB_RESULT_FAILED; ++r) {
            const unsigned result = results[r];
            if (TB_GET_FROM(result) == static_cast<unsigned>(MoveFrom(move)) &&
                TB_GET_TO(result) == static_cast<unsigned>(MoveTo(move)) &&
                TB_GET_PROMOTES(result) == PromotionCode(move)) {
                outcome[i]  = OutcomeOf(TB_GET_WDL(result), state.options.syzygy50MoveRule);
                distance[i] = TB_GET_DTZ(result);
                found       = true;
                break;
            }
        }
        if (!found)
            return;
        best = std::max(best, outcome[i]);
    }

    // A win whose zeroing move falls exactly on the hundredth half-move is not certain: the
    // distance tables round some values by one. Such wins are kept only when no move wins
    // with a ply to spare (a win beyond the fifty-move rule, counted as a win when the
    // option is off, has none to spare either).
    const unsigned clock = board.halfmoveClock;
    bool certainWin      = false;
    unsigned fastestWin  = ~0u;
    for (std::uint32_t i = 0; i < rootMoves.count; ++i) {
        if (outcome[i] == Win && distance[i] + clock <= 99) {
            certainWin = true;
            fastestWin = std::min(fastestWin, distance[i]);
        }
    }
    // Once the game has come back to this position, any winning move could let it come back
    // a third time; only the fastest road to zeroing is sure to leave the cycle.
    const bool repeated = certainWin && best == Win && IsDrawByRule(board);

    // Keep the moves that hold the best result, in their order; the search chooses among them.
    std::uint32_t kept = 0;
    for (std::uint32_t i = 0; i < rootMoves.count; ++i)
        if (outcome[i] == best && (!certainWin || distance[i] + clock <= 99) &&
            (!repeated || distance[i] == fastestWin))
            rootMoves.moves[kept++] = rootMoves.moves[i];
    rootMoves.count = kept;

    control.rootInTablebase    = true;
    control.rootTablebaseScore = best * TablebaseWinScore;
}

} // namespace tarvo
