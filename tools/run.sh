#!/usr/bin/env bash
# Builds the installer and starts it from build/windows/dist under Wine, in a
# fresh throwaway prefix inside the build tree (never ~/.wine).
#
# With a display ($DISPLAY reachable) the installer runs there for you to use.
# Without one it runs on a virtual display (Xvfb with the openbox window
# manager) and walks the whole road by keyboard: Tab to "Accept" and press it,
# untick "Restart Computer", press "Finish". It saves a screenshot of every
# window and prints what was installed.
#
#   bash tools/run.sh [--screen WIDTHxHEIGHT] [--dpi 96|120|144|192]
#
# --screen sizes the virtual display (default 1280x1024); --dpi sets the
# prefix's screen DPI (default 96), as Windows' display scaling does.
set -euo pipefail
screen=1280x1024 dpi=96
while [ $# -gt 0 ]; do
  case "$1" in
    --screen) screen=$2; shift 2 ;;
    --dpi) dpi=$2; shift 2 ;;
    *) echo "usage: bash tools/run.sh [--screen WIDTHxHEIGHT] [--dpi N]" >&2; exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target GlypharyInstaller

dist=$root/build/windows/dist
out=$root/build/windows/run
source tools/wine-desktop.sh
wine=$wine_bin
wineserver=$wineserver_bin
trap desktop_stop EXIT

rm -rf "$out"
mkdir -p "$out/shots"
virtual=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  virtual=1
  desktop_start "$out" "$screen" || exit 1
fi
echo "Creating the throwaway Wine prefix $out/prefix ..."
prefix_create "$out/prefix" "$out" "$dpi" || exit 1
cp -r "$dist" "$out/GlypharyInstaller"
exe="$out/GlypharyInstaller/GlypharyInstaller.exe"

if [ "$virtual" -eq 0 ]; then
  echo "Starting the installer on $DISPLAY."
  "$wine" "$exe"
  "$wineserver" -w
  exit 0
fi

shot() { sleep "${2:-1.5}"; import -window root "$out/shots/$1.png"; echo "  screenshot: $out/shots/$1.png"; }
key() { xdotool key --delay 150 "$@"; }

echo "Starting the installer on the virtual display $DISPLAY."
"$wine" "$exe" & installer=$!
shot 1-splash-and-agreement 4
key Tab Tab          # Text1 -> Cancel -> Accept
key space            # Accept
shot 2-finish 3
key space            # untick "Restart Computer"
shot 3-finish-unticked 1
key Tab space        # Finish: with the box unticked it does nothing
shot 4-after-finish 1
"$wineserver" -k || true
wait "$installer" 2>/dev/null || true

echo
echo "Installed files in C:\\WINDOWS\\system32\\TI-89:"
ls -1 "$WINEPREFIX/drive_c/windows/system32/TI-89" 2>/dev/null | sed 's/^/  /' || echo "  (none)"
echo
echo "Registry entries under HKEY_CLASSES_ROOT:"
awk '/^\[Software\\\\Classes\\\\(\.89|Ivex\.89)/ {
       show=1; key=$1; gsub(/^\[Software\\\\Classes\\\\|\]$/, "", key); gsub(/\\\\/, "\\", key)
       print "  HKEY_CLASSES_ROOT\\" key; next }
     /^\[/ {show=0}
     show && NF && !/^#/ {print "    " $0}' "$WINEPREFIX/system.reg"
