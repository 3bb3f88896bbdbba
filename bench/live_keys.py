#!/usr/bin/env python3
"""Live play at a terminal, measured: how long a key takes to act on the sound,
and whether the sound device ever runs dry.

    bench/live_keys.py PROGRAM [ROUNDS]

Each round plays a tape on SDL's "disk" driver (which writes what the device is
given to a file, in real time) at a pseudo-terminal, types space (pause) or "n"
(skip) at a random moment, and watches the file grow: the delay from the key to
the first sample written that shows its effect is the key-to-effect time (it
includes the device's own period). The device stream is then compared with the
conversion's samples: any stretch that is neither the tape nor the pause is the
device running dry. A last long round runs with the other processor busy.
"""
import os, pty, random, select, signal, statistics, struct, subprocess, sys, tempfile, time

prog = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 10
rate = 44100
work = tempfile.mkdtemp(prefix='rw-live-')


def tzx(blocks):
    return b'ZXTape!\x1a\x01\x0a' + b''.join(blocks)


def tone(pulse, count):
    return bytes([0x12]) + struct.pack('<HH', pulse, count)


def conversion(tape, *args):
    out = os.path.join(work, 'c.au')
    subprocess.run([prog, *args, '-au', tape, out], stdout=subprocess.DEVNULL, check=True)
    return open(out, 'rb').read()[32:]


def played(path):
    raw = open(path, 'rb').read()
    floats = struct.unpack('<%df' % (len(raw) // 4), raw[:len(raw) // 4 * 4])
    s = bytes(int(f * 128 + 128) for f in floats[::2])
    return s.lstrip(b'\x80')


def run(tape, key, at, seconds):
    """Plays the tape, types `key` `at` seconds after the device starts; returns
    (samples the device had written when the key went, a list of (time, frames
    written) after the key)."""
    dev = os.path.join(work, 'dev.raw')
    if os.path.exists(dev):
        os.remove(dev)
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update(SDL_AUDIODRIVER='disk', SDL_DISKAUDIOFILE=dev)
        os.execv(prog, [prog, tape])
    start = None
    sent = None
    resumed = False
    growth = []
    deadline = time.time() + seconds
    while time.time() < deadline:
        r, _, _ = select.select([fd], [], [], 0.0005)
        if r:
            try:
                os.read(fd, 65536)
            except OSError:
                pass
        size = os.path.getsize(dev) if os.path.exists(dev) else 0
        now = time.time()
        if start is None and size > 0:
            start = now
        if start is not None and sent is None and now - start >= at:
            os.write(fd, key)
            sent = (now, size // 8)
        if sent is not None:
            growth.append((now, size // 8))
        done, _ = os.waitpid(pid, os.WNOHANG)
        if done:
            break
        if key == b' ' and sent and not resumed and now - sent[0] > 0.5:
            os.write(fd, b' ')  # goes on after half a second
            resumed = True
    else:
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
    os.close(fd)
    return sent, growth, played(dev)


def when_written(growth, frame, silence):
    for t, n in growth:
        if n > frame + silence:
            return t
    return None


tape = os.path.join(work, 't.tzx')
open(tape, 'wb').write(tzx([tone(2168, 1000), tone(1000, 2000), tone(3000, 600), tone(2168, 3000)]))
conv = conversion(tape)
from2 = conversion(tape, '-b', '2')
start2 = len(conv) - len(from2)
delays = {'pause': [], 'skip': []}
dry = 0
for i in range(rounds):
    for name, key in (('pause', b' '), ('skip', b'n')):
        at = random.uniform(0.1, 0.5)
        sent, growth, got = run(tape, key, at, 20)
        raw = open(os.path.join(work, 'dev.raw'), 'rb').read()
        silence = len(raw) // 8 - len(got)  # frames of silence before the tape
        if name == 'pause':
            # The stream leaves the conversion where a run of the level held
            # should have ended: the pause began at the latest there.
            k = 0
            while k < min(len(got), len(conv)) and got[k] == conv[k]:
                k += 1
            effect = k
        else:
            effect = None
            for cut in range(min(len(got), start2), 0, -1):
                if got[cut:cut + len(from2)] == from2:
                    effect = cut
                    break
        t = when_written(growth, effect, silence) if effect is not None else None
        if t is None:
            print(name, 'round', i, ': no effect found')
            continue
        delays[name].append((t - sent[0]) * 1000)
for name, d in delays.items():
    if d:
        print('%-5s: key to effect, ms: median %.0f, max %.0f, min %.0f (%d rounds)' %
              (name, statistics.median(d), max(d), min(d), len(d)))

# Running dry: a long tape with the other processor kept busy.
long_tape = os.path.join(work, 'long.tzx')
open(long_tape, 'wb').write(tzx([tone(2168 + 10 * i, 3000) for i in range(16)]))
conv = conversion(long_tape)
busy = subprocess.Popen([sys.executable, '-c', 'while True: pass'])
try:
    sent, growth, got = run(long_tape, b'', 0, 60)
finally:
    busy.kill()
extra = len(got) - len(conv)
k = 0
while k < min(len(got), len(conv)) and got[k] == conv[k]:
    k += 1
tail_ok = all(c == conv[-1] for c in got[len(conv):]) and k == len(conv)
print('dry run check: %.1f s of tape, device stream %s the conversion%s' %
      (len(conv) / rate, 'equals' if tail_ok else 'DIFFERS from',
       '' if tail_ok else ' (first difference at sample %d)' % k))
