// The server against the real engine (ENGINE, or build/tarvo): who may connect, a move answered,
// three analysis lines, the cap on pages, and no engine process left behind.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { request } from 'node:http';
import { spawn, execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import WebSocket from 'ws';
import { startServer } from '../server/server.js';
import { liveEngines } from '../server/engine.js';

const web = join(dirname(fileURLToPath(import.meta.url)), '..');
const enginePath = resolve(process.env.ENGINE || join(web, '..', 'build', 'tarvo'));
const WAIT_MS = 60_000; // generous: the machine may be loaded
let server;

before(async () => {
  assert.ok(existsSync(enginePath), `no engine at ${enginePath}`);
  server = await startServer({ enginePath, distDir: join(web, 'dist') });
});
after(() => server.close());

const alive = (pid) => {
  try {
    process.kill(pid, 0);
    return true;
  } catch {
    return false;
  }
};

async function until(what, fn) {
  const end = Date.now() + WAIT_MS;
  while (!fn()) {
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

// A page's socket that keeps every message; next(pred) waits for the first unread one that fits.
function connect({ origin, token, host, srv = server } = {}) {
  const port = srv.port;
  token ??= srv.token;
  const ws = new WebSocket(`ws://127.0.0.1:${port}/ws?t=${token}`, {
    origin: origin ?? `http://127.0.0.1:${port}`,
    headers: host ? { Host: host } : {},
  });
  const page = { ws, messages: [], seen: 0, closed: null, refused: null };
  ws.on('message', (d) => page.messages.push(JSON.parse(d)));
  ws.on('close', (code) => (page.closed = code));
  ws.on('unexpected-response', (_req, res) => (page.refused = res.statusCode));
  ws.on('error', () => {});
  page.send = (msg) => ws.send(JSON.stringify(msg));
  page.next = async (pred) => {
    let found;
    await until('a message', () => {
      const i = page.messages.findIndex((m, k) => k >= page.seen && pred(m));
      if (i >= 0) [found, page.seen] = [page.messages[i], i + 1];
      return i >= 0 || page.closed !== null;
    });
    assert.ok(found, `socket closed (${page.closed}) before the message came`);
    return found;
  };
  return page;
}

const enginePidOf = (srv = server) => {
  const sessions = [...srv.sessions];
  return sessions[sessions.length - 1]?.engine?.child.pid;
};

function get(path, host) {
  return new Promise((ok, fail) => {
    request({ host: '127.0.0.1', port: server.port, path, headers: { Host: host } }, (res) => {
      res.resume();
      ok(res);
    }).on('error', fail).end();
  });
}

test('only this machine under its own name, with the token, may talk to the server', async () => {
  assert.equal((await get('/', `evil.example:${server.port}`)).statusCode, 403);
  assert.equal((await get('/', `127.0.0.1:${server.port + 1}`)).statusCode, 403);
  const res = await get('/nothing.js', `localhost:${server.port}`);
  assert.equal(res.statusCode, 404);
  assert.match(res.headers['content-security-policy'], /default-src 'self'; script-src 'self'/);
  for (const bad of [{ origin: 'http://evil.example' }, { origin: `http://rebound.example:${server.port}` },
    { host: `rebound.example:${server.port}` }, { token: '0'.repeat(32) }]) {
    const page = connect(bad);
    await until('a refusal', () => page.refused !== null || page.closed !== null);
    assert.equal(page.refused, 403, JSON.stringify(bad));
  }
});

test('a move is answered, a refused message never stops the session, three lines come in', async () => {
  const page = connect();
  const hello = await page.next((m) => m.type === 'hello');
  assert.match(hello.engine.name, /Tarvo/);
  assert.deepEqual(hello.engine.options.MultiPV, { min: 1, max: 5, default: 1 });
  page.send({ type: 'newgame', variant: 'standard', fen: null, moves: ['e2e4'] });
  assert.deepEqual((await page.next((m) => m.type === 'position')).moves, ['e2e4']);
  page.send({ type: 'move', move: 'e7e5\nposition startpos' });
  assert.match((await page.next((m) => m.type === 'error')).message, /bad move/);
  page.send({ type: 'move', move: 'e7e4' });
  assert.match((await page.next((m) => m.type === 'error')).message, /illegal move e7e4/);
  page.send({ type: 'go', id: 1, movetime: 200 });
  const best = await page.next((m) => m.type === 'bestmove');
  assert.equal(best.id, 1);
  page.send({ type: 'move', move: best.move });
  assert.deepEqual((await page.next((m) => m.type === 'position')).moves, ['e2e4', best.move]);

  page.send({ type: 'settings', options: { MultiPV: 3, UCI_ShowWDL: true } });
  page.send({ type: 'go', id: 2, depth: 6 });
  await page.next((m) => m.type === 'bestmove' && m.id === 2);
  const lines = page.messages.filter((m) => m.type === 'info' && m.id === 2 && m.depth === 6);
  assert.deepEqual([...new Set(lines.map((m) => m.multipv))].sort(), [1, 2, 3]);
  assert.ok(lines.every((m) => m.wdl.length === 3 && m.pv.length > 0 && 'cp' in m.score));

  page.send({ type: 'go', id: 5, wtime: 3000, btime: 3000, ponder: true });
  await page.next((m) => m.type === 'info' && m.id === 5);
  page.send({ type: 'ponderhit' }); // a pondering search answers only after it
  assert.equal((await page.next((m) => m.type === 'bestmove')).id, 5);
  page.ws.close();
});

test('an engine that ignores quit is killed when its page closes', async () => {
  const dir = mkdtempSync(join(tmpdir(), 'tarvo-stub-'));
  const stub = join(dir, 'engine');
  writeFileSync(stub, '#!/bin/sh\nwhile read l; do case "$l" in uci) echo uciok;; isready) echo readyok;; esac; done\nexec sleep 600\n', { mode: 0o755 });
  const own = await startServer({ enginePath: stub, distDir: join(web, 'dist') });
  try {
    const page = connect({ srv: own });
    await page.next((m) => m.type === 'hello');
    const pid = enginePidOf(own);
    page.ws.close();
    await until('the stubborn engine to be killed', () => !alive(pid));
  } finally {
    await own.close();
    rmSync(dir, { recursive: true, force: true });
  }
});

test('an engine killed is reported and restarted; a closed page leaves no engine', async () => {
  const page = connect();
  await page.next((m) => m.type === 'hello');
  page.send({ type: 'position', variant: 'standard', fen: null, moves: ['d2d4'] });
  await page.next((m) => m.type === 'position');
  const first = enginePidOf();
  process.kill(first, 'SIGKILL');
  assert.equal((await page.next((m) => m.type === 'engine')).state, 'died');
  assert.equal((await page.next((m) => m.type === 'engine')).state, 'restarted');
  const second = enginePidOf();
  assert.notEqual(second, first);
  page.send({ type: 'go', id: 3, depth: 4 });
  const best = await page.next((m) => m.type === 'bestmove');
  assert.match(best.move, /^[a-h][1-8][a-h][1-8]$/);
  page.send({ type: 'go', id: 4, infinite: true });
  await page.next((m) => m.type === 'info' && m.id === 4);
  page.ws.close();
  await until('the engine to end', () => !alive(second));
});

test('a fifth page is told the server is busy', async () => {
  const pages = [1, 2, 3, 4].map(() => connect());
  for (const p of pages) await p.next((m) => m.type === 'hello');
  const fifth = connect();
  assert.match((await fifth.next((m) => m.type === 'busy')).message, /4 pages/);
  await until('the busy page to close', () => fifth.closed !== null);
  assert.equal(fifth.closed, 4001);
  const pids = [...server.sessions].map((s) => s.engine.child.pid);
  assert.equal(pids.length, 4);
  for (const p of pages) p.ws.close();
  await until('every engine to end', () => pids.every((pid) => !alive(pid)) && liveEngines.size === 0);
});

test('Ctrl-C on the server ends its engines', { skip: !existsSync(join(web, 'dist', 'manifest.json')) && 'page not bundled' }, async () => {
  const child = spawn(process.execPath, [join(web, 'server', 'main.js')], { env: { ...process.env, ENGINE: enginePath } });
  let out = '';
  child.stdout.on('data', (d) => (out += d));
  await until('the address', () => /http:\/\/127\.0\.0\.1:\d+\/\?t=[0-9a-f]{32}/.test(out));
  const [, port, token] = /127\.0\.0\.1:(\d+)\/\?t=([0-9a-f]+)/.exec(out);
  const ws = new WebSocket(`ws://127.0.0.1:${port}/ws?t=${token}`, { origin: `http://127.0.0.1:${port}` });
  await new Promise((ok) => ws.on('message', ok));
  ws.send(JSON.stringify({ type: 'go', id: 1, infinite: true }));
  const engines = execFileSync('ps', ['-o', 'pid=', '--ppid', String(child.pid)]).toString().trim().split(/\s+/).map(Number);
  assert.equal(engines.length, 1);
  const exited = new Promise((ok) => child.on('exit', ok));
  child.kill('SIGINT');
  assert.equal(await exited, 0);
  await until('the engine to end', () => !alive(engines[0]));
});
