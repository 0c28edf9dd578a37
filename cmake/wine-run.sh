#!/usr/bin/env bash
# Runs a Windows program under Wine in a throwaway prefix inside the build
# tree (never the user's default prefix). The prefix is created on first use;
# a lock keeps parallel test runs from creating it twice.
set -euo pipefail
build_root=${GLYPHARY_BUILD_ROOT:-$(cd "$(dirname "$0")/.." && pwd)/build/windows}
export WINEPREFIX=${WINEPREFIX:-$build_root/wineprefix}
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
) 9>"$WINEPREFIX.lock"
exec "$wine_bin" "$@"
