# Shared by the scripts that run the installer under Wine on a desktop of
# their own (tools/run.sh, tests/e2e/run_e2e.sh, bench/run.sh). Source it;
# it defines:
#   desktop_start LOGDIR [WIDTHxHEIGHT] [TASKBAR]
#                          a virtual X display (Xvfb, 1280x1024 unless given,
#                          24-bit, free display number) with the openbox window
#                          manager, exported as DISPLAY. TASKBAR (pixels, 0
#                          unless given) keeps a strip at the bottom out of the
#                          work area, as Windows' taskbar does; Wine takes the
#                          work area from the window manager. A desktop has a window manager: without one,
#                          Wine gives a maximised borderless window back its
#                          normal size, and activation and focus differ.
#   prefix_create PREFIX LOGDIR [DPI]
#                          a fresh 64-bit Wine prefix, exported as WINEPREFIX,
#                          in which Wine draws the window frames itself as
#                          Windows does, with Wine's own fonts in place, at 96
#                          DPI unless given (120 = 125 %, 144 = 150 %, 192 =
#                          200 %). It carries the marker file
#                          C:\glyphary-throwaway-prefix, which the tests that
#                          delete the installation look for.
#   prefix_set_dpi DPI     changes the DPI of the current prefix (ends its Wine
#                          processes, so that the next program sees it).
#   desktop_stop           ends the prefix's Wine processes, removes the prefix
#                          made by prefix_create (unless DESKTOP_KEEP_PREFIX=1),
#                          stops openbox and Xvfb.
#   display_stop           stops openbox and Xvfb only (to start another size).
# and the paths wine_bin and wineserver_bin. Call desktop_stop from an EXIT trap.

wine_bin=/usr/lib/wine/wine64
[ -x "$wine_bin" ] || wine_bin=$(command -v wine64 || command -v wine)
wineserver_bin=/usr/lib/wine/wineserver
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)

desktop_xvfb_pid=""
desktop_openbox_pid=""
desktop_prefix=""

desktop_start() {
  local logs=$1 size=${2:-1280x1024} taskbar=${3:-0} display_file display
  mkdir -p "$logs"
  display_file=$(mktemp "$logs/display.XXXXXX")
  # Xvfb picks a free display number itself and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset \
    3>"$display_file" >"$logs/xvfb.log" 2>&1 &
  desktop_xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    kill -0 "$desktop_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  display=$(head -n 1 "$display_file" 2>/dev/null)
  rm -f "$display_file"
  if [ -z "$display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$logs/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$display"
  unset WAYLAND_DISPLAY

  # The window manager is ready once it announces itself on the root window.
  local config=/etc/xdg/openbox/rc.xml
  if [ "$taskbar" != 0 ] && [ -f "$config" ]; then
    sed "s#<bottom>0</bottom>#<bottom>$taskbar</bottom>#" "$config" >"$logs/openbox-rc.xml"
    config=$logs/openbox-rc.xml
  fi
  openbox --config-file "$config" --sm-disable >"$logs/openbox.log" 2>&1 &
  desktop_openbox_pid=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
    sleep 0.1
  done
  echo "openbox did not start:" >&2
  cat "$logs/openbox.log" >&2
  return 1
}

prefix_create() {
  local prefix=$1 logs=$2 dpi=${3:-96}
  mkdir -p "$logs"
  rm -rf "$prefix"
  desktop_prefix=$prefix
  export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$wine_bin" wineboot --init >"$logs/wineboot.log" 2>&1
  "$wine_bin" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || {
    echo "could not configure the Wine prefix $prefix" >&2
    return 1
  }
  # Wine's own fonts (Marlett for the caption buttons, MS Sans Serif, Tahoma
  # and the rest that stand in for Windows' fonts) are not always found where
  # this Wine looks for them; the Windows font folder always is. Without them
  # dialogs come out in whatever the host substitutes, with other metrics.
  local source
  for source in /usr/share/wine/fonts /usr/share/fonts/wine; do
    if [ -d "$source" ]; then
      cp -n "$source"/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
      break
    fi
  done
  # Only prefixes made here carry this file: the tests that remove the
  # installation refuse to run where it is missing (a real Windows machine).
  echo "A throwaway Wine prefix made by Glyphary's scripts." >"$prefix/drive_c/glyphary-throwaway-prefix"
  prefix_set_dpi "$dpi"
}

prefix_set_dpi() {
  local dpi=$1 hex
  hex=$(printf '0x%x' "$dpi")
  # Wine reads the screen DPI from the first; the second is where Windows
  # keeps it.
  "$wine_bin" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$hex" /f >/dev/null 2>&1 || {
    echo "could not set $dpi DPI in the Wine prefix" >&2
    return 1
  }
  "$wine_bin" reg add 'HKEY_CURRENT_CONFIG\Software\Fonts' /v LogPixels /t REG_DWORD /d "$hex" /f \
    >/dev/null 2>&1 || true
  "$wineserver_bin" -k >/dev/null 2>&1 || true
  "$wineserver_bin" -w || true
}

desktop_stop() {
  # Every step runs whatever the one before it did, also under `set -e`.
  if [ -n "$desktop_prefix" ] && [ -d "$desktop_prefix" ]; then
    WINEPREFIX=$desktop_prefix "$wineserver_bin" -k >/dev/null 2>&1 || true
    WINEPREFIX=$desktop_prefix timeout 30 "$wineserver_bin" -w >/dev/null 2>&1 || true
    [ "${DESKTOP_KEEP_PREFIX:-0}" = 1 ] || rm -rf "$desktop_prefix" || true
  fi
  desktop_prefix=""
  display_stop
}

# Stops openbox and Xvfb only; the prefix stays. Its Wine processes should be
# ended first (wineserver -k), since they draw on that display.
display_stop() {
  if [ -n "$desktop_openbox_pid" ]; then
    kill "$desktop_openbox_pid" 2>/dev/null || true
    wait "$desktop_openbox_pid" 2>/dev/null || true
  fi
  if [ -n "$desktop_xvfb_pid" ]; then
    kill "$desktop_xvfb_pid" 2>/dev/null || true
    wait "$desktop_xvfb_pid" 2>/dev/null || true
  fi
  desktop_openbox_pid="" desktop_xvfb_pid=""
}
