#include "uci/notation.h"

#include "board/movegen.h"

namespace tarvo {

namespace {

constexpr char PromotionLetters[] = "qnrb";

// The square of a file letter and rank digit, or -1 when either is off the board.
int squareOf(char file, char rank) {
    if (file < 'a' || file > 'h' || rank < '1' || rank > '8')
        return -1;
    return (file - 'a') + 8 * (rank - '1');
}

int distance(int from, int to) {
    return from > to ? from - to : to - from;
}

} // namespace

Move parseMoveText(std::string_view token, const Board& board, bool chess960) {
    if (token.size() < 4 || token.size() > 5)
        return NullMove;
    const int from = squareOf(token[0], token[1]);
    const int to   = squareOf(token[2], token[3]);
    if (from < 0 || to < 0)
        return NullMove;
    const int moving = board.squares[from];
    Move flags       = 0;
    if (token.size() == 5)
        for (int index = 0; index < 4; ++index)
            if (token[4] == PromotionLetters[index])
                flags |= PromotionWord(index);
    if (moving == King && chess960) {
        if (board.pieces[Rook] & board.colour[board.sideToMove] & (Bitboard{1} << to))
            flags |= CastlingFlag;
    } else if (moving == King && distance(from, to) == 2) {
        // Standard castling rooks stand in the corners.
        flags |= CastlingFlag;
        return MakeMoveWord(from, (from & 56) + (to > from ? 7 : 0), King, NoPiece, flags);
    }
    return MakeMoveWord(from, to, moving, NoPiece, flags);
}

Move findLegalMove(std::string_view token, const Board& board, bool chess960) {
    const Move parsed = parseMoveText(token, board, chess960);
    if (parsed == NullMove)
        return NullMove;
    constexpr Move Identity = FromMask | ToMask | PromotionFlag | PromotionMask | CastlingFlag;
    MoveList legal;
    GenerateLegalMoves(board, legal);
    for (std::uint32_t i = 0; i < legal.count; ++i)
        if ((legal.moves[i] & Identity) == (parsed & Identity))
            return legal.moves[i];
    return NullMove;
}

MoveText moveToText(Move move, bool chess960) {
    if (move == NullMove)
        return {'n', 'u', 'l', 'l', '\0', '\0'};
    if (move == NoMove)
        return {'n', 'o', 'n', 'e', '\0', '\0'};
    const int from = MoveFrom(move);
    const int to =
        (move & CastlingFlag) && !chess960 ? CastlingKingTo(from, MoveTo(move)) : MoveTo(move);
    MoveText text{};
    text[0] = static_cast<char>('a' + (from & 7));
    text[1] = static_cast<char>('1' + (from >> 3));
    text[2] = static_cast<char>('a' + (to & 7));
    text[3] = static_cast<char>('1' + (to >> 3));
    if (move & PromotionFlag)
        text[4] = PromotionLetters[MovePromotion(move)];
    return text;
}

} // namespace tarvo
