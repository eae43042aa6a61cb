// Bundles the page into dist/ under fixed names and writes dist/manifest.json, the exact list of
// files the server may serve. The board's piece and square images ship inside its style sheets
// as data: URLs; they are written out as files of their own so the page's policy can stay at
// 'self' for images too.
import { build } from 'esbuild';
import { mkdirSync, readFileSync, rmSync, writeFileSync, copyFileSync, readdirSync, statSync } from 'node:fs';
import { dirname, join, relative } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const dist = join(here, 'dist');
const cgAssets = join(here, 'node_modules', '@lichess-org', 'chessground', 'assets');

rmSync(dist, { recursive: true, force: true });
mkdirSync(join(dist, 'img'), { recursive: true });

// The board's layers set one inline style attribute, which a strict policy refuses; the same
// rule lives in app.css instead.
const noInlineStyle = {
  name: 'no-inline-style',
  setup(b) {
    b.onLoad({ filter: /chessground[\\/]dist[\\/]wrap\.js$/ }, (args) => ({
      contents: readFileSync(args.path, 'utf8').replace(/,?\s*style:\s*'color-scheme:light only',?/, ','),
      loader: 'js',
    }));
  },
};

await build({
  entryPoints: [join(here, 'client', 'main.js')],
  bundle: true,
  format: 'esm',
  minify: true,
  target: 'es2022',
  outfile: join(dist, 'app.js'),
  plugins: [noInlineStyle],
  logLevel: 'warning',
});

// Style: the board's three sheets with their images moved out, then the page's own.
function extractImages(css, prefix) {
  let n = 0;
  return css.replace(/url\((['"]?)data:image\/svg\+xml;base64,([A-Za-z0-9+/=]+)\1\)/g, (_, _q, b64, offset) => {
    // Name each piece image after its selector (".cg-wrap piece.pawn.white" -> pawn-white.svg).
    const before = css.slice(Math.max(0, offset - 200), offset);
    const m = [...before.matchAll(/piece\.([a-z]+)\.([a-z]+)/g)].pop();
    const name = m ? `${m[1]}-${m[2]}` : n++ ? `${prefix}${n}` : prefix;
    writeFileSync(join(dist, 'img', `${name}.svg`), Buffer.from(b64, 'base64'));
    return `url(img/${name}.svg)`;
  });
}
const sheets = [
  readFileSync(join(cgAssets, 'chessground.base.css'), 'utf8'),
  extractImages(readFileSync(join(cgAssets, 'chessground.brown.css'), 'utf8'), 'board-brown'),
  extractImages(readFileSync(join(cgAssets, 'chessground.cburnett.css'), 'utf8'), 'piece'),
  readFileSync(join(here, 'client', 'app.css'), 'utf8'),
].join('\n');
await build({
  stdin: { contents: sheets, loader: 'css', resolveDir: dist },
  bundle: false,
  minify: true,
  outfile: join(dist, 'app.css'),
  logLevel: 'warning',
});

copyFileSync(join(here, 'client', 'index.html'), join(dist, 'index.html'));

const files = [];
(function walk(dir) {
  for (const f of readdirSync(dir).sort()) {
    const p = join(dir, f);
    if (statSync(p).isDirectory()) walk(p);
    else if (f !== 'manifest.json') files.push(relative(dist, p).split('\\').join('/'));
  }
})(dist);
writeFileSync(join(dist, 'manifest.json'), JSON.stringify({ files }, null, 1) + '\n');
console.log(`page bundled: ${files.length} files in ${relative(process.cwd(), dist) || '.'}`);
