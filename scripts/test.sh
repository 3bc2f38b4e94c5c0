#!/usr/bin/env bash
# Sets everything up, builds and runs every test: natively (with the
# install into a scratch prefix and the Debian package), the Windows
# test executables under Wine, the native tests again with AddressSanitizer
# and UBSan, and each fuzz target for a short fixed time.
# QWZ_FUZZ_SECONDS sets that time (default 60; 0 skips the fuzz run).
# The three builds treat warnings as errors (QWZ_WARNINGS_AS_ERRORS).
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds="${QWZ_FUZZ_SECONDS:-60}"
if ! [[ "$fuzz_seconds" =~ ^[0-9]+$ ]]; then
  echo "test: QWZ_FUZZ_SECONDS must be a whole number of seconds (0 skips the fuzz run), not '$fuzz_seconds'" >&2
  echo "usage: [QWZ_FUZZ_SECONDS=N] bash scripts/test.sh" >&2
  exit 2
fi
fuzz_seconds=$((10#$fuzz_seconds))
bash scripts/setup.sh
jobs=$(nproc)
status=0
for preset in linux windows sanitize; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" -DQWZ_WARNINGS_AS_ERRORS=ON >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" || status=1
done
fuzz_failed=0
if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzz: ${fuzz_seconds}s per target"
  bash scripts/fuzz.sh "$fuzz_seconds" || { status=1; fuzz_failed=1; }
fi
passed=0; failed=0
for preset in linux windows sanitize; do
  log=build/$preset/Testing/Temporary/LastTest.log
  [ -f "$log" ] || continue
  passed=$((passed + $(grep -c '^Test Passed' "$log" || true)))
  failed=$((failed + $(grep -c '^Test Failed' "$log" || true)))
done
failed=$((failed + fuzz_failed))
echo "$passed passed, $failed failed"
exit $status
