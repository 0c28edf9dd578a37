#!/usr/bin/env bash
# The wall time of the two ways to install and remove the file types under
# Wine, side by side (no floor, no target; not part of bench/run.sh):
#
#   bash bench/package_times.sh
#
#   GlypharyInstaller.exe /S               msiexec /i GlypharyInstaller.msi /qn
#   GlypharyInstaller.exe /uninstall /S    msiexec /x GlypharyInstaller.msi /qn
#
# Each from just before CreateProcessW to the process's exit
# (bench/package_bench.cpp), every run checked, after one warm-up round;
# min, median and max of BENCH_PACKAGE_RUNS rounds (5). Builds the product,
# its package and the program (preset windows); Wine runs in a throwaway
# prefix, build/bench/package-prefix, made fresh and deleted at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/bench
runs=${BENCH_PACKAGE_RUNS:-5}
mkdir -p "$out"

source "$root/tools/wine-desktop.sh"
trap desktop_stop EXIT

echo "[bench] building the product, its package and package_bench (preset windows)" >&2
{ cmake --preset windows && cmake --build --preset windows --target GlypharyInstaller \
    GlypharyInstallerPackage package_bench; } > "$out/build-package.log" 2>&1 \
  || { echo "[bench] the build failed: see $out/build-package.log" >&2; exit 1; }
dist=$root/build/windows/dist

desktop_start "$out" || exit 1
prefix_create "$out/package-prefix" "$out" || exit 1
results=$out/package.results
echo "[bench] $runs rounds under $("$wine_bin" --version)" >&2
"$wine_bin" "$root/build/windows/bench/package_bench.exe" "Z:${dist//\//\\}" "$runs" \
  > "$results" 2> "$out/package.log" || echo "[bench] package_bench reported failures: see $out/package.log" >&2

get() { sed -n "s/^RESULT $1=//p" "$results" | tr -d '\r' | tail -1; }
echo "Install and uninstall under Wine, from CreateProcessW to exit ($(get runs) rounds, $(get failures) failed runs)"
printf "  %-40s %9s %9s %9s\n" "" "min" "median" "max"
for row in "exe_install|GlypharyInstaller.exe /S" \
           "msi_install|msiexec /i GlypharyInstaller.msi /qn" \
           "exe_uninstall|GlypharyInstaller.exe /uninstall /S" \
           "msi_uninstall|msiexec /x GlypharyInstaller.msi /qn"; do
  key=${row%%|*} label=${row#*|}
  printf "  %-40s %6s ms %6s ms %6s ms\n" "$label" "$(get "${key}_min_ms")" "$(get "${key}_median_ms")" \
    "$(get "${key}_max_ms")"
done
