#!/usr/bin/env bash
# Runs a command in a network namespace of its own with only loopback up
# (`unshare -n`, or `unshare -rn` without root): another program on the
# machine holding UDP port 8410 can then neither fail what the command binds
# nor be disturbed by it. Where the system permits no namespace, the command
# runs as it is and says so.
#   isolated.sh COMMAND [ARGUMENT...]
#   isolated.sh --possible   exit status 0 when a namespace can be made here
set -euo pipefail
for how in "unshare -n" "unshare -rn"; do
  if $how true 2>/dev/null; then
    [ "${1:-}" = --possible ] && exit 0
    exec $how sh -c 'ip link set lo up && exec "$@"' isolated "$@"
  fi
done
[ "${1:-}" = --possible ] && exit 1
echo "=== note: no network namespace permitted here; '$*' uses this machine's port 8410 and fails while another program holds it" >&2
exec "$@"
