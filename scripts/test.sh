#!/usr/bin/env bash
# Installs what is needed, then builds and runs the whole test suite: plain
# (warnings as errors) followed by a two-minute soak, under AddressSanitizer
# with UndefinedBehaviorSanitizer (and a one-minute soak of that build), under
# ThreadSanitizer, and as the Windows x64 build (Karvel.dll, cross-built with
# mingw-w64) under wine, where the engine plugin, cross-built too, loads the
# real Karvel.dll end to end and the plugin zip of scripts/package.sh is
# checked; then each fuzzer briefly and the main job headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# Each ctest, the soak and the headless demo run in a network namespace of
# their own (scripts/isolated.sh): another program holding UDP port 8410 can
# neither fail them nor be disturbed by them. To show it, the test command
# holds that port on this machine itself for the whole run.
isolated() { bash scripts/isolated.sh "$@"; }
if bash scripts/isolated.sh --possible; then
  python3 -c 'import signal, socket, sys
held = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
try:
    held.bind(("0.0.0.0", 8410))
except OSError as error:
    sys.exit(f"=== UDP port 8410 is already held on this machine ({error.strerror}): that shows it as well")
signal.pause()' &
  port_holder=$!
  trap 'kill "$port_holder" 2>/dev/null || true' EXIT
  echo "=== holding UDP port 8410 on this machine for the whole run (process $port_holder)"
fi

run_preset() {
  local preset=$1 start=$SECONDS
  echo "=== ${preset}: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== ${preset}: test"
  if [ "$preset" = windows ]; then
    # Wine's server creates the sockets: one left from the build (outside the
    # namespace) must not serve the tests.
    WINEPREFIX="$PWD/build-windows/wine-prefix" wineserver -k 2>/dev/null || true
  fi
  if [ "$preset" = ci ] || [ "$preset" = windows ]; then
    isolated ctest --preset "$preset"
  else
    # The browser test drives Chromium against the sanitized simulator; too slow there, it runs in ci.
    # Benchmarks time nothing meaningful under a sanitizer. The host's long
    # real-time rides run in ci only; their shorter kin run here too.
    isolated ctest --preset "$preset" -E "LiveViewInBrowser|LiveViewLayout|bench_smoke|KarvelCue.Example|ReplayOfTheShippedDrive"
  fi
  echo "=== ${preset}: $((SECONDS - start)) s"
}

run_preset ci
echo "=== soak, 2 minutes (ci build)"
isolated bash scripts/soak.sh 2

run_preset asan
echo "=== soak, 1 minute (asan build)"
SOAK_PRESET=asan isolated bash scripts/soak.sh 1
run_preset tsan
bash scripts/install-deps.sh windows
run_preset windows

echo "=== fuzzers, 20 s each"
bash fuzz/run.sh 20

echo "=== the main job, headless"
isolated bash scripts/demo-sim.sh --headless
