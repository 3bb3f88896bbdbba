#!/usr/bin/env python3
"""Recording from the line input, measured: how long after a block ends in
the sound its line shows on the screen, and the processor time the recording
takes at 44.1 kHz.

    bench/record_line.py PROGRAM [TAPE]

SDL's "disk" driver makes the capture device hear the program's own sound of
the tape (examples/demo.tzx unless given) in real time. The program records
it at a pseudo-terminal into a TZX file; the time each block's line shows is
compared with the time the block ends in the sound (the start of the first
stretch of a tenth of a second or more without an edge after it), counted
from the moment the program says it records. The processor time is the
program's user and system time over its whole run.
"""
import os, pty, re, select, signal, struct, subprocess, sys, tempfile, time

prog = os.path.abspath(sys.argv[1])
tape = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), '..', 'examples', 'demo.tzx')
rate = 44100
work = tempfile.mkdtemp(prefix='rw-rec-')

au = os.path.join(work, 'c.au')
subprocess.run([prog, '-au', tape, au], stdout=subprocess.DEVNULL, check=True)
samples = open(au, 'rb').read()[32:]
raw = os.path.join(work, 'heard.raw')
with open(raw, 'wb') as f:
    for b in samples + bytes(rate):
        v = (b - 256 if b > 127 else b) / 128.0
        f.write(struct.pack('<ff', v, v))

# Where each block ends: the first sample of each long stretch without an edge.
ends, run_start = [], 0
for i in range(1, len(samples) + 1):
    if i == len(samples) or samples[i] != samples[i - 1]:
        if i - run_start >= rate // 10 and run_start > 0:
            ends.append(run_start / rate)
        run_start = i

pid, fd = pty.fork()
if pid == 0:
    os.environ.update(SDL_AUDIODRIVER='disk', SDL_DISKAUDIOFILEIN=raw, SDL_DISKAUDIOFILE='/dev/null')
    os.execv(prog, [prog, '-rec', os.path.join(work, 'rec.tzx')])
screen, t0, shown = b'', None, {}
deadline = time.time() + len(samples) / rate + 10
while time.time() < deadline and len(shown) < len(ends):
    r, _, _ = select.select([fd], [], [], 0.005)
    if not r:
        continue
    try:
        screen += os.read(fd, 65536)
    except OSError:
        break
    now = time.time()
    if t0 is None and b'Recording from' in screen:
        t0 = now
    for m in re.finditer(rb'(?:\n|\x1b\[K)\s*(\d+)\s+\d+:\d\d\.\d (good|BAD |-   ):', screen):
        shown.setdefault(int(m.group(1)), now)
os.write(fd, b'q')
_, status, use = os.wait4(pid, 0)
wall = time.time() - t0
print('block  ends at   line after the end')
delays = []
for k, end in enumerate(ends, 1):
    if k in shown:
        delays.append(shown[k] - t0 - end)
        print('%5d  %6.2f s  %6.0f ms' % (k, end, 1000 * delays[-1]))
    else:
        print('%5d  %6.2f s  no line' % (k, end))
if delays:
    print('delay: median %.0f ms, at most %.0f ms' % (1000 * sorted(delays)[len(delays) // 2], 1000 * max(delays)))
print('processor: %.2f s of %.1f s recorded (%.1f %% of a core)' % (use.ru_utime + use.ru_stime, wall,
                                                                      100 * (use.ru_utime + use.ru_stime) / wall))
