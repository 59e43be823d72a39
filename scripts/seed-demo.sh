#!/usr/bin/env bash
# The demo of QlBackup in the build's Wine prefix: a sample Thunderbird profile when the prefix has
# none, and a backup folder C:\QlBackup-Demo when QlBackup has no settings yet. Never overwrites.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
appdata_win=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
appdata=$(winepath -u "$appdata_win" 2>/dev/null)
[[ -n "$appdata" ]] || { echo "seed-demo: no application-data folder in the prefix" >&2; exit 0; }
tb="$appdata/Thunderbird"
if [[ ! -f "$tb/profiles.ini" ]]; then
  mkdir -p "$tb"
  cp -r tests/fixtures/thunderbird/single/. "$tb/"
  echo "seed-demo: sample Thunderbird profile in $tb"
fi
ini="$appdata/Harvane6/QlBackup.ini"
if [[ ! -f "$ini" ]]; then
  mkdir -p "$(dirname "$ini")"
  { printf '\xff\xfe'; printf '[Unicode]\r\nEncoding=UTF-16LE\r\n[Config]\r\nBackupDirectory=C:\\QlBackup-Demo\r\n' | iconv -f UTF-8 -t UTF-16LE; } > "$ini"
  echo "seed-demo: backups go to C:\\QlBackup-Demo ($WINEPREFIX/drive_c/QlBackup-Demo)"
fi
