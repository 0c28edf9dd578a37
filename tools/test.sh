#!/usr/bin/env bash
# Builds both configurations and runs every test: the native tests (with
# AddressSanitizer and UndefinedBehaviorSanitizer) and the Windows tests
# under Wine. Ends with one line "N passed, N failed" counting test cases.
set -uo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh || { echo "setup failed"; exit 1; }

status=0
for preset in linux windows; do
  echo "=== $preset: configure and build ==="
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
    echo "build of $preset failed"
    status=1
    continue
  fi
  echo "=== $preset: tests ==="
  ctest --preset "$preset" || status=1
done

# Count the test cases that the test programs themselves reported.
passed=0
failed=0
for log in build/linux/Testing/Temporary/LastTest.log build/windows/Testing/Temporary/LastTest.log; do
  [ -f "$log" ] || continue
  p=$(grep -aoE '^\[  PASSED  \] [0-9]+ test' "$log" | awk '{s+=$4} END {print s+0}')
  f=$(grep -aoE '^\[  FAILED  \] [0-9]+ tests?, listed below' "$log" | awk '{s+=$4} END {print s+0}')
  passed=$((passed + p))
  failed=$((failed + f))
done
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "$passed passed, $failed failed"
exit "$status"
