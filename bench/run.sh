#!/usr/bin/env bash
# Runs the benchmark programs and writes the results table.
# Usage: run.sh [--short] POSTURE_BENCH MODBUS_BENCH CUEING_BENCH RUNTIME_BENCH OUT_DIR [TABLE]
# The JSON of each program goes to OUT_DIR; the table to TABLE (default OUT_DIR/results.md).
set -euo pipefail
mode=()
if [ "${1:-}" = "--short" ]; then mode=(--short); shift; fi
posture=$1 modbus=$2 cueing=$3 runtime=$4 out=$5 table=${6:-$5/results.md}
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$out"
"$posture" "${mode[@]}" --benchmark_out="$out/posture.json" --benchmark_out_format=json
"$modbus" "${mode[@]}" --benchmark_out="$out/modbus.json" --benchmark_out_format=json
"$cueing" "${mode[@]}" --benchmark_out="$out/cueing.json" --benchmark_out_format=json
"$runtime" "${mode[@]}" --benchmark_out="$out/runtime.json" --benchmark_out_format=json
python3 "$here/make_table.py" "$out/posture.json" "$out/modbus.json" "$out/cueing.json" "$out/runtime.json" > "$table"
cat "$table"
