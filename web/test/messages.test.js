// The page's messages: only the closed set passes, and nothing a page sends becomes engine text.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { checkMessage } from '../server/messages.js';
import { newGame, playMove, positionLine } from '../server/game.js';

const limits = { eloMin: 1000, eloMax: 1850, hashMin: 8, hashMax: 65536, threadsMax: 2 };
const check = (msg) => checkMessage(typeof msg === 'string' ? msg : JSON.stringify(msg), limits);
const refused = (msg, why) => assert.match(check(msg).error ?? 'accepted', why, JSON.stringify(msg));

test('refuses injection, unknown types and fields, and values out of range', () => {
  refused({ type: 'move', move: 'e2e4\nsetoption name SyzygyPath value /' }, /bad move/);
  refused({ type: 'newgame', moves: ['e2e4', 'e7e5 quit'] }, /bad move/);
  refused({ type: 'position', fen: 'rnbqkbnr/8/8/8/8/8/8/RNBQKBNR w - - 0 1\ngo infinite' }, /bad FEN/);
  refused({ type: 'uci' }, /unknown message type/);
  refused({ type: 'stop', line: 'quit' }, /unknown field/);
  refused('{"type":"go"', /not JSON/);
  refused([{ type: 'stop' }], /JSON object/);
  refused('x'.repeat(70_000), /too large/);
  refused({ type: 'settings', options: { SyzygyPath: '/tmp' } }, /may not be set/);
  refused({ type: 'settings', options: { MultiPV: 6 } }, /MultiPV must be/);
  refused({ type: 'settings', options: { UCI_Elo: 999 } }, /UCI_Elo must be/);
  refused({ type: 'settings', options: { Hash: 512 } }, /Hash must be a whole number from 8 to 256/);
  refused({ type: 'settings', options: { Threads: 3 } }, /Threads/);
  refused({ type: 'settings', options: { UCI_ShowWDL: 'true' } }, /true or false/);
  refused({ type: 'settings', options: { __proto__: 1, toString: 1 } }, /may not be set/);
  refused({ type: 'go', id: 1 }, /exactly one/);
  refused({ type: 'go', id: 1, depth: 5, movetime: 100 }, /exactly one/);
  refused({ type: 'go', id: 1, wtime: 1000 }, /go together/);
  refused({ type: 'go', id: 1, depth: 5, winc: 10 }, /clock form/);
  refused({ type: 'go', id: 1, depth: 5, ponder: true }, /ponder/);
  refused({ type: 'go', id: 1, movetime: '100 infinite' }, /movetime must be/);
  refused({ type: 'go', id: -1, infinite: true }, /id must be/);
});

test('passes the protocol messages with only their known fields', () => {
  assert.deepEqual(check({ type: 'go', id: 7, wtime: 60000, btime: 50000, winc: 1000, binc: 1000, ponder: true }).message,
    { type: 'go', id: 7, wtime: 60000, btime: 50000, winc: 1000, binc: 1000, ponder: true });
  assert.deepEqual(check({ type: 'newgame', variant: 'chess960', fen: null, moves: ['e2e4'] }).message,
    { type: 'newgame', variant: 'chess960', fen: null, moves: ['e2e4'] });
  assert.deepEqual(check({ type: 'settings', options: { MultiPV: 5, UCI_Elo: 1850, UCI_LimitStrength: true } }).message,
    { type: 'settings', options: { MultiPV: 5, UCI_Elo: 1850, UCI_LimitStrength: true } });
});

test('games: legal moves only, castling in the engine notation, the FEN rewritten', () => {
  const game = newGame('standard', null, ['e2e4', 'e7e5', 'g1f3', 'b8c6', 'f1c4', 'g8f6']);
  playMove(game, 'e1h1'); // the board's king-takes-rook form
  assert.match(positionLine(game), / f1c4 g8f6 e1g1$/);
  assert.throws(() => playMove(game, 'e8g8'), /illegal move/); // the bishop on f8 is in the way
  assert.throws(() => newGame('standard', '8/8/8/8/8/8/8/8 w - - 0 1', []), /impossible position/);
  assert.throws(() => newGame('standard', 'rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1', []), /bad FEN/);
  // Fischer random: king f1 takes its rook on g1 (short castling), kept in that form.
  const fr = newGame('chess960', 'bqnbrkrn/pppppppp/8/8/8/8/PPPPPPPP/BQNBRKRN w KQkq - 0 1', ['g2g3', 'g7g6', 'f1g1']);
  assert.match(positionLine(fr), /^position fen bqnbrkrn\/pppppppp\/8\/8\/8\/8\/PPPPPPPP\/BQNBRKRN w KQkq - 0 1 moves g2g3 g7g6 f1g1$/);
  // The long castling of king e1 with rook b1 stays e1b1 (the king ends on c1).
  const wide = '1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w KQkq - 0 1';
  assert.match(positionLine(newGame('chess960', wide, ['e1b1'])), / moves e1b1$/);
  // A standard game keeps only the castlings with king and rooks at home.
  assert.match(positionLine(newGame('standard', wide, [])), / w - - 0 1$/);
});
