#!/usr/bin/env bash
# Installs the Debian packages that building and testing Karvel needs.
# `install-deps.sh` alone: the native build. `install-deps.sh windows`: the
# cross build of Karvel.dll with mingw-w64 and wine to run its tests.
# Skips apt when everything is already there, so repeated runs are quick.
set -euo pipefail

case "${1:-native}" in
  native)
    packages=(cmake ninja-build g++ libgtest-dev)
    # The benchmarks under bench/ and their instruction-count profile.
    packages+=(libbenchmark-dev valgrind)
    # Independent Modbus peers for the effects tests. pymodbus's server module
    # imports the serial packages, which it only recommends.
    packages+=(python3 python3-pymodbus python3-serial python3-serial-asyncio libmodbus-dev pkg-config)
    # The virtual seat, the command-line host and their tests.
    packages+=(libcpp-httplib-dev nlohmann-json3-dev libcli11-dev curl chromium chromium-driver)
    # The fuzzers: clang with its libFuzzer runtime.
    packages+=(clang libclang-rt-14-dev)
    # The test command's network namespace (unshare, ip link set lo up).
    packages+=(util-linux iproute2)
    ;;
  # googletest: its sources, built with the cross compiler. wine64 runs 64-bit
  # programs; without the 32-bit side (no i386 architecture) wine says so once
  # while it prepares a prefix, which is harmless here. zip and unzip: the
  # plugin and tools packages (scripts/package.sh) and their checks; python3
  # reads the plugin's descriptor and runs the engine's header tool.
  # nlohmann-json and CLI11: header-only, used by the Windows karvel-sim.
  windows) packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 zip unzip python3
                     nlohmann-json3-dev libcli11-dev) ;;
  *) echo "usage: $0 [native|windows]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
