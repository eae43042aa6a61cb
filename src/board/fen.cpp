#include "board/fen.h"

#include "board/castling.h"
#include "board/tables.h"

namespace tarvo {

namespace {

constexpr const char* PieceLetters = " pnbrqk";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

const char* SkipBlanks(const char* text) {
    while (IsBlank(*text))
        ++text;
    return text;
}

const char* SkipField(const char* text) {
    while (*text != '\0' && !IsBlank(*text))
        ++text;
    return text;
}

// The board counts half-moves up to 255 (every game has ended long before).
constexpr int MaxHalfmoveClock = 255;
constexpr int MaxMoveNumber    = 9999;

// Reads the whole number of the field at `text`, if there is one, into `value` and moves past
// it. False when the field is not made of digits alone or exceeds `maximum`.
bool ReadCounter(const char*& text, int maximum, int& value) {
    text = SkipBlanks(text);
    if (*text == '\0' || *text == '\n' || *text == '\r')
        return true;
    const char* end = SkipField(text);
    int number      = 0;
    for (const char* digit = text; digit < end; ++digit) {
        if (*digit == '\n' || *digit == '\r') {
            end = digit;
            break;
        }
        if (*digit < '0' || *digit > '9')
            return false;
        number = number * 10 + (*digit - '0');
        if (number > maximum)
            return false;
    }
    value = number;
    text  = end;
    return true;
}

int PieceFromLetter(char letter) {
    switch (letter | 0x20) {
    case 'p':
        return Pawn;
    case 'n':
        return Knight;
    case 'b':
        return Bishop;
    case 'r':
        return Rook;
    case 'q':
        return Queen;
    case 'k':
        return King;
    default:
        return NoPiece;
    }
}

int CountBits(Bitboard set) {
    int count = 0;
    for (; set != 0; set &= set - 1)
        ++count;
    return count;
}

void PutPiece(Board& board, int colour, int type, int square) {
    board.squares[square] = static_cast<std::uint8_t>(type);
    board.pieces[type] |= SquareBit[square];
    board.colour[colour] |= SquareBit[square];
    if (type == King)
        board.kingSquare[colour] = static_cast<std::uint8_t>(square);
}

// Reads the placement field into `board`; returns where the field ends, or nullptr.
const char* ReadPlacement(Board& board, const char* text, const char** reason) {
    int rank = 7;
    int file = 0;
    for (;; ++text) {
        const char c = *text;
        if (c == '\0') {
            *reason = "fen: text ends inside the piece placement";
            return nullptr;
        }
        if (IsBlank(c))
            break;
        if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) {
                *reason = "fen: rank does not add up to 8 squares";
                return nullptr;
            }
        } else if (c == '/') {
            if (file != 8) {
                *reason = "fen: rank does not add up to 8 squares";
                return nullptr;
            }
            if (rank == 0) {
                *reason = "fen: more than 8 ranks";
                return nullptr;
            }
            --rank;
            file = 0;
        } else if (const int type = PieceFromLetter(c); type != NoPiece) {
            if (file >= 8) {
                *reason = "fen: rank does not add up to 8 squares";
                return nullptr;
            }
            PutPiece(board, (c & 0x20) ? Black : White, type, 8 * rank + file);
            ++file;
        } else {
            *reason = "fen: unknown character in the piece placement";
            return nullptr;
        }
    }
    if (rank != 0) {
        *reason = "fen: fewer than 8 ranks";
        return nullptr;
    }
    if (file != 8) {
        *reason = "fen: rank does not add up to 8 squares";
        return nullptr;
    }
    return text;
}

// The reasons a set of pieces cannot be played from, or nullptr when it can.
const char* CheckPieces(const Board& board) {
    for (int colour = White; colour <= Black; ++colour) {
        if (CountBits(board.pieces[King] & board.colour[colour]) != 1)
            return "fen: each side needs exactly one king";
        if (CountBits(board.colour[colour]) > 16)
            return "fen: more than 16 pieces of one side";
    }
    if (board.pieces[Pawn] & (RankMask[0] | 0xff00000000000000ULL))
        return "fen: pawn on the first or last rank";
    return nullptr;
}

// The castling rook of `side` named by the castling letter `letter` (K or Q for the outermost
// rook on that wing, a file letter for the rook on that file), or -1 when there is none.
int CastlingRookFor(const Board& board, int side, char letter) {
    const int base       = side == White ? 0 : 56;
    const int king       = board.kingSquare[side];
    const Bitboard rooks = board.pieces[Rook] & board.colour[side];
    if ((king & 56) != base)
        return -1;
    int first = 0, last = 0, step = 1; // files searched, in order
    if (letter == 'k') {
        first = 7, last = (king & 7) + 1, step = -1;
    } else if (letter == 'q') {
        first = 0, last = (king & 7) - 1;
    } else if (letter >= 'a' && letter <= 'h') {
        first = last = letter - 'a';
    } else {
        return -1;
    }
    for (int file = first; step > 0 ? file <= last : file >= last; file += step)
        if (rooks & SquareBit[base + file])
            return base + file;
    return -1;
}

// Reads the castling field: KQkq for the outermost rook on a wing, file letters (A-H for White,
// a-h for Black) for a named rook, in any mix. A right whose king or rook is missing is dropped;
// in standard chess so is one whose king and rook are not on their standard squares.
void ReadCastling(Board& board, const char* text, bool chess960) {
    for (; *text != '\0' && !IsBlank(*text); ++text) {
        const bool upper = *text >= 'A' && *text <= 'Z';
        const int side   = upper ? White : Black;
        const int rook   = CastlingRookFor(board, side, static_cast<char>(*text | 0x20));
        const int king   = board.kingSquare[side];
        if (rook < 0 || rook == king)
            continue;
        if (!chess960 && ((king & 7) != 4 || ((rook & 7) != 0 && (rook & 7) != 7)))
            continue;
        const int index = CastlingIndex(side, king, rook);
        board.castling |= static_cast<std::uint8_t>(1 << index);
        board.castlingSetup.rook[index] = static_cast<std::uint8_t>(rook);
    }
    SetUpCastling(board);
}

// The castling field: KQkq where the rook is the outermost on its wing, its file letter where
// that would name another rook.
std::string WriteCastling(const Board& board) {
    std::string field;
    constexpr int order[4] = {0, 2, 1, 3}; // K, Q, k, q
    for (const int index : order) {
        if (!(board.castling & (1 << index)))
            continue;
        const int side      = index & 1;
        const int rook      = board.castlingSetup.rook[index];
        const bool kingSide = index < 2;
        const char named    = kingSide ? 'k' : 'q';
        const char letter   = CastlingRookFor(board, side, named) == rook
                                  ? named
                                  : static_cast<char>('a' + (rook & 7));
        field += side == White ? static_cast<char>(letter - 0x20) : letter;
    }
    return field.empty() ? "-" : field;
}

} // namespace

bool SetFromFen(Board& board, const char* text, const char** reason, bool chess960) {
    const char* ignored = nullptr;
    if (reason == nullptr)
        reason = &ignored;
    if (text == nullptr) {
        *reason = "fen: no text";
        return false;
    }

    // Value-initialised, so the history array copied below holds no indeterminate values.
    Board parsed{};
    parsed.sideToMove = White;

    text = ReadPlacement(parsed, SkipBlanks(text), reason);
    if (text == nullptr)
        return false;
    if (const char* problem = CheckPieces(parsed)) {
        *reason = problem;
        return false;
    }

    text = SkipBlanks(text);
    if (*text == '\0') {
        *reason = "fen: no side to move";
        return false;
    }
    if (*text == 'b')
        parsed.sideToMove = Black;
    text = SkipBlanks(SkipField(text));

    ReadCastling(parsed, text, chess960);
    text = SkipField(text);

    text = SkipBlanks(text);
    if (*text >= 'a' && *text <= 'h')
        parsed.epFile = static_cast<std::uint8_t>(*text - 'a' + 1);
    text = SkipBlanks(SkipField(text));

    // The counters: absent ones take their usual values, nonsense is refused.
    int clock = 0, moveNumber = 1;
    if (!ReadCounter(text, MaxHalfmoveClock, clock)) {
        *reason = "fen: half-move clock is not a number from 0 to 255";
        return false;
    }
    if (!ReadCounter(text, MaxMoveNumber, moveNumber)) {
        *reason = "fen: move number is not a number from 1 to 9999";
        return false;
    }
    parsed.halfmoveClock  = static_cast<std::uint8_t>(clock);
    parsed.fullmoveNumber = static_cast<std::uint16_t>(moveNumber < 1 ? 1 : moveNumber);

    parsed.occupied = parsed.colour[White] | parsed.colour[Black];

    const int mover = parsed.sideToMove;
    if (IsSquareAttacked(parsed, mover, parsed.kingSquare[mover ^ 1])) {
        *reason = "fen: the side not to move is in check";
        return false;
    }

    parsed.hashKey = ComputeHashKey(parsed);
    board          = parsed;
    return true;
}

std::uint64_t ComputeHashKey(const Board& board) {
    std::uint64_t key = 0;
    for (int colour = White; colour <= Black; ++colour) {
        for (Bitboard set = board.colour[colour]; set != 0; set &= set - 1) {
            const int square = BitScan(set);
            key ^= PieceKey[board.squares[square] - 1 + 6 * colour][square];
        }
    }
    if (board.sideToMove == Black)
        key ^= SideKey;
    key ^= board.castlingSetup.key[board.castling & 15];
    if (board.epFile >= 1 && board.epFile <= 8)
        key ^= EnPassantKey[board.epFile];
    return key;
}

std::string WriteFen(const Board& board) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const int square = 8 * rank + file;
            const int type   = board.squares[square];
            if (type == NoPiece) {
                ++empty;
                continue;
            }
            if (empty > 0)
                fen += static_cast<char>('0' + empty);
            empty        = 0;
            const char c = PieceLetters[type];
            fen += (board.colour[White] & SquareBit[square]) ? static_cast<char>(c - 0x20) : c;
        }
        if (empty > 0)
            fen += static_cast<char>('0' + empty);
        if (rank > 0)
            fen += '/';
    }
    fen += board.sideToMove == White ? " w " : " b ";
    fen += WriteCastling(board);
    if (board.epFile >= 1 && board.epFile <= 8) {
        fen += ' ';
        fen += static_cast<char>('a' + board.epFile - 1);
        fen += board.sideToMove == White ? '6' : '3';
    } else {
        fen += " -";
    }
    fen += ' ' + std::to_string(board.halfmoveClock) + ' ' +
           std::to_string(board.fullmoveNumber < 1 ? 1 : board.fullmoveNumber);
    return fen;
}

} // namespace tarvo
