#!/usr/bin/env bash
# Builds the installer and starts it from build/windows/dist under Wine, in a
# fresh throwaway prefix inside the build tree (never ~/.wine).
#
# With a display ($DISPLAY reachable) the installer runs there for you to use.
# Without one it runs on a virtual display (Xvfb with the openbox window
# manager) and walks the whole road by keyboard: Tab to "Accept" and press it,
# untick "Restart Computer", press "Finish". It saves a screenshot of every
# window and prints what was installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target GlypharyInstaller

dist=$root/build/windows/dist
out=$root/build/windows/run
export WINEPREFIX=$out/prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
started=()
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

virtual=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  virtual=1
  for n in $(seq 90 130); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
  export DISPLAY=:$n
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & started+=($!)
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >/dev/null 2>&1 & started+=($!)
fi

rm -rf "$out"
mkdir -p "$out/shots"
echo "Creating the throwaway Wine prefix $WINEPREFIX ..."
"$wine" wineboot --init >/dev/null 2>&1
# Wine draws the window frames itself, as Windows does.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# Wine's own fonts (Marlett for the caption buttons, MS Sans Serif, Tahoma),
# where this Wine build does not find them by itself.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
"$wineserver" -w
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
