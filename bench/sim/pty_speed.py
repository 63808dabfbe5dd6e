#!/usr/bin/env python3
"""Speed of a firmware image with its console on a pseudo-terminal that a reader drains.

    bench/sim/pty_speed.py build/host/tests/demo_fw/demo_fw bench/sim/idle-600s.scn
Prints the wall seconds of the whole run (start to exit, the end's drain included), the
bytes read from the terminal, and the summary's console lines. Extra arguments go to
the simulator.
"""
import os, select, subprocess, sys, tempfile, time

exe, scn, extra = sys.argv[1], sys.argv[2], sys.argv[3:]
board = tempfile.mkdtemp(prefix="pty-speed-")  # a fresh board each time
t0 = time.monotonic()
p = subprocess.Popen([exe, "--board", board + "/b", "--scenario", scn, "--console", "pty"] + extra,
                     stderr=subprocess.PIPE)
line = p.stderr.readline().decode()
assert line.startswith("console on "), line
fd = os.open(line[len("console on "):].strip(), os.O_RDWR | os.O_NOCTTY)
got = 0
while p.poll() is None:
    r, _, _ = select.select([fd], [], [], 0.05)
    if r:
        try:
            got += len(os.read(fd, 65536))
        except OSError:
            break
rest = p.stderr.read().decode()
wall = time.monotonic() - t0
print(f"pty: wall {wall:.3f} s, read {got} bytes, exit {p.returncode}")
print("\n".join(l for l in rest.splitlines() if "USART3" in l or "ended" in l or "console" in l))
