#!/usr/bin/env bash
# Builds the suite and starts one of its programs under Wine: ./run.sh PROGRAM [ARGS...]
# PROGRAM is QlBackup, HvStarter, HvWatchdog or Harvane (the stand-in main program).
set -euo pipefail
cd "$(dirname "$0")"
if [[ $# -lt 1 ]]; then
  echo "usage: ./run.sh PROGRAM [ARGS...]" >&2
  exit 2
fi
program="$1"
shift
bash scripts/setup.sh
source scripts/wine-env.sh
cmake --preset default >/dev/null
# Only what the programs need; the tests are built by test.sh.
cmake --build --preset default --target QlBackup HvStarter HvWatchdog harvane_standin hv_locale
exe="$HV_BUILD/bin/${program%.exe}.exe"
if [[ ! -f "$exe" ]]; then
  echo "run.sh: $exe was not built" >&2
  exit 2
fi
hv_wine_prefix
trap hv_stop_display EXIT
hv_start_display
if [[ -n "$HV_XVFB_PID" ]]; then hv_wine_windows_managed N; else hv_wine_windows_managed Y; fi
if [[ "${program%.exe}" == "QlBackup" ]]; then bash scripts/seed-demo.sh; fi
set +e
wine "$exe" "$@"
exit $?
