#!/usr/bin/env bash
# Runs the benchmark programs and writes the results table.
# Usage: run.sh [--short] POSTURE_BENCH MODBUS_BENCH CUEING_BENCH CUE_QUALITY SCENARIO_DIR RUNTIME_BENCH OUT_DIR [TABLE]
# The JSON of each program goes to OUT_DIR; the table to TABLE (default OUT_DIR/results.md).
set -euo pipefail
mode=()
if [ "${1:-}" = "--short" ]; then mode=(--short); shift; fi
posture=$1 modbus=$2 cueing=$3 quality=$4 scenarios=$5 runtime=$6 out=$7 table=${8:-$7/results.md}
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$out"
"$posture" "${mode[@]}" --benchmark_out="$out/posture.json" --benchmark_out_format=json
"$modbus" "${mode[@]}" --benchmark_out="$out/modbus.json" --benchmark_out_format=json
"$cueing" "${mode[@]}" --benchmark_out="$out/cueing.json" --benchmark_out_format=json
"$quality" "$scenarios" "$out/cue-quality.json" "${mode[@]}"
"$runtime" "${mode[@]}" --benchmark_out="$out/runtime.json" --benchmark_out_format=json
python3 "$here/make_table.py" "$out/posture.json" "$out/modbus.json" "$out/cueing.json" "$out/runtime.json" \
  --quality "$out/cue-quality.json" > "$table"
cat "$table"
