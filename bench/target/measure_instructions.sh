#!/usr/bin/env bash
# Prints the instructions per FallDetectorWork call on the Cortex-M4F (mean and worst over every
# synthetic stream) of the device engine and of the data-logging variant, then where the device
# engine's go (software double operations, elementary functions).
# QEMU runs with -icount shift=0, so its virtual clock advances exactly 1 ns per instruction and
# the 25 MHz SysTick resolves 40 instructions. Uses the arm preset's build (build/arm) unless a
# build directory is given.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/arm}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset arm >/dev/null
fi
cmake --build "$build" --target target_measure_instructions target_profile_engine \
  target_variant_measure_instructions
qemu=(qemu-system-arm -M mps2-an386 -cpu cortex-m4 -nographic -monitor none -serial none
      -semihosting-config enable=on,target=native -icount shift=0)
echo "== instructions per work call"
timeout 300 "${qemu[@]}" -kernel "$build/bench/target/target_measure_instructions.elf" 2>&1
echo "== instructions per work call, the data-logging image's variant"
timeout 300 "${qemu[@]}" -kernel "$build/bench/target/target_variant_measure_instructions.elf" \
  2>&1 | grep -v -e '^instructions per SysTick' -e '^check:' -e '^software double'
echo "== profile (wrappers add their own instructions to the total; counted without"
echo "   stm32l431_double_guard, so division and sqrt cost libgcc's and newlib's 576 and 828)"
timeout 300 "${qemu[@]}" -kernel "$build/bench/target/target_profile_engine.elf" 2>&1
