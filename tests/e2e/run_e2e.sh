#!/usr/bin/env bash
# Runs the end-to-end tests of Glyphary Installer under Wine:
#  - a virtual X display (Xvfb 1280x1024x24) on a free display number, with
#    openbox as the window manager (a desktop has one; without it Wine gives
#    a maximised borderless window back its normal size);
#  - a fresh throwaway Wine prefix inside the build tree, removed at the end,
#    in which Wine draws the window frames itself as Windows does;
#  - the driver e2e_tests.exe, which copies the distribution folder for each
#    test and drives the installer from outside. The restart suite ends the
#    Wine session, so it runs on its own after the others.
# Screen pictures are saved as .bmp by the driver and converted to .png next
# to them. Exits with the driver's status.
#
# Usage: run_e2e.sh --driver <e2e_tests.exe> --dist <dist folder>
#                   --assets <assets folder> --work <work folder>
#                   [-- <arguments for the driver, e.g. --gtest_filter=...>]
set -uo pipefail

driver="" dist="" assets="" work=""
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --driver) driver=$2; shift 2 ;;
    --dist) dist=$2; shift 2 ;;
    --assets) assets=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --) shift; extra=("$@"); break ;;
    *) echo "run_e2e.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
for needed in "$driver" "$dist/GlypharyInstaller.exe" "$dist/Icons" "$assets/agreement.txt" \
              "$assets/splash.bmp"; do
  if [ -z "$needed" ] || [ ! -e "$needed" ]; then
    echo "run_e2e.sh: missing '$needed' (give --driver, --dist, --assets and --work)" >&2
    exit 2
  fi
done
[ -n "$work" ] || { echo "run_e2e.sh: --work is required" >&2; exit 2; }

wine_bin=/usr/lib/wine/wine64
[ -x "$wine_bin" ] || wine_bin=$(command -v wine64 || command -v wine)
wineserver_bin=/usr/lib/wine/wineserver
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)
convert_bin=/usr/bin/convert
[ -x "$convert_bin" ] || convert_bin=$(command -v convert || true)
for tool in Xvfb openbox xprop; do
  command -v "$tool" >/dev/null || { echo "run_e2e.sh: $tool is not installed (tools/setup.sh)" >&2; exit 2; }
done

mkdir -p "$work"
work=$(cd "$work" && pwd)
driver=$(cd "$(dirname "$driver")" && pwd)/$(basename "$driver")
dist=$(cd "$dist" && pwd)
assets=$(cd "$assets" && pwd)
screenshots=$work/screenshots
rm -rf "$screenshots"
mkdir -p "$screenshots"
prefix=$(mktemp -d "$work/prefix.XXXXXX")
display_file=$(mktemp "$work/display.XXXXXX")

xvfb_pid=""
openbox_pid=""
cleanup() {
  if [ -n "$prefix" ] && [ -d "$prefix" ]; then
    WINEPREFIX=$prefix "$wineserver_bin" -k >/dev/null 2>&1
    WINEPREFIX=$prefix timeout 30 "$wineserver_bin" -w >/dev/null 2>&1
    rm -rf "$prefix"
  fi
  if [ -n "$openbox_pid" ]; then kill "$openbox_pid" 2>/dev/null; wait "$openbox_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -f "$display_file"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The display: Xvfb picks a free number itself and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
  3>"$display_file" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
display=$(head -n 1 "$display_file" 2>/dev/null)
if [ -z "$display" ]; then
  echo "run_e2e.sh: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$display"
unset WAYLAND_DISPLAY

# The window manager, ready once it announces itself on the root window.
openbox --sm-disable >"$work/openbox.log" 2>&1 &
openbox_pid=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
  echo "run_e2e.sh: openbox did not start:" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi

# The Wine prefix: fresh, 64-bit, no Mono or Gecko prompts, window frames
# drawn by Wine (as on Windows) rather than by the window manager.
export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
echo "e2e: display $DISPLAY, Wine prefix $WINEPREFIX"
"$wine_bin" wineboot --init >"$work/wineboot.log" 2>&1
"$wine_bin" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 ||
  { echo "run_e2e.sh: could not configure the prefix" >&2; exit 1; }
# Wine's own fonts (Marlett for the caption buttons, MS Sans Serif, Tahoma
# and the rest that stand in for Windows' fonts) are not always found where
# this Wine looks for them; the Windows font folder always is. Without them
# dialogs come out in whatever the host substitutes, with other metrics.
for source in /usr/share/wine/fonts /usr/share/fonts/wine; do
  if [ -d "$source" ]; then
    cp -n "$source"/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null
    break
  fi
done

# Paths for the driver, seen from Windows through drive Z: (the Unix root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
export GLYPHARY_E2E_DIST=$(windows_path "$dist")
export GLYPHARY_E2E_AGREEMENT=$(windows_path "$assets/agreement.txt")
export GLYPHARY_E2E_SPLASH=$(windows_path "$assets/splash.bmp")
export GLYPHARY_E2E_SCREENSHOTS=$(windows_path "$screenshots")
export GLYPHARY_E2E_WORK='C:\glyphary-e2e'

run_driver() {
  timeout --kill-after=10 300 "$wine_bin" "$driver" --gtest_color=no "$@"
}
status=0
if [ ${#extra[@]} -gt 0 ]; then
  run_driver "${extra[@]}" || status=$?
else
  run_driver '--gtest_filter=-Restart.*' || status=$?
  # The end of session closes every program with a window in the prefix.
  run_driver '--gtest_filter=Restart.*' || { rc=$?; [ "$status" -ne 0 ] || status=$rc; }
fi

shopt -s nullglob
pictures=("$screenshots"/*.bmp)
if [ ${#pictures[@]} -gt 0 ] && [ -n "$convert_bin" ]; then
  for bmp in "${pictures[@]}"; do
    "$convert_bin" "$bmp" "${bmp%.bmp}.png" || echo "run_e2e.sh: could not convert $bmp" >&2
  done
fi
echo "e2e: screen pictures in $screenshots:"
for picture in "$screenshots"/*.png "$screenshots"/*.bmp; do echo "  $(basename "$picture")"; done
exit "$status"
