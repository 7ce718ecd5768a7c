#!/usr/bin/env bash
# Installs what is needed, then builds and runs the whole test suite: plain
# (warnings as errors), under AddressSanitizer with UndefinedBehaviorSanitizer,
# and under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

for preset in ci asan tsan; do
  echo "=== ${preset}: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== ${preset}: test"
  if [ "$preset" = ci ]; then
    ctest --preset "$preset"
  else
    # The browser test drives Chromium against the sanitized simulator; too slow there, it runs in ci.
    ctest --preset "$preset" -E LiveViewInBrowser
  fi
done

echo "=== fuzzers, 30 s each"
bash fuzz/run.sh 30

echo "=== the main job, headless"
bash scripts/demo-sim.sh --headless
