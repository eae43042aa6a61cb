// One engine process: started in a process group of its own (a Ctrl-C on the terminal reaches
// the server, which ends its engines itself), greeted with uci/isready, fed one line at a time.
import { spawn } from 'node:child_process';
import { createInterface } from 'node:readline';
import { createReader } from './uci.js';

const GREETING_MS = 15_000;
const QUIT_GRACE_MS = 1_000;

// Every engine started and not yet ended, so the server can end them all when it stops.
export const liveEngines = new Set();

export class Engine {
  // onEvent(event) gets each parsed line after the greeting; onExit(code, signal) once.
  constructor(path, { onEvent = () => {}, onExit = () => {} } = {}) {
    this.path = path;
    this.onEvent = onEvent;
    this.onExit = onExit;
    this.name = null;
    this.options = new Map();
    this.exited = false;
  }

  // Starts the process and resolves once it answered uciok and readyok.
  start() {
    const child = spawn(this.path, [], { stdio: ['pipe', 'pipe', 'ignore'], detached: true });
    this.child = child;
    liveEngines.add(this);
    const read = createReader();
    let greeted = null;
    const ready = new Promise((resolve, reject) => {
      greeted = { resolve, reject };
    });
    let stage = 'uci';
    const timer = setTimeout(() => greeted.reject(new Error('the engine did not answer uci/isready')), GREETING_MS);
    child.stdin.on('error', () => {}); // a dead engine's pipe; its exit is reported below
    child.on('error', (e) => {
      clearTimeout(timer);
      greeted.reject(new Error(`cannot start the engine ${this.path}: ${e.message}`));
      this.#ended(null, null);
    });
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      greeted.reject(new Error(`the engine ended during its greeting (${signal ?? code})`));
      this.#ended(code, signal);
    });
    createInterface({ input: child.stdout }).on('line', (line) => {
      const event = read(line);
      if (!event) return;
      if (stage === 'running') return this.onEvent(event);
      if (event.kind === 'id') this.name = event.name;
      else if (event.kind === 'option') this.options.set(event.option.name, event.option);
      else if (event.kind === 'uciok' && stage === 'uci') {
        stage = 'ready';
        this.send('isready');
      } else if (event.kind === 'readyok' && stage === 'ready') {
        stage = 'running';
        clearTimeout(timer);
        greeted.resolve(this);
      }
    });
    this.send('uci');
    return ready;
  }

  send(line) {
    if (this.exited || !this.child) return;
    if (/[\r\n\0]/.test(line)) throw new Error('an engine line holds a line break');
    this.child.stdin.write(line + '\n');
  }

  // `quit`, then a kill a second later if the engine has not ended; resolves when it has.
  quit() {
    if (this.exited || !this.child) return Promise.resolve();
    const done = new Promise((resolve) => this.child.once('exit', resolve));
    this.send('quit');
    this.child.stdin.end();
    const timer = setTimeout(() => this.kill(), QUIT_GRACE_MS);
    return done.then(() => clearTimeout(timer));
  }

  kill() {
    if (this.exited || !this.child) return;
    try {
      this.child.kill('SIGKILL');
    } catch {
      // already gone
    }
  }

  #ended(code, signal) {
    if (this.exited) return;
    this.exited = true;
    liveEngines.delete(this);
    this.onExit(code, signal);
  }
}
