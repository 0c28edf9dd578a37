#!/usr/bin/env bash
# The installer's benchmarks, each against its floor, in one report:
#
#   bash bench/run.sh
#
#  1. Engine cost under Wine: the installation run (RunInstallation on the
#     real Win32 platform) against the same job done with direct Win32 calls.
#  2. The layers' own cost natively, on the in-memory stand-ins: Google
#     Benchmark timings and callgrind instruction counts.
#  3. Start-up and hand-over latency of the real exe under Wine on a virtual
#     display, against a program that shows the same two windows with direct
#     Win32 calls (and, for reference, one that shows one bare window).
#  4. Size of the exe: sections, imports, where the code comes from, and
#     private rebuilds that show what options and code changes would save.
#  5. The unattended installation (/S), process start to exit under Wine,
#     against a program that makes the same Win32 calls; peak memory.
#
# Builds what it needs: a native Release tree without sanitizers
# (build/bench-native), the "windows" preset's tree (the product and the
# Wine benchmark programs) and private size trees (build/bench-size/). Wine
# runs in a throwaway prefix (build/bench/prefix), made fresh and deleted at
# the end. The report is printed and written to build/bench/report.txt.
# Figures are measured in this run; none of this is a test.
#
# Knobs (environment): BENCH_ENGINE_REPS (200), BENCH_STARTUP_RUNS (21),
# BENCH_COUNT_RUNS (200).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/bench
report=$out/report.txt
engine_reps=${BENCH_ENGINE_REPS:-200}
startup_runs=${BENCH_STARTUP_RUNS:-21}
count_runs=${BENCH_COUNT_RUNS:-200}
began=$(date +%s)

source "$root/tools/wine-desktop.sh"
wine=$wine_bin
wineserver=$wineserver_bin
prefix=$out/prefix
trap desktop_stop EXIT

say() { echo "[bench] $*" >&2; }

# --- Tools -------------------------------------------------------------------
bash tools/setup.sh
if ! command -v valgrind >/dev/null || [ ! -x /usr/bin/time ]; then
  say "installing valgrind and GNU time"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq valgrind time >/dev/null
fi

mkdir -p "$out"
rm -f "$out"/*.results "$out"/size.dists "$out"/section-*.txt

# --- Builds ------------------------------------------------------------------
say "building the native Release tree (build/bench-native)"
cmake -S . -B build/bench-native -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DGLYPHARY_SANITIZE=OFF -DGLYPHARY_BENCH=ON \
  > "$out/build-native.log" 2>&1
cmake --build build/bench-native -j2 --target engine_bench_native engine_count pe_sections \
  >> "$out/build-native.log" 2>&1
native=$root/build/bench-native/bench

say "building the product and the Wine benchmarks (preset windows)"
cmake --preset windows > "$out/build-windows.log" 2>&1
cmake --build --preset windows --target GlypharyInstaller wine_benchmarks \
  >> "$out/build-windows.log" 2>&1
winbench=$root/build/windows/bench
dist=$root/build/windows/dist

# --- Helpers -----------------------------------------------------------------
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
# Value of "RESULT key=value" in a results file, or empty.
get() { sed -n "s/^RESULT $2=//p" "$1" | tr -d '\r' | tail -1; }
# "PASS" when measured <= limit, "MISS" otherwise, "n/a" without a figure.
verdict() {
  if [ -z "$1" ]; then echo "n/a"; return; fi
  awk -v m="$1" -v l="$2" 'BEGIN { print (m + 0 <= l + 0) ? "PASS" : "MISS" }'
}
summary=()
row() { summary+=("$1|$2|$3|$4"); }
section() { cat > "$out/section-$1.txt"; }

# --- 1 and 3 run under Wine: one prefix, one virtual display -------------------
desktop_start "$out" || exit 1
say "virtual display $DISPLAY with openbox; creating the throwaway Wine prefix $prefix"
prefix_create "$prefix" "$out" || exit 1

# 1. Engine cost under Wine.
say "1: engine against floor under Wine ($engine_reps repetitions each)"
r1=$out/engine-wine.results
"$wine" "$winbench/engine_bench_win.exe" "$(winpath "$dist")" "$engine_reps" \
  > "$r1" 2> "$out/engine-wine.log" || say "engine_bench_win failed: see $out/engine-wine.log"
ratio1=$(get "$r1" ratio)
section 1 <<EOF
1. Engine cost under Wine (real Win32 registry and file system)
   RunInstallation through the layers (a Platform of Win32FileSystem,
   Win32Registry and Win32System; the program a copy of dist/'s exe in a
   scratch folder with Icons\\ holding the 12 shipped icons) against the floor,
   the same job with direct Win32 calls (bench/direct_install.h, names and
   bytes worked out beforehand from the engine's file-type tables): the lock
   (CreateMutexW), the look for a record, FindFirstFileW, CreateDirectoryW,
   GetFileAttributesW+CopyFileW for the 12 icons and the program, for each of
   the 24 keys a RegOpenKeyExW look and RegCreateKeyExA+RegCloseKey, for each
   of the 48 values a RegOpenKeyExW+RegQueryValueExW read and
   RegOpenKeyExA+RegSetValueExA+RegCloseKey, the record's key and 11 values
   under HKEY_LOCAL_MACHINE the same way, SHChangeNotify. Install folder, the
   24 keys and the record removed before every run (not timed); every run
   checked to leave the same files, values and record as the first engine
   run (12 icons and the program, 48 values, a complete record). Interleaved,
   $(get "$r1" warm_up) warm-up pairs dropped, $(get "$r1" repetitions) timed runs each, QueryPerformanceCounter.
                        median        p10        p90
   engine (ours)   $(printf "%9s us %7s us %7s us" "$(get "$r1" engine_median_us)" "$(get "$r1" engine_p10_us)" "$(get "$r1" engine_p90_us)")
   floor           $(printf "%9s us %7s us %7s us" "$(get "$r1" floor_median_us)" "$(get "$r1" floor_p10_us)" "$(get "$r1" floor_p90_us)")
   ratio ours/floor (medians): ${ratio1:-n/a}   target <= 1.10   $(verdict "$ratio1" 1.10)
EOF
row "Engine/floor under Wine (median)" "${ratio1:-n/a}" "<= 1.10" "$(verdict "$ratio1" 1.10)"

# 3. Start-up and hand-over under Wine.
say "3: start-up and hand-over under Wine ($startup_runs rounds, after one warm-up round)"
r3=$out/startup.results
"$wine" "$winbench/startup_bench.exe" "$(winpath "$dist")" "$(winpath "$winbench/floor_window.exe")" \
  "$(winpath "$winbench/floor_two_windows.exe")" "$startup_runs" > "$r3" 2> "$out/startup.log" \
  || say "startup_bench reported failures: see $out/startup.log"
ratio3=$(get "$r3" startup_ratio_two_windows)
ratio3one=$(get "$r3" startup_ratio_one_window)
section 3 <<EOF
3. Start-up and hand-over latency under Wine (Xvfb 1280x1024x24 + openbox)
   Installer: fresh copy of dist/, install folder, keys and record removed, then
   from just before CreateProcessW to the agreement window (Glyphary.Agreement) visible;
   BM_CLICK posted to Accept (ID 201), then to the finish window (Glyphary.Finish)
   visible (this includes the installation run itself).
   Two-window floor (floor_two_windows.exe): the installer's first screen with
   direct Win32 calls: the maximised backdrop with the splash picture and the
   two title labels drawn in WM_PAINT, then the agreement window with its
   read-only EDIT and two BUTTONs, with the same resources, fonts and
   positions; from CreateProcessW to its agreement window
   (GlypharyBench.Agreement) visible.
   One-window floor (floor_window.exe, for reference): a program that
   registers one class and shows one window, from CreateProcessW to visible.
   Windows found by polling every 1 ms; for the installer and the two-window
   floor also the first window visible and the agreement window created, on
   the way. The three alternate: each round runs the installer, then the two
   floors, the one-window floor first in even rounds and second in odd ones.
   Warm-up: one round first, not counted.
   Counted runs of $(get "$r3" runs) rounds: installer $(get "$r3" counted_installer), two-window floor $(get "$r3" counted_floor_two), one-window floor $(get "$r3" counted_floor); failed runs: $(get "$r3" failures).
   from CreateProcessW:               median        p10        p90
   installer: splash visible  $(printf "%9s ms %7s ms %7s ms" "$(get "$r3" splash_median_ms)" "$(get "$r3" splash_p10_ms)" "$(get "$r3" splash_p90_ms)")   (on the way)
     agreement created        $(printf "%9s ms %7s ms %7s ms" "$(get "$r3" created_median_ms)" "$(get "$r3" created_p10_ms)" "$(get "$r3" created_p90_ms)")   (on the way)
     agreement visible        $(printf "%9s ms %7s ms %7s ms" "$(get "$r3" startup_median_ms)" "$(get "$r3" startup_p10_ms)" "$(get "$r3" startup_p90_ms)")
   two-window floor: backdrop $(printf "%9s ms %7s ms %7s ms" "$(get "$r3" floor_two_backdrop_median_ms)" "$(get "$r3" floor_two_backdrop_p10_ms)" "$(get "$r3" floor_two_backdrop_p90_ms)")   (on the way)
     agreement created        $(printf "%9s ms %7s ms %7s ms" "$(get "$r3" floor_two_created_median_ms)" "$(get "$r3" floor_two_created_p10_ms)" "$(get "$r3" floor_two_created_p90_ms)")   (on the way)
     agreement visible        $(printf "%9s ms %7s ms %7s ms" "$(get "$r3" floor_two_median_ms)" "$(get "$r3" floor_two_p10_ms)" "$(get "$r3" floor_two_p90_ms)")
   one-window floor: visible  $(printf "%9s ms %7s ms %7s ms" "$(get "$r3" floor_median_ms)" "$(get "$r3" floor_p10_ms)" "$(get "$r3" floor_p90_ms)")
   from BM_CLICK on Accept:
   installer: finish visible  $(printf "%9s ms %7s ms %7s ms" "$(get "$r3" handover_median_ms)" "$(get "$r3" handover_p10_ms)" "$(get "$r3" handover_p90_ms)")
   ratio start-up/two-window floor (medians): ${ratio3:-n/a}   target <= 1.00   $(verdict "$ratio3" 1.00)
   ratio start-up/one-window floor (medians): ${ratio3one:-n/a}   (for reference; no target)
   ratio hand-over/one-window floor (medians): $(get "$r3" handover_ratio)   (no target)
EOF
row "Start-up to agreement / two-window floor" "${ratio3:-n/a}" "<= 1.00" "$(verdict "$ratio3" 1.00)"
row "  the same / one-window floor (reference)" "${ratio3one:-n/a}" "-" ""

# 5. The unattended installation under Wine: time and peak memory.
say "5: unattended installation (/S) against its floor under Wine ($startup_runs rounds)"
r5=$out/unattended.results
"$wine" "$winbench/unattended_bench.exe" "$(winpath "$dist")" "$(winpath "$winbench/floor_install.exe")" \
  "$startup_runs" > "$r5" 2> "$out/unattended.log" \
  || say "unattended_bench reported failures: see $out/unattended.log"
ratio5=$(get "$r5" ratio)
# Peak memory: the largest resident set of the Wine process running each
# program (Wine's own libraries included), 5 runs each, the install taken
# away again with /uninstall /S between runs (not measured).
memwork=$out/unattended-mem
rm -rf "$memwork"; mkdir -p "$memwork/installer/Icons" "$memwork/floor/Icons"
cp "$dist/GlypharyInstaller.exe" "$memwork/installer/"; cp "$dist"/Icons/*.ico "$memwork/installer/Icons/"
cp "$winbench/floor_install.exe" "$memwork/floor/"; cp "$dist"/Icons/*.ico "$memwork/floor/Icons/"
peak() {  # median peak RSS in KB of 5 runs of "$@"
  local i
  for i in 1 2 3 4 5; do
    "$wine" "$memwork/installer/GlypharyInstaller.exe" /uninstall /S >/dev/null 2>&1 || true
    /usr/bin/time -f "%M" -o "$memwork/rss" "$@" >/dev/null 2>&1 || true
    cat "$memwork/rss"
  done | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
peak_ours=$(peak "$wine" "$memwork/installer/GlypharyInstaller.exe" /S)
peak_floor=$(peak "$wine" "$memwork/floor/floor_install.exe")
"$wine" "$memwork/installer/GlypharyInstaller.exe" /uninstall /S >/dev/null 2>&1 || true
section 5 <<EOF
5. Unattended installation under Wine (GlypharyInstaller.exe /S)
   From just before CreateProcessW to the process's exit, against
   floor_install.exe, which does the same job with direct Win32 calls (the
   calls of 1: the lock, the look for a record, which icons, the folder, the
   copies of the icons and of itself, the 72 registry writes with their looks
   and reads, the record, SHChangeNotify) and exits. Both from a copy of
   dist/; install folder, keys and record removed before every run, the
   result checked after it (exit code 0, 12 icons, a complete record).
   Alternating, one warm-up round; $(get "$r5" runs) rounds, $(get "$r5" failures) failed.
                        median        p10        p90
   /S (ours)       $(printf "%9s ms %7s ms %7s ms" "$(get "$r5" silent_median_ms)" "$(get "$r5" silent_p10_ms)" "$(get "$r5" silent_p90_ms)")
   floor           $(printf "%9s ms %7s ms %7s ms" "$(get "$r5" floor_median_ms)" "$(get "$r5" floor_p10_ms)" "$(get "$r5" floor_p90_ms)")
   ratio /S / floor (medians): ${ratio5:-n/a}   target <= 1.20   $(verdict "$ratio5" 1.20)
   peak memory (largest resident set of the Wine process, median of 5):
     /S ${peak_ours:-n/a} KB, floor ${peak_floor:-n/a} KB
EOF
row "Unattended install / floor (median)" "${ratio5:-n/a}" "<= 1.20" "$(verdict "$ratio5" 1.20)"
row "  peak memory /S, floor (KB)" "${peak_ours:-n/a}, ${peak_floor:-n/a}" "-" ""

# --- 4. Size (the rebuilds are smoke-tested under Wine below) -----------------
say "4: size profile and private rebuilds (build/bench-size)"
bash bench/size.sh "$dist/GlypharyInstaller.exe" "$native/pe_sections" "$out" > "$out/size.txt" 2> "$out/size.log" \
  || say "size profile failed: see $out/size.log"
r4=$out/size.results
smoke=""
if [ -f "$out/size.dists" ]; then
  say "4: smoke-testing every rebuilt exe under Wine (agreement, Accept, finish window)"
  while read -r v d; do
    if "$wine" "$winbench/startup_bench.exe" "$(winpath "$d")" "$(winpath "$winbench/floor_window.exe")" \
         "$(winpath "$winbench/floor_two_windows.exe")" 1 > "$out/smoke-$v.results" 2> "$out/smoke-$v.log"; then
      smoke+="   $v: reaches the finish window and installs the icons"$'\n'
    else
      smoke+="   $v: FAILED the smoke test (see build/bench/smoke-$v.log)"$'\n'
    fi
  done < "$out/size.dists"
fi
code=$(get "$r4" exe_code)
foreign=$(get "$r4" imports_foreign)
imports_ok=""
[ -n "$foreign" ] && imports_ok=$([ "$foreign" -eq 0 ] && echo PASS || echo MISS)
{
  echo "4. Size"
  sed 's/^/   /' "$out/size.txt"
  echo
  echo "   Rebuilt exes under Wine (one installer run each, the same driver as in 3):"
  printf "%s" "${smoke:-   (none)}"
  echo
  echo "   exe without resources: ${code:-n/a} bytes   target <= 65536   $(verdict "$code" 65536)"
  echo "   imports only Windows system DLLs ($(get "$r4" imports_list)): ${imports_ok:-n/a}"
} | section 4
row "Exe without resources (bytes)" "${code:-n/a}" "<= 65536" "$(verdict "$code" 65536)"
ndll=$(get "$r4" imports_list | tr ',' '\n' | grep -c . || true)
row "Imports only Windows system DLLs" "$((ndll - ${foreign:-0})) system DLLs, ${foreign:-?} others" "0 others" "${imports_ok:-n/a}"
row "  best private rebuild ($(get "$r4" best_variant))" "$(get "$r4" best_code)" "<= 65536" "$(verdict "$(get "$r4" best_code)" 65536)"

# Wine is done: the prefix goes now rather than at exit.
"$wineserver" -k 2>/dev/null || true

# --- 2. Natively on the stand-ins ---------------------------------------------
say "2: Google Benchmark, layers against floor on the stand-ins"
csv=$out/native.csv
"$native/engine_bench_native" --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.2 --benchmark_report_aggregates_only=true \
  --benchmark_out="$csv" --benchmark_out_format=csv > "$out/native.txt" 2> "$out/native.log" \
  || say "engine_bench_native failed: see $out/native.log"
# real_time of an aggregate ("median", "cv") of a benchmark, from the CSV.
agg() { awk -F, -v b="$1" -v a="$2" '$1 ~ ("BM_" b "/") && $1 ~ ("_" a "\"?$") { print $3; exit }' "$csv" 2>/dev/null; }
layers_us=$(agg Layers median); floor_us=$(agg Floor median)
layers_p10=$(agg Layers p10); layers_p90=$(agg Layers p90)
floor_p10=$(agg Floor p10); floor_p90=$(agg Floor p90)
# Relative spread of the repetitions (stddev / mean).
cv() { local m s; m=$(agg "$1" mean); s=$(agg "$1" stddev)
       [ -n "$m" ] && [ -n "$s" ] && awk -v m="$m" -v s="$s" 'BEGIN { printf "%.1f%%", 100 * s / m }'; }
layers_cv=$(cv Layers || true); floor_cv=$(cv Floor || true)
ratio2t=""
[ -n "$layers_us" ] && [ -n "$floor_us" ] && ratio2t=$(awk -v a="$layers_us" -v b="$floor_us" 'BEGIN { printf "%.3f", a / b }')

say "2: callgrind instruction counts ($count_runs runs per mode)"
declare -A ir
for mode in layers floor; do
  valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.$mode" \
    --toggle-collect=glyphary_bench_counted "$native/engine_count" "$mode" "$count_runs" \
    > "$out/callgrind-$mode.log" 2>&1 || say "callgrind $mode failed: see $out/callgrind-$mode.log"
  ir[$mode]=$(awk '/^totals:/ { print $2; exit } /^summary:/ { s = $2 } END { if (s != "") print s }' \
                "$out/callgrind.$mode" 2>/dev/null | awk 'NR == 1')
done
per() { [ -n "$1" ] && awk -v t="$1" -v n="$count_runs" 'BEGIN { printf "%.0f", t / n }'; }
layers_ir=$(per "${ir[layers]:-}"); floor_ir=$(per "${ir[floor]:-}")
platform_calls=$(sed -n 's/.*runs done, \([0-9]*\) platform calls a run.*/\1/p' "$out/callgrind-floor.log" | tail -1)
ratio2i=""
[ -n "$layers_ir" ] && [ -n "$floor_ir" ] && ratio2i=$(awk -v a="$layers_ir" -v b="$floor_ir" 'BEGIN { printf "%.3f", a / b }')
# Where the difference goes: self instructions per function, layers minus floor.
diff_table=$(
  for mode in layers floor; do
    callgrind_annotate --threshold=100 "$out/callgrind.$mode" 2>/dev/null \
      | awk -v m="$mode" '/^ *[0-9][0-9,]* +\([ 0-9.]+%\) +[^ ]/ && !/PROGRAM TOTALS/ {
          n = $1; gsub(/,/, "", n); f = $0
          sub(/^ *[0-9,]+ +\([^)]*\) +/, "", f); sub(/ \[[^]]*\]$/, "", f); sub(/^[^:]*:/, "", f)
          print m "\t" n "\t" f }'
  done | awk -F'\t' -v runs="$count_runs" '
      { v[$3] += ($1 == "layers" ? $2 : -$2) }
      END { for (f in v) if (v[f] != 0) printf "%d\t%s\n", v[f] / runs, f }' \
    | sort -rn | awk 'NR <= 8' | awk -F'\t' '{ printf "     %+8d  %s\n", $1, substr($2, 1, 100) }')
section 2 <<EOF
2. The layers' own cost, natively on the in-memory stand-ins (Release -O2, no sanitizers)
   Layers: RunInstallation on a Platform lent fresh FakeFileSystem, FakeRegistry
   and FakeSystem. Floor: the same ${platform_calls:-?} file-system, registry and system calls
   made directly on fresh stand-ins, every argument worked out beforehand:
   the calls of one run through the layers, taken down once and played back
   (among them the 24 CreateKey and 48 SetText/SetNumber of the file types).
   Both checked beforehand to make identical calls and to install 12 icons
   and the program, 36 keys, 48 values and a complete record.
   Google Benchmark (manual timing of the run only; fresh stand-ins built
   outside it), 10 repetitions, randomly interleaved:
   (median, p10 and p90 of the 10 repetition means; cv = stddev/mean of them;
   Debian's libbenchmark warns it was built as DEBUG: that touches its own loop,
   not the manually timed run)
                 median        p10        p90      cv
   layers   $(printf "%8.1f us %7.1f us %7.1f us %7s" "${layers_us:-0}" "${layers_p10:-0}" "${layers_p90:-0}" "${layers_cv:-n/a}")
   floor    $(printf "%8.1f us %7.1f us %7.1f us %7s" "${floor_us:-0}" "${floor_p10:-0}" "${floor_p90:-0}" "${floor_cv:-n/a}")
   ratio layers/floor (medians): ${ratio2t:-n/a}   target <= 1.10 (the engine's)   $(verdict "$ratio2t" 1.10)
   Instructions (callgrind, only the runs counted: --toggle-collect), $count_runs runs each:
   layers   ${layers_ir:-n/a} instructions per run
   floor    ${floor_ir:-n/a} instructions per run
   ratio layers/floor: ${ratio2i:-n/a}   target <= 1.10 (the engine's)   $(verdict "$ratio2i" 1.10)
   Where the difference goes (self instructions per run, layers minus floor, largest):
$diff_table
EOF
row "Layers/floor on stand-ins, time (median)" "${ratio2t:-n/a}" "<= 1.10" "$(verdict "$ratio2t" 1.10)"
row "Layers/floor on stand-ins, instructions" "${ratio2i:-n/a}" "<= 1.10" "$(verdict "$ratio2i" 1.10)"

# --- Report --------------------------------------------------------------------
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
cores=$(nproc)
threads_per_core=$(lscpu 2>/dev/null | awk -F': *' '/^Thread\(s\) per core/ { print $2 }')
elapsed=$(( $(date +%s) - began ))
{
  echo "Glyphary Installer benchmarks"
  echo "Date:     $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  echo "Machine:  ${cpu:-unknown CPU}, $cores cores available${threads_per_core:+ ($threads_per_core thread(s) per core)}, $(awk '/MemTotal/ { printf "%.1f GB RAM", $2 / 1048576 }' /proc/meminfo)"
  echo "System:   $(uname -sr); $("$wine" --version 2>/dev/null); $(x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null | sed 's/^/mingw-w64 g++ /'); $(g++ -dumpfullversion | sed 's/^/g++ /')"
  echo "Source:   $(git rev-parse --short HEAD 2>/dev/null)$(git diff --quiet HEAD 2>/dev/null || echo ' (with uncommitted changes)')"
  echo
  for s in 1 2 3 5 4; do
    [ -f "$out/section-$s.txt" ] && cat "$out/section-$s.txt" && echo
  done
  echo "Summary"
  printf "  %-44s %-30s %-12s %s\n" "figure" "measured" "target" "verdict"
  for r in "${summary[@]}"; do
    IFS='|' read -r f m t v <<< "$r"
    printf "  %-44s %-30s %-12s %s\n" "$f" "$m" "$t" "$v"
  done
  echo
  echo "(whole run: ${elapsed} s; logs and raw results in build/bench/)"
} > "$report"
cat "$report"
