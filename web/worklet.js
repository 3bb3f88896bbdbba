// The sound thread: the player plays the samples the page queues, in order,
// and reports how many it has played; the recorder hands the page what the
// line input brings.
class TapePlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = []; this.at = 0;          // chunks to play, the place in the first
    this.played = 0; this.epoch = 0;       // samples played since the last drop
    this.paused = true; this.stops = [];   // the tape stops there by itself, in order
    this.capture = null; this.gaps = 0; this.told = 0;
    this.port.onmessage = ({data: m}) => {
      if (m.chunk) this.queue.push(m.chunk);
      if ('paused' in m) { this.paused = m.paused; this.port.postMessage({played: this.played, epoch: this.epoch}); }
      if ('stopAt' in m) this.stops.push(m.stopAt);
      if ('drop' in m) { this.queue = []; this.at = 0; this.played = 0; this.epoch = m.drop; this.stops = []; }
      if ('capture' in m) this.capture = m.capture ? [] : null;
      if (m.dump) this.port.postMessage({captured: this.capture, gaps: this.gaps});
    };
  }
  process(inputs, outputs) {
    const out = outputs[0][0];
    let i = 0;
    while (!this.paused && i < out.length) {
      if (this.played === this.stops[0]) { this.paused = true; this.stops.shift(); this.port.postMessage({stopped: this.played, epoch: this.epoch}); break; }
      const c = this.queue[0];
      if (!c) { this.gaps++; break; }
      const n = Math.min(out.length - i, c.length - this.at, this.stops.length ? this.stops[0] - this.played : Infinity);
      out.set(c.subarray(this.at, this.at + n), i);
      if (this.capture) this.capture.push(c.slice(this.at, this.at + n));
      i += n; this.at += n; this.played += n;
      if (this.at === c.length) { this.queue.shift(); this.at = 0; }
    }
    out.fill(0, i);
    for (let k = 1; k < outputs[0].length; k++) outputs[0][k].set(out);
    if (currentFrame - this.told >= 8192) { this.told = currentFrame; this.port.postMessage({played: this.played, epoch: this.epoch}); }
    return true;
  }
}

class TapeRecorder extends AudioWorkletProcessor {
  constructor() { super(); this.buf = new Float32Array(4096); this.n = 0; }
  process(inputs) {
    const s = inputs[0] && inputs[0][0];
    for (let i = 0; s && i < s.length; i++) {
      this.buf[this.n++] = s[i];
      if (this.n === this.buf.length) { this.port.postMessage(this.buf); this.buf = new Float32Array(4096); this.n = 0; }
    }
    return true;
  }
}

registerProcessor('tape-player', TapePlayer);
registerProcessor('tape-recorder', TapeRecorder);
