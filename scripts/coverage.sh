#!/usr/bin/env bash
# Line and branch coverage by the host tests, one summary per area: the board
# simulator (Platform/sim), the device image (Core), the engines (FallDetector,
# datalogger) and the host tools (tools). Builds an instrumented host build of
# its own in build/coverage (the host and arm builds are left alone), runs every
# host test there and prints the gcovr summary of each area.
#
#   scripts/coverage.sh            # one summary per area on stdout
#   scripts/coverage.sh --html DIR # also an HTML report with the lines in DIR
#
# Not part of CI: instrumented builds are slow on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."

html=""
if [ "${1:-}" = "--html" ]; then
  html="${2:?--html needs a directory}"
fi

scripts/setup.sh
build=build/coverage
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j 2 >&2
# Counters of an earlier run would be added to this one.
find "$build" -name '*.gcda' -delete
# Objects of sources or targets the build no longer has leave their .gcno notes
# behind; gcovr would read them as files of this build, and an inline function
# seen at its old line there makes it stop. Drop the objects, then every note
# without its object.
ninja -C "$build" -t cleandead >/dev/null
find "$build" -name '*.gcno' | while read -r note; do
  [ -e "${note%.gcno}.o" ] || rm -f "$note"
done
# A failing test still ran its code: say so, and measure what ran.
ctest --test-dir "$build" -j 2 --output-on-failure >&2 ||
  echo "coverage.sh: some tests failed (listed above); the figures count what ran" >&2

# One pass over the counters; each area is then a filter over its result. Only this
# build's counters: gcovr would otherwise search the whole checkout and add those of any
# other instrumented build in it.
trace="$build/coverage.json"
gcovr --root . --object-directory "$build" --exclude-throw-branches \
  --exclude-unreachable-branches --filter '(Platform/sim|Core|FallDetector|datalogger|tools)/' \
  --json "$trace" "$build"
# The per-area line report goes to a file of the build: gcovr replaces its output file
# rather than writing into it, so "-o /dev/null" run as root would put a regular file in
# place of the device.
for area in Platform/sim Core FallDetector datalogger tools; do
  echo "== $area"
  gcovr --root . --add-tracefile "$trace" --filter "$area/" --print-summary \
    -o "$build/coverage-${area//\//-}.txt"
done
if [ -n "$html" ]; then
  mkdir -p "$html"
  gcovr --root . --add-tracefile "$trace" --html-details "$html/index.html"
fi
