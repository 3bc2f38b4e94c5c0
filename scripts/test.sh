#!/usr/bin/env bash
# Sets everything up, builds the native and the Windows programs, and runs
# every test: natively, and the Windows test executables under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
status=0
for preset in linux windows; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" || status=1
done
passed=0; failed=0
for log in build/linux/Testing/Temporary/LastTest.log build/windows/Testing/Temporary/LastTest.log; do
  [ -f "$log" ] || continue
  passed=$((passed + $(grep -c '^Test Passed' "$log" || true)))
  failed=$((failed + $(grep -c '^Test Failed' "$log" || true)))
done
echo "$passed passed, $failed failed"
exit $status
