// Reads the engine's output lines into the page's messages. The engine writes its selective
// depth on the line that opens an iteration ("info depth D seldepth S"), not on the lines of
// its best moves, so a reader keeps the latest one and adds it to every line it forwards.

const UCI_MOVE = /^[a-h][1-8][a-h][1-8][qrbn]?$/;

const int = (text) => (/^-?\d+$/.test(text ?? '') ? Number(text) : null);

// An `option` line: "option name NAME type TYPE [default D] [min A] [max B] [var V ...]".
export function parseOptionLine(line) {
  const m = /^option name (.+?) type (\w+)(?: default ?(.*?))?(?: min (-?\d+))?(?: max (-?\d+))?((?: var .*)?)\s*$/.exec(line);
  if (!m) return null;
  const option = { name: m[1], type: m[2] };
  if (m[3] !== undefined) option.default = m[3].trim();
  if (m[4] !== undefined) option.min = Number(m[4]);
  if (m[5] !== undefined) option.max = Number(m[5]);
  if (m[6]) option.vars = m[6].split(' var ').slice(1).map((v) => v.trim());
  if (option.type === 'spin' && option.default !== undefined) option.default = Number(option.default);
  if (option.type === 'check') option.default = option.default === 'true';
  return option;
}

// An `info` line with a principal variation, as the page's `info` message without its id.
export function parseInfo(line, seldepth = null) {
  const t = line.trim().split(/\s+/);
  if (t[0] !== 'info') return null;
  const info = {
    multipv: 1, depth: null, seldepth, score: null, bound: null, wdl: null,
    nodes: null, nps: null, time: null, tbhits: null, pv: null,
  };
  for (let i = 1; i < t.length; i++) {
    const key = t[i];
    switch (key) {
      case 'multipv': case 'depth': case 'seldepth': case 'nodes': case 'nps': case 'time': case 'tbhits':
        info[key] = int(t[++i]);
        break;
      case 'score': {
        const kind = t[i + 1];
        const value = int(t[i + 2]);
        if ((kind === 'cp' || kind === 'mate') && value !== null) info.score = { [kind]: value };
        i += 2;
        while (t[i + 1] === 'lowerbound' || t[i + 1] === 'upperbound') info.bound = t[++i].replace('bound', '');
        break;
      }
      case 'wdl': {
        const wdl = [int(t[i + 1]), int(t[i + 2]), int(t[i + 3])];
        if (wdl.every((n) => n !== null)) info.wdl = wdl;
        i += 3;
        break;
      }
      case 'pv':
        info.pv = t.slice(i + 1).filter((m) => UCI_MOVE.test(m));
        i = t.length;
        break;
      default:
        i++; // hashfull, currmovenumber and any other keyword with one value
    }
  }
  return info.pv && info.depth !== null && info.score ? info : null;
}

// "bestmove M [ponder P]"; the engine writes "null", "none" or "0000" when it has no move.
export function parseBestmove(line) {
  const t = line.trim().split(/\s+/);
  if (t[0] !== 'bestmove') return null;
  const move = (text) => (UCI_MOVE.test(text ?? '') ? text : null);
  return { move: move(t[1]), ponder: t[2] === 'ponder' ? move(t[3]) : null };
}

// Turns each line into an event: id, option, uciok, readyok, info, note, bestmove, or null for
// lines the page does not need (depth openers, periodic counts, current moves).
export function createReader() {
  let seldepth = null;
  return function read(line) {
    if (line.startsWith('info ')) {
      if (line.startsWith('info string ')) return { kind: 'note', text: line.slice(12).trimEnd() };
      const opener = /^info depth (\d+) seldepth (\d+)\s*$/.exec(line);
      if (opener) {
        seldepth = Number(opener[2]);
        return null;
      }
      const info = parseInfo(line, seldepth);
      return info && { kind: 'info', ...info };
    }
    if (line.startsWith('bestmove')) {
      seldepth = null;
      const best = parseBestmove(line);
      return best && { kind: 'bestmove', ...best };
    }
    if (line.startsWith('option ')) {
      const option = parseOptionLine(line);
      return option && { kind: 'option', option };
    }
    if (line.startsWith('id name ')) return { kind: 'id', name: line.slice(8).trim() };
    const word = line.trim();
    if (word === 'uciok' || word === 'readyok') return { kind: word };
    return null;
  };
}
