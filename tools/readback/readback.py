#!/usr/bin/python3
"""readback: reads the data logger's logs back over its console.

Talks to the data logger (morra_fw) on a serial device or the simulator's
pseudo-terminal: sets the calendar at a first power-up, and in read-back mode
(read-back input held low) asks for the event log and sample blocks one request
at a time, writing events.csv and one block-NNN.csv per block. Reports gaps in
the stamp sequence. See docs/readback.md.
"""
import argparse
import csv
import datetime
import os
import re
import sys
import time

EVENT_SLOTS = 992  # 2 sectors x 16 pages x 31 slots
READY = "Read-back ready"
END = "END!!!"
SAMPLE_PERIOD = 0.02  # 50 Hz
EVENT_RE = re.compile(
    r"time\[(\d+|T)\] :  (\d{4})-(\d+)-(\d+) (\d+):(\d+):(\d+)  [BT]:(\d+)")
MARKERS = (7777, 5555, 1234)


class ReadbackError(Exception):
    pass


def follows(prev, nxt):
    """Whether stamp `nxt` may follow `prev`: 0..1000 in turn, the markers of low
    battery (7777), pending standby (5555) and the sample after a firing (1234),
    after which the count starts again at 0."""
    if nxt in MARKERS:
        return True
    if prev >= 1000:
        return nxt == 0
    return nxt == prev + 1


def missing(prev, nxt):
    """Stamps missing between two that do not follow each other (0..1000 count)."""
    start = 0 if prev >= 1000 else prev + 1
    return (nxt - start) % 1001


class Console:
    def __init__(self, port, baud, timeout):
        import serial  # Debian: python3-serial
        self.port = serial.Serial(port, baud, timeout=0.2)
        self.timeout = timeout
        self.buf = b""

    def line(self, timeout=None):
        """The next line (without CR LF), or None after `timeout` seconds of silence."""
        limit = time.monotonic() + (self.timeout if timeout is None else timeout)
        while b"\r\n" not in self.buf:
            chunk = self.port.read(4096)
            if chunk:
                self.buf += chunk
                limit = time.monotonic() + (self.timeout if timeout is None else timeout)
            elif time.monotonic() > limit:
                return None
        text, self.buf = self.buf.split(b"\r\n", 1)
        return text.decode("latin-1")

    def wait_for(self, prefix, timeout):
        limit = time.monotonic() + timeout
        while time.monotonic() < limit:
            text = self.line(timeout=max(0.1, limit - time.monotonic()))
            if text is not None and prefix in text:
                return text
        raise ReadbackError("no '%s' from the device within %g s" % (prefix, timeout))

    def write(self, data):
        self.port.write(bytes(data))
        self.port.flush()


def set_calendar(con, when):
    """The six bytes a first power-up waits for: year (two digits), month, day,
    hour, minute, second."""
    con.wait_for("setting_time ?", con.timeout)
    con.write([when.year % 100, when.month, when.day, when.hour, when.minute, when.second])
    print(con.wait_for("setting_time : ", con.timeout))


def read_events(con):
    con.write([0xFF, 0xFF])
    events = []
    while len(events) < EVENT_SLOTS:
        text = con.line()
        if text is None:
            raise ReadbackError("the event log stopped after %d of %d slots"
                                % (len(events), EVENT_SLOTS))
        m = EVENT_RE.search(text)
        if m:
            events.append(m.groups())
    con.wait_for(READY, con.timeout)
    out = []
    for slot, g in enumerate(events):
        if g[0] == "255":
            continue  # an erased slot
        kind = 2 if g[0] == "T" else int(g[0])
        when = "%s-%02d-%02d %02d:%02d:%02d" % tuple([g[1]] + [int(x) for x in g[2:7]])
        out.append({"slot": slot, "type": kind, "time": when, "value": int(g[7])})
    return out


def read_blocks(con, first, last):
    """Blocks first..last (1..250, wrapping after 250) as {block: [records]}, ending
    at the first erased record."""
    con.write([first, last])
    blocks, current = {}, None
    while True:
        text = con.line()
        if text is None:
            raise ReadbackError("the dump of blocks %d-%d stopped" % (first, last))
        if text.startswith("SD_block "):
            current = blocks.setdefault(int(text[9:]), [])
        elif text.startswith(END):
            break
        elif current is not None and text.count(",") == 6:
            current.append([int(v) for v in text.split(",")])
        elif text.startswith("Bad request"):
            raise ReadbackError("the device refused the request %d %d" % (first, last))
    con.wait_for(READY, con.timeout)
    return blocks


def block_times(blocks, order, events):
    """A time for every record: a power-on record names the block its power-up began
    with and when; the power-up's records follow at 50 Hz from there, into the next
    blocks of the range. Records of a block no power-on record names, and not
    following one in the range, get no time."""
    starts = {}
    for e in events:
        if e["type"] == 1:
            starts[e["value"]] = datetime.datetime.strptime(e["time"], "%Y-%m-%d %H:%M:%S")
    times, anchor, offset = {}, None, 0
    for b in order:
        if b in starts:
            anchor, offset = starts[b], 0
        recs = blocks.get(b, [])
        times[b] = [None if anchor is None else
                    (anchor + datetime.timedelta(seconds=(offset + i) * SAMPLE_PERIOD))
                    .isoformat(sep=" ", timespec="milliseconds") for i in range(len(recs))]
        offset += len(recs)
    return times


def gaps(blocks, order):
    out, prev = [], None
    for b in order:
        for i, rec in enumerate(blocks.get(b, [])):
            if prev is not None and not follows(prev, rec[0]):
                out.append((b, i, prev, rec[0], missing(prev, rec[0])))
            prev = rec[0]
    return out


def block_range(text):
    a, _, b = text.partition("-")
    first, last = int(a), int(b or a)
    if not (1 <= first <= 250 and 1 <= last <= 250):
        raise argparse.ArgumentTypeError("blocks are 1..250 (such as 249-2)")
    return first, last


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("port", help="serial device or the simulator's pseudo-terminal")
    ap.add_argument("--baud", type=int, default=115200)
    ap.add_argument("--set-time", nargs="?", const="now", metavar="YYYY-MM-DDTHH:MM:SS",
                    help="first power-up: send the calendar (default: this computer's time)")
    ap.add_argument("--events", action="store_true", help="read the event log")
    ap.add_argument("--blocks", type=block_range, action="append", default=[],
                    metavar="A-B", help="read sample blocks A to B (repeatable)")
    ap.add_argument("-o", "--out", default=".", help="folder for the CSV files")
    ap.add_argument("--timeout", type=float, default=10.0,
                    help="seconds of silence before giving up (default 10)")
    args = ap.parse_args(argv)
    try:
        when = None
        if args.set_time:
            when = (datetime.datetime.now() if args.set_time == "now"
                    else datetime.datetime.fromisoformat(args.set_time))
    except ValueError as e:
        ap.error("--set-time: %s" % e)
    try:
        con = Console(args.port, args.baud, args.timeout)
        if when:
            set_calendar(con, when)
        if not (args.events or args.blocks):
            return 0
        con.wait_for(READY, max(args.timeout, 60.0))
        os.makedirs(args.out, exist_ok=True)
        # The event log is read for the blocks too: its power-on records give the times.
        events = read_events(con)
        if args.events:
            with open(os.path.join(args.out, "events.csv"), "w", newline="") as f:
                w = csv.writer(f)
                w.writerow(["slot", "type", "time", "block_or_trigger"])
                for e in events:
                    w.writerow([e["slot"], e["type"], e["time"], e["value"]])
            print("events.csv: %d records" % len(events))
        for first, last in args.blocks:
            blocks = read_blocks(con, first, last)
            order = sorted(blocks, key=lambda b: (b - first) % 250)
            times = block_times(blocks, order, events)
            for b in order:
                name = os.path.join(args.out, "block-%03d.csv" % b)
                with open(name, "w", newline="") as f:
                    w = csv.writer(f)
                    w.writerow(["stamp", "accX", "accY", "accZ", "gyroX", "gyroY", "gyroZ", "time"])
                    for rec, t in zip(blocks[b], times[b]):
                        w.writerow(rec + [t or ""])
                print("%s: %d records" % (os.path.basename(name), len(blocks[b])))
            for b, i, prev, nxt, n in gaps(blocks, order):
                print("gap: block %d record %d: stamp %d after %d (%d missing)" % (b, i, nxt, prev, n))
        return 0
    except ReadbackError as e:
        print("readback: %s" % e, file=sys.stderr)
        return 1
    except OSError as e:
        print("readback: %s" % e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
