#!/usr/bin/env bash
# The released programs name no test seam: no "HV_..." environment variable among their strings
# (8-bit or UTF-16). The test build given first must show its seam, so the search itself is checked.
# Usage: check-no-seams.sh <test build> <released program>...
set -uo pipefail
strings_tool=$(command -v x86_64-w64-mingw32-strings || command -v strings)
seams() { { "$strings_tool" -a "$1"; "$strings_tool" -a -e l "$1"; } | grep -oE 'HV_[A-Z0-9_]+' | sort -u; }
failures=0
test_build=$1
shift
if [[ -z "$(seams "$test_build")" ]]; then
  echo "FAIL: no seam found in the test build $test_build"
  failures=$((failures + 1))
fi
for exe in "$@"; do
  found=$(seams "$exe")
  if [[ -n "$found" ]]; then
    echo "FAIL: $exe names" $found
    failures=$((failures + 1))
  else
    echo "ok: $(basename "$exe")"
  fi
done
exit $((failures > 0))
