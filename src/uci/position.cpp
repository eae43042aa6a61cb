#include "uci/position.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "board/fen.h"
#include "board/make_move.h"
#include "uci/notation.h"

namespace tarvo {

namespace {

constexpr std::size_t MaxEchoedLength    = 32;
constexpr std::size_t FenCapacity        = 512;

bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}

// Keeps the last KeptHistory keys once a long game nears the end of the key history. The
// draw test reads at most 100 plies back, so no repetition it could see is lost.
void compactHistory(Board& board) {
    if (board.historyCount < static_cast<std::uint32_t>(CompactionThreshold))
        return;
    const std::uint32_t first = board.historyCount - KeptHistory;
    std::memmove(board.history.data(), board.history.data() + first,
                 KeptHistory * sizeof board.history[0]);
    board.historyCount = KeptHistory;
}

// Writes the refused token, shortened and with control bytes masked: input is echoed, never
// trusted to be printable.
void reportIllegalMove(std::string_view token) {
    char shown[MaxEchoedLength + 1];
    std::size_t length = token.size() < MaxEchoedLength ? token.size() : MaxEchoedLength;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        shown[i]              = (c >= 0x21 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    shown[length] = '\0';
    std::printf("info string illegal move %s\n", shown);
}

// Reads the FEN that follows "fen " in text[0, end) into `fen`; false when there is none.
bool extractFen(const char* text, std::size_t end, char (&fen)[FenCapacity]) {
    const std::string_view head(text, end);
    const std::size_t at = head.find("fen ");
    if (at == std::string_view::npos)
        return false;
    std::string_view body = head.substr(at + 4);
    if (const std::size_t newline = body.find('\n'); newline != std::string_view::npos)
        body = body.substr(0, newline);
    if (body.size() > FenCapacity - 1)
        body = body.substr(0, FenCapacity - 1);
    std::memcpy(fen, body.data(), body.size());
    fen[body.size()] = '\0';
    return true;
}

} // namespace

bool handlePosition(const OptionTable& options, const char* text, Board& board) {
    const bool chess960 = isChess960(options);
    const char* moves   = std::strstr(text, "moves ");
    if (std::strstr(text, "startpos")) {
        SetFromFen(board, StartFen, nullptr, chess960);
    } else {
        // The blank in front of "moves" ends the FEN.
        const std::size_t end =
            moves ? (moves > text ? static_cast<std::size_t>(moves - text) - 1 : 0)
                  : std::strlen(text);
        static char fen[FenCapacity];
        if (!extractFen(text, end, fen)) {
            std::printf("info string invalid position: neither startpos nor fen\n");
            return false;
        }
        const char* reason = nullptr;
        if (!SetFromFen(board, fen, &reason, chess960)) {
            if (!reason)
                reason = "unreadable";
            else if (std::strncmp(reason, "fen: ", 5) == 0)
                reason += 5;
            std::printf("info string invalid fen: %s\n", reason);
            return false;
        }
    }
    if (!moves)
        return true;

    const char* cursor = moves + 6;
    for (;;) {
        while (isSeparator(*cursor))
            ++cursor;
        if (*cursor == '\0' || *cursor == '\n')
            return true;
        const char* tokenEnd = cursor;
        while (*tokenEnd && *tokenEnd != '\n' && !isSeparator(*tokenEnd))
            ++tokenEnd;
        const std::string_view token(cursor, static_cast<std::size_t>(tokenEnd - cursor));
        cursor = tokenEnd;

        compactHistory(board);
        const Move move = findLegalMove(token, board, chess960);
        if (move == NullMove) {
            reportIllegalMove(token);
            return false;
        }
        if (board.sideToMove == Black && board.fullmoveNumber < UINT16_MAX)
            ++board.fullmoveNumber;
        UndoInfo undo;
        MakeMove(board, move, undo);
    }
}

} // namespace tarvo
