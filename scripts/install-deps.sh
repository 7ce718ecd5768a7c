#!/usr/bin/env bash
# Installs the Debian packages that building and testing Karvel needs.
# Skips apt when everything is already there, so repeated runs are quick.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev)
# The benchmarks under bench/ and their instruction-count profile.
packages+=(libbenchmark-dev valgrind)
# Independent Modbus peers for the effects tests. pymodbus's server module
# imports the serial packages, which it only recommends.
packages+=(python3 python3-pymodbus python3-serial python3-serial-asyncio libmodbus-dev pkg-config)
# The virtual seat, the command-line host and their tests.
packages+=(pkg-config libmodbus-dev libcpp-httplib-dev nlohmann-json3-dev libcli11-dev curl chromium chromium-driver)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
