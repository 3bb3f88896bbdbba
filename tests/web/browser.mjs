// Debian's Chromium, headless, driven over the DevTools protocol on a pipe (no WebSocket, no
// package), and a static server for the page on the loopback.
import {spawn} from 'node:child_process';
import {existsSync, mkdtempSync, readFileSync, rmSync, statSync} from 'node:fs';
import {createServer} from 'node:http';
import {tmpdir} from 'node:os';
import {extname, join, normalize} from 'node:path';

export const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml', '.webmanifest': 'application/manifest+json'};

// Serves the folders of `roots` ({prefix: folder}) on 127.0.0.1.
export function serve(roots) {
  const server = createServer((req, res) => {
    const path = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    for (const [prefix, dir] of Object.entries(roots).sort((a, b) => b[0].length - a[0].length)) {
      if (!path.startsWith(prefix)) continue;
      let file = join(dir, normalize(path.slice(prefix.length)));
      if (!file.startsWith(dir) || !existsSync(file)) continue;
      if (statSync(file).isDirectory()) file = join(file, 'index.html');
      res.writeHead(200, {'Content-Type': TYPES[extname(file)] || 'application/octet-stream'});
      return res.end(readFileSync(file));
    }
    res.writeHead(404).end();
  });
  return new Promise(ok => server.listen(0, '127.0.0.1', () => ok({server, url: `http://127.0.0.1:${server.address().port}`})));
}

export async function launch(extra = []) {
  const profile = mkdtempSync(join(tmpdir(), 'reelwright-chromium-'));
  const proc = spawn(CHROMIUM, ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`,
    '--remote-debugging-pipe', '--autoplay-policy=no-user-gesture-required', ...extra, 'about:blank'],
  {stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe']});
  const out = proc.stdio[3], inp = proc.stdio[4];
  let id = 0, buf = '';
  const waiting = new Map();
  inp.on('data', d => {
    buf += d.toString();
    for (let end; (end = buf.indexOf('\0')) >= 0; buf = buf.slice(end + 1)) {
      const m = JSON.parse(buf.slice(0, end));
      if (!waiting.has(m.id)) continue;  // an event
      const [ok, fail] = waiting.get(m.id);
      waiting.delete(m.id);
      m.error ? fail(new Error(m.error.message)) : ok(m.result);
    }
  });
  const send = (method, params = {}, sessionId) => new Promise((ok, fail) => {
    waiting.set(++id, [ok, fail]);
    out.write(JSON.stringify({id, method, params, sessionId}) + '\0');
  });
  const target = (await send('Target.getTargets')).targetInfos.find(t => t.type === 'page');
  const {sessionId} = await send('Target.attachToTarget', {targetId: target.targetId, flatten: true});
  const page = (method, params) => send(method, params, sessionId);
  await page('Page.enable'); await page('Runtime.enable');
  const b = {
    send, page, pid: proc.pid,
    async eval(expression) {
      const r = await page('Runtime.evaluate', {expression, awaitPromise: true, returnByValue: true, userGesture: true});
      if (r.exceptionDetails) throw new Error(r.exceptionDetails.exception?.description || r.exceptionDetails.text);
      return r.result.value;
    },
    async until(expression, ms = 10000) {
      for (const end = Date.now() + ms; Date.now() < end; await new Promise(r => setTimeout(r, 50)))
        if (await b.eval(expression).catch(() => false)) return;
      throw new Error('timed out waiting for ' + expression);
    },
    async go(url) { await page('Page.navigate', {url}); await b.until('!!(window.reelwright && reelwright.m)', 15000); },
    size: (width, height, mobile = false) => page('Emulation.setDeviceMetricsOverride', {width, height, deviceScaleFactor: 1, mobile}),
    key: async key => { for (const type of ['keyDown', 'keyUp']) await page('Input.dispatchKeyEvent', {type, key, code: key, windowsVirtualKeyCode: {ArrowLeft: 37, ArrowRight: 39, ' ': 32, Escape: 27}[key] || key.toUpperCase().charCodeAt(0)}); },
    async close() {
      const exited = new Promise(r => proc.once('exit', r));
      await send('Browser.close').catch(() => proc.kill());
      await exited.then(() => rmSync(profile, {recursive: true, force: true, maxRetries: 5}));
    },
  };
  return b;
}
