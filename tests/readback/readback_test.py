#!/usr/bin/python3
"""readback against the data logger on the simulated board (console on a
pseudo-terminal): the calendar at a first power-up, then the event log and
blocks in read-back mode; and the stamp and time rules on tables."""
import csv
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

MORRA_FW, TOOL_DIR = sys.argv[1], sys.argv[2]
sys.path.insert(0, TOOL_DIR)
import readback  # noqa: E402


def board_run(board, scenario, pty=False):
    scn = os.path.join(os.path.dirname(board), "run.scn")
    with open(scn, "w") as f:
        f.write(scenario)
    cmd = [MORRA_FW, "--board", board, "--scenario", scn]
    if not pty:
        return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    sim = subprocess.Popen(cmd + ["--console", "pty", "--pty-wait", "--pace", "20"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in sim.stderr:
        if line.startswith("console on "):
            return sim, line.split()[-1]
    raise RuntimeError("no pseudo-terminal")


class Rules(unittest.TestCase):
    def test_stamps(self):
        for prev, nxt, ok, gone in [(5, 6, True, 0), (5, 8, False, 2), (1000, 0, True, 0),
                                    (999, 0, False, 1), (1234, 0, True, 0), (1000, 3, False, 3),
                                    (17, 7777, True, 0), (7777, 7777, True, 0)]:
            self.assertEqual(readback.follows(prev, nxt), ok, (prev, nxt))
            if not ok:
                self.assertEqual(readback.missing(prev, nxt), gone, (prev, nxt))

    def test_gaps_across_blocks(self):
        blocks = {250: [[998] + [0] * 6, [999] + [0] * 6], 1: [[3] + [0] * 6, [1234] + [0] * 6,
                                                              [0] + [0] * 6]}
        self.assertEqual(readback.gaps(blocks, [250, 1]), [(1, 0, 999, 3, 4)])

    def test_times_follow_the_power_on_record_into_the_next_block(self):
        events = [{"type": 1, "value": 250, "time": "2025-06-01 08:00:00"},
                  {"type": 2, "value": 1, "time": "2025-06-01 08:00:00"}]
        blocks = {250: [[0] * 7] * 3, 1: [[0] * 7] * 2, 7: [[0] * 7]}
        t = readback.block_times(blocks, [7, 250, 1], events)
        self.assertEqual(t[7], [None])
        self.assertEqual(t[250][2], "2025-06-01 08:00:00.040")
        self.assertEqual(t[1][1], "2025-06-01 08:00:00.080")


class OnTheSimulatedBoard(unittest.TestCase):
    def test_calendar_then_read_back(self):
        d = tempfile.mkdtemp()
        try:
            board = os.path.join(d, "board")
            sim, pty = board_run(board, "version 3\nlength 20s\n", pty=True)
            self.assertEqual(readback.main([pty, "--set-time", "2025-06-01T08:00:00"]), 0)
            sim.wait()
            sim.stderr.close()
            # A second power-up writes block 2; in the third the read-back input is
            # held low from 1 s.
            board_run(board, "version 3\nlength 8s\n")
            sim, pty = board_run(board, "version 3\nlength 60s\nat 1s pin PA12 0\n", pty=True)
            status = readback.main([pty, "--events", "--blocks", "1", "--blocks", "2-2",
                                    "-o", d])
            sim.wait()
            sim.stderr.close()
            self.assertEqual(status, 0)
            with open(os.path.join(d, "events.csv")) as f:
                events = list(csv.DictReader(f))
            self.assertEqual([e["type"] for e in events], ["1", "0", "1", "0", "1"])
            with open(os.path.join(d, "block-001.csv")) as f:
                rows = list(csv.DictReader(f))
            self.assertGreater(len(rows), 500)
            self.assertTrue(rows[0]["time"].startswith("2025-06-01 08:00:0"))
            self.assertTrue(os.path.exists(os.path.join(d, "block-002.csv")))
        finally:
            shutil.rmtree(d)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
