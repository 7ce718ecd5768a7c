#!/usr/bin/env bash
# Installs what is needed, builds the library, the virtual seat and the
# command-line host, starts the virtual seat, plays the demonstration through
# the real library and prints what the virtual seat received.
#   --headless   no pauses for a browser (CI); the view still runs meanwhile
set -euo pipefail
cd "$(dirname "$0")/.."
headless=0
[ "${1:-}" = "--headless" ] && headless=1
interactive=0
[ "$headless" = 0 ] && [ -t 0 ] && interactive=1

bash scripts/install-deps.sh

# The library sends every motion frame from the fixed local UDP port 8410.
port_8410_holders() { ss -Hulnp 'sport = :8410' 2>/dev/null || true; }
if [ -n "$(port_8410_holders)" ]; then
  echo "demo-sim: UDP port 8410 is in use on this machine, and the library sends every motion frame from it."
  echo "Stop the program that holds it (below; another karvel or game with the library, say) and run this again:"
  port_8410_holders
  exit 1
fi

cmake --preset default >/dev/null
cmake --build --preset default --target Karvel karvel karvel-sim

view_port=${KARVEL_VIEW_PORT:-8080}
[ "$headless" = 1 ] && view_port=0
sim_out=$(mktemp)
./build/tools/sim/karvel-sim --model orvida --motion-port 0 --relay-port 0 --speed-port 0 \
  --http-port "$view_port" >"$sim_out" &
sim=$!
trap 'kill -INT "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$sim_out"' EXIT

ready='^karvel-sim ready: motion=\([0-9]*\) relay=\([0-9]*\) speed=\([0-9]*\) http=\([0-9]*\)$'
for _ in $(seq 100); do
  grep -q '^karvel-sim ready' "$sim_out" && break
  kill -0 "$sim" 2>/dev/null || { echo "the virtual seat did not start"; exit 1; }
  sleep 0.1
done
read -r motion relay speed http < <(sed -n "s/$ready/\1 \2 \3 \4/p" "$sim_out")
[ -n "${http:-}" ] || { echo "the virtual seat did not report its ports"; exit 1; }
echo "virtual seat running; live view: http://127.0.0.1:${http}/"
[ "$interactive" = 1 ] && read -r -p "Open the view in a browser, then press Enter to start the ride. "

host_out=$(mktemp)
set +e
./build/tools/cli/karvel --log-level error demo --model orvida --udp "127.0.0.1:$motion" \
  --relay "127.0.0.1:$relay" --speed "127.0.0.1:$speed" 2>&1 | tee "$host_out"
host_status=${PIPESTATUS[0]}
set -e
# "karvel: N of M frames sent (home included), K given way": N left the
# library; K gave way to newer ones inside it when it fell behind (a busy machine).
read -r sent given < <(sed -n 's/^karvel: \([0-9]*\) of [0-9]* frames sent (home included), \([0-9]*\) given way.*/\1 \2/p' "$host_out") || true
port_busy=$(grep -c "is UDP port 8410 free" "$host_out" || true)
rm -f "$host_out"
if [ "$host_status" != 0 ]; then
  echo "FAILED: karvel ended with status $host_status"
  [ "$port_busy" != 0 ] && echo "UDP port 8410 must be free on this machine: the library sends every motion frame from it."
  exit 1
fi

echo "--- what the virtual seat confirms"
summary=$(curl -fsS "http://127.0.0.1:${http}/api/summary")
echo "$summary"
received=$(sed -n 's/.*: \([0-9]*\) frames received, \([0-9]*\) malformed$/\1 \2/p' <<<"$summary")
if [ "$received" != "$sent 0" ]; then
  echo "FAILED: ${sent:-?} frames left the library, the virtual seat reports '${received}' (received, malformed)"
  exit 1
fi
note=""
[ "${given:-0}" != 0 ] && note=" ($given more gave way to newer ones inside the library, which fell behind)"
echo "demo complete: all $sent frames that left the library arrived, none malformed$note"
[ "$interactive" = 1 ] && read -r -p "Press Enter to stop the virtual seat. "
exit 0
