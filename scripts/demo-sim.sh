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
./build/tools/cli/karvel --log-level error demo --model orvida --udp "127.0.0.1:$motion" \
  --relay "127.0.0.1:$relay" --speed "127.0.0.1:$speed" | tee "$host_out"
sent=$(sed -n 's/^karvel: \([0-9]*\) frames sent.*/\1/p' "$host_out")
rm -f "$host_out"

echo "--- what the virtual seat confirms"
summary=$(curl -fsS "http://127.0.0.1:${http}/api/summary")
echo "$summary"
received=$(sed -n 's/.*: \([0-9]*\) frames received, \([0-9]*\) malformed$/\1 \2/p' <<<"$summary")
if [ "$received" != "$sent 0" ]; then
  echo "FAILED: the host sent ${sent:-?} frames, the virtual seat reports '${received}' (received, malformed)"
  exit 1
fi
echo "demo complete: all $sent frames arrived, none malformed"
[ "$interactive" = 1 ] && read -r -p "Press Enter to stop the virtual seat. "
exit 0
