// The page's local server: static files from the bundle's manifest, and one socket per page
// with its own engine. Reachable from this machine only, and only under its own name: every
// request's Host and the socket's Origin must name 127.0.0.1 or localhost with this port, and
// the socket needs the random token printed in the address.
import { createServer } from 'node:http';
import { randomBytes, timingSafeEqual } from 'node:crypto';
import { existsSync, readFileSync } from 'node:fs';
import { extname, join } from 'node:path';
import { WebSocketServer } from 'ws';
import { Session } from './session.js';
import { MAX_MESSAGE_BYTES } from './messages.js';
import { liveEngines } from './engine.js';

export const MAX_SESSIONS = 4;

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.svg': 'image/svg+xml', '.png': 'image/png',
  '.woff2': 'font/woff2', '.json': 'application/json',
};

// The bundle's files, by the list its build writes (dist/manifest.json); nothing else is served.
function loadFiles(distDir) {
  const files = new Map();
  const manifest = join(distDir, 'manifest.json');
  if (!existsSync(manifest)) return files;
  for (const name of JSON.parse(readFileSync(manifest, 'utf8')).files ?? []) {
    if (typeof name !== 'string' || !/^[\w-]+(\/[\w-]+)*\.\w+$/.test(name) || !TYPES[extname(name)]) continue;
    files.set('/' + name, { body: readFileSync(join(distDir, name)), type: TYPES[extname(name)] });
  }
  if (files.has('/index.html')) files.set('/', files.get('/index.html'));
  return files;
}

function securityHeaders(port) {
  const socket = `ws://127.0.0.1:${port} ws://localhost:${port}`;
  return {
    'Content-Security-Policy': [
      "default-src 'self'", "script-src 'self'", "style-src 'self'", "img-src 'self' data:",
      `connect-src 'self' ${socket}`, "object-src 'none'", "base-uri 'none'", "form-action 'none'",
      "frame-ancestors 'none'",
    ].join('; '),
    'X-Content-Type-Options': 'nosniff',
    'Referrer-Policy': 'no-referrer',
    'X-Frame-Options': 'DENY',
    'Cross-Origin-Resource-Policy': 'same-origin',
    'Cache-Control': 'no-store',
  };
}

// Starts the server; resolves to { url, port, token, close() }. port 0 takes a free one.
export async function startServer({ enginePath, port = 0, syzygy = null, distDir, maxSessions = MAX_SESSIONS }) {
  const files = loadFiles(distDir);
  const token = randomBytes(16).toString('hex');
  const sessions = new Set();
  let actualPort = 0;
  let headers = {};
  // Browsers leave out the default port, so on port 80 the bare names stand for it.
  const hosts = () => ['127.0.0.1', 'localhost'].flatMap((h) => (actualPort === 80 ? [h, `${h}:80`] : [`${h}:${actualPort}`]));
  const origins = () => hosts().map((h) => `http://${h}`);
  const tokenOk = (t) => typeof t === 'string' && t.length === token.length && timingSafeEqual(Buffer.from(t), Buffer.from(token));

  const http = createServer((req, res) => {
    if (!hosts().includes(req.headers.host)) {
      res.writeHead(403, { 'Content-Type': 'text/plain' }).end('unknown host\n');
      return;
    }
    if (req.method !== 'GET' && req.method !== 'HEAD') {
      res.writeHead(405, { Allow: 'GET, HEAD', ...headers }).end();
      return;
    }
    const path = new URL(req.url, 'http://x').pathname;
    if (path === '/favicon.ico') return void res.writeHead(204, headers).end();
    const file = files.get(path);
    if (!file) return void res.writeHead(404, { 'Content-Type': 'text/plain', ...headers }).end('not found\n');
    res.writeHead(200, { 'Content-Type': file.type, 'Content-Length': file.body.length, ...headers });
    res.end(req.method === 'HEAD' ? undefined : file.body);
  });

  const wss = new WebSocketServer({ noServer: true, maxPayload: MAX_MESSAGE_BYTES });
  http.on('upgrade', (req, socket, head) => {
    const url = new URL(req.url, 'http://x');
    const ok = hosts().includes(req.headers.host) && origins().includes(req.headers.origin) &&
      url.pathname === '/ws' && tokenOk(url.searchParams.get('t'));
    if (!ok) {
      socket.end('HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Length: 0\r\n\r\n');
      return;
    }
    wss.handleUpgrade(req, socket, head, (ws) => accept(ws));
  });

  function accept(ws) {
    if (sessions.size >= maxSessions) {
      ws.send(JSON.stringify({ type: 'busy', message: `${maxSessions} pages are open already, each with its own engine; close one and reload` }));
      ws.close(4001, 'busy');
      return;
    }
    const send = (msg) => {
      if (ws.readyState === ws.OPEN) ws.send(JSON.stringify(msg));
    };
    const session = new Session({ enginePath, syzygy, send, close: (code, why) => ws.close(code, why) });
    sessions.add(session);
    session.start();
    ws.on('message', (data, isBinary) => {
      if (isBinary) return send({ type: 'error', message: 'messages are JSON text' });
      session.receive(data.toString('utf8'));
    });
    ws.on('error', () => {}); // an oversized message: ws closes the socket with 1009
    ws.on('close', () => session.close().finally(() => sessions.delete(session)));
  }

  await new Promise((resolve, reject) => {
    http.once('error', reject);
    http.listen(port, '127.0.0.1', resolve);
  });
  actualPort = http.address().port;
  headers = securityHeaders(actualPort);

  async function close() {
    http.close();
    for (const ws of wss.clients) ws.close(1001, 'server stopping');
    await Promise.all([...sessions].map((s) => s.close()));
    for (const engine of liveEngines) engine.kill();
    http.closeAllConnections?.();
  }

  return { url: `http://127.0.0.1:${actualPort}/?t=${token}`, port: actualPort, token, close, sessions, files };
}
