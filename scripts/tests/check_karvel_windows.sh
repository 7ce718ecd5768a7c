#!/usr/bin/env bash
# check_karvel_windows.sh WINE KARVEL_EXE MOTION_DIR WORKDIR: karvel.exe as a
# Windows user runs it, under wine: usage errors end with status 2, karvel's
# options after the command, file names in UTF-8 with backslashes, the library
# found beside the program wherever both are moved, and Ctrl-C (delivered by
# the console to its handler) ending a ride: the seat parked, the silent
# effects devices named, status 130, and the guard beside karvel.exe told of
# the release.
set -uo pipefail
wine=$1 exe=$2 motion=$3 work=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
windows() { echo "Z:$(echo "$1" | tr / '\\')"; } # a path here as a Windows program names it

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

# Usage and input errors: status 2 and a line saying what was wrong.
expect_usage_error() {
  local says=$1; shift
  out=$("$wine" "$exe" "$@" 2>&1); status=$?
  [ "$status" = 2 ] || fail "karvel $* ended with $status, not 2: $out"
  case "$out" in *"$says"*) ;; *) fail "karvel $* did not say '$says': $out" ;; esac
}
expect_usage_error "argument was not expected: --bogus" demo --bogus
expect_usage_error "file is required" tune
expect_usage_error "unknown log level 'loud'" tune x.csv --log-level loud
expect_usage_error "cannot open the telemetry file" tune "$(windows "$work/missing.csv")"

# A folder and a file named in UTF-8, given with backslashes; karvel's own
# options after the command.
folder="$work/Fahrten ü"
mkdir -p "$folder"
cp "$motion/drive-telemetry.csv" "$folder/fahrt-ä.csv"
out=$("$wine" "$exe" tune "$(windows "$folder/fahrt-ä.csv")" --log-level info --out "$(windows "$folder")" 2>&1) ||
  fail "tune failed: $out"
[ -s "$folder/fahrt-ä-road.html" ] || fail "no report in $folder: $(ls "$folder") / $out"

# The library beside the program, in a folder of its own; without it, a
# message that says where karvel looked.
moved="$work/Karvel tools ö"
mkdir -p "$moved"
cp "$exe" "$(dirname "$exe")/Karvel.dll" "$moved/"
out=$(cd / && "$wine" "$moved/karvel.exe" version 2>&1) || fail "version with the library beside: $out"
echo "$out" | grep -Eq 'v[0-9]+\.[0-9]+\.[0-9]+' || fail "version printed no version: $out"
rm "$moved/Karvel.dll"
out=$(cd / && "$wine" "$moved/karvel.exe" version 2>&1) && fail "version without a library succeeded: $out"
case "$out" in *"karvel looks for Karvel.dll beside itself"*) ;; *) fail "no word on where karvel looks: $out" ;; esac

# Ctrl-C (wine turns SIGINT into the console's Ctrl-C event) during a ride.
interrupt() { # NAME ARGS...: starts karvel ARGS, interrupts it once it streams; its status and lines in NAME.out
  local name=$1; shift
  "$wine" "$exe" "$@" --log-level info </dev/null >"$name.out" 2>&1 &
  karvel=$!
  for _ in $(seq 600); do grep -q "UDP TX" "$name.out" 2>/dev/null && break; sleep 0.1; done
  grep -q "UDP TX" "$name.out" || fail "$name sent no frame within 60 s: $(cat "$name.out")"
  kill -INT "$karvel"
  for _ in $(seq 600); do kill -0 "$karvel" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$karvel" 2>/dev/null && { kill -KILL "$karvel"; fail "$name still runs 60 s after Ctrl-C"; }
  wait "$karvel"; status=$?
  [ "$status" = 130 ] || fail "$name ended with $status after Ctrl-C, not 130: $(tail -5 "$name.out")"
  grep -q "karvel: interrupted; parking the seat" "$name.out" || fail "$name: no park after Ctrl-C: $(tail -5 "$name.out")"
  # Nothing listens for the effects here: the end line says so rather than "effects off".
  grep -q "given way, effects not confirmed off: the relay board did not answer, the fan speed controller did not answer" \
    "$name.out" || fail "$name: the effects devices' silence not reported: $(tail -5 "$name.out")"
}
state="$work/state"
interrupt demo demo --seconds 120 --state-dir "$(windows "$state")"
# The karvel-guard.exe beside karvel.exe watched the ride and heard its release.
for _ in $(seq 600); do grep -q "^phase released" "$state/seat-state.txt" 2>/dev/null && break; sleep 0.1; done
grep -q "^phase released" "$state/seat-state.txt" 2>/dev/null ||
  fail "the guard beside karvel.exe did not record the release: $(cat "$state/seat-state.txt" 2>&1)"
echo "karvel.exe behaves under wine"
