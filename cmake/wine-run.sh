#!/bin/sh
# Runs a Windows program under Wine, in a prefix of its own:
#   wine-run.sh PREFIX WINE64 WINESERVER PROGRAM [ARGUMENTS...]
# Wine's server and its services are started apart from the caller's pipes
# and kept for a minute between programs. Started by the program itself,
# they would hold its output pipe open, and a test runner reading it would
# wait for them to end: some 2 s for every test.
export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$2 server=$3
shift 3
if "$server" -p60 >/dev/null 2>&1; then  # none was running: this one is new
  "$wine" wineboot </dev/null >/dev/null 2>&1
fi
exec "$wine" "$@"
