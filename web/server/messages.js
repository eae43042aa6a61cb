// The closed set of messages a page may send. checkMessage reads one message's text and returns
// { message } with only known fields of known types and values in range, or { error } saying
// what is refused; moves are checked against the rules later, in the game (game.js).

export const MAX_MESSAGE_BYTES = 64 * 1024;
const MOVE = /^[a-h][1-8][a-h][1-8][qrbn]?$/;
const FEN = /^[0-9A-Za-z/ -]{1,100}$/;
const INT32 = 2 ** 31 - 1;

class Refused extends Error {}
const refuse = (why) => { throw new Refused(why); };

function fields(msg, allowed) {
  for (const key of Object.keys(msg)) if (!allowed.includes(key)) refuse(`unknown field "${key}"`);
}

function integer(msg, key, min, max) {
  const v = msg[key];
  if (!Number.isSafeInteger(v) || v < min || v > max) refuse(`${key} must be a whole number from ${min} to ${max}`);
  return v;
}

function move(text) {
  if (typeof text !== 'string' || !MOVE.test(text)) refuse(`bad move ${JSON.stringify(text)?.slice(0, 40)}`);
  return text;
}

function position(msg) {
  fields(msg, ['type', 'variant', 'fen', 'moves']);
  const variant = msg.variant ?? 'standard';
  if (variant !== 'standard' && variant !== 'chess960') refuse('variant must be "standard" or "chess960"');
  const fen = msg.fen ?? null;
  if (fen !== null && (typeof fen !== 'string' || !FEN.test(fen))) refuse('bad FEN text');
  const moves = msg.moves ?? [];
  if (!Array.isArray(moves)) refuse('moves must be a list');
  return { type: msg.type, variant, fen, moves: moves.map(move) };
}

const LIMIT_FORMS = ['infinite', 'movetime', 'depth', 'nodes', 'wtime'];

function go(msg) {
  fields(msg, ['type', 'id', 'infinite', 'movetime', 'depth', 'nodes', 'wtime', 'btime', 'winc', 'binc', 'movestogo', 'ponder']);
  const out = { type: 'go', id: integer(msg, 'id', 0, Number.MAX_SAFE_INTEGER) };
  if ('btime' in msg && !('wtime' in msg)) refuse('wtime and btime go together');
  const forms = LIMIT_FORMS.filter((k) => k in msg);
  if (forms.length !== 1) refuse('go takes exactly one of infinite, movetime, depth, nodes or wtime+btime');
  const clockOnly = ['btime', 'winc', 'binc', 'movestogo'].filter((k) => k in msg);
  if (forms[0] !== 'wtime' && clockOnly.length) refuse(`${clockOnly[0]} belongs to the clock form`);
  switch (forms[0]) {
    case 'infinite':
      if (msg.infinite !== true) refuse('infinite must be true');
      out.infinite = true;
      break;
    case 'movetime': out.movetime = integer(msg, 'movetime', 1, 86_400_000); break;
    case 'depth': out.depth = integer(msg, 'depth', 1, 60); break;
    case 'nodes': out.nodes = integer(msg, 'nodes', 1, INT32); break;
    case 'wtime':
      if (!('btime' in msg)) refuse('wtime and btime go together');
      for (const k of ['wtime', 'btime', 'winc', 'binc']) if (k in msg) out[k] = integer(msg, k, 0, INT32);
      if ('movestogo' in msg) out.movestogo = integer(msg, 'movestogo', 1, 1000);
      break;
  }
  if ('ponder' in msg) {
    if (msg.ponder !== true && msg.ponder !== false) refuse('ponder must be true or false');
    if (msg.ponder && !(forms[0] === 'wtime' || forms[0] === 'movetime')) refuse('ponder goes with a clock or movetime only');
    if (msg.ponder) out.ponder = true;
  }
  return out;
}

// The options a page may set, with their ranges from the engine's own option lines (limits).
export function optionRanges(limits) {
  return {
    MultiPV: { min: 1, max: 5 },
    UCI_Elo: { min: limits.eloMin, max: limits.eloMax },
    Hash: { min: limits.hashMin, max: Math.max(limits.hashMin, Math.min(256, limits.hashMax)) },
    Threads: { min: 1, max: limits.threadsMax },
    UCI_LimitStrength: 'bool', UCI_ShowWDL: 'bool', UCI_Chess960: 'bool', Ponder: 'bool',
  };
}

function settings(msg, limits) {
  fields(msg, ['type', 'options']);
  const options = msg.options;
  if (!options || typeof options !== 'object' || Array.isArray(options)) refuse('options must be an object');
  const ranges = optionRanges(limits);
  const out = {};
  for (const [name, value] of Object.entries(options)) {
    const range = Object.hasOwn(ranges, name) ? ranges[name] : null;
    if (!range) refuse(`option ${JSON.stringify(name).slice(0, 40)} may not be set from the page`);
    if (range === 'bool') {
      if (typeof value !== 'boolean') refuse(`${name} must be true or false`);
      out[name] = value;
    } else {
      out[name] = integer(options, name, range.min, range.max);
    }
  }
  return { type: 'settings', options: out };
}

export function checkMessage(text, limits) {
  try {
    if (typeof text !== 'string') text = String(text);
    if (Buffer.byteLength(text) > MAX_MESSAGE_BYTES) refuse('message too large');
    let msg;
    try {
      msg = JSON.parse(text);
    } catch {
      refuse('not JSON');
    }
    if (!msg || typeof msg !== 'object' || Array.isArray(msg)) refuse('a message is a JSON object');
    switch (msg.type) {
      case 'newgame': case 'position': return { message: position(msg) };
      case 'move':
        fields(msg, ['type', 'move']);
        return { message: { type: 'move', move: move(msg.move) } };
      case 'go': return { message: go(msg) };
      case 'stop': case 'ponderhit':
        fields(msg, ['type']);
        return { message: { type: msg.type } };
      case 'settings': return { message: settings(msg, limits) };
      default: refuse(`unknown message type ${JSON.stringify(msg.type)?.slice(0, 40)}`);
    }
  } catch (e) {
    if (e instanceof Refused) return { error: e.message };
    throw e;
  }
}
