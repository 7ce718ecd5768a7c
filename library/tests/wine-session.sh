#!/bin/sh
# wine-session.sh start|stop PREFIX: one wine session for a whole ctest run.
# Started before the tests are listed, so that no test program starts wine's
# server and background processes itself: those would inherit that program's
# standard output, and ctest would wait for them to close it (seconds per
# test, or the whole time-out). The server ends 30 s after its last program
# if the stop is never reached.
export WINEPREFIX="$2" WINEDEBUG=-all
unset DISPLAY
exec >/dev/null 2>&1
case "$1" in
  start) wineserver -p30 && wineboot ;;
  stop) wineserver -k ;;
esac
