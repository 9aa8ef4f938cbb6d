# Sourced by the scripts that run Windows programs: which build they run on, a
# Wine prefix of the project's own, a virtual X display when needed, and a Wine
# server kept up for the whole run (without it every Wine start pays for a new
# server).

quillane_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
quillane_display_pid=""
quillane_route=""   # win32 or win64: the build whose programs Wine runs
quillane_preset=""  # its CMake preset: windows or windows64

# Whether Wine's loader $1 runs on this host; if not, why, in $quillane_why.
quillane_loader_runs() {
  local output
  if output=$("$1" --version 2>&1); then return 0; fi
  # The shell's own words come last ("...: Exec format error").
  quillane_why="$1: $(tail -n 1 <<<"$output" | sed 's/^.*: //' | tr -cd '[:print:]' | cut -c 1-80)"
  [ -e "$1" ] || quillane_why="$1 is not installed"
  return 1
}

# Chooses the build whose programs run under Wine and says which, and why, in
# one line. The product is 32-bit; where this host cannot run 32-bit code, the
# 64-bit build of the same sources stands in for it. QUILLANE_WINE_ARCH=win32
# or win64 forces a route. Fails, saying why, when no route can run.
quillane_choose_route() {
  local forced=${QUILLANE_WINE_ARCH:-} why32="" quillane_why=""
  case $forced in
    "" | win32 | win64) ;;
    *) echo "QUILLANE_WINE_ARCH must be win32, win64 or unset, not '$forced'" >&2; return 1 ;;
  esac
  local asked=${forced:+"QUILLANE_WINE_ARCH=$forced asks for it"}
  if [ "$forced" != win64 ]; then
    if quillane_loader_runs /usr/lib/wine/wine; then
      quillane_route=win32 quillane_preset=windows
      echo "Windows programs run on the 32-bit build: ${asked:-this host runs 32-bit programs}."
      return 0
    fi
    why32=$quillane_why
    [ -z "$forced" ] || { echo "Cannot run the 32-bit build ($asked): $why32" >&2; return 1; }
  fi
  bash "$quillane_scripts/setup.sh" win64 || return 1
  if ! quillane_loader_runs /usr/lib/wine/wine64; then
    echo "Cannot run the 64-bit test build${asked:+ ($asked)}: $quillane_why${why32:+; nor the 32-bit build: $why32}" >&2
    return 1
  fi
  quillane_route=win64 quillane_preset=windows64
  echo "Windows programs run on the 64-bit test build: ${asked:-this host cannot run 32-bit programs ($why32)}."
}

# Starts Xvfb and exports DISPLAY: the display that this Xvfb took, which it
# chooses itself among those free and names once it accepts connections, so
# that runs started together never share one.
quillane_start_virtual_display() {
  local named number
  named=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$named" >/dev/null 2>&1 &
  quillane_display_pid=$!
  for _ in $(seq 200); do
    # A line is read only once it is whole.
    if IFS= read -r number <"$named" && [[ $number =~ ^[0-9]+$ ]]; then
      rm -f "$named"
      export DISPLAY=":$number"
      return 0
    fi
    kill -0 "$quillane_display_pid" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$named"
  echo "wine-env: could not start a virtual display" >&2
  return 1
}

# Makes (once) and selects the prefix at $1 for the chosen route, brings its
# settings up to date, and starts its Wine server.
quillane_start_wine() {
  export WINEPREFIX="$1" WINEARCH=$quillane_route WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine names files in the character set of the Unix locale: in one that is
  # not UTF-8 (the plain C locale of a host with no language set) it can
  # neither make nor run anything in a folder named outside ASCII.
  [ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
  [ "$quillane_route" = win64 ] && export PATH="$quillane_scripts/wine64:$PATH"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-env: making a Wine prefix in $WINEPREFIX (once)" >&2
    mkdir -p "$WINEPREFIX"
    if ! wine wineboot -i >/dev/null 2>&1 || ! wineserver -w; then
      echo "wine-env: Wine could not make its prefix in $WINEPREFIX" >&2
      return 1
    fi
  fi
  # Debian's Wine does not find its own fonts (Marlett draws the caption
  # buttons): put them where every Wine looks.
  if [ -d /usr/share/wine/fonts ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
  # The prefix's settings, put right at every run, after that first start: in
  # a language other than the last run's, Wine's first program rewrites the
  # font substitutes; a run killed in the refusal check leaves the mark out.
  local settings="$quillane_scripts/wine-prefix.reg"
  if ! wine reg import "Z:${settings//\//\\}" >/dev/null 2>&1; then
    echo "wine-env: Wine could not take the settings in $settings" >&2
    return 1
  fi
}

quillane_stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "$quillane_display_pid" ] && kill "$quillane_display_pid" 2>/dev/null || true
  quillane_display_pid=""
}
