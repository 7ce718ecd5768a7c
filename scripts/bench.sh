#!/usr/bin/env bash
# Builds (preset ci, optimised with debug information) and runs every
# benchmark under bench/, then writes the results table to bench/results.md.
# --short runs the brief CI version and writes the table to the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset ci >/dev/null
cmake --build --preset ci --target karvel_bench_posture karvel_bench_modbus karvel_bench_cueing karvel_bench_cue_quality \
  karvel_bench_runtime
build=build-ci/bench
programs=("$build/karvel_bench_posture" "$build/karvel_bench_modbus" "$build/karvel_bench_cueing"
          "$build/karvel_bench_cue_quality" "$build/scenarios" "$build/karvel_bench_runtime")
if [ "${1:-}" = "--short" ]; then
  bash bench/run.sh --short "${programs[@]}" "$build/short"
else
  bash bench/run.sh "${programs[@]}" "$build/full" bench/results.md
fi
