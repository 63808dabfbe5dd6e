#!/usr/bin/env bash
# Sets everything up and runs every test: host build (simulator, tools, unit,
# module and scenario tests, the seam's conformance with the vendor's headers),
# then the target build (every board image on the vendor's HAL, with its
# vector-table check and size and stack report; Cortex-M4F tests under QEMU).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs"

cmake --preset arm >/dev/null
cmake --build --preset arm -j "$jobs"
cat build/arm/Platform/stm32l431/*.report.txt   # each board image's size and stack report
ctest --preset arm -j "$jobs"
