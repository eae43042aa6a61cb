import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Game, readFen, readPgn, chess960Fen, INITIAL_FEN } from '../client/game.js';

const playAll = (game, ucis) => ucis.forEach((u) => assert.ok(game.play(u), u));

test('Fischer random starts by number, castling by king onto rook', () => {
  assert.equal(chess960Fen(518), INITIAL_FEN);
  assert.equal(chess960Fen(0).split('/')[0], 'bbqnnrkr');
  assert.equal(chess960Fen(959).split('/')[0], 'rkrnnqbb');
  assert.throws(() => chess960Fen(960));
  const { game } = Game.fromFen('bqnbrkrn/pppppppp/8/8/8/8/PPPPPPPP/BQNBRKRN w KQkq - 0 1');
  assert.equal(game.variant, 'chess960');
  playAll(game, ['h1g3', 'h8g6']);
  assert.equal(game.legalMove('f1g1').to, 6, 'king onto its own rook castles short');
  playAll(game, ['f1g1']);
  assert.equal(game.moves[2].san, 'O-O');
  assert.equal(game.engineUci(2), 'f1g1');
  assert.match(game.fen(), /^bqnbrkr1\/.*\/BQNBRRK1 b kq - /);
  assert.deepEqual(game.sanLine(['f8g8', 'g3f5', 'a1a8']), ['O-O', 'Nf5']);
});

test('standard castling in both forms, engine form back, takeback restores the position', () => {
  const game = Game.standard();
  playAll(game, ['e2e4', 'e7e5', 'g1f3', 'b8c6', 'f1c4', 'g8f6']);
  const before = game.fen();
  assert.ok(game.legalMove('e1h1') && game.legalMove('e1g1'));
  playAll(game, ['e1g1']);
  assert.equal(game.engineUci(6), 'e1g1');
  assert.deepEqual(game.engineMoves().slice(-2), ['g8f6', 'e1g1']);
  assert.equal(game.play('a1a5'), false);
  game.truncate(6);
  assert.equal(game.fen(), before);
  assert.equal(game.length, 6);
  const copy = game.clone();
  copy.play('d2d3');
  game.play('b1c3');
  assert.equal(game.divergence(copy), 6);
  assert.ok(game.dests(6).get('e1').includes('g1'));
});

test('the rules end games with their reason', () => {
  const mate = Game.standard();
  playAll(mate, ['f2f3', 'e7e5', 'g2g4', 'd8h4']);
  assert.deepEqual(mate.outcome(), { winner: 'black', reason: 'checkmate' });
  assert.equal(mate.outcome(3), null);
  const reason = (fen, moves = []) => {
    const { game } = Game.fromFen(fen);
    playAll(game, moves);
    return game.outcome()?.reason;
  };
  assert.equal(reason('7k/5Q2/6K1/8/8/8/8/8 b - - 0 1'), 'stalemate');
  assert.equal(reason('8/8/4k3/8/8/3BK3/8/8 w - - 0 1'), 'insufficient material');
  assert.equal(reason('8/8/4k3/8/8/3RK3/8/8 w - - 99 80', ['d3d1']), 'fifty moves');
  assert.equal(reason('8/8/4k3/8/8/3RK3/8/8 w - - 98 80', ['d3d1']), undefined);
  const shuffle = ['g1f3', 'g8f6', 'f3g1', 'f6g8'];
  assert.equal(reason(INITIAL_FEN, shuffle), undefined);
  assert.equal(reason(INITIAL_FEN, [...shuffle, ...shuffle]), 'threefold repetition');
});

test('a bad FEN says which field fails', () => {
  assert.match(readFen('rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1').error, /field 1/);
  assert.match(readFen('rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1').error, /field 2/);
  assert.match(readFen('rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e9 0 1').error, /field 4/);
  assert.match(readFen('8/8/8/8/8/8/8/K7 w - - 0 1').error, /one king/);
  assert.match(Game.fromFen('').error, /empty/);
});

test('PGN written and read back gives the same game, Fischer random included', () => {
  const game = Game.standard();
  playAll(game, ['e2e4', 'c7c5', 'g1f3', 'd7d6', 'd2d4', 'c5d4', 'f3d4', 'g8f6', 'b1c3', 'a7a6']);
  const pgn = game.toPgn({ White: 'You', Black: 'Tarvo (full strength)', Result: '*' });
  assert.match(pgn, /\[Black "Tarvo \(full strength\)"\]/);
  assert.doesNotMatch(pgn, /SetUp|Variant/);
  const back = readPgn(pgn);
  assert.equal(back.game.fen(), game.fen());
  assert.deepEqual(back.game.moves, game.moves);

  const { game: fr } = Game.fromFen('bqnbrkrn/pppppppp/8/8/8/8/PPPPPPPP/BQNBRKRN w KQkq - 0 1');
  playAll(fr, ['h1g3', 'h8g6', 'f1g1']);
  const text = fr.toPgn({ Result: '*' });
  assert.match(text, /\[Variant "Chess960"\]\n\[SetUp "1"\]\n\[FEN "bqnbrkrn\//);
  assert.match(text, /O-O/);
  const back960 = readPgn(text);
  assert.equal(back960.game.variant, 'chess960');
  assert.equal(back960.game.fen(), fr.fen());
  assert.equal(back960.game.engineUci(2), 'f1g1');

  assert.match(readPgn('1. e4 e5 2. Nf3 Nc6 3. Bb5 Nf9').error, /move 3\.\.\. Nf9/);
  const annotated = readPgn('1. e4!? {best by test} e5 (1... c5 2. Nf3) 2. Nf3 $1 Nf6 3. Bc4 Bc5 4. 0-0 1-0');
  assert.deepEqual(annotated.game.moves.map((m) => m.san), ['e4', 'e5', 'Nf3', 'Nf6', 'Bc4', 'Bc5', 'O-O']);
  assert.match(readPgn('1. e4 {open e5').error, /comment .* not closed/);
  assert.match(readPgn('[FEN "8/8/8/8 w - - 0 1"]\n\n*').error, /tag FEN: field 1/);
});
