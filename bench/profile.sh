#!/usr/bin/env bash
# Counts the instructions (user space, repeatable) that one posture call and
# one Modbus write cost, under callgrind, on the short benchmarks.
# Usage: bench/profile.sh [BUILD_DIR] (default build-ci)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build-ci}/bench"
out="$build/profile"
mkdir -p "$out"
profile() { # name filter program
  valgrind --tool=callgrind --callgrind-out-file="$out/$1.callgrind" "$3" --short --benchmark_filter="$2" >"$out/$1.log" 2>&1
  callgrind_annotate --inclusive=yes --tree=caller "$out/$1.callgrind" >"$out/$1.txt" 2>/dev/null
}
profile posture 'caller_cost/copying' "$build/karvel_bench_posture"
profile modbus 'modbus/mbap' "$build/karvel_bench_modbus"
echo "| Function | Calls | Instructions per call |"
echo "| --- | --- | --- |"
python3 "$here/callgrind_per_call.py" "$out/posture.txt" Ridova_SendSeatPosture 'karvel::LogSink::vlog' 'karvel::formatLine' copyLine \
  'karvel::UDPTransportLayer::sendAxes' 'karvel::SeatAlgorithm::postureTargets' 'karvel::logKinematics'
python3 "$here/callgrind_per_call.py" "$out/modbus.txt" 'ModbusTcpClient::writeSingleCoil' modbus_write_bit \
  'ModbusTcpClient::writeSingleRegister' modbus_write_register 'ModbusTcpClient::writeMultipleCoils' modbus_write_bits \
  'karvel::logLine' vsnprintf
