// Drawing helpers for scores, the evaluation bar, the lines and the graph. Scores here are from
// White's view: { cp } or { mate }, with `tb` set for a tablebase result at the root.

export const whiteView = (score, turn) =>
  turn === 'white' ? { ...score } : 'mate' in score ? { mate: -score.mate } : { cp: -score.cp };

// Expected share of the points for White, 0..1, from a score.
export function whiteShare(score) {
  if (!score) return 0.5;
  if ('mate' in score) return score.mate > 0 ? 1 : score.mate < 0 ? 0 : 0.5;
  const cp = Math.max(-2000, Math.min(2000, score.cp));
  return 1 / (1 + Math.exp(-0.00368208 * cp));
}

export function formatScore(score, digits = 2) {
  if (!score) return '';
  if ('mate' in score) return score.mate === 0 ? '#0' : `#${score.mate}`;
  if (score.tb) return score.cp > 0 ? 'TB win' : score.cp < 0 ? 'TB loss' : 'TB draw';
  const v = (score.cp / 100).toFixed(digits);
  return score.cp > 0 ? `+${v}` : v;
}

const el = (tag, cls, text) => {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
};

// One analysis line: score, depth, then its moves in SAN, each a button-like span carrying its
// index so a click can play the line up to it.
export function lineElement(line, k, moveNumber, whiteFirst) {
  const row = el('div', 'line');
  row.dataset.multipv = String(k + 1);
  const score = el('span', 'score', formatScore(line.score) + (line.bound ? (line.bound === 'lower' ? '↑' : '↓') : ''));
  score.classList.add(whiteShare(line.score) >= 0.5 ? 'good-white' : 'good-black');
  row.append(score, el('span', 'depth', `d${line.depth}`));
  const pv = el('span', 'pv');
  let n = moveNumber;
  line.san.forEach((san, i) => {
    const white = whiteFirst === (i % 2 === 0);
    if (white || i === 0) pv.append(el('span', 'num', white ? `${n}.` : `${n}…`));
    const mv = el('span', 'mv', san);
    mv.dataset.line = String(k);
    mv.dataset.index = String(i);
    pv.append(mv);
    if (!white) n++;
  });
  row.append(pv);
  return row;
}

const SVG = 'http://www.w3.org/2000/svg';
const svgEl = (tag, attrs) => {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, String(v));
  return e;
};

// The evaluation over the game: shares per ply (null where no score is known), the ply shown.
export function drawGraph(svg, shares, current) {
  const W = 600, H = 100;
  const n = Math.max(shares.length - 1, 1);
  const x = (i) => (i / n) * W;
  svg.replaceChildren();
  svg.append(svgEl('rect', { x: 0, y: 0, width: W, height: H, class: 'graph-bg' }));
  // The known points joined across plies without a score, closed along the middle line.
  const known = shares.map((s, i) => [i, s]).filter(([, s]) => s != null);
  if (known.length) {
    const pts = known.map(([i, s]) => `L${x(i).toFixed(1)},${(H - s * H).toFixed(1)}`).join('');
    const [first, last] = [known[0][0], known[known.length - 1][0]];
    svg.append(svgEl('path', { d: `M${x(first)},${H / 2}${pts}L${x(last)},${H / 2}Z`, class: 'graph-area' }));
  }
  svg.append(svgEl('line', { x1: 0, x2: W, y1: H / 2, y2: H / 2, class: 'graph-mid' }));
  if (shares.length > 1) svg.append(svgEl('line', { x1: x(current), x2: x(current), y1: 0, y2: H, class: 'graph-cursor' }));
  // Click targets, one per ply.
  const w = W / (n + 1);
  shares.forEach((s, i) => {
    const r = svgEl('rect', { x: Math.max(0, x(i) - w / 2), y: 0, width: w, height: H, class: 'graph-hit' });
    r.dataset.ply = String(i);
    if (s != null) r.dataset.share = s.toFixed(3);
    svg.append(r);
  });
}
