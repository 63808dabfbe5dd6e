#!/usr/bin/env bash
# Builds the simulator of the host preset and runs the demo firmware on the
# simulated board with the bundled demo scenario. The console appears on stdout;
# the build messages and the summary go to stderr. The board directory is
# build/board-demo (created on first use, kept between runs: a second run is a
# reset after power loss). The exit status is the simulator's (docs/simulator.md).
#
# Extra arguments go to the simulator, e.g.:
#   scripts/run.sh --console pty --pace 1      (connect with picocom to the printed path;
#                                              the demo scenario lasts 4 s)
#   scripts/run.sh --trace build/demo-trace.jsonl
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset host >&2
cmake --build --preset host -j 2 --target demo_fw >&2

exec build/host/tests/demo_fw/demo_fw \
  --board build/board-demo \
  --scenario scenarios/demo.scn \
  "$@"
