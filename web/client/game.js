// The game model: a start position and the moves played from it, on chessops. Moves are kept in
// chessops' own form (castling as the king taking its rook); `engineUci` gives the engine's form.
import { Chess, castlingSide, normalizeMove } from 'chessops/chess';
import { parseFen, makeFen, INITIAL_FEN } from 'chessops/fen';
import { makeSan, parseSan } from 'chessops/san';
import { parseUci, makeUci, makeSquare, kingCastlesTo } from 'chessops/util';
import { chessgroundDests } from 'chessops/compat';
import { parsePgn, startingPosition } from 'chessops/pgn';

const FEN_FIELDS = ['piece placement', 'side to move', 'castling', 'en passant square', 'halfmove clock', 'move number'];
const FEN_ERRORS = {
  ERR_FEN: 'it is not a FEN (it needs at least the piece placement)',
  ERR_BOARD: 'field 1 (piece placement) is not 8 ranks of 8 squares with pieces from KQRBNPkqrbnp',
  ERR_TURN: 'field 2 (side to move) must be w or b',
  ERR_CASTLING: 'field 3 (castling) must be -, KQkq or rook files such as HAha',
  ERR_EP_SQUARE: 'field 4 (en passant) must be - or a square on rank 3 or 6',
  ERR_HALFMOVES: 'field 5 (halfmove clock) must be a number',
  ERR_FULLMOVES: 'field 6 (move number) must be a number',
};
const POSITION_ERRORS = {
  ERR_EMPTY: 'the board is empty',
  ERR_KINGS: 'each side needs exactly one king',
  ERR_OPPOSITE_CHECK: 'the side not to move is in check',
  ERR_IMPOSSIBLE_CHECK: 'the check cannot arise in a game',
  ERR_PAWNS_ON_BACKRANK: 'pawns stand on the first or last rank',
  ERR_VARIANT: 'the position is not one of standard chess',
};

// Reads a FEN; returns { pos } or { error } with the field that fails.
export function readFen(text) {
  const fen = text.trim().replace(/\s+/g, ' ');
  if (!fen) return { error: 'FEN: empty' };
  const fields = fen.split(' ');
  if (fields.length > 6) return { error: `FEN: ${fields.length} fields, at most 6 (${FEN_FIELDS.join(', ')})` };
  const setup = parseFen(fen);
  if (setup.isErr) return { error: `FEN: ${FEN_ERRORS[setup.error.message] ?? setup.error.message}` };
  const pos = Chess.fromSetup(setup.value);
  if (pos.isErr) return { error: `FEN: ${POSITION_ERRORS[pos.error.message] ?? pos.error.message}` };
  return { pos: pos.value };
}

// A Fischer random start from its number (0-959; 518 is the standard array).
export function chess960Fen(n) {
  if (!Number.isInteger(n) || n < 0 || n > 959) throw new RangeError('start number 0-959');
  const rank = Array(8).fill(null);
  const free = () => rank.map((p, i) => (p ? -1 : i)).filter((i) => i >= 0);
  rank[2 * (n % 4) + 1] = 'b';
  n = Math.floor(n / 4);
  rank[2 * (n % 4)] = 'b';
  n = Math.floor(n / 4);
  rank[free()[n % 6]] = 'q';
  n = Math.floor(n / 6);
  const knights = [[0, 1], [0, 2], [0, 3], [0, 4], [1, 2], [1, 3], [1, 4], [2, 3], [2, 4], [3, 4]][n];
  const f = free();
  for (const k of knights) rank[f[k]] = 'n';
  const [r1, k, r2] = free();
  rank[r1] = 'r';
  rank[k] = 'k';
  rank[r2] = 'r';
  const black = rank.join('');
  return `${black}/pppppppp/8/8/8/8/PPPPPPPP/${black.toUpperCase()} w KQkq - 0 1`;
}

// Whether a position needs Fischer random castling: a right whose king or rook is off its
// standard square.
export function needs960(pos) {
  for (const color of ['white', 'black']) {
    const back = color === 'white' ? 0 : 56;
    const rights = [...pos.castles.castlingRights].filter((sq) => (sq < 8) === (color === 'white'));
    if (!rights.length) continue;
    if (pos.board.kingOf(color) !== back + 4) return true;
    if (rights.some((sq) => sq !== back && sq !== back + 7)) return true;
  }
  return false;
}

// The key that repeats when a position repeats (placement, side, castling, en passant).
const repetitionKey = (pos) => makeFen(pos.toSetup()).split(' ').slice(0, 4).join(' ');

export class Game {
  constructor(startPos, variant = 'standard') {
    this.variant = variant;
    this.chess960 = variant === 'chess960';
    this.positions = [startPos];
    this.moves = []; // { uci, san }
  }

  static fromFen(fen, variant) {
    const r = readFen(fen);
    if (r.error) return r;
    return { game: new Game(r.pos, variant ?? (needs960(r.pos) ? 'chess960' : 'standard')) };
  }

  static standard() {
    return Game.fromFen(INITIAL_FEN, 'standard').game;
  }

  get startFen() {
    return makeFen(this.positions[0].toSetup());
  }
  get length() {
    return this.moves.length;
  }
  pos(ply = this.length) {
    return this.positions[ply];
  }
  fen(ply = this.length) {
    return makeFen(this.positions[ply].toSetup());
  }
  turn(ply = this.length) {
    return this.positions[ply].turn;
  }
  // Move number and side of the move played at index i ("12." / "12...").
  moveNumber(i) {
    const start = this.positions[0];
    const halfIndex = i + (start.turn === 'black' ? 1 : 0);
    return start.fullmoves + Math.floor(halfIndex / 2);
  }

  // A move as chessops reads it, or undefined when it is not legal at that ply. Takes both
  // castling forms (e1g1 and e1h1).
  legalMove(uci, ply = this.length) {
    const m = typeof uci === 'string' ? parseUci(uci) : uci;
    if (!m || !('from' in m)) return undefined;
    const pos = this.positions[ply];
    const n = normalizeMove(pos, m);
    return pos.isLegal(n) ? n : undefined;
  }

  // Plays a move after the given ply, dropping what followed it; returns false when illegal.
  play(uci, ply = this.length) {
    const move = this.legalMove(uci, ply);
    if (!move) return false;
    this.truncate(ply);
    const pos = this.positions[ply].clone();
    const san = makeSan(pos, move);
    pos.play(move);
    this.positions.push(pos);
    this.moves.push({ uci: makeUci(move), san });
    return true;
  }

  truncate(ply) {
    this.positions.length = ply + 1;
    this.moves.length = ply;
  }

  clone() {
    const g = new Game(this.positions[0], this.variant);
    g.positions = this.positions.slice();
    g.moves = this.moves.slice();
    return g;
  }

  // The first ply where two games of the same start differ (their common length when one
  // extends the other).
  divergence(other) {
    let i = 0;
    while (i < this.length && i < other.length && this.moves[i].uci === other.moves[i].uci) i++;
    return i;
  }

  // The move at index i (or a chessops move at a ply) as the engine writes it: king two squares
  // in standard chess, king takes rook in Fischer random.
  engineUci(i, move = parseUci(this.moves[i].uci), pos = this.positions[i]) {
    if (!this.chess960) {
      const side = castlingSide(pos, move);
      if (side) return makeSquare(move.from) + makeSquare(kingCastlesTo(pos.turn, side));
    }
    return makeUci(move);
  }
  engineMoves(ply = this.length) {
    return this.moves.slice(0, ply).map((_, i) => this.engineUci(i));
  }

  // SAN of a line of engine moves from a ply (stops at the first move that is not legal).
  sanLine(ucis, ply = this.length) {
    const pos = this.positions[ply].clone();
    const out = [];
    for (const u of ucis) {
      const m = parseUci(u);
      if (!m) break;
      const n = normalizeMove(pos, m);
      if (!pos.isLegal(n)) break;
      out.push(makeSan(pos, n));
      pos.play(n);
    }
    return out;
  }

  // Legal targets for the board: Map from square name to square names.
  dests(ply = this.length) {
    return chessgroundDests(this.positions[ply], { chess960: this.chess960 });
  }

  // { winner: 'white'|'black'|null, reason } when the rules end the game at this ply.
  outcome(ply = this.length) {
    const pos = this.positions[ply];
    if (pos.isCheckmate()) return { winner: pos.turn === 'white' ? 'black' : 'white', reason: 'checkmate' };
    if (pos.isStalemate()) return { winner: null, reason: 'stalemate' };
    if (pos.isInsufficientMaterial()) return { winner: null, reason: 'insufficient material' };
    const key = repetitionKey(pos);
    let seen = 0;
    for (let i = ply; i >= Math.max(0, ply - pos.halfmoves); i -= 2) {
      if (repetitionKey(this.positions[i]) === key) seen++;
    }
    if (seen >= 3) return { winner: null, reason: 'threefold repetition' };
    if (pos.halfmoves >= 100) return { winner: null, reason: 'fifty moves' };
    return null;
  }

  // PGN with the given tags (Event, White, Black, Result ... in that order); SetUp/FEN and
  // Variant are added for a start other than the standard one.
  toPgn(tags = {}) {
    const t = { Event: '?', Site: '?', Date: '????.??.??', Round: '-', White: '?', Black: '?', Result: '*', ...tags };
    if (this.chess960) t.Variant = 'Chess960';
    if (this.chess960 || this.startFen !== INITIAL_FEN) {
      t.SetUp = '1';
      t.FEN = this.startFen;
    }
    const head = Object.entries(t).map(([k, v]) => `[${k} "${String(v).replace(/[\\"]/g, '\\$&')}"]`);
    const words = [];
    this.moves.forEach((m, i) => {
      const white = this.positions[i].turn === 'white';
      if (white) words.push(`${this.moveNumber(i)}.`);
      else if (i === 0) words.push(`${this.moveNumber(i)}...`);
      words.push(m.san);
    });
    words.push(t.Result);
    const lines = [];
    let line = '';
    for (const w of words) {
      if (line && line.length + 1 + w.length > 79) {
        lines.push(line);
        line = w;
      } else line = line ? `${line} ${w}` : w;
    }
    lines.push(line);
    return `${head.join('\n')}\n\n${lines.join('\n')}\n`;
  }
}

// The main line's move words of the first game: tags, comments, variations, move numbers, NAGs
// and the result left out.
function movetext(text) {
  const body = text.replace(/\r/g, '').replace(/^\s*\[.*\]\s*$/gm, '').replace(/\{[^}]*\}|;[^\n]*/g, ' ');
  const words = [];
  let depth = 0;
  for (const tok of body.split(/(\(|\))|\s+/)) {
    if (!tok) continue;
    if (tok === '(') depth++;
    else if (tok === ')') depth--;
    else if (depth === 0) {
      const w = tok.replace(/^\d+\.+/, '');
      if (/^(1-0|0-1|1\/2-1\/2|\*)$/.test(w)) break;
      if (w && !/^\$\d+$/.test(w)) words.push(w.replace(/^0-0(-0)?/, (c) => c.replace(/0/g, 'O')));
    }
  }
  return words;
}

// Reads the first game of a PGN (main line only). Returns { game, tags } or { error } naming the
// move that fails.
export function readPgn(text) {
  if (!text.trim()) return { error: 'PGN: empty' };
  const unclosed = /\{[^}]*$/.exec(text);
  if (unclosed) return { error: `PGN: the comment "${unclosed[0].slice(0, 20)}" is not closed with }` };
  const games = parsePgn(text);
  if (!games.length) return { error: 'PGN: no game found' };
  const pgn = games[0];
  const variant = (pgn.headers.get('Variant') ?? '').toLowerCase().replace(/[^a-z0-9]/g, '');
  const is960 = ['chess960', 'fischerandom', 'fischerrandom', 'freestyle'].includes(variant);
  if (variant && !is960 && !['standard', 'fromposition'].includes(variant)) {
    return { error: `PGN: variant "${pgn.headers.get('Variant')}" is not played here` };
  }
  let start;
  if (pgn.headers.has('FEN')) {
    const r = readFen(pgn.headers.get('FEN'));
    if (r.error) return { error: `PGN tag FEN: ${r.error.replace(/^FEN: /, '')}` };
    start = r.pos;
  } else {
    const r = startingPosition(new Map());
    start = r.value;
  }
  const game = new Game(start, is960 || needs960(start) ? 'chess960' : 'standard');
  for (const san of movetext(text)) {
    const pos = game.pos();
    const move = parseSan(pos, san.replace(/[?!]+$/, ''));
    const label = `${game.moveNumber(game.length)}${pos.turn === 'white' ? '.' : '...'} ${san}`;
    if (!move) return { error: `PGN: move ${label} is not legal in that position` };
    game.play(makeUci(move));
  }
  return { game, tags: Object.fromEntries(pgn.headers) };
}

export { parseUci, makeUci, INITIAL_FEN };
