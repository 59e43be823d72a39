# Sourced by test.sh and run.sh: the Wine prefix of the build and a display.
HV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
HV_BUILD="$HV_ROOT/build"
export WINEPREFIX="${HV_WINEPREFIX:-$HV_BUILD/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# winemenubuilder would copy every shortcut a test makes into the desktop and menus of the host.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
HV_WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# Creates the prefix without the Mono/Gecko installer dialogs. Wine links the user's documents,
# desktop and other folders to the home folder, which every prefix of this user shares: tests
# running at the same time in other prefixes would then write and delete the same files, and the
# tests would write into the home folder. They become folders of the prefix instead.
hv_wine_prefix() {
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" wine wineboot -i >/dev/null 2>&1 || true
    "$HV_WINESERVER" -w || true
  fi
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [[ -L "$link" && ! "$link" =~ /Public/ ]]; then
      rm -f "$link" && mkdir -p "$link"
    fi
  done
}

# Y: a window manager frames the windows (a desktop); N: Wine draws the frames itself and does not
# wait ~2 s for a window manager whenever a window hides (Xvfb has none).
hv_wine_windows_managed() {
  if ! grep -q "\"Managed\"=\"$1\"" "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1 || true
    "$HV_WINESERVER" -w || true
  fi
}

# Starts an Xvfb of our own when no display is set; HV_XVFB_PID tells whom to stop.
HV_XVFB_PID=""
hv_start_display() {
  if [[ -n "${DISPLAY:-}" ]]; then return; fi
  local fifo
  fifo=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  HV_XVFB_PID=$!
  for _ in $(seq 1 100); do
    [[ -s "$fifo" ]] && break
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$fifo")"
  rm -f "$fifo"
}

hv_stop_display() {
  if [[ -n "$HV_XVFB_PID" ]]; then
    kill "$HV_XVFB_PID" 2>/dev/null || true
    wait "$HV_XVFB_PID" 2>/dev/null || true
  fi
}

# One wineserver for the whole run: every process then starts in milliseconds. Wine's own system
# processes (services, explorer ...) are started here with no output attached: started by a test
# instead, they would inherit and hold open the pipes through which CTest reads that test.
hv_start_wineserver() {
  "$HV_WINESERVER" -p
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}
hv_stop_wineserver() { "$HV_WINESERVER" -k 2>/dev/null || true; }
