#!/usr/bin/env bash
# Line coverage of the board simulator (Platform/sim) by the simulator test suites.
# Builds an instrumented host build of its own in build/coverage (the host and arm
# builds are left alone), runs the simulator tests there and prints the gcovr
# report for Platform/sim: one line per file and the total.
#
#   scripts/coverage.sh            # summary table on stdout
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
cmake --build "$build" -j 2 --target sim_tests sim_input_tests sim_device_tests >&2
# Counters of an earlier run would be added to this one.
find "$build" -name '*.gcda' -delete
"$build"/tests/sim/sim_tests --gtest_brief=1 >&2
"$build"/tests/sim_input/sim_input_tests --gtest_brief=1 >&2
"$build"/tests/sim_devices/sim_device_tests --gtest_brief=1 >&2

args=(--root . --filter 'Platform/sim/' --object-directory "$build" --print-summary)
if [ -n "$html" ]; then
  mkdir -p "$html"
  args+=(--html-details "$html/index.html")
fi
gcovr "${args[@]}"
