// `node web/server/main.js`: starts the page's server and prints its address. PORT picks the port
// (a free one otherwise), ENGINE the engine (build/tarvo of this repository otherwise), SYZYGY a
// tablebase folder for every engine. Ctrl-C stops the server and ends every engine first.
import { existsSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { startServer } from './server.js';
import { liveEngines } from './engine.js';

const web = join(dirname(fileURLToPath(import.meta.url)), '..');
const enginePath = resolve(process.env.ENGINE || join(web, '..', 'build', 'tarvo'));
const distDir = join(web, 'dist');
const port = process.env.PORT ? Number(process.env.PORT) : 0;
const syzygy = process.env.SYZYGY ? resolve(process.env.SYZYGY) : null;

function fail(message) {
  console.error(`tarvo page: ${message}`);
  process.exit(1);
}
if (!Number.isInteger(port) || port < 0 || port > 65535) fail(`PORT must be a port number, not ${process.env.PORT}`);
if (!existsSync(enginePath)) fail(`no engine at ${enginePath} (run make build, or set ENGINE)`);
if (!existsSync(join(distDir, 'manifest.json'))) fail('the page is not bundled (run node web/build.mjs)');
if (syzygy && (!existsSync(syzygy) || /[\r\n]/.test(syzygy))) fail(`SYZYGY folder ${syzygy} does not exist`);

let server;
try {
  server = await startServer({ enginePath, port, syzygy, distDir });
} catch (e) {
  fail(e.code === 'EADDRINUSE' ? `port ${port} is in use` : e.message);
}
console.log(`Tarvo's page: ${server.url}`);
console.log('Open it in a browser on this machine; Ctrl-C stops the server and its engines.');

let stopping = false;
async function stop() {
  if (stopping) return;
  stopping = true;
  await server.close();
  process.exit(0);
}
process.on('SIGINT', stop);
process.on('SIGTERM', stop);
process.on('SIGHUP', stop);
// Whatever ends the server, no engine is left behind.
process.on('exit', () => {
  for (const engine of liveEngines) engine.kill();
});
