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
# Then the screens suite again on the screens people have: each phase
# restarts the display at its size and sets the prefix's DPI (phases in
# GLYPHARY_E2E_PHASES, "WIDTHxHEIGHT@DPI[+TASKBAR]" separated by spaces, the
# taskbar's height in pixels at the bottom; empty: none).
# Screen pictures are saved as .bmp by the driver and converted to .png next
# to them. Exits with the driver's status.
#
# Usage: run_e2e.sh --driver <e2e_tests.exe> --dist <dist folder>
#                   --assets <assets folder> --work <work folder>
#                   [--packages <folder of GlypharyInstaller-0.9.msi>]
#                   [-- <arguments for the driver, e.g. --gtest_filter=...>]
# Without --packages, the upgrade test finds no older package and fails.
set -uo pipefail

driver="" dist="" assets="" work="" packages=""
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --driver) driver=$2; shift 2 ;;
    --dist) dist=$2; shift 2 ;;
    --assets) assets=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --packages) packages=$2; shift 2 ;;
    --) shift; extra=("$@"); break ;;
    *) echo "run_e2e.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
for needed in "$driver" "$dist/GlypharyInstaller.exe" "$dist/Icons" "$assets/agreement.txt" \
              "$assets/splash.bmp" "$assets/program.ico"; do
  if [ -z "$needed" ] || [ ! -e "$needed" ]; then
    echo "run_e2e.sh: missing '$needed' (give --driver, --dist, --assets and --work)" >&2
    exit 2
  fi
done
[ -n "$work" ] || { echo "run_e2e.sh: --work is required" >&2; exit 2; }

source "$(dirname "$0")/../../tools/wine-desktop.sh"
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
[ -z "$packages" ] || packages=$(cd "$packages" && pwd) || exit 2
screenshots=$work/screenshots
logs=$work/logs
rm -rf "$screenshots" "$logs"
mkdir -p "$screenshots" "$logs"
trap desktop_stop EXIT
trap 'exit 130' INT TERM
desktop_start "$work" || exit 1
prefix_create "$(mktemp -d "$work/prefix.XXXXXX")" "$work" || exit 1
echo "e2e: display $DISPLAY, Wine prefix $WINEPREFIX"

# Paths for the driver, seen from Windows through drive Z: (the Unix root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
export GLYPHARY_E2E_DIST=$(windows_path "$dist")
export GLYPHARY_E2E_AGREEMENT=$(windows_path "$assets/agreement.txt")
export GLYPHARY_E2E_SPLASH=$(windows_path "$assets/splash.bmp")
export GLYPHARY_E2E_PROGRAM_ICON=$(windows_path "$assets/program.ico")
export GLYPHARY_E2E_SCREENSHOTS=$(windows_path "$screenshots")
export GLYPHARY_E2E_LOGS=$(windows_path "$logs")
[ -z "$packages" ] || export GLYPHARY_E2E_PACKAGES=$(windows_path "$packages")
export GLYPHARY_E2E_WORK='C:\glyphary-e2e'

run_driver() {
  timeout --kill-after=10 300 "$wine_bin" "$driver" --gtest_color=no "$@"
}
status=0
note_status() { [ "$status" -ne 0 ] || status=$1; }
if [ ${#extra[@]} -gt 0 ]; then
  run_driver "${extra[@]}" || status=$?
else
  run_driver '--gtest_filter=-Restart.*' || note_status $?
  # The end of session closes every program with a window in the prefix.
  run_driver '--gtest_filter=Restart.*' || note_status $?

  # 125 % and 150 % on the common screens, 150 % on a small laptop, the
  # smallest screen at 100 %, and a 4K screen at 200 %; most with a taskbar
  # as tall as Windows' at that scale.
  phases=${GLYPHARY_E2E_PHASES-1280x1024@120+50 1920x1080@144+60 1280x1024@144 1366x768@144+60 800x600@96+40 3840x2160@192+80}
  for phase in $phases; do
    size=${phase%@*} dpi=${phase#*@} taskbar=0
    case "$dpi" in *+*) taskbar=${dpi#*+} dpi=${dpi%+*} ;; esac
    echo "e2e: $size at $dpi DPI, taskbar $taskbar px"
    "$wineserver_bin" -k >/dev/null 2>&1 || true
    "$wineserver_bin" -w || true
    display_stop
    desktop_start "$work" "$size" "$taskbar" || { note_status 1; break; }
    prefix_set_dpi "$dpi" || { note_status 1; break; }
    GLYPHARY_E2E_PHASE="${size}-${dpi}dpi" run_driver \
      '--gtest_filter=Screens.*:InstallFailure.MissingIcons*' || note_status $?
  done
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
