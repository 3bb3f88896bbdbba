// The web page in headless Chromium against the program itself: what the page lists, saves, plays
// and decodes is what the command line prints and writes. Run: node --test tests/web/ with
// REELWRIGHT_WEB (the page's folder) and REELWRIGHT (the program); without them or Chromium it skips, saying why.
import {spawnSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, writeFileSync, truncateSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {basename, join, resolve} from 'node:path';
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {CHROMIUM, launch, serve} from './browser.mjs';

const WEB = resolve(process.env.REELWRIGHT_WEB || 'build-web'), PROGRAM = resolve(process.env.REELWRIGHT || 'build/reelwright');
const SAMPLES = resolve('../shared/samples'), SHOTS = process.env.REELWRIGHT_SHOTS || tmpdir();
const missing = !existsSync(join(WEB, 'reelwright.wasm')) ? `no page built in ${WEB} (make web needs emscripten)`
  : !existsSync(CHROMIUM) ? `no Chromium at ${CHROMIUM}` : !existsSync(PROGRAM) ? `no program at ${PROGRAM}` : '';
const it = missing ? (name) => test(name, {skip: missing}) : test;

const files = mkdtempSync(join(tmpdir(), 'reelwright-web-'));
const run = (...args) => spawnSync(PROGRAM, args, {encoding: 'latin1', input: ''});
const sha = bytes => createHash('sha256').update(bytes).digest('hex'), sleep = ms => new Promise(r => setTimeout(r, ms));
const file = name => join(files, name);
let srv, b;

// The blocks' lines of the program's one-line listing (everything shown).
const oneLines = path => run('-one', '-x', path).stdout.split('Number of Blocks')[1].replace(/^[^\n]*\n(\n-- Warning[^\n]*\n)*\n/, '');
// Opens a file of the test folder in the page as a person's pick would.
const open = name => b.eval(`fetch('/files/${name}').then(r => r.blob()).then(x => reelwright.open(new File([x], '${name}'))).then(() => reelwright.tape && reelwright.tape.blocks.join(''))`);
const message = () => b.eval(`document.getElementById('message').textContent`);
const saved = kind => b.eval(`reelwright.save(${kind}).then(() => crypto.subtle.digest('SHA-256', reelwright.saved)).then(h => Array.from(new Uint8Array(h), x => x.toString(16).padStart(2, '0')).join(''))`);

before(async () => {
  if (missing) return;
  const others = existsSync(SAMPLES) ? readdirSync(SAMPLES).filter(f => /\.(uef|tap|cas|pzx|p)$/.test(f)).map(f => join(SAMPLES, f)) : [];
  for (const f of ['demo.tzx', 'demo.tap', 'tone.csw'].map(f => join('examples', f)).concat(others)) writeFileSync(file(basename(f)), readFileSync(f));
  run('-wav', '-b', '5', 'examples/demo.tzx', file('recording.wav'));
  writeFileSync(file('notes.txt'), 'Not a tape at all.\n'); writeFileSync(file('cut.tzx'), readFileSync('examples/demo.tzx').subarray(0, 200));
  // Two seconds of silence: a WAV header (PCM, mono, 22050 Hz, 8-bit) and 44100 samples of 128.
  const head = '5249464668ac000057415645666d7420100000000100010022560000225600000100080064617461' + '44ac0000';
  writeFileSync(file('silence.wav'), Buffer.concat([Buffer.from(head, 'hex'), Buffer.alloc(44100, 128)]));
  writeFileSync(file('big.bin'), ''); truncateSync(file('big.bin'), 200 << 20);
  // A choice ("again" leads to itself, "on" two blocks on), two tones, a pause and a stop in 48K mode.
  writeFileSync(file('choose.tzx'), Buffer.from('5a5854617065211a0114' + '280e0002000005616761696e0200026f6e' +
    '1201000100'.repeat(2) + '200000' + '2a00000000', 'hex'));
  srv = await serve({'/': WEB, '/files/': files});
  b = await launch(['--use-fake-ui-for-media-stream', '--use-fake-device-for-media-stream',
    `--use-file-for-fake-audio-capture=${file('recording.wav')}%noloop`]);
  const t0 = Date.now();
  await b.go(srv.url + '/');
  console.log(`# figure: page ready to open a tape ${Date.now() - t0} ms after navigation`);
});
after(async () => { if (b) await b.close(); if (srv) srv.server.close(); });

it('lists every tape as the program lists it, recordings decoded', async () => {
  const names = readdirSync(files).filter(f => /\.(tzx|tap|csw|uef|cas|pzx|p)$/.test(f) && f !== 'cut.tzx').concat('recording.wav');
  for (const name of names) assert.equal(await open(name), oneLines(file(name)), name);
});

it('saves what the program writes', async () => {
  // [file, page kind (0 WAV, 1 TZX, 2 TAP, 3 its machine's own image), the switches as the page sets them,
  // the program's switches, the output's extension]
  const rows = [
    ['demo.tzx', 0, {}, ['-wav'], 'wav'],
    ['demo.tzx', 0, {exact: true, invert: true, wide: true, volume: 50, speed: 110, rate: 22050},
      ['-wav', '-exact', '-invert', '-16', '-vol', '50', '-speed', '110', '-freq', '22050'], 'wav'],
    ['demo.tap', 1, {}, ['-tzx'], 'tzx'],
    ['recording.wav', 1, {}, ['-tzx'], 'tzx'],
    ['electron.uef', 3, {}, [], 'uef'],
    ['msx-basic.cas', 3, {}, [], 'cas'],
    ['zx81.p', 3, {}, [], 'p81'],
  ].filter(([name]) => existsSync(file(name)));
  for (const [name, kind, set, args, ext] of rows) {
    await b.eval(`for (const [k, v] of Object.entries({exact: false, invert: false, wide: false, volume: 0, speed: 100, rate: 44100, ...${JSON.stringify(set)}}))
      document.getElementById(k)[typeof v === 'boolean' ? 'checked' : 'value'] = v; document.getElementById('signal').dispatchEvent(new Event('change'))`);
    await open(name);
    if (kind === 3) assert.equal(await b.eval(`document.getElementById('save-own').textContent`), 'Save ' + ext.toUpperCase());
    const out = file(`out${rows.indexOf(set) + name}.` + ext);
    assert.equal(run(...args, file(name), out).status, 0);
    assert.equal(await saved(kind), sha(readFileSync(out)), `${name} ${args.join(' ')}`);
  }
  // A tape of another machine is no TZX image: the same words as the program's.
  for (const c64 of readdirSync(files).filter(f => f.startsWith('c64')).slice(0, 1)) {
    await open(c64); await saved(1);
    const said = await message();
    assert.ok(said.startsWith('-- Error: ') && run('-tzx', file(c64), file('c64.tzx')).stdout.includes(said), said);
  }
  // An ordinary download, through the browser.
  const dir = mkdtempSync(join(tmpdir(), 'reelwright-download-'));
  await b.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: dir});
  await open('demo.tzx');
  await b.eval(`document.getElementById('save-tzx').click()`);
  for (let i = 0; i < 100 && !existsSync(join(dir, 'demo.tzx')); i++) await sleep(50);
  run('-tzx', file('demo.tzx'), file('d.tzx'));
  assert.equal(sha(readFileSync(join(dir, 'demo.tzx'))), sha(readFileSync(file('d.tzx'))));
});

it('plays the program\'s conversion at the sound device\'s rate, paused to the sample', async () => {
  await open('demo.tzx');
  const rate = await b.eval(`reelwright.play().then(() => { reelwright.pause(); reelwright.moveTo(0); return reelwright.ctx.sampleRate; })`);
  await b.eval(`reelwright.node.port.postMessage({capture: true}); reelwright.play()`);
  await sleep(800);
  const held = await b.eval('reelwright.pause(), new Promise(r => setTimeout(() => r(reelwright.played), 400))');
  await sleep(500);
  assert.equal(await b.eval('reelwright.played'), held, 'paused, the place stays');
  await b.eval('reelwright.play()').then(() => sleep(800));
  const got = await b.eval(`reelwright.pause(), reelwright.dump().then(d => ({gaps: d.gaps, s: d.captured.flatMap(c => Array.from(c))}))`);
  run('-wav', '-freq', String(rate), file('demo.tzx'), file('play.wav'));
  assert.ok(got.s.length > rate && got.gaps === 0, `${got.s.length} samples captured, ${got.gaps} gaps`);
  const want = Array.from(readFileSync(file('play.wav')).subarray(44, 44 + got.s.length), x => (x - 128) / 128);
  assert.deepEqual(got.s.map(x => Math.round(x * 128) / 128), want);
  console.log(`# figure: sound starts ${await b.eval('JSON.stringify(reelwright.firstPlay)')} ms after the first Play (worklet loaded, queued, device latency)`);
});

it('moves between blocks as at the terminal', async () => {
  await open('demo.tzx').then(() => b.eval('reelwright.play()'));
  const block = () => b.eval('reelwright.heard().block + 1');
  // [action, the block heard after it, from 1]
  // (Blocks 1 and 2 are texts, which make no sound: playing begins at 3.)
  const steps = [['click next', 4], ['key n', 5], ['key ArrowRight', 6], ['key ArrowRight', 6], ['key ArrowLeft', 6],
    ['key ArrowLeft', 5], ['click previous', 4], ['key p', 3], ['key p', 3], ['click item 6', 6], ['key Escape', 3]];
  assert.equal(await sleep(300).then(block), 3);
  for (const [act, want] of steps) {
    const [kind, what, n] = act.split(' ');
    if (kind === 'click') await b.eval(what === 'item' ? `document.querySelectorAll('#blocks li')[${n - 1}].click()` : `document.getElementById('${what}').click()`);
    else await b.key(what);
    await sleep(150);
    assert.equal(await block(), want, act);
  }
  assert.match(await b.eval(`document.getElementById('status').textContent`), /^ {2}3 .*0:00\/0:19/);
});

it('follows the tape\'s choices and stops, and saves what the program writes with the keys chosen', async () => {
  await open('choose.tzx');
  const waits = () => b.until(`document.getElementById('status').textContent.includes('The tape waits for a choice')`);
  await b.eval('reelwright.play()').then(waits);
  assert.deepEqual(await b.eval(`[...document.querySelectorAll('#choices button')].map(e => e.textContent)`), ['1: again', '2: on']);
  await b.eval(`document.querySelector('#choices button').click()`);
  await waits();
  await b.key('2');
  await b.until(`document.getElementById('status').textContent.includes('The tape stops here')`);
  // The program, typed the keys chosen: again, then on.
  assert.equal(spawnSync(PROGRAM, ['-wav', file('choose.tzx'), file('choose.wav')], {input: '12'}).status, 0);
  assert.equal(await saved(0), sha(readFileSync(file('choose.wav'))));
});

it('decodes the line input into the program\'s own blocks', async () => {
  await b.eval(`reelwright.heard = []; reelwright.ready.then(() => document.getElementById('record').click())`);
  const seconds = (readFileSync(file('recording.wav')).length - 44) / 44100;
  // Until the recording's line has heard the last block and some of the silence after it (not the end:
  // Chromium's fake device plays the file again after a while).
  await b.until(`(t => t && t[1] * 60 + +t[2] >= ${seconds - 0.4})(document.getElementById('status').textContent.match(/^REC (\\d+):([\\d.]+)/))`, 60000);
  await b.eval(`document.getElementById('record').click()`);
  // The capture starts a moment after the sound does, and now and then the device drops a few
  // milliseconds of it: the page is held to the program's decoding of the very sound it heard.
  const heard = Float32Array.from(await b.eval('reelwright.heard.flatMap(c => Array.from(c))'));
  const rate = await b.eval('reelwright.ctx.sampleRate');
  assert.ok(heard.length > (seconds - 1) * rate, `${heard.length} samples heard`);
  const head = Buffer.alloc(44);
  head.write('RIFF', 0); head.writeUInt32LE(36 + 4 * heard.length, 4); head.write('WAVEfmt ', 8);
  head.writeUInt32LE(16, 16); head.writeUInt16LE(3, 20); head.writeUInt16LE(1, 22);  // IEEE float, mono
  head.writeUInt32LE(rate, 24); head.writeUInt32LE(4 * rate, 28); head.writeUInt16LE(4, 32); head.writeUInt16LE(32, 34);
  head.write('data', 36); head.writeUInt32LE(4 * heard.length, 40);
  writeFileSync(file('heard.wav'), Buffer.concat([head, Buffer.from(heard.buffer)]));
  const page = (await b.eval('reelwright.tape.blocks')).join('');
  assert.equal(page, oneLines(file('heard.wav')));
  // And it heard the tape: blocks of bits were found (good, or bad where a dropout fell on them).
  assert.match(page, /(good|BAD ):  /);
});

it('says why a file is no tape, as the program does, and goes on working', async () => {
  for (const name of ['notes.txt', 'cut.tzx', 'silence.wav', 'big.bin']) {
    await open(name);
    const said = (await message()).trim().split('\n').filter(l => l.startsWith('-- ')).join('\n');
    const program = run('-one', file(name)).stdout.split('\n').filter(l => l.startsWith('-- ')).join('\n');
    assert.ok(said.length > 0 && said === program, `${name}: ${said} / ${program}`);
  }
  assert.equal(await open('demo.tzx'), oneLines(file('demo.tzx')));
});

it('fits a phone and a desktop, every control named and within reach', async () => {
  await open('demo.tzx');
  for (const [w, h, scheme] of [[360, 740, 'light'], [1280, 800, 'light'], [360, 740, 'dark']]) {
    await b.size(w, h, w < 800);
    await b.page('Emulation.setEmulatedMedia', {features: [{name: 'prefers-color-scheme', value: scheme}]}).then(() => sleep(200));
    const boxes = await b.eval(`['Open tape', 'Play', 'Pause', 'Previous block', 'Next block', 'Save WAV', 'Save TZX', 'Record'].map(n => {
      const e = [...document.querySelectorAll('button, label.button')].find(e => (e.getAttribute('aria-label') || e.textContent).trim().startsWith(n));
      const r = e.getBoundingClientRect(); return [n, r.left >= 0 && r.right <= innerWidth && r.top >= 0 && r.bottom <= innerHeight, r.width >= 44 && r.height >= 44]; })`);
    for (const [n, inside, big] of boxes) assert.ok(inside && big, `${n} at ${w}x${h}: on screen ${inside}, 44 px ${big}`);
    assert.equal(await b.eval(`[...document.querySelectorAll('button, input, select, [tabindex]')].filter(e => !(e.getAttribute('aria-label') || e.textContent.trim() || e.closest('label'))).length`), 0, 'unnamed controls');
    mkdirSync(SHOTS, {recursive: true});
    writeFileSync(join(SHOTS, `page-${w}x${h}-${scheme}.png`), Buffer.from((await b.page('Page.captureScreenshot', {format: 'png'})).data, 'base64'));
  }
});

it('opens again with the network cut, from its service worker', async () => {
  await b.until('caches.open("reelwright").then(c => c.keys()).then(k => k.length >= 9)');
  await new Promise(r => srv.server.close(r));
  srv.server.closeAllConnections?.();
  await b.go(srv.url + '/');
  assert.ok(await b.eval('!!navigator.serviceWorker.controller'));
  assert.equal(await b.eval(`fetch('/files/demo.tzx').then(() => 'fetched', () => 'no network')`), 'no network');
});

