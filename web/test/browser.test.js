// The page in a real browser (Debian's Chromium through playwright-core) against the real server
// and engine. A failing test leaves a screenshot in web/test-output/.
import { test, before, after, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const web = join(dirname(fileURLToPath(import.meta.url)), '..');
const outDir = join(web, 'test-output');
const CHROMIUM = process.env.CHROMIUM ?? '/usr/bin/chromium';
let server, url, browser, profile;
let page, problems;

before(async () => {
  server = spawn(process.execPath, [join(web, 'server', 'main.js')], { env: { ...process.env, PORT: '0' }, stdio: ['ignore', 'pipe', 'inherit'] });
  url = await new Promise((resolve, reject) => {
    server.stdout.on('data', (d) => (d = /http:\/\/127\.0\.0\.1:\d+\/\?t=\w+/.exec(String(d))) && resolve(d[0]));
    server.on('exit', (code) => reject(new Error(`server exited with ${code}`)));
  });
  profile = mkdtempSync(join(tmpdir(), 'tarvo-chromium-'));
  browser = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width: 1280, height: 900 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});

after(async () => {
  await browser?.close();
  server?.kill('SIGINT');
  rmSync(profile, { recursive: true, force: true });
});

// Every test opens a fresh page (so a fresh engine) and must leave no console or policy error.
async function open() {
  page = await browser.newPage();
  problems = [];
  page.on('console', (m) => m.type() === 'error' && problems.push(m.text()));
  page.on('pageerror', (e) => problems.push(e.message));
  await page.goto(url);
  await page.waitForSelector('body[data-ready]');
  return page;
}

afterEach(async (t) => {
  if (!page) return;
  if (problems.length || t.passed === false || t.error) {
    mkdirSync(outDir, { recursive: true });
    writeFileSync(join(outDir, '.gitignore'), '*\n');
    await page.screenshot({ path: join(outDir, `${t.name.replace(/\W+/g, '-')}.png`) }).catch(() => {});
  }
  await page.close();
  page = null;
  if (problems.length) assert.fail(`console: ${problems.join(' | ')}`);
});

// Centre of a square on the board, whichever way it is turned.
async function square(name) {
  const box = await page.locator('#board cg-board').boundingBox();
  const black = await page.locator('#board.orientation-black').count();
  const f = name.charCodeAt(0) - 97, r = Number(name[1]) - 1;
  const [x, y] = black ? [7 - f, r] : [f, 7 - r];
  return { x: box.x + (x + 0.5) * (box.width / 8), y: box.y + (y + 0.5) * (box.height / 8) };
}
async function drag(from, to) {
  const a = await square(from), b = await square(to);
  await page.mouse.move(a.x, a.y);
  await page.mouse.down();
  await page.mouse.move(b.x, b.y, { steps: 6 });
  await page.mouse.up();
  await page.waitForTimeout(50); // the board reports a move a moment later
}
async function click(from, to) {
  for (const s of [from, to]) {
    const p = await square(s);
    await page.mouse.click(p.x, p.y);
  }
  await page.waitForTimeout(50);
}
const fen = () => page.inputValue('#fen-out');
const moveCount = () => page.locator('#moves .mv[data-ply]').count();
const waitMoves = (n) => page.waitForFunction((n) => document.querySelectorAll('#moves .mv[data-ply]').length === n, n);
async function paste(text) {
  await page.evaluate(() => (document.getElementById('io').open = true));
  await page.fill('#paste', text);
  await page.click('#load-paste');
}

test('a short game at the lowest setting, by drag and by click, then takeback with the clock', async () => {
  await open();
  await page.$eval('#elo', (e) => {
    e.value = e.min;
    e.dispatchEvent(new Event('input'));
  });
  assert.equal(await page.textContent('#elo-value'), await page.getAttribute('#elo', 'min'));
  await page.selectOption('#time-mode', 'clock');
  await page.click('[data-clock="5+3"]');
  await page.click('#new-game');
  await drag('e2', 'e4');
  await waitMoves(2);
  await click('g1', 'f3');
  await waitMoves(4);
  const seconds = async () => Number((await page.textContent('#clock-bottom')).match(/(\d+):(\d+)/).slice(1).reduce((m, s) => m * 60 + Number(s)));
  const before = await seconds(); // two increments of 3 s
  assert.ok(before > 302 && before <= 306, String(before));
  const afterFirst = await page.evaluate(() => document.querySelector('#moves').textContent);
  await page.click('#takeback');
  assert.equal(await moveCount(), 2);
  assert.ok(afterFirst.startsWith(await page.evaluate(() => document.querySelector('#moves').textContent)));
  const restored = await seconds(); // one increment: the clock as it was before the move taken back
  assert.ok(restored < before && restored > 298, String(restored));
  await click('d2', 'd4');
  await waitMoves(4);
  await page.click('#resign');
  assert.equal(await page.getAttribute('#status', 'data-reason'), 'resignation');
  assert.equal(await page.getAttribute('#status', 'data-result'), '0-1');
});

test('under-promotion through the choice', async () => {
  await open();
  await paste('8/P6k/8/8/8/8/8/K7 w - - 0 1');
  await drag('a7', 'a8');
  await page.click('#promotion [data-role="knight"]');
  assert.match(await fen(), /^N7\/7k\//);
  assert.match(await page.textContent('#moves'), /a8=N/);
});

test('Fischer random castling by moving the king onto its rook, then analysed by the engine', async () => {
  await open();
  await paste('bqnbrkrn/pppppppp/8/8/8/8/PPPPPPPP/BQNBRKRN w KQkq - 0 1');
  await drag('f1', 'g1');
  assert.match(await fen(), /\/BQNBRRKN b kq - 1 1$/);
  await page.click('#analyse');
  await page.waitForSelector('#lines .line');
});

test('analysis with three lines: three arrows, the bar moves, a line move plays', async () => {
  await open();
  await paste('4k3/8/8/8/8/8/3Q4/4K3 w - - 0 1');
  assert.equal(await page.getAttribute('#evalbar', 'data-share'), '0.500');
  await page.selectOption('#multipv', '3');
  await page.click('#analyse');
  await page.waitForSelector('#lines[data-count="3"]');
  await page.waitForFunction(() => document.querySelectorAll('#board .cg-shapes line').length === 3);
  assert.ok(Number(await page.getAttribute('#evalbar', 'data-share')) > 0.9);
  assert.match(await page.textContent('#wdl'), /White \d+%/);
  await page.click('#lines .line[data-multipv="1"] .mv[data-index="0"]');
  assert.equal(await moveCount(), 1);
});

test('a bad FEN shows where it fails and keeps the game', async () => {
  await open();
  await drag('e2', 'e4');
  const before = await fen();
  await paste('rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1');
  assert.match(await page.textContent('#paste-error'), /field 1 \(piece placement\)/);
  assert.equal(await fen(), before);
  await paste('1. e4 e5 2. Ke3');
  assert.match(await page.textContent('#paste-error'), /move 2\. Ke3/);
});

test('a PGN exported and pasted back gives the same game', async () => {
  await open();
  await paste('1. d4 Nf6 2. c4 e6 3. Nc3 Bb4 4. e3 O-O 5. Bd3 d5 6. a3 Bxc3+ 7. bxc3');
  await page.keyboard.press('Home');
  await page.keyboard.press('ArrowRight');
  assert.equal(await page.textContent('#moves .mv.current'), 'd4');
  await drag('e7', 'e5'); // a new continuation, the game kept until confirmed
  assert.ok(await page.isVisible('#branch'));
  await page.click('#drop-line');
  await page.keyboard.press('End');
  await page.click('#export-pgn');
  const pgn = await page.inputValue('#pgn-out');
  assert.match(pgn, /\[Result "\*"\]/);
  const [moves, position] = [await page.textContent('#moves'), await fen()];
  await page.reload();
  await page.waitForSelector('body[data-ready]');
  await paste(pgn);
  assert.equal(await page.textContent('#moves'), moves);
  assert.equal(await fen(), position);
});

test('closing the page ends its engine', async () => {
  const engines = () => {
    try {
      return execFileSync('ps', ['--ppid', String(server.pid), '-o', 'pid=']).toString().trim().split(/\s+/).length;
    } catch {
      return 0; // ps fails when there is none
    }
  };
  await new Promise((r) => setTimeout(r, 1500)); // engines of earlier pages end within a second or so
  const base = engines();
  await open();
  await page.waitForFunction(() => true);
  assert.equal(engines(), base + 1);
  await page.close();
  page = null;
  const deadline = Date.now() + 5000;
  while (engines() > base && Date.now() < deadline) await new Promise((r) => setTimeout(r, 100));
  assert.equal(engines(), base);
});
