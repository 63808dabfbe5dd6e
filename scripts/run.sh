#!/usr/bin/env bash
# Builds the simulator of the host preset and runs the device image kelda_fw on a
# fresh simulated board with the bundled scenario scenarios/daily-fall.scn: the
# calendar sent at power-up as the service PC sends it, two and a half minutes of
# daily activity, then a fall. The console appears on stdout; the build messages
# and the run's summary (the firing's time and type, sensor read to the first
# trigger edge, the phone lines, the worst tick) go to stderr. The exit status is
# the simulator's (docs/simulator.md).
#
# The default board directory, build/board-kelda, is wiped before each run so that
# every run starts from a fresh board. A board given with --board is kept between
# runs: a second run on it is a reset after power loss.
#
# Extra arguments go to the simulator; relative paths in them are taken from the
# directory the script is called from. --board and --scenario replace the
# defaults, e.g.:
#   scripts/run.sh --console pty --pace 1      (connect with picocom to the printed path)
#   scripts/run.sh --trace kelda-trace.jsonl
#   scripts/run.sh --scenario scenarios/daily-quiet.scn --board my-board
#
# FIRMWARE=path/to/executable runs that simulator executable as it is, without
# setting up or building anything (the tests use it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

exe="${FIRMWARE:-}"
if [ -z "$exe" ]; then
  (cd "$root" && scripts/setup.sh && cmake --preset host >&2 &&
    cmake --build --preset host -j 2 --target kelda_fw >&2)
  exe="$root/build/host/Core/kelda_fw"
fi

defaults=()
has_option() {
  local want="$1"; shift
  for a in "$@"; do [ "$a" = "$want" ] && return 0; done
  return 1
}
if ! has_option --board "$@"; then
  rm -rf "$root/build/board-kelda"
  defaults+=(--board "$root/build/board-kelda")
fi
has_option --scenario "$@" || defaults+=(--scenario "$root/scenarios/daily-fall.scn")

exec "$exe" "${defaults[@]}" "$@"
