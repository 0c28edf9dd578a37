#!/usr/bin/env bash
# Size of the installer exe, and where its code comes from: sections,
# imports, the link map of the same link, and private rebuilds with size
# options and code changes tried one on top of the other, each measured.
#   bash bench/size.sh EXE PE_SECTIONS_TOOL OUT_DIR
# Prints its part of the report; writes "RESULT key=value" lines to
# OUT_DIR/size.results. Called by bench/run.sh. Never touches the product's
# own build trees: the rebuilds live in build/bench-size/.
set -euo pipefail
exe=$1 pe_tool=$2 out=$3
root=$(cd "$(dirname "$0")/.." && pwd)
bench=$root/bench
trees=$root/build/bench-size
results=$out/size.results
: > "$results"
mkdir -p "$trees"
objdump=x86_64-w64-mingw32-objdump
jobs=2

result() { echo "RESULT $1=$2" >> "$results"; }
kb() { awk -v b="$1" 'BEGIN { printf "%.1f KB", b / 1024 }'; }

# "TOTAL RSRC_RAW" of a PE file.
pe_sizes() {
  "$pe_tool" "$1" | awk '$1 == "file" { t = $2 } $1 == "section" && $2 == ".rsrc" { r = $4 }
                         END { print t + 0, r + 0 }'
}

echo "Exe: ${exe#$root/}"
read -r total rsrc < <(pe_sizes "$exe")
code=$((total - rsrc))
echo "  total size             $total bytes ($(kb "$total"))"
echo "  .rsrc (raw)            $rsrc bytes ($(kb "$rsrc"))"
echo "  without resources      $code bytes ($(kb "$code"))"
result exe_total "$total"; result exe_rsrc "$rsrc"; result exe_code "$code"
echo
echo "  Sections (name, size in memory, raw size in the file):"
"$pe_tool" "$exe" | awk '$1 == "section" { printf "    %-8s %8d %8d\n", $2, $3, $4 }'
echo
echo "  Imports:"
imports=$($objdump -p "$exe" | awk '/DLL Name:/ { print $3 }')
declare -A functions
while read -r dll n; do functions[$dll]=$n; done < <($objdump -p "$exe" | awk '
  /DLL Name:/ { dll = $3; n[dll] = 0; next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]/ { n[dll]++; next }
  /^ [0-9a-f]+\t/ { dll = "" }
  END { for (d in n) print d, n[d] }')
system_dll='^(kernel32|user32|gdi32|advapi32|msvcrt|shell32|ole32|oleaut32|comctl32|comdlg32|version|shlwapi|ntdll|uxtheme|winspool)\.dll$'
foreign=0
for dll in $imports; do
  lower=$(echo "$dll" | tr 'A-Z' 'a-z')
  if [[ $lower =~ $system_dll ]]; then
    printf "    %-14s %3d functions\n" "$dll" "${functions[$dll]:-0}"
  else
    printf "    %-14s %3d functions   <- not a Windows system DLL\n" "$dll" "${functions[$dll]:-0}"
    foreign=$((foreign + 1))
  fi
done
result imports_foreign "$foreign"
result imports_list "$(echo $imports | tr ' ' ',')"

# --- Private rebuilds -------------------------------------------------------
# Each variant adds one change to the one before. "base" has the product's
# own flags (preset "windows": MinSizeRel, -static) plus a link map.
cat > "$trees/toolchain-win32-threads.cmake" <<TC
include($root/cmake/mingw-w64-x86_64.cmake)
set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
TC
variants=(base nortti win32threads)
declare -A label=(
  [base]="the product as built (-Os, LTO, no exceptions, -static, unused sections dropped)"
  [nortti]="+ -fno-rtti (not adopted: the tests derive from shipped classes)"
  [win32threads]="+ win32 thread model compiler (g++-win32)"
)
cflags="" ldflags="" toolchain=$root/cmake/mingw-w64-x86_64.cmake src=$root
declare -A size_total size_code size_text status
for v in "${variants[@]}"; do
  case $v in
    win32threads) toolchain=$trees/toolchain-win32-threads.cmake ;;
    nortti) cflags="$cflags -fno-rtti" ;;
  esac
  tree=$trees/$v
  log=$trees/$v.log
  # A tree configured from other sources (an older layout of this script)
  # cannot be reused.
  if [ -f "$tree/CMakeCache.txt" ] &&
     ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$src" "$tree/CMakeCache.txt"; then
    rm -rf "$tree"
  fi
  if cmake -S "$src" -B "$tree" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=MinSizeRel -DGLYPHARY_WERROR=ON \
        -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$ldflags -Wl,-Map=$tree/GlypharyInstaller.map" > "$log" 2>&1 &&
     cmake --build "$tree" -j$jobs --target GlypharyInstaller >> "$log" 2>&1; then
    read -r t r < <(pe_sizes "$tree/dist/GlypharyInstaller.exe")
    size_total[$v]=$t; size_code[$v]=$((t - r))
    size_text[$v]=$("$pe_tool" "$tree/dist/GlypharyInstaller.exe" | awk '$2 == ".text" { print $4 }')
    status[$v]=ok
    result "variant_${v}_code" "${size_code[$v]}"
  else
    status[$v]=failed
    echo "  (variant $v did not build; see ${log#$root/})"
    # Leave the failing change out of the variants that follow.
    case $v in
      win32threads) toolchain=$root/cmake/mingw-w64-x86_64.cmake ;;
      *) ;;
    esac
  fi
done

echo
echo "Where the code comes from (link map of the base variant: bytes of code, data,"
echo "unwind tables and import thunks, by library):"
map=$trees/base/GlypharyInstaller.map
classify() {
  awk -F'\t' '{
    f = $2; g = "our code (engine, platform, windows, app)"
    if (f ~ /libstdc\+\+\.a/) g = "libstdc++ (C++ runtime, linked statically)"
    else if (f ~ /libgcc_eh\.a|libgcc\.a/) g = "libgcc / libgcc_eh (unwinder, helpers)"
    else if (f ~ /libpthread\.a/) g = "winpthread (posix thread model, linked statically)"
    else if (f ~ /libmingwex\.a/) g = "mingwex (mingw C extras: printf family, gdtoa)"
    else if (f ~ /libmingw32\.a|crt2u?\.o|crtbegin\.o|crtend\.o/) g = "mingw CRT start-up"
    else if (f ~ /lib[a-z0-9_]+\.a\(/ && f ~ /x86_64-w64-mingw32\/lib/) g = "import thunks (msvcrt and Win32 DLLs)"
    sum[g] += $1; all += $1
  } END { for (g in sum) printf "%d\t%s\n", sum[g], g; printf "%d\tTOTAL\n", all }'
}
shorten() {
  sed -E 's#[^ \t(]*/(lib[^/ \t(]+\.a\()#\1#g; s#[^ \t(]*/([^/ \t]+\.o(bj)?)#\1#g;
          s#[A-Za-z0-9_]+\.ltrans[0-9]+\.ltrans\.o#our code, compiled at link time (LTO)#'
}
if [ -f "$map" ]; then
  awk -f "$bench/size/map_sizes.awk" "$map" > "$trees/base.members"
  classify < "$trees/base.members" | sort -rn | awk -F'\t' '{ printf "  %8d  %s\n", $1, $2 }'
  echo
  echo "  Largest single contributors (archive member or object), and what pulled each in:"
  # "member -> referrer (symbol)" from the map's archive-member section.
  awk '/^Archive member included/ { go = 1; next }
       /^(Discarded input sections|Memory Configuration)/ { go = 0 }
       go && /^[^ ]/ { member = $1; next }
       go && /^ +[^ ]/ && member != "" { sub(/^ +/, ""); print member "\t" $0; member = "" }' "$map" \
    | shorten > "$trees/base.reasons"
  sort -rn "$trees/base.members" | awk 'NR <= 16' | shorten | while IFS=$'\t' read -r bytes member; do
    why=$(awk -F'\t' -v m="$member" '$1 == m { print $2; exit }' "$trees/base.reasons")
    printf "  %8d  %-44s %s\n" "$bytes" "$member" "${why:+<- $why}"
  done | cut -c1-190
fi

echo
echo "Private rebuilds, each adding one change to the one before (exe without resources):"
printf "  %-80s %9s %9s %9s\n" "variant" "code" "step" "vs base"
prev=""
for v in "${variants[@]}"; do
  if [ "${status[$v]}" = ok ]; then
    step=""; vs=""
    [ -n "$prev" ] && step=$((size_code[$v] - size_code[$prev]))
    [ -n "${size_code[base]:-}" ] && vs=$((size_code[$v] - size_code[base]))
    printf "  %-80s %9d %9s %9s\n" "$v: ${label[$v]}" "${size_code[$v]}" "$step" "$vs"
    prev=$v
  else
    printf "  %-80s %9s\n" "$v: ${label[$v]}" "failed"
  fi
done
last=${prev:-base}
result best_variant "$last"
result best_code "${size_code[$last]:-0}"

if [ -f "$trees/$last/GlypharyInstaller.map" ] && [ "$last" != base ]; then
  echo
  echo "What is left in the last variant ($last), by library:"
  awk -f "$bench/size/map_sizes.awk" "$trees/$last/GlypharyInstaller.map" > "$trees/$last.members"
  classify < "$trees/$last.members" | sort -rn | awk -F'\t' '{ printf "  %8d  %s\n", $1, $2 }'
  echo "  Largest:"
  sort -rn "$trees/$last.members" | awk 'NR <= 8' | shorten | awk -F'\t' '{ printf "  %8d  %s\n", $1, $2 }'
fi
for v in "${variants[@]}"; do
  [ "${status[$v]}" = ok ] && echo "$v $trees/$v/dist" >> "$out/size.dists"
done
exit 0
