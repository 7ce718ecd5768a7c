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

# Runs a command in a network namespace of its own with only loopback up:
# another program on the machine holding UDP port 8410 can then neither fail
# the tests that bind it nor be disturbed by them. Where no namespace may be
# made, the command runs as it is and says so.
isolated() {
  local how
  for how in "unshare -n" "unshare -rn"; do
    if $how true 2>/dev/null; then
      $how sh -c 'ip link set lo up && exec "$@"' isolated "$@"
      return
    fi
  done
  echo "=== note: no network namespace permitted here; the tests use this machine's port 8410 and fail while another program holds it"
  "$@"
}

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
bash scripts/soak.sh 2

run_preset asan
echo "=== soak, 1 minute (asan build)"
SOAK_PRESET=asan bash scripts/soak.sh 1
run_preset tsan
bash scripts/install-deps.sh windows
run_preset windows

echo "=== fuzzers, 20 s each"
bash fuzz/run.sh 20

echo "=== the main job, headless"
bash scripts/demo-sim.sh --headless
