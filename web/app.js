// The page: opens a tape, lists its blocks, plays it through the sound
// thread (worklet.js), saves it and decodes recordings. The tape itself is
// read, played and written by the program's own code (reelwright.wasm).
'use strict';
const $ = id => document.getElementById(id);
const AHEAD = 2, SLICE = 0.25;  // seconds queued for the sound thread, seconds a message
const app = {ready: null, m: null, page: 0, tape: null, lengths: [], ctx: null, node: null, rec: null, epoch: 0,
  playing: false, waiting: false, segs: [], posted: 0, played: 0, pending: null, choice: null, backAt: 0, name: ''};
window.reelwright = app;  // for the tests and the curious

function call(name, ...args) {
  const m = app.m, ptrs = [];
  const conv = args.map(a => {
    if (typeof a !== 'string') return a;
    const n = m.lengthBytesUTF8(a) + 1, p = m._malloc(n);
    m.stringToUTF8(a, p, n); ptrs.push(p); return p;
  });
  const r = m['_rw_' + name](app.page, ...conv);
  ptrs.forEach(p => m._free(p));
  return r;
}
const json = (name, ...args) => JSON.parse(app.m.UTF8ToString(call(name, ...args)));

function say(text) { $('message').textContent = text; $('message').classList.toggle('error', text.includes('-- Error')); }

// The signal's switches, remembered between visits.
const SWITCHES = ['exact', 'invert', 'mode128', 'msx2400', 'wide', 'volume', 'speed', 'rate'];
function settings() {
  const s = {};
  for (const k of SWITCHES) { const e = $(k); s[k] = e.type === 'checkbox' ? e.checked : Number(e.value); }
  s.speed = Math.min(200, Math.max(50, s.speed || 100));
  return s;
}
function restore() {
  let s = {};
  try { s = JSON.parse(localStorage.getItem('reelwright.signal') || '{}'); } catch (e) { /* none kept */ }
  for (const k of SWITCHES) if (k in s) { const e = $(k); if (e.type === 'checkbox') e.checked = s[k]; else e.value = s[k]; }
  $('volume-text').textContent = $('volume').value === '0' ? 'usual' : $('volume').value + ' %';
}

function rate() { return app.ctx ? app.ctx.sampleRate : 48000; }

// The player for the switches in force, at the device's own rate.
function prepare() {
  if (!app.tape) return;
  const s = settings();
  const r = json('prepare', rate(), s.exact, s.speed, s.invert, s.volume, s.wide, s.mode128);
  app.lengths = r.lengths;
  app.low = call('level', 0); app.high = call('level', 1);
  const notes = r.warnings.map(w => '-- Warning: ' + w).concat(r.error ? ['-- Error: ' + r.error] : []);
  if (notes.length) say(notes.join('\n'));
}

function show(r, name) {
  const ol = $('blocks');
  ol.replaceChildren();
  if (r.error) {
    app.tape = null;
    say((r.text || '') + '\n-- Error: ' + r.error);
    $('name').textContent = name + ': not opened';
  } else {
    app.tape = r;
    say(r.text.trim());
    $('name').textContent = name;
  }
  // The image of the tape's own machine, where it has one.
  const own = app.tape ? app.tape.own : '';
  $('save-own').hidden = !own;
  $('save-own').textContent = own === 'image' ? 'Save image' : 'Save ' + own.toUpperCase();
  if (app.tape) r.blocks.forEach((line, i) => {
    const li = document.createElement('li');
    li.textContent = line.replace(/\n$/, ''); li.tabIndex = 0; li.dataset.i = i;
    ol.append(li);
  });
  prepare(); stop();
}

async function open(file) {
  await app.ready;
  stop();
  if (file.size > 1 << 30) return say('-- Error: ' + file.name + ' is larger than the page can hold (1 GiB)!');
  const name = (file.name || 'tape').replace(/[\/\\]/g, '_');
  say('Reading ' + name + '...');
  await new Promise(r => requestAnimationFrame(() => setTimeout(r)));  // the message shows before the work
  try { app.m.FS.unlink('/tape/' + app.name); } catch (e) { /* none yet */ }
  try { app.m.FS.mkdir('/tape'); } catch (e) { /* there */ }
  app.m.FS.writeFile('/tape/' + name, new Uint8Array(await file.arrayBuffer()), {canOwn: true});
  app.name = name;
  const t0 = performance.now();
  const r = json('open', '/tape/' + name, settings().msx2400);
  app.openMs = performance.now() - t0;
  show(r, name);
}

// Sound: the context is made at the first Play (a browser wants a gesture for it).
async function sound() {
  if (app.node) return;
  app.ctx = new AudioContext({latencyHint: 'playback'});
  await app.ctx.audioWorklet.addModule('worklet.js');
  app.node = new AudioWorkletNode(app.ctx, 'tape-player', {outputChannelCount: [2]});
  app.node.connect(app.ctx.destination);
  if (!app.playing) await app.ctx.suspend();  // until Play
  app.node.port.onmessage = ({data: d}) => {
    if (d.epoch !== undefined && d.epoch !== app.epoch) return;
    if (d.played !== undefined) { app.played = d.played; feed(); }
    if (d.stopped !== undefined) {
      app.played = d.stopped; app.playing = false; app.waiting = true;
      if (app.choice && d.stopped >= app.choice.at) offer();
      draw();
    }
    if (d.captured !== undefined && app.onDump) app.onDump(d);
  };
  prepare();
  moved();
}

// The player has moved (the program's player knows where to): what was queued is dropped.
function moved() {
  app.segs = []; app.posted = 0; app.played = 0; app.pending = null; app.waiting = false; app.choice = null;
  $('choices').hidden = true;
  if (!app.node) return;
  app.epoch++;
  app.node.port.postMessage({drop: app.epoch});
  feed();
}

// A choice of the tape, reached: its entries as buttons (and the keys 1 to 9).
function offer() {
  const c = $('choices');
  c.replaceChildren(...app.choice.text.split('\n').map(l => l.match(/^ *(\d+) : (.*)$/)).filter(m => m).map(m => {
    const b = document.createElement('button');
    b.textContent = m[1] + ': ' + m[2]; b.onclick = () => choose(m[1]);
    return b;
  }));
  c.hidden = false;
  say(app.choice.text.trim());
  c.firstChild?.focus();
}
// The key pressed at the choice: the tape goes on where it leads.
function choose(key) {
  if (!app.choice || !app.waiting) return;
  call('choose', key.charCodeAt(0));
  const said = app.m.UTF8ToString(call('said'));
  app.choice = null; $('choices').hidden = true;
  say(said);
  feed(); play();
}

// Keeps AHEAD seconds queued: blocks rendered in order, posted a slice at a time.
function feed() {
  if (!app.node || !app.tape) return;
  const r = rate();
  while (app.posted - app.played < AHEAD * r) {
    if (!app.pending) {
      const n = call('render');
      if (n < 0) {
        const why = !app.choice && app.m.UTF8ToString(call('said'));
        if (why) say('-- Error: ' + why);  // it loops for ever, or more than memory holds
        break;
      }
      const block = call('rendered'), visit = call('rendered_visit'), halt = call('rendered_halt');
      app.pending = {bytes: app.m.HEAPU8.slice(call('samples'), call('samples') + n), at: 0};
      app.segs.push({block, visit, start: app.posted, length: n, closing: block >= app.lengths.length});
      if (halt) app.node.port.postMessage({stopAt: app.posted + n});
      if (halt === 2) app.choice = {at: app.posted + n, text: app.m.UTF8ToString(call('said'))};
    }
    const p = app.pending, n = Math.min(p.bytes.length - p.at, SLICE * r);
    const chunk = new Float32Array(n);
    for (let k = 0; k < n; k++) chunk[k] = p.bytes[p.at + k] >= 128 ? app.high : app.low;
    if (n) app.node.port.postMessage({chunk}, [chunk.buffer]);
    p.at += n; app.posted += n;
    if (p.at === p.bytes.length) app.pending = null;
  }
}

// The block heard (its visit, as the player numbers them) and the place in it.
function heard() {
  const segs = app.segs;
  let s = segs.length ? segs[0] : {block: 0, visit: -1, start: 0, length: 0}, last = {block: 0, visit: -1, length: 0};
  for (const x of segs) if (x.start <= app.played && (x.length > 0 || x.start < app.played)) s = x, last = x.closing ? last : x;
  // The second that closes the tape is the end of its last block.
  if (s.closing) return {block: app.lengths.length - 1, visit: last.visit, at: last.length};
  const block = Math.min(s.block, app.lengths.length - 1), at = Math.min(app.played - s.start, s.length);
  return {block: Math.max(block, 0), visit: s.visit, at};
}

function draw() {
  const st = $('status'), cur = document.querySelector('#blocks [aria-current]');
  if (!app.tape) { st.textContent = 'Open a tape, or drop one here.'; return; }
  const h = heard(), w = Math.max(20, Math.floor(st.clientWidth / (parseFloat(getComputedStyle(st).fontSize) * 0.61)));
  let line = app.m.UTF8ToString(call('status', h.visit, h.at, !app.playing && !app.waiting, w));
  if (app.waiting) line += app.choice ? '\nThe tape waits for a choice.' : '\nThe tape stops here: Play goes on.';
  st.textContent = line;
  const li = $('blocks').children[h.block];
  if (cur !== li) { if (cur) cur.removeAttribute('aria-current'); if (li) { li.setAttribute('aria-current', 'true'); if (app.playing) li.scrollIntoView({block: 'nearest'}); } }
  $('play').disabled = app.playing; $('pause').disabled = !app.playing;
}

async function play() {
  if (!app.tape || app.rec || (app.waiting && app.choice)) return;
  const t0 = performance.now();
  await sound();
  clearTimeout(app.rest);
  feed();
  await app.ctx.resume();
  app.playing = true; app.waiting = false;
  app.node.port.postMessage({paused: false});
  if (!app.firstPlay) app.firstPlay = {ready: Math.round(performance.now() - t0), device: Math.round(1000 * (app.ctx.baseLatency + (app.ctx.outputLatency || 0)))};
  draw();
}
function pause() {
  if (!app.node) return;
  app.playing = false;
  app.node.port.postMessage({paused: true});
  rest();
  draw();
}
// The device rests while nothing plays (the place is kept in the sound thread).
function rest() {
  clearTimeout(app.rest);
  app.rest = setTimeout(() => { if (!app.playing && !app.rec) app.ctx.suspend(); }, 200);
}
// For the tests: what the sound thread played since capture began, and the gaps in it.
function dump() {
  clearTimeout(app.rest);
  return app.ctx.resume().then(() => new Promise(r => { app.onDump = r; app.node.port.postMessage({dump: true}); }))
    .finally(() => { if (!app.playing) rest(); });
}
function stop() { pause(); if (app.tape) call('restart'); moved(); draw(); }
function toggle() { if (app.playing) pause(); else play(); }

// The moves of the terminal: on to the block played after the one heard (at a
// choice, on after it); back to the start of the block heard, and a second
// time within two seconds to the sounding block before it.
function next() {
  if (!app.tape) return;
  if (app.choice && app.waiting) return choose('n');
  move('next', heard().visit);
}
function back() {
  if (!app.tape) return;
  const now = performance.now(), twice = now - app.backAt < 2000;
  app.backAt = now;
  move(twice ? 'previous' : 'again', heard().visit);
}
// To a block picked from the list.
function moveTo(i) { if (app.tape) move('go_to', i, heard().visit); }
function move(how, ...args) {
  if (!call(how, ...args)) return;
  moved();
  if (app.playing) app.node.port.postMessage({paused: false});
  draw();
}

async function save(kind) {
  if (!app.tape) return say('-- Error: No tape is open!');
  const base = app.name.replace(/\.[^.]*$/, '') || 'tape';
  const out = '/out.saved', s = settings();
  const r = json('save', kind, s.rate, out, app.name), ext = r.ext;
  const notes = r.warnings.map(w => '-- Warning: ' + w);
  if (r.error) return say(notes.concat('-- Error: ' + r.error).join('\n'));
  const bytes = app.m.FS.readFile(out);
  app.m.FS.unlink(out);
  app.saved = bytes;
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([bytes], {type: kind ? 'application/octet-stream' : 'audio/wav'}));
  a.download = base + '.' + ext;
  document.body.append(a); a.click(); a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
  say(notes.concat('Saved ' + a.download + ' (' + bytes.length + ' bytes).').join('\n'));
}

// A recording from the microphone or the line input, decoded as it comes.
async function record() {
  await app.ready;
  if (app.rec) return endRecording();
  stop();
  let media;
  try {
    media = await navigator.mediaDevices.getUserMedia({audio: {echoCancellation: false, noiseSuppression: false, autoGainControl: false, channelCount: 1}});
  } catch (e) { return say('-- Error: No line input: ' + e.message); }
  await sound();
  await app.ctx.resume();
  const src = app.ctx.createMediaStreamSource(media), node = new AudioWorkletNode(app.ctx, 'tape-recorder');
  const quiet = app.ctx.createGain(); quiet.gain.value = 0;
  src.connect(node); node.connect(quiet); quiet.connect(app.ctx.destination);
  app.rec = {media, src, node};
  call('record_begin', app.ctx.sampleRate);
  $('blocks').replaceChildren(); app.tape = null; say('');
  $('record').setAttribute('aria-pressed', 'true'); $('record').textContent = 'Stop recording';
  $('name').textContent = 'Recording from the line input, ' + app.ctx.sampleRate + ' Hz';
  node.port.onmessage = ({data}) => {
    if (app.heard) app.heard.push(data);  // for the tests: the sound decoded
    app.m.HEAPF32.set(data, call('record_buffer', data.length) >> 2);
    const r = json('record_feed', data.length);
    $('status').textContent = r.line;
    for (const line of r.blocks) { const li = document.createElement('li'); li.textContent = line.replace(/\n$/, ''); $('blocks').append(li); }
  };
}
function endRecording() {
  const r = app.rec;
  r.node.port.onmessage = null; r.src.disconnect(); r.node.disconnect();
  r.media.getTracks().forEach(t => t.stop());
  app.rec = null;
  $('record').setAttribute('aria-pressed', 'false'); $('record').textContent = 'Record';
  const res = json('record_end', '/tape/recording.tzx');
  app.name = 'recording.tzx';
  show(res, 'Recording');
}

function keys(e) {
  if (e.target.closest('input, select, summary') || e.ctrlKey || e.metaKey || e.altKey) return;
  const onItem = e.target.closest('#blocks li');
  if (onItem && (e.key === 'Enter')) { moveTo(Number(onItem.dataset.i)); e.preventDefault(); return; }
  if (e.target.closest('button') && (e.key === ' ' || e.key === 'Enter')) return;  // the button's own action
  const k = e.key;
  if (app.choice && app.waiting && /^[1-9]$/.test(k)) choose(k);
  else if (k === ' ') toggle();
  else if (k === 'ArrowRight' || k === 'n' || k === 'N') next();
  else if (k === 'ArrowLeft' || k === 'p' || k === 'P') back();
  else if (k === 'Escape' || k === 'q' || k === 'Q') stop();
  else return;
  e.preventDefault();
}

function start() {
  restore();
  app.ready = Reelwright().then(m => { app.m = m; app.page = m._rw_new(); app.readyAt = performance.now(); });
  // The sound thread is made ready at once (its device starts at the first Play).
  app.ready.then(sound).catch(e => say('-- Error: No sound: ' + e.message));
  $('open').addEventListener('change', e => { if (e.target.files[0]) open(e.target.files[0]); e.target.value = ''; });
  $('play').onclick = play; $('pause').onclick = pause; $('next').onclick = next; $('previous').onclick = back;
  $('save-wav').onclick = () => save(0); $('save-tzx').onclick = () => save(1); $('save-tap').onclick = () => save(2);
  $('save-own').onclick = () => save(3);
  $('record').onclick = record;
  $('blocks').addEventListener('click', e => { const li = e.target.closest('li'); if (li && app.tape) moveTo(Number(li.dataset.i)); });
  $('signal').addEventListener('change', () => {
    localStorage.setItem('reelwright.signal', JSON.stringify(settings()));
    $('volume-text').textContent = $('volume').value === '0' ? 'usual' : $('volume').value + ' %';
    const h = app.tape && heard();
    prepare();
    if (h) moveTo(h.block);
  });
  document.addEventListener('keydown', keys);
  for (const t of ['dragenter', 'dragover']) document.addEventListener(t, e => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', e => {
    e.preventDefault(); document.body.classList.remove('dragging');
    if (e.dataTransfer.files[0]) open(e.dataTransfer.files[0]);
  });
  setInterval(() => { if (app.tape && app.playing) { feed(); draw(); } }, 250);
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
  draw();
}
app.open = open; app.save = save; app.play = play; app.pause = pause; app.next = next; app.back = back;
app.heard = heard; app.moveTo = moveTo; app.dump = dump; app.choose = choose;
start();
