// The page: a board over the engine, to play it and to analyse with it. The game lives in
// game.js; the server speaks to the engine and takes only the closed set of messages below.
import { Chessground } from '@lichess-org/chessground';
import { makeSquare } from 'chessops/util';
import { Game, readPgn, chess960Fen, INITIAL_FEN, parseUci } from './game.js';
import { whiteView, whiteShare, formatScore, lineElement, drawGraph } from './view.js';

const $ = (id) => document.getElementById(id);
const other = (c) => (c === 'white' ? 'black' : 'white');
const PASS_NODES = 150000;

const state = {
  game: Game.standard(), // the game as kept
  view: null, // a continuation being tried from an earlier move (a Game), or null
  ply: 0, // the position shown, on the continuation if there is one, else on the game
  tags: {},
  evals: new Map(), // FEN -> { score (White's view), depth }
  play: null, // the game against the engine, see newGame
  search: null, // { id, kind: play | ponder | analysis | pass, game, ply, ... }
  analysing: false,
  lines: [],
  pass: null,
  hello: null,
  orientation: 'white',
};
let nextId = 1;
const line = () => state.view ?? state.game;

// ---- socket ----
const token = new URLSearchParams(location.search).get('t') ?? '';
const socket = new WebSocket(`${location.protocol === 'https:' ? 'wss' : 'ws'}://${location.host}/ws?t=${encodeURIComponent(token)}`);
const send = (msg) => socket.readyState === WebSocket.OPEN && socket.send(JSON.stringify(msg));
socket.addEventListener('message', (e) => onMessage(JSON.parse(e.data)));
socket.addEventListener('close', (e) => {
  if (e.code !== 4001) notice('The connection to the server is closed. Reload the page to start again.', true);
  $('new-game').disabled = true;
});

function notice(text, error = false) {
  $('notice').textContent = text;
  $('notice').classList.toggle('error', error);
}

function onMessage(msg) {
  switch (msg.type) {
    case 'hello': return onHello(msg.engine);
    case 'info': return onInfo(msg);
    case 'bestmove': return onBestmove(msg);
    case 'error': return notice(`Refused by the server: ${msg.message}`, true);
    case 'engine':
      notice(msg.state === 'died' ? `The engine stopped (${msg.message}); restarting it…` : 'The engine was restarted.', msg.state === 'died');
      if (msg.state === 'restarted') resumeAfterRestart();
      return;
    case 'busy':
      $('overlay').textContent = msg.message;
      $('overlay').hidden = false;
      return;
    default:
  }
}

function onHello(engine) {
  state.hello = engine;
  $('engine-name').textContent = engine.name;
  const elo = engine.options?.UCI_Elo;
  if (elo) {
    $('elo').min = elo.min;
    $('elo').max = elo.max;
    $('elo').value = elo.default ?? elo.min;
    eloChanged();
  } else {
    $('full-strength').checked = true;
    $('full-strength').disabled = true;
  }
  $('new-game').disabled = false;
  document.body.dataset.ready = '1';
  send({ type: 'settings', options: { UCI_ShowWDL: true } });
}

// ---- the board ----
const cg = Chessground($('board'), {
  movable: { free: false, showDests: true, rookCastle: true, events: { after: onBoardMove } },
  premovable: { enabled: false },
  draggable: { showGhost: true },
  highlight: { lastMove: true, check: true },
  animation: { duration: 150 },
  drawable: { enabled: true, visible: true },
});

// The board keeps its bounds until the window scrolls or resizes; the page around it can move
// it too (a panel opened or closed), so they are measured afresh at every press.
for (const type of ['mousedown', 'touchstart']) {
  $('board').addEventListener(type, () => cg.state.dom.bounds.clear(), { capture: true, passive: true });
}

function mayMove() {
  const p = state.play;
  if (!p || p.result) return !state.pass;
  return !state.view && state.ply === state.game.length && state.game.turn() === p.person;
}

function redraw() {
  const g = line();
  const pos = g.pos(state.ply);
  const last = state.ply > 0 ? parseUci(g.moves[state.ply - 1].uci) : null;
  const movable = mayMove();
  cg.set({
    fen: g.fen(state.ply),
    turnColor: pos.turn,
    orientation: state.orientation,
    check: pos.isCheck() ? pos.turn : false,
    lastMove: last ? [makeSquare(last.from), makeSquare(last.to)] : undefined,
    movable: { color: movable ? pos.turn : undefined, dests: movable ? g.dests(state.ply) : new Map() },
  });
  $('fen-out').value = g.fen(state.ply);
  renderMoves();
  renderStatus();
  renderAnalysis();
  renderClocks();
  scheduleGraph();
}

async function onBoardMove(orig, dest) {
  const g = line();
  const piece = g.pos(state.ply).board.get(parseUci(orig + dest).from);
  let promo = '';
  if (piece?.role === 'pawn' && (dest[1] === '8' || dest[1] === '1')) {
    promo = await choosePromotion(piece.color);
    if (!promo) return redraw();
  }
  userMoves([orig + dest + promo]);
}

function choosePromotion(color) {
  const box = $('promotion');
  box.dataset.color = color;
  box.hidden = false;
  return new Promise((resolve) => {
    const done = (role) => {
      box.hidden = true;
      box.removeEventListener('click', onClick);
      document.removeEventListener('keydown', onKey);
      resolve(role);
    };
    const onClick = (e) => {
      const role = e.target.closest('button')?.dataset.role;
      done(role ? { queen: 'q', rook: 'r', bishop: 'b', knight: 'n' }[role] : '');
    };
    const onKey = (e) => e.key === 'Escape' && done('');
    box.addEventListener('click', onClick);
    document.addEventListener('keydown', onKey);
  });
}

// Moves made on the board or picked from a line, from the position shown.
function userMoves(ucis) {
  if (state.play && !state.play.result) return personMove(ucis[0]);
  for (const uci of ucis) {
    const g = line();
    const m = g.legalMove(uci, state.ply);
    if (!m) break;
    const atEnd = state.ply === g.length;
    if (!atEnd && g.engineUci(state.ply, m, g.pos(state.ply)) === g.engineUci(state.ply)) {
      state.ply++; // the move that follows anyway
      continue;
    }
    if (!state.view && (!atEnd || state.play?.result)) state.view = state.game.clone();
    line().play(uci, state.ply);
    state.ply++;
  }
  positionChanged();
}

function goTo(ply) {
  state.ply = Math.max(0, Math.min(line().length, ply));
  positionChanged();
}

function positionChanged() {
  redraw();
  if (state.analysing) startAnalysis();
}

// ---- searches ----
function searchGo(g, ply, limits, kind, extra = {}) {
  const id = nextId++;
  send({ type: 'position', variant: g.variant, fen: g.startFen, moves: extra.moves ?? g.engineMoves(ply) });
  send({ type: 'go', id, ...limits });
  state.search = { id, kind, game: g, ply, turn: g.turn(ply), fen: g.fen(ply), started: performance.now(), ...extra };
  return state.search;
}

function stopSearch() {
  if (state.search) send({ type: 'stop' });
  state.search = null;
}

function onInfo(msg) {
  const s = state.search;
  if (!s || msg.id !== s.id || !msg.score) return;
  const score = whiteView(msg.score, s.turn);
  if ('cp' in score && (Math.abs(score.cp) === 32000 || (score.cp === 0 && msg.tbhits > 0 && s.game.pos(s.ply).board.occupied.size() <= 7))) score.tb = true;
  if ((msg.multipv ?? 1) === 1 && !msg.bound) {
    const old = state.evals.get(s.fen);
    if (!old || old.depth <= msg.depth || s.kind !== 'analysis') state.evals.set(s.fen, { score, depth: msg.depth });
  }
  if (s.kind !== 'analysis') return;
  const k = (msg.multipv ?? 1) - 1;
  const wdl = msg.wdl && (s.turn === 'white' ? msg.wdl : [...msg.wdl].reverse());
  state.lines[k] = { score, wdl, depth: msg.depth, bound: msg.bound, pv: msg.pv, san: s.game.sanLine(msg.pv, s.ply) };
  if (!s.firstLineAt) s.firstLineAt = performance.now();
  scheduleAnalysis();
}

function onBestmove(msg) {
  const s = state.search;
  if (!s || msg.id !== s.id) return;
  state.search = null;
  if (s.kind === 'play') engineMoved(msg, s);
  else if (s.kind === 'pass') passNext();
}

function resumeAfterRestart() {
  const s = state.search;
  state.search = null;
  if (state.analysing) startAnalysis();
  else if (s?.kind === 'pass') passNext(s.ply);
  else if (state.play && !state.play.result && state.game.turn() !== state.play.person) engineGo();
}

// ---- analysis ----
function startAnalysis() {
  state.analysing = true;
  state.lines = [];
  send({ type: 'settings', options: { MultiPV: Number($('multipv').value), UCI_LimitStrength: false } });
  searchGo(line(), state.ply, { infinite: true }, 'analysis');
  state.analysisAsked = performance.now();
  redraw();
}

function stopAnalysis() {
  if (!state.analysing) return;
  state.analysing = false;
  state.lines = [];
  stopSearch();
  redraw();
}

let analysisFrame = 0;
function scheduleAnalysis() {
  if (!analysisFrame) analysisFrame = requestAnimationFrame(() => {
    analysisFrame = 0;
    renderAnalysis();
  });
}

function renderAnalysis() {
  const showing = state.analysing && !(state.play && !state.play.result);
  $('analyse').textContent = state.analysing ? 'Stop' : 'Analyse';
  $('analyse').disabled = !!(state.play && !state.play.result) || !!state.pass;
  const s = state.search;
  const lines = showing && s?.kind === 'analysis' ? state.lines.filter(Boolean) : [];
  const box = $('lines');
  const g = line();
  box.replaceChildren(...lines.map((l, k) => lineElement(l, k, g.pos(state.ply).fullmoves, g.turn(state.ply) === 'white')));
  box.dataset.count = String(lines.length);
  cg.setAutoShapes(lines.filter((l) => l.pv?.length).map((l, k) => {
    const m = parseUci(l.pv[0]);
    return { orig: makeSquare(m.from), dest: makeSquare(m.to), brush: k === 0 ? 'paleBlue' : 'paleGrey', modifiers: { lineWidth: Math.max(6, 15 - 3 * k) } };
  }));
  const best = lines[0];
  const ev = best?.score ?? state.evals.get(g.fen(state.ply))?.score;
  const share = showing || !(state.play && !state.play.result) ? whiteShare(ev) : 0.5;
  $('evalbar-fill').style.height = `${(share * 100).toFixed(1)}%`;
  $('evalbar').dataset.share = share.toFixed(3);
  $('evalbar').classList.toggle('flipped', state.orientation === 'black');
  $('evalbar').classList.toggle('black-ahead', share < 0.5);
  $('evalbar-text').textContent = showing || !state.play || state.play.result ? formatScore(ev, 1) : '';
  $('wdl').textContent = best?.wdl ? `White ${pct(best.wdl[0])} · draw ${pct(best.wdl[1])} · Black ${pct(best.wdl[2])}` : '';
  if (s?.firstLineAt && !s.reported && lines.length) {
    s.reported = true;
    document.body.dataset.firstLineMs = String(Math.round(performance.now() - state.analysisAsked));
  }
}
const pct = (v) => `${Math.round(v / 10)}%`;

// ---- the graph over the game, and the quick pass ----
let graphTimer = 0;
function scheduleGraph() {
  if (!graphTimer) graphTimer = setTimeout(() => {
    graphTimer = 0;
    const g = state.game;
    const shares = Array.from({ length: g.length + 1 }, (_, i) => {
      const e = state.evals.get(g.fen(i));
      if (e) return whiteShare(e.score);
      const o = g.pos(i).isEnd() ? g.outcome(i) : null; // mate, stalemate: known without a search
      return o ? (o.winner === 'white' ? 1 : o.winner === 'black' ? 0 : 0.5) : null;
    });
    drawGraph($('graph'), shares, state.view ? Math.min(state.ply, g.divergence(state.view)) : state.ply);
  }, 200);
}

function passNext(from) {
  const p = state.pass;
  if (!p) return;
  p.ply = from ?? p.ply + 1;
  scheduleGraph();
  if (p.ply > state.game.length) {
    state.pass = null;
    $('pass-state').textContent = 'done';
    $('quick-pass').textContent = 'Evaluate every move';
    if (p.resume) startAnalysis();
    return redraw();
  }
  $('pass-state').textContent = `${p.ply}/${state.game.length}`;
  searchGo(state.game, p.ply, { nodes: PASS_NODES }, 'pass');
}

function quickPass() {
  if (state.pass) {
    stopSearch();
    state.pass = null;
    $('pass-state').textContent = 'stopped';
    $('quick-pass').textContent = 'Evaluate every move';
    return redraw();
  }
  const resume = state.analysing;
  if (resume) stopAnalysis();
  state.pass = { ply: 0, resume };
  $('quick-pass').textContent = 'Stop evaluating';
  send({ type: 'settings', options: { MultiPV: 1, UCI_LimitStrength: false } });
  passNext(0);
  redraw();
}

// ---- playing the engine ----
function readSetup() {
  const [min, inc] = [Number($('clock-min').value), Number($('clock-inc').value)];
  const start = $('start-number').value.trim();
  return {
    color: $('color').value,
    full: $('full-strength').checked,
    elo: Number($('elo').value),
    clock: $('time-mode').value === 'clock',
    movetime: Math.max(100, Math.round(Number($('movetime').value) * 1000) || 1000),
    base: Math.max(1000, Math.round(min * 60000) || 300000),
    inc: Math.max(0, Math.round(inc * 1000) || 0),
    variant: $('variant').value,
    start: start === '' ? null : Math.max(0, Math.min(959, Math.trunc(Number(start)) || 0)),
    ponder: $('ponder').checked,
  };
}

function newGame() {
  const s = readSetup();
  stopAnalysis();
  if (state.pass) quickPass();
  stopSearch();
  const person = s.color === 'random' ? (Math.random() < 0.5 ? 'white' : 'black') : s.color;
  let fen = INITIAL_FEN;
  let number = null;
  if (s.variant === 'chess960') {
    number = s.start ?? Math.floor(Math.random() * 960);
    fen = chess960Fen(number);
  }
  state.game = Game.fromFen(fen, s.variant).game;
  state.view = null;
  state.ply = 0;
  state.evals.clear();
  const engine = s.full ? `${state.hello?.name ?? 'Tarvo'} (full strength)` : `${state.hello?.name ?? 'Tarvo'} (Elo ${s.elo})`;
  const clocks = { white: s.base, black: s.base };
  state.play = { ...s, person, engine, number, clocks, history: [{ ...clocks }], turnStart: performance.now(), result: null };
  state.tags = {
    Event: 'Game against Tarvo',
    Site: 'Tarvo page',
    Date: new Date().toISOString().slice(0, 10).replace(/-/g, '.'),
    White: person === 'white' ? 'You' : engine,
    Black: person === 'white' ? engine : 'You',
    TimeControl: s.clock ? `${s.base / 1000}+${s.inc / 1000}` : '-',
  };
  if (!s.clock) state.tags.TimePerMove = `${s.movetime / 1000} s`; // PGN has no form for it
  if (number !== null) state.tags.Event = `Fischer random game against Tarvo (start ${number})`;
  state.orientation = person;
  const options = { UCI_LimitStrength: !s.full, MultiPV: 1, UCI_ShowWDL: true, Ponder: s.ponder };
  if (!s.full) options.UCI_Elo = s.elo;
  send({ type: 'settings', options });
  send({ type: 'newgame', variant: s.variant, fen, moves: [] });
  $('setup').open = false;
  redraw();
  if (state.game.turn() !== person) engineGo();
}

function remaining(color) {
  const p = state.play;
  const running = !p.result && state.game.turn() === color;
  return p.clocks[color] - (running ? performance.now() - p.turnStart : 0);
}

// The side to move finished its move: its clock stops and gets the increment.
function clockAfterMove(color) {
  const p = state.play;
  if (p.clock) p.clocks[color] = remaining(color) + p.inc;
  p.turnStart = performance.now();
  p.history.push({ ...p.clocks });
}

function engineGo() {
  const p = state.play;
  const g = state.game;
  const limits = p.clock ? clockLimits() : { movetime: p.movetime };
  searchGo(g, g.length, limits, 'play');
  redraw();
}

const clockLimits = () => {
  const p = state.play;
  return { wtime: Math.max(1, Math.floor(remaining('white'))), btime: Math.max(1, Math.floor(remaining('black'))), winc: p.inc, binc: p.inc };
};

function engineMoved(msg) {
  const p = state.play;
  if (!p || p.result || !msg.move) return;
  const g = state.game;
  const color = g.turn();
  if (!g.play(msg.move)) return notice(`The engine's move ${msg.move} is not legal here.`, true);
  clockAfterMove(color);
  state.ply = g.length;
  if (!checkEnd() && p.ponder && msg.ponder) {
    const m = g.legalMove(msg.ponder);
    if (m) {
      const moves = [...g.engineMoves(), g.engineUci(g.length, m, g.pos())];
      searchGo(g, g.length, { ...(p.clock ? clockLimits() : { movetime: p.movetime }), ponder: true }, 'ponder', { moves, expect: g.engineUci(g.length, m, g.pos()) });
    }
  }
  redraw();
}

function personMove(uci) {
  const p = state.play;
  const g = state.game;
  const m = g.legalMove(uci);
  if (!m || g.turn() !== p.person) return redraw();
  const engineForm = g.engineUci(g.length, m, g.pos());
  g.play(uci);
  clockAfterMove(p.person);
  state.ply = g.length;
  const s = state.search;
  if (checkEnd()) return redraw();
  if (s?.kind === 'ponder' && s.expect === engineForm) {
    send({ type: 'ponderhit' });
    s.kind = 'play';
    s.ply = g.length;
    return redraw();
  }
  stopSearch();
  engineGo();
}

function checkEnd() {
  const o = state.game.outcome();
  if (o) endGame(o);
  return !!o;
}

function endGame(outcome) {
  const p = state.play;
  p.result = outcome;
  stopSearch();
  state.tags.Result = resultText(outcome);
  if (outcome.reason === 'time') state.tags.Termination = 'time forfeit';
  redraw();
}

const resultText = (o) => (!o ? '*' : o.winner === 'white' ? '1-0' : o.winner === 'black' ? '0-1' : '1/2-1/2');

function takeback() {
  const p = state.play;
  if (!p || p.result) return;
  const g = state.game;
  const n = g.length - (g.turn() === p.person ? 2 : 1);
  if (n < 0 || g.turn(n) !== p.person) return;
  stopSearch();
  g.truncate(n);
  p.history.length = n + 1;
  p.clocks = { ...p.history[n] };
  p.turnStart = performance.now();
  state.view = null;
  state.ply = n;
  redraw();
}

function resign() {
  const p = state.play;
  if (p && !p.result) endGame({ winner: other(p.person), reason: 'resignation' });
}

// Clocks: drawn ten times a second, and a flag falls here.
function renderClocks() {
  const p = state.play;
  const show = !!p?.clock;
  for (const id of ['clock-top', 'clock-bottom']) $(id).classList.toggle('off', !show);
  if (!show) return;
  const bottom = state.orientation;
  for (const [id, color] of [['clock-bottom', bottom], ['clock-top', other(bottom)]]) {
    const ms = Math.max(0, remaining(color));
    const e = $(id);
    const s = Math.ceil(ms / 1000);
    e.textContent = `${color === 'white' ? 'White' : 'Black'} ${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}${ms < 10000 ? `.${Math.floor((ms % 1000) / 100)}` : ''}`;
    e.classList.toggle('running', !p.result && state.game.turn() === color);
    e.dataset.color = color;
  }
}

setInterval(() => {
  const p = state.play;
  if (!p?.clock || p.result) return;
  const turn = state.game.turn();
  if (remaining(turn) <= 0) {
    const winner = other(turn);
    // A side that cannot mate does not win on time.
    const canMate = !state.game.pos().hasInsufficientMaterial(winner);
    p.clocks[turn] = 0;
    endGame({ winner: canMate ? winner : null, reason: 'time' });
  }
  renderClocks();
}, 100);

function renderStatus() {
  const p = state.play;
  const st = $('status');
  const g = state.game;
  let text;
  if (p?.result) {
    const o = p.result;
    const who = o.winner === 'white' ? 'White' : 'Black';
    text = o.reason === 'resignation' ? `${p.person === 'white' ? 'White' : 'Black'} resigns: ${who} wins`
      : o.winner ? `${who} wins by ${o.reason === 'time' ? 'time' : o.reason}` : `Draw by ${o.reason === 'time' ? 'time against insufficient material' : o.reason}`;
  } else if (p) {
    text = g.turn() === p.person ? 'Your move' : state.search?.kind === 'play' ? 'Tarvo is thinking…' : 'Tarvo to move';
    if (state.search?.kind === 'ponder') text += ' (Tarvo ponders)';
  } else {
    const o = g.outcome();
    text = o ? (o.winner ? `${o.winner === 'white' ? 'White' : 'Black'} wins by ${o.reason}` : `Draw by ${o.reason}`) : 'Analysis board';
  }
  st.textContent = text;
  st.dataset.result = p?.result ? resultText(p.result) : '*';
  st.dataset.reason = p?.result?.reason ?? '';
  const playing = p && !p.result;
  $('takeback').disabled = !playing || g.length < (g.turn() === p.person ? 2 : 1);
  $('resign').disabled = !playing;
  $('quick-pass').disabled = !!playing;
  $('new-game').textContent = playing ? 'Abandon and play anew' : 'Play';
}

// ---- the move list ----
function renderMoves() {
  const g = line();
  const split = state.view ? state.game.divergence(state.view) : g.length;
  const list = $('moves');
  const items = [];
  let row = null;
  g.moves.forEach((m, i) => {
    const white = g.turn(i) === 'white';
    if (white || !row) {
      row = document.createElement('li');
      row.value = g.moveNumber(i);
      if (!white) row.append(Object.assign(document.createElement('span'), { className: 'mv empty', textContent: '…' }));
      items.push(row);
    }
    const e = document.createElement('span');
    e.className = 'mv';
    e.textContent = m.san;
    e.dataset.ply = String(i + 1);
    if (i >= split) e.classList.add('branch');
    if (i + 1 === state.ply) e.classList.add('current');
    row.append(e);
  });
  list.replaceChildren(...items);
  const cur = list.querySelector('.current'); // kept in sight inside the list, the page stays put
  if (cur && (cur.offsetTop < list.scrollTop || cur.offsetTop + cur.offsetHeight > list.scrollTop + list.clientHeight)) {
    list.scrollTop = cur.offsetTop - list.clientHeight / 2;
  }
  $('branch').hidden = !state.view;
  if (state.view) $('branch-from').textContent = `${g.moveNumber(split)}${g.turn(split) === 'white' ? '.' : '…'} ${g.moves[split]?.san ?? ''}`;
}

// ---- FEN and PGN ----
function loadPaste() {
  const text = $('paste').value;
  const isFen = !/[[\]]|\d\.|\*/.test(text) && text.includes('/');
  const r = isFen ? Game.fromFen(text) : readPgn(text);
  const err = $('paste-error');
  if (state.play && !state.play.result) {
    err.textContent = 'A game is being played: resign it or finish it first.';
    return;
  }
  if (r.error) {
    err.textContent = r.error;
    return;
  }
  err.textContent = '';
  stopAnalysis();
  stopSearch();
  state.play = null;
  state.game = r.game;
  state.view = null;
  state.tags = r.tags ? { ...r.tags } : {};
  delete state.tags.FEN;
  delete state.tags.SetUp;
  delete state.tags.Variant;
  state.ply = r.game.length;
  state.evals.clear();
  send({ type: 'settings', options: { UCI_LimitStrength: false } });
  send({ type: 'newgame', variant: r.game.variant, fen: r.game.startFen, moves: r.game.engineMoves() });
  positionChanged();
}

function exportPgn() {
  const g = state.game;
  const p = state.play;
  const result = p ? resultText(p.result) : state.tags.Result ?? resultText(g.outcome());
  const tags = { Event: 'Analysis', Site: 'Tarvo page', Date: new Date().toISOString().slice(0, 10).replace(/-/g, '.'), ...state.tags, Result: result };
  const text = g.toPgn(tags);
  $('pgn-out').value = text;
  copy(text, $('export-pgn'), 'Export PGN');
}

function copy(text, button, label) {
  navigator.clipboard?.writeText(text).then(() => {
    button.textContent = 'Copied';
    setTimeout(() => (button.textContent = label), 1200);
  }, () => {});
}

// ---- controls ----
function eloChanged() {
  const v = Number($('elo').value);
  $('elo-value').textContent = String(v);
  let best = null;
  for (const tr of $('calibration').querySelectorAll('tr')) {
    const d = Math.abs(Number(tr.firstElementChild.textContent) - v);
    if (!best || d < best.d) best = { tr, d };
    tr.classList.remove('near');
  }
  best?.tr.classList.add('near');
}

$('elo').addEventListener('input', eloChanged);
$('full-strength').addEventListener('change', () => ($('elo-row').hidden = $('full-strength').checked));
$('time-mode').addEventListener('change', () => {
  const clock = $('time-mode').value === 'clock';
  $('clock-row').hidden = !clock;
  $('movetime-row').hidden = clock;
});
for (const b of document.querySelectorAll('.preset')) {
  b.addEventListener('click', () => {
    const [m, i] = b.dataset.clock.split('+');
    $('clock-min').value = m;
    $('clock-inc').value = i;
  });
}
$('variant').addEventListener('change', () => ($('start-row').hidden = $('variant').value !== 'chess960'));
$('new-game').addEventListener('click', newGame);
$('takeback').addEventListener('click', takeback);
$('resign').addEventListener('click', resign);
$('flip').addEventListener('click', () => {
  state.orientation = other(state.orientation);
  redraw();
});
$('analyse').addEventListener('click', () => (state.analysing ? stopAnalysis() : startAnalysis()));
$('multipv').addEventListener('change', () => state.analysing && startAnalysis());
$('quick-pass').addEventListener('click', quickPass);
$('load-paste').addEventListener('click', loadPaste);
$('export-pgn').addEventListener('click', exportPgn);
$('copy-fen').addEventListener('click', () => copy($('fen-out').value, $('copy-fen'), 'Copy FEN'));
$('keep-line').addEventListener('click', () => {
  state.game = state.view;
  state.view = null;
  if (state.play?.result) state.play = null; // the kept line is no longer the game played
  state.tags.Result = '*';
  positionChanged();
});
$('drop-line').addEventListener('click', () => {
  state.ply = Math.min(state.ply, state.game.divergence(state.view));
  state.view = null;
  positionChanged();
});
$('moves').addEventListener('click', (e) => {
  const ply = e.target.dataset?.ply;
  if (ply) goTo(Number(ply));
});
$('lines').addEventListener('click', (e) => {
  const { line: k, index } = e.target.dataset ?? {};
  const l = k !== undefined && state.lines[Number(k)];
  if (l) userMoves(l.pv.slice(0, Number(index) + 1));
});
$('graph').addEventListener('click', (e) => {
  const ply = e.target.dataset?.ply;
  if (ply === undefined) return;
  if (state.view && Number(ply) > state.game.divergence(state.view)) state.view = null;
  goTo(Number(ply));
});
const navs = { 'nav-first': () => 0, 'nav-prev': () => state.ply - 1, 'nav-next': () => state.ply + 1, 'nav-last': () => line().length };
for (const [id, f] of Object.entries(navs)) $(id).addEventListener('click', () => goTo(f()));
document.addEventListener('keydown', (e) => {
  if (e.target.closest?.('input, textarea, select') || e.altKey || e.ctrlKey || e.metaKey) return;
  const f = { ArrowLeft: navs['nav-prev'], ArrowRight: navs['nav-next'], Home: navs['nav-first'], End: navs['nav-last'] }[e.key];
  if (f) {
    e.preventDefault();
    goTo(f());
  }
});

redraw();
