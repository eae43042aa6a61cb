// The position a page works on, kept by the server with the rules of chessops: a start FEN read
// and written again by chessops (so no text of the page reaches the engine), and the moves played
// from it, each checked for legality and stored in the engine's notation.
import { Chess, SquareSet, makeUci, parseUci, kingCastlesTo } from 'chessops';
import { parseFen, makeFen, INITIAL_FEN } from 'chessops/fen';
import { castlingSide, normalizeMove } from 'chessops/chess';

export const MAX_MOVES = 1000;

const CORNERS = SquareSet.fromSquare(0).with(7).with(56).with(63);
const KING_HOMES = SquareSet.fromSquare(4).with(60);

class GameError extends Error {}

function readStart(variant, fen) {
  const parsed = parseFen(fen ?? INITIAL_FEN);
  if (parsed.isErr) throw new GameError(`bad FEN (${parsed.error.message})`);
  const setup = parsed.value;
  if (variant === 'standard') {
    // Outside Fischer random only the classical castlings exist: king on e1/e8, rooks in corners.
    let rights = setup.castlingRights.intersect(CORNERS);
    for (const color of ['white', 'black']) {
      const king = setup.board.kingOf(color);
      if (king === undefined || !KING_HOMES.has(king)) rights = rights.diff(SquareSet.backrank(color));
    }
    setup.castlingRights = rights;
  }
  const pos = Chess.fromSetup(setup);
  if (pos.isErr) throw new GameError(`impossible position (${pos.error.message})`);
  return pos.value;
}

// A move in UCI text to the form chessops plays (castling as the king taking its rook), or a
// GameError when it is not legal in pos.
function readMove(pos, text) {
  const move = parseUci(text);
  if (!move || !('from' in move)) throw new GameError(`bad move ${text}`);
  const normal = normalizeMove(pos, move);
  if (!pos.isLegal(normal)) throw new GameError(`illegal move ${text}`);
  return normal;
}

// The engine's notation: castling as king to g/c file unless in Fischer random.
function engineUci(pos, move, chess960) {
  const side = castlingSide(pos, move);
  if (side && !chess960) return makeUci({ from: move.from, to: kingCastlesTo(pos.turn, side) });
  return makeUci(move);
}

// Sets up a game, or throws a GameError saying what is wrong.
export function newGame(variant, fen, moves) {
  if (moves.length > MAX_MOVES) throw new GameError(`more than ${MAX_MOVES} moves`);
  const start = readStart(variant, fen);
  const game = { variant, startFen: makeFen(start.toSetup()), moves: [], pos: start };
  for (const text of moves) playMove(game, text);
  return game;
}

export function playMove(game, text) {
  if (game.moves.length >= MAX_MOVES) throw new GameError(`more than ${MAX_MOVES} moves`);
  const move = readMove(game.pos, text);
  const uci = engineUci(game.pos, move, game.variant === 'chess960');
  game.pos.play(move);
  game.moves.push(uci);
}

export const currentFen = (game) => makeFen(game.pos.toSetup());
export const hasLegalMove = (game) => game.pos.hasDests();
export const positionLine = (game) =>
  `position fen ${game.startFen}${game.moves.length ? ' moves ' + game.moves.join(' ') : ''}`;
export { GameError };
