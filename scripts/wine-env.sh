# Sourced by the scripts that run Windows programs: a 32-bit Wine prefix of the
# project's own, a virtual X display when needed, and a Wine server kept up for
# the whole run (without it every Wine start pays for a new server).

quillane_display_pid=""

# Starts Xvfb on a free display number and exports DISPLAY.
quillane_start_virtual_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    quillane_display_pid=$!
    for _ in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$quillane_display_pid" 2>/dev/null || break
      sleep 0.05
    done
  done
  echo "wine-env: could not start a virtual display" >&2
  return 1
}

# Makes (once) and selects the prefix at $1, and starts its Wine server.
quillane_start_wine() {
  export WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-env: making a Wine prefix in $WINEPREFIX (once)" >&2
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # With no window manager, destroying a managed top-level window is slow.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  # Debian's Wine does not find its own fonts (Marlett draws the caption
  # buttons): put them where every Wine looks.
  if [ -d /usr/share/wine/fonts ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
}

quillane_stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "$quillane_display_pid" ] && kill "$quillane_display_pid" 2>/dev/null || true
  quillane_display_pid=""
}
