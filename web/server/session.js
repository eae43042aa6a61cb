// One page's session: its engine, its position and settings, and the search under way. Only
// messages that passed checkMessage arrive here, and every line the engine gets is built here.
import { availableParallelism, cpus } from 'node:os';
import { Engine } from './engine.js';
import { checkMessage, optionRanges } from './messages.js';
import { newGame, playMove, currentFen, hasLegalMove, positionLine, GameError } from './game.js';

const RESTARTS_ALLOWED = 3; // deaths within RESTART_WINDOW_MS before the session gives up
const RESTART_WINDOW_MS = 60_000;
const cores = () => (typeof availableParallelism === 'function' ? availableParallelism() : cpus().length);

function goLine(go) {
  if (go.infinite) return 'go infinite';
  const parts = ['go'];
  if (go.ponder) parts.push('ponder');
  for (const k of ['wtime', 'btime', 'winc', 'binc', 'movestogo', 'movetime', 'depth', 'nodes']) {
    if (go[k] !== undefined) parts.push(k, String(go[k]));
  }
  return parts.join(' ');
}

export class Session {
  // send(obj) writes one message to the page; close(code, text) closes its socket.
  constructor({ enginePath, syzygy, send, close }) {
    this.enginePath = enginePath;
    this.syzygy = syzygy;
    this.sendToPage = send;
    this.closePage = close;
    this.settings = {};
    this.game = newGame('standard', null, []);
    this.searching = null; // { id, stopSent } while a go is with the engine
    this.queue = []; // lines (or { go }) waiting for the engine to be idle
    this.chain = Promise.resolve();
    this.closed = false;
    this.deaths = [];
  }

  async open() {
    this.engine = await this.#startEngine();
    const o = this.engine.options;
    const spin = (name, fallback) => ({ ...fallback, ...o.get(name) });
    const hash = spin('Hash', { min: 1, max: 256, default: 16 });
    const elo = spin('UCI_Elo', { min: 1000, max: 1850, default: 1500 });
    const threads = spin('Threads', { max: 1 });
    this.limits = {
      eloMin: elo.min, eloMax: elo.max, hashMin: hash.min, hashMax: hash.max,
      threadsMax: Math.max(1, Math.min(4, cores(), threads.max)),
    };
    const r = optionRanges(this.limits);
    this.sendToPage({
      type: 'hello',
      engine: {
        name: this.engine.name ?? 'engine',
        options: {
          UCI_Elo: { ...r.UCI_Elo, default: elo.default },
          MultiPV: { ...r.MultiPV, default: 1 },
          Hash: { ...r.Hash, default: Math.min(hash.default, r.Hash.max) },
          Threads: { ...r.Threads, default: 1 },
        },
      },
    });
  }

  // Starts the engine; a page that cannot get one is told why and closed.
  start() {
    this.chain = this.open().catch((e) => {
      this.#error(e.message);
      this.closePage(1011, 'engine cannot start');
    });
    return this.chain;
  }

  // Messages are handled one after another, after the engine's greeting.
  receive(text) {
    this.chain = this.chain.then(() => this.#handle(text)).catch((e) => this.#error(e.message));
  }

  async close() {
    this.closed = true;
    await this.chain.catch(() => {});
    if (this.engine) await this.engine.quit();
  }

  async #startEngine() {
    const engine = new Engine(this.enginePath, {
      onEvent: (e) => this.#fromEngine(engine, e),
      onExit: (code, signal) => this.#died(engine, code, signal),
    });
    await engine.start();
    if (this.syzygy) engine.send(`setoption name SyzygyPath value ${this.syzygy}`);
    return engine;
  }

  #error(message) {
    if (!this.closed) this.sendToPage({ type: 'error', message });
  }

  #handle(text) {
    if (this.closed || !this.engine) return;
    const checked = checkMessage(text, this.limits);
    if (checked.error) return this.#error(checked.error);
    const msg = checked.message;
    switch (msg.type) {
      case 'newgame':
      case 'position': {
        let game;
        try {
          game = newGame(msg.variant, msg.fen, msg.moves);
        } catch (e) {
          if (e instanceof GameError) return this.#error(e.message);
          throw e;
        }
        this.game = game;
        this.#stopSearch();
        this.#setOptions({ UCI_Chess960: game.variant === 'chess960' });
        if (msg.type === 'newgame') this.#enqueue('ucinewgame');
        return this.#sendPosition();
      }
      case 'move':
        try {
          playMove(this.game, msg.move);
        } catch (e) {
          if (e instanceof GameError) return this.#error(e.message);
          throw e;
        }
        return this.#sendPosition();
      case 'go':
        if (!hasLegalMove(this.game)) {
          return this.sendToPage({ type: 'bestmove', id: msg.id, move: null, ponder: null });
        }
        this.#stopSearch();
        this.queue = this.queue.filter((item) => !item.go); // an older go not yet started is dropped
        // The moves are written for the game's variant, whatever the page set since.
        this.#setOptions({ UCI_Chess960: this.game.variant === 'chess960' });
        return this.#enqueue({ go: msg, position: positionLine(this.game) });
      case 'stop':
        for (const item of this.queue) if (item.go) item.stop = true;
        return this.#stopSearch();
      case 'ponderhit':
        for (const item of this.queue) if (item.go) item.go.ponder = false;
        if (this.searching) this.engine.send('ponderhit');
        return;
      case 'settings':
        this.#stopSearch();
        return this.#setOptions(msg.options);
    }
  }

  #sendPosition() {
    this.sendToPage({ type: 'position', fen: currentFen(this.game), moves: [...this.game.moves] });
  }

  #setOptions(options) {
    for (const [name, value] of Object.entries(options)) {
      if (this.settings[name] === value) continue;
      this.settings[name] = value;
      this.#enqueue(`setoption name ${name} value ${value}`);
    }
  }

  #stopSearch() {
    if (this.searching && !this.searching.stopSent) {
      this.searching.stopSent = true;
      this.engine.send('stop');
    }
  }

  #enqueue(item) {
    this.queue.push(item);
    this.#flush();
  }

  // Sends what waits while the engine is idle; a go makes it busy until its bestmove.
  #flush() {
    while (!this.searching && this.queue.length && this.engine && !this.engine.exited) {
      const item = this.queue.shift();
      if (typeof item === 'string') {
        this.engine.send(item);
        continue;
      }
      this.engine.send(item.position);
      this.engine.send(goLine(item.go));
      this.searching = { id: item.go.id, stopSent: false };
      if (item.stop) this.#stopSearch();
    }
  }

  #fromEngine(engine, e) {
    if (engine !== this.engine || this.closed) return;
    const id = this.searching?.id ?? null;
    if (e.kind === 'info') {
      const { kind, ...info } = e;
      if (id !== null) this.sendToPage({ type: 'info', id, ...info });
    } else if (e.kind === 'note') {
      this.sendToPage({ type: 'note', id, text: e.text });
    } else if (e.kind === 'bestmove' && this.searching) {
      this.searching = null;
      this.sendToPage({ type: 'bestmove', id, move: e.move, ponder: e.ponder });
      this.#flush();
    }
  }

  // An engine that ended on its own is reported and replaced, with the settings and position.
  async #died(engine, code, signal) {
    if (engine !== this.engine || this.closed) return;
    const how = signal ? `signal ${signal}` : `exit code ${code}`;
    this.sendToPage({ type: 'engine', state: 'died', message: `the engine ended (${how})` });
    this.searching = null;
    this.queue = [];
    const now = Date.now();
    this.deaths = this.deaths.filter((t) => now - t < RESTART_WINDOW_MS).concat(now);
    if (this.deaths.length > RESTARTS_ALLOWED) {
      this.#error('the engine keeps ending; reload the page to start it again');
      return this.closePage(1011, 'engine keeps ending');
    }
    this.chain = this.chain.then(async () => {
      if (this.closed) return;
      try {
        this.engine = await this.#startEngine();
      } catch (e) {
        this.#error(e.message);
        return this.closePage(1011, 'engine cannot start');
      }
      if (this.closed) return this.engine.quit();
      for (const [name, value] of Object.entries(this.settings)) this.engine.send(`setoption name ${name} value ${value}`);
      this.engine.send(positionLine(this.game));
      this.sendToPage({ type: 'engine', state: 'restarted', message: 'the engine was started again at the current position' });
      this.#flush(); // what the page asked for while the engine was down
    });
  }
}
