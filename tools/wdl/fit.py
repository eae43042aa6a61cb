#!/usr/bin/env python3
"""Fits the engine's win/draw/loss model to its own games.

    tools/wdl/fit.py GAMES.pgn [...]

Reads games written by tools/wdl/play.sh (moves in coordinate notation, each engine move with a
comment "{+0.35/9 0.012s}": its score in pawns from the mover's view and its depth). Every move
that Tarvo scored (not a mate score) gives one sample: the score in centipawns, the material left
on the board before the move (pawn 1, knight and bishop 3, rook 5, queen 9, both sides, 0 to 78)
and the game's result from the mover's view.

The model, from the mover's view, with t = clamp(material, 10, 78) / 58:
    a = A0 + A1 t + A2 t^2,   b = B0 + B1 t + B2 t^2
    win  = 1 / (1 + exp((a - score) / b))
    loss = 1 / (1 + exp((a + score) / b))
    draw = 1 - win - loss
It is fitted by maximum likelihood on four games in five; the fifth game of each five is held
out, and the log-loss per sample on it is printed for the model, for a score-only model of the
same form (A1 = A2 = B1 = B2 = 0) and for the constant rates of the fitted games. Prints the
constants to paste into src/uci/wdl.cpp.
"""
import math
import re
import sys

VALUES = {"p": 1, "n": 3, "b": 3, "r": 5, "q": 9, "k": 0}
COMMENT = re.compile(r"^([+-]?)(M?)(\d+(?:\.\d+)?)/(\d+)")
TOKEN = re.compile(r"\{[^}]*\}|\S+")


def board_from_fen(fen):
    board = {}
    rank, file = 7, 0
    for c in fen.split()[0]:
        if c == "/":
            rank, file = rank - 1, 0
        elif c.isdigit():
            file += int(c)
        else:
            board[rank * 8 + file] = c
            file += 1
    return board


def square(text):
    return (ord(text[1]) - ord("1")) * 8 + ord(text[0]) - ord("a")


def play(board, move):
    """Plays a coordinate move on a square -> piece letter map (castling as the king's step)."""
    src, dst = square(move[0:2]), square(move[2:4])
    piece = board.pop(src)
    if piece in "Kk" and abs(dst - src) == 2:  # castling: the rook jumps over the king
        rook_from, rook_to = (src + 3, src + 1) if dst > src else (src - 4, src - 1)
        board[rook_to] = board.pop(rook_from)
    if piece in "Pp" and (dst - src) % 8 != 0 and dst not in board:  # en passant
        board.pop(dst - 8 if piece == "P" else dst + 8, None)
    if len(move) == 5:
        piece = move[4].upper() if piece == "P" else move[4]
    board[dst] = piece


def material(board):
    return sum(VALUES[p.lower()] for p in board.values())


def samples(path):
    """Yields (game number, score, material, result) for every scored Tarvo move."""
    text = open(path, encoding="utf-8", errors="replace").read()
    for number, game in enumerate(re.split(r"\n(?=\[Event )", text)):
        headers = dict(re.findall(r'^\[(\w+) "(.*)"\]', game, re.M))
        result = headers.get("Result")
        if result not in ("1-0", "0-1", "1/2-1/2"):
            continue
        tarvo = {side: headers.get(side, "").startswith("Tarvo") for side in ("White", "Black")}
        fen = headers.get("FEN", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1")
        board = board_from_fen(fen)
        white = fen.split()[1] == "w"
        body = game[game.rfind("]") + 1:]
        tokens = TOKEN.findall(body)
        for i, token in enumerate(tokens):
            if not re.fullmatch(r"[a-h][1-8][a-h][1-8][qrbn]?", token):
                continue
            comment = tokens[i + 1] if i + 1 < len(tokens) and tokens[i + 1].startswith("{") else ""
            match = COMMENT.match(comment[1:].strip()) if comment else None
            if match and not match.group(2) and tarvo["White" if white else "Black"]:
                score = float(match.group(3)) * 100 * (-1 if match.group(1) == "-" else 1)
                outcome = 0.5 if result == "1/2-1/2" else 1.0 if (result == "1-0") == white else 0.0
                yield number, round(score), material(board), outcome
            play(board, token)
            white = not white


def model(params, score, mat):
    t = min(max(mat, 10), 78) / 58
    a = params[0] + params[1] * t + params[2] * t * t
    b = params[3] + params[4] * t + params[5] * t * t
    b = max(b, 1.0)
    win = 1 / (1 + math.exp(min(max((a - score) / b, -50), 50)))
    loss = 1 / (1 + math.exp(min(max((a + score) / b, -50), 50)))
    return win, loss, a, b, t


def bins_of(rows):
    """Counts of wins, draws and losses by (score clipped and rounded to 10 cp, material)."""
    bins = {}
    for score, mat, outcome in rows:
        key = (max(-2000, min(2000, 10 * round(score / 10))), mat)
        counts = bins.setdefault(key, [0, 0, 0])
        counts[0 if outcome == 1.0 else 1 if outcome == 0.5 else 2] += 1
    return bins


def log_loss(params, bins):
    total, count = 0.0, 0
    for (score, mat), (w, d, l) in bins.items():
        win, loss, *_ = model(params, score, mat)
        draw = max(1 - win - loss, 1e-9)
        total -= w * math.log(max(win, 1e-9)) + d * math.log(draw) + l * math.log(max(loss, 1e-9))
        count += w + d + l
    return total / count


def gradient(params, bins, free):
    grad = [0.0] * 6
    for (score, mat), (nw, nd, nl) in bins.items():
        win, loss, a, b, t = model(params, score, mat)
        draw = max(1 - win - loss, 1e-9)
        win, loss = max(win, 1e-9), max(loss, 1e-9)
        u, v = (score - a) / b, (-score - a) / b
        dw = win * (1 - win)
        dl = loss * (1 - loss)
        # d(win)/da, d(win)/db, d(loss)/da, d(loss)/db
        dwa, dwb = -dw / b, -dw * u / b
        dla, dlb = -dl / b, -dl * v / b
        ga = -(nw * dwa / win + nd * (-dwa - dla) / draw + nl * dla / loss)
        gb = -(nw * dwb / win + nd * (-dwb - dlb) / draw + nl * dlb / loss)
        powers = (1, t, t * t)
        for i in range(3):
            grad[i] += ga * powers[i]
            grad[3 + i] += gb * powers[i]
    n = sum(sum(c) for c in bins.values())
    return [g / n if f else 0.0 for g, f in zip(grad, free)]


def fit(bins, start, free, steps=1500):
    """Adam on the mean log-loss."""
    params = list(start)
    m, v = [0.0] * 6, [0.0] * 6
    rate, beta1, beta2 = 2.0, 0.9, 0.999
    for step in range(1, steps + 1):
        g = gradient(params, bins, free)
        for i in range(6):
            m[i] = beta1 * m[i] + (1 - beta1) * g[i]
            v[i] = beta2 * v[i] + (1 - beta2) * g[i] * g[i]
            params[i] -= rate * (m[i] / (1 - beta1**step)) / (math.sqrt(v[i] / (1 - beta2**step)) + 1e-12)
        if step % 500 == 0:
            print(f"  step {step}: log-loss {log_loss(params, bins):.5f}", file=sys.stderr)
    return params


def main():
    train, test = [], []
    games = set()
    for index, path in enumerate(sys.argv[1:]):
        for number, score, mat, outcome in samples(path):
            games.add((index, number))
            (test if number % 5 == 0 else train).append((score, mat, outcome))
    print(f"{len(games)} games, {len(train)} samples fitted, {len(test)} held out")
    train_bins, test_bins = bins_of(train), bins_of(test)

    n = len(train)
    rates = [sum(1 for r in train if r[2] == o) / n for o in (1.0, 0.5, 0.0)]
    constant = -sum(
        sum(c[i] for c in test_bins.values()) * math.log(rates[i]) for i in range(3)
    ) / len(test)

    score_only = fit(train_bins, [150, 0, 0, 80, 0, 0], [True, False, False, True, False, False])
    full = fit(train_bins, score_only, [True] * 6)
    print(f"win/draw/loss rates of the fitted games: {rates[0]:.3f} {rates[1]:.3f} {rates[2]:.3f}")
    print(f"held-out log-loss: constant {constant:.4f}, score only {log_loss(score_only, test_bins):.4f}, "
          f"score and material {log_loss(full, test_bins):.4f}")
    print("score-only a, b: %.1f %.1f" % (score_only[0], score_only[3]))
    print("WdlA = {%.2f, %.2f, %.2f}" % tuple(full[0:3]))
    print("WdlB = {%.2f, %.2f, %.2f}" % tuple(full[3:6]))


if __name__ == "__main__":
    main()
