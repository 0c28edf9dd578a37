#!/usr/bin/env bash
# Runs a Windows program under Wine in a throwaway prefix inside the build
# tree (never the user's default prefix). The prefix is created on first use;
# a lock keeps parallel test runs from creating it twice. It carries the
# marker file C:\glyphary-throwaway-prefix: the tests that delete the
# installation run only where it exists. A prefix given from outside
# (WINEPREFIX already set) is used as it is and gets no marker.
set -euo pipefail
build_root=${GLYPHARY_BUILD_ROOT:-$(cd "$(dirname "$0")/.." && pwd)/build/windows}
own_prefix=0
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=1
  export WINEPREFIX=$build_root/wineprefix
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64
wine_bin=/usr/lib/wine/wine64
[ -x "$wine_bin" ] || wine_bin=$(command -v wine64 || command -v wine)
wineserver_bin=/usr/lib/wine/wineserver
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine_bin" wineboot --init >/dev/null 2>&1 || true
    "$wineserver_bin" -w || true
  fi
  marker=$WINEPREFIX/drive_c/glyphary-throwaway-prefix
  if [ "$own_prefix" = 1 ] && [ -d "$WINEPREFIX/drive_c" ] && [ ! -f "$marker" ]; then
    echo "A throwaway Wine prefix made by Glyphary's build." >"$marker"
  fi
) 9>"$WINEPREFIX.lock"
exec "$wine_bin" "$@"
