#include "uci/go.h"

#include "board/movegen.h"
#include "board/tables.h"
#include "search/root.h"
#include "uci/hooks.h"
#include "uci/io.h"
#include "uci/notation.h"
#include "uci/perft_command.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace tarvo {

namespace {

// The whole number that starts `offset` characters after the first occurrence of `keyword`:
// blanks skipped, an optional sign, digits up to the first non-digit. No digits give 0, and a
// number too large for 32 bits is held at the nearest bound instead of wrapping.
std::int32_t readNumberAfter(const char* text, const char* keyword, std::size_t offset) {
    const char* found = std::strstr(text, keyword);
    if (found == nullptr || std::strlen(found) < offset)
        return 0;
    const char* cursor = found + offset;
    while (*cursor == ' ' || *cursor == '\t')
        ++cursor;
    bool negative = false;
    if (*cursor == '+' || *cursor == '-')
        negative = *cursor++ == '-';
    std::int64_t value           = 0;
    constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    while (std::isdigit(static_cast<unsigned char>(*cursor))) {
        value = value * 10 + (*cursor++ - '0');
        if (value > Limit)
            value = Limit;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min(value, Limit - 1));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Calls visit(token) for each move token after "searchmoves": blanks skipped before each,
// tokens ended by a blank or the line's end.
template <typename Visit> void forEachSearchMoveToken(const char* text, Visit visit) {
    const char* found = std::strstr(text, "searchmoves");
    if (found == nullptr || std::strlen(found) < 12)
        return;
    const char* cursor = found + 12;
    while (true) {
        while (IsBlank(*cursor))
            ++cursor;
        if (*cursor == '\0' || *cursor == '\n' || *cursor == '\r')
            return;
        const char* start = cursor;
        while (*cursor != '\0' && *cursor != '\n' && *cursor != '\r' && !IsBlank(*cursor))
            ++cursor;
        visit(std::string_view(start, static_cast<std::size_t>(cursor - start)));
    }
}

void readSearchMoves(const char* text, const Board& board, bool chess960, MoveList& list) {
    forEachSearchMoveToken(text, [&](std::string_view token) {
        const Move move = parseMoveText(token, board, chess960);
        if (move > NoMove && list.count < MaxMoves)
            list.moves[list.count++] = move;
    });
}

// Names the searchmoves tokens that are no legal move here, shortened and with control bytes
// masked: input is echoed, never trusted to be printable.
void reportIgnoredSearchMoves(const char* text, const Board& board, bool chess960) {
    constexpr std::size_t TokenShown = 8, Capacity = 480;
    char ignored[Capacity + 1];
    std::size_t length = 0;
    forEachSearchMoveToken(text, [&](std::string_view token) {
        if (length + TokenShown + 1 > Capacity || findLegalMove(token, board, chess960) != NullMove)
            return;
        ignored[length++] = ' ';
        for (std::size_t i = 0; i < token.size() && i < TokenShown; ++i) {
            const auto c      = static_cast<unsigned char>(token[i]);
            ignored[length++] = c >= 0x21 && c < 0x7f ? static_cast<char>(c) : '?';
        }
    });
    if (length == 0)
        return;
    ignored[length] = '\0';
    std::printf("info string searchmoves ignored, not legal here:%s\n", ignored);
}

// A root without a legal move has no line to report: its score is said once, mated or drawn.
void reportNoLegalMove(const Board& board) {
    MoveList legal;
    GenerateLegalMoves(board, legal);
    if (legal.count > 0)
        return;
    const int side = board.sideToMove;
    if (IsSquareAttacked(board, side ^ 1, board.kingSquare[side]))
        std::fputs("info depth 0 score mate 0\n", stdout);
    else
        std::fputs("info depth 0 score cp 0\n", stdout);
}

} // namespace

SearchLimits parseGoText(const char* text, const Board& board, bool chess960) {
    SearchLimits limits;
    limits.wtime     = readNumberAfter(text, "wtime", 6);
    limits.btime     = readNumberAfter(text, "btime", 6);
    limits.winc      = readNumberAfter(text, "winc", 5);
    limits.binc      = readNumberAfter(text, "binc", 5);
    limits.depth     = readNumberAfter(text, "depth", 6);
    limits.nodes     = readNumberAfter(text, "nodes", 6);
    limits.mate      = readNumberAfter(text, "mate", 5);
    limits.movestogo = readNumberAfter(text, "movestogo", 10);
    limits.movetime  = readNumberAfter(text, "movetime", 9);
    limits.ponder    = std::strstr(text, "ponder") != nullptr;
    limits.infinite  = std::strstr(text, "infinite") != nullptr;
    // An explicit depth below one still asks for an answer: one iteration gives it. (A depth
    // of 0 would otherwise read as "no depth limit", a negative one as "no iteration at all".)
    if (std::strstr(text, "depth") != nullptr && limits.depth < 1)
        limits.depth = 1;
    limits.searchmoves.count = 0;
    readSearchMoves(text, board, chess960, limits.searchmoves);
    return limits;
}

void printBestMove(const PlyRecord& root, bool chess960) {
    if (root.pvLength == 0 || root.pv[0] <= NoMove) {
        std::fputs("bestmove 0000\n", stdout);
        return;
    }
    // Single blanks and nothing trailing: interfaces split the line on blanks.
    char line[64];
    if (root.pvLength >= 2 && root.pv[1] > NoMove)
        std::snprintf(line, sizeof line, "bestmove %s ponder %s\n",
                      moveToText(root.pv[0], chess960).data(),
                      moveToText(root.pv[1], chess960).data());
    else
        std::snprintf(line, sizeof line, "bestmove %s\n", moveToText(root.pv[0], chess960).data());
    std::fputs(line, stdout);
}

void handleGo(const OptionTable& options, const char* text, Board& board, SearchState& state,
              bool positionRefused) {
    const bool chess960 = isChess960(options);
    const char* command = text;
    while (IsBlank(*command))
        ++command;
    if (std::strncmp(command, "perft", 5) == 0) {
        handlePerft(command + 5, board, chess960);
        return;
    }
    // The shell's hooks unless the owner of the state installed its own.
    if (state.hooks.setUp == nullptr)
        installSearchHooks(state);
    SearchLimits limits = parseGoText(text, board, chess960);
    if (positionRefused) {
        std::fputs("info string no position to search: the last position command was refused\n",
                   stdout);
        limits.emptyRoot = true;
    } else {
        reportIgnoredSearchMoves(text, board, chess960);
        reportNoLegalMove(board);
    }
    RootSearch(state, board, limits);
    endSearchInput();
    printBestMove(state.plies[0], chess960);
}

} // namespace tarvo
