#!/usr/bin/env bash
# Builds the simulator of the host preset and runs the demo firmware on the
# simulated board with the bundled demo scenario. The console appears on stdout;
# the build messages and the summary go to stderr. The board directory is
# build/board-demo (created on first use, kept between runs: a second run is a
# reset after power loss). The exit status is the simulator's (docs/simulator.md).
#
# Extra arguments go to the simulator; relative paths in them are taken from the
# directory the script is called from. --board and --scenario replace the
# defaults, e.g.:
#   scripts/run.sh --console pty --pace 1      (connect with picocom to the printed path;
#                                              the demo scenario lasts 4 s)
#   scripts/run.sh --trace demo-trace.jsonl
#   scripts/run.sh --scenario my.scn --board my-board
#
# DEMO_FW=path/to/demo_fw runs that executable as it is, without setting up or
# building anything (the tests use it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

exe="${DEMO_FW:-}"
if [ -z "$exe" ]; then
  (cd "$root" && scripts/setup.sh && cmake --preset host >&2 &&
    cmake --build --preset host -j 2 --target demo_fw >&2)
  exe="$root/build/host/tests/demo_fw/demo_fw"
fi

defaults=()
has_option() {
  local want="$1"; shift
  for a in "$@"; do [ "$a" = "$want" ] && return 0; done
  return 1
}
has_option --board "$@" || defaults+=(--board "$root/build/board-demo")
has_option --scenario "$@" || defaults+=(--scenario "$root/scenarios/demo.scn")

exec "$exe" "${defaults[@]}" "$@"
