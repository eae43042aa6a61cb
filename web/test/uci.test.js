// Reading the engine's lines (taken from its real output) into the page's messages.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createReader, parseOptionLine } from '../server/uci.js';

test('info lines: cp and mate scores, wdl, several lines, tablebase hits, selective depth', () => {
  const read = createReader();
  const events = [
    'info depth 5 seldepth 12',
    'info time 2',
    'info multipv 1 depth 5 score cp 20 wdl 411 231 358 time 3 nodes 9215 nps 71992 pv d7d5 b1c3 d5d4 c3d5 g8f6 ',
    'info multipv 2 depth 5 score cp -2 wdl 381 232 387 time 4 nodes 12484 nps 97531 pv e7e6 d2d4 d7d5 e4d5 d8d5 c2c3 ',
    'info multipv 1 depth 5 score cp 553 time 1 nodes 2401 nps 18757 tbhits 8 pv h1h7 e3d3 e1f2 d3e4 f2g3 ',
    'info multipv 1 depth 2 score mate -1 time 0 nodes 21 nps 164 pv a1a8 ',
    'info multipv 1 depth 9 score cp 15 lowerbound time 5 nodes 99 nps 9 pv e2e4 ',
    'info hashfull 12',
    'info time 1025 nodes 1500000 nps 1463414',
    'info currmove e2e4 currmovenumber 1',
    'info string Found 35 tablebases with up to 4 pieces',
    'bestmove a1a8 ',
    'bestmove e2e4  ponder e7e5 ',
    'bestmove null ',
  ].map(read);
  assert.deepEqual(events[2], {
    kind: 'info', multipv: 1, depth: 5, seldepth: 12, score: { cp: 20 }, bound: null, wdl: [411, 231, 358],
    nodes: 9215, nps: 71992, time: 3, tbhits: null, pv: ['d7d5', 'b1c3', 'd5d4', 'c3d5', 'g8f6'],
  });
  assert.equal(events[3].multipv, 2);
  assert.deepEqual(events[3].score, { cp: -2 });
  assert.equal(events[4].tbhits, 8);
  assert.equal(events[4].wdl, null);
  assert.deepEqual(events[5].score, { mate: -1 });
  assert.equal(events[6].bound, 'lower');
  assert.deepEqual(events.slice(0, 2).concat(events.slice(7, 10)), [null, null, null, null, null]);
  assert.deepEqual(events[10], { kind: 'note', text: 'Found 35 tablebases with up to 4 pieces' });
  assert.deepEqual(events.slice(11).map(({ move, ponder }) => [move, ponder]), [['a1a8', null], ['e2e4', 'e7e5'], [null, null]]);
});

test('option lines give names, types and ranges', () => {
  assert.deepEqual(parseOptionLine('option name UCI_Elo type spin default 1500 min 1000 max 1850'),
    { name: 'UCI_Elo', type: 'spin', default: 1500, min: 1000, max: 1850 });
  assert.deepEqual(parseOptionLine('option name Clear Hash type button '), { name: 'Clear Hash', type: 'button' });
  assert.deepEqual(parseOptionLine('option name UCI_ShowWDL type check default false '),
    { name: 'UCI_ShowWDL', type: 'check', default: false });
  assert.deepEqual(parseOptionLine('option name Rate of play type combo default normal var slow var normal var fast').vars,
    ['slow', 'normal', 'fast']);
});
