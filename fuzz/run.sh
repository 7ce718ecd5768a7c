#!/usr/bin/env bash
# Runs each fuzzer for SECONDS (default 60) on a copy of its seed corpus and
# fails on the first finding. Usage: fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target karvel_fuzz_ModbusReply karvel_fuzz_ModbusReader karvel_fuzz_Exports karvel_fuzz_Kinematics karvel_fuzz_Cueing karvel_fuzz_GuardLines
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for pair in ModbusReply:modbus_reply ModbusReader:modbus_reader Exports:exports Kinematics:kinematics Cueing:cueing GuardLines:guard_lines; do
  name=${pair%%:*}
  corpus=$(mktemp -d)
  cp fuzz/corpus/"${pair##*:}"/* "$corpus"/
  echo "=== fuzzing ${name} for ${seconds} s"
  if ! ./build-fuzz/fuzz/karvel_fuzz_"$name" -max_total_time="$seconds" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzzer ${name} found a fault"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$log"
  rm -rf "$corpus"
done
