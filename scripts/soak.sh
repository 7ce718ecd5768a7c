#!/usr/bin/env bash
# Soaks the real library for MINUTES (default 3) on loopback: postures at
# 1 kHz, an effect every second against devices that fail at random. Runs the
# soak program as a child so that a crash shows as its exit status; a hang is
# caught by its watchdog, or by the time limit here. SOAK_SEED repeats a run;
# SOAK_PRESET soaks another build (asan: the sanitizers watch the library).
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-3}
seconds=$((minutes * 60))
preset=${SOAK_PRESET:-ci}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Karvel karvel-soak >/dev/null

set +e
timeout --kill-after=10 $((seconds + 180)) \
  "build-$preset/tools/soak/karvel-soak" "build-$preset/library/libKarvel.so" "$seconds" ${SOAK_SEED:+"$SOAK_SEED"}
status=$?
set -e
case $status in
  0) echo "soak: PASS (no crash, no hang, no frame lost, no effect call missed without a fault, memory as judged above)" ;;
  1) echo "soak: FAIL (see the report above)" ;;
  3) echo "soak: FAIL (hang, caught by the watchdog)" ;;
  124 | 137) echo "soak: FAIL (hang: still running after $((seconds + 180)) s)" ;;
  *) if [ "$status" -gt 128 ]; then
       echo "soak: FAIL (crash: signal $((status - 128)))"
     else
       echo "soak: FAIL (could not run: exit status $status)"
     fi ;;
esac
exit $(( status == 0 ? 0 : 1 ))
