#!/usr/bin/env bash
# Installs what is missing, builds the suite and runs every test under Wine.
# Extra arguments go to ctest (for example: ./test.sh -L unit, ./test.sh -R base_tests).
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh
source scripts/wine-env.sh

cmake --preset default >/dev/null
cmake --build --preset default

hv_wine_prefix
hv_wine_windows_managed N
cleanup() {
  hv_stop_wineserver
  hv_stop_display
}
trap cleanup EXIT
hv_start_display
hv_start_wineserver
mkdir -p "$HV_BUILD/screenshots"

set +e
ctest --preset default "$@"
status=$?
exit $status
