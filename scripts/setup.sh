#!/usr/bin/env bash
# Installs the Debian packages the build, the simulator, the tools and the tests use.
# As root it installs what is missing; otherwise it names what to install and fails.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build git clang
  libgtest-dev libgmock-dev libbenchmark-dev
  gcc-arm-none-eabi libnewlib-arm-none-eabi libstdc++-arm-none-eabi-newlib
  qemu-system-arm
  python3 python3-serial
  gcovr
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with:  sudo apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
