#!/usr/bin/env bash
# Builds the fuzz targets, makes their seed corpora with the project's own
# generator (minimised with -merge=1) and runs each target for the given
# number of seconds (default 60). Findings go to build/fuzz/findings/; the
# script fails when any target finds a crash, leak, hang or out-of-memory.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/quiet-build.sh
usage() {
  echo "usage: bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]" >&2
  echo "  SECONDS_PER_TARGET: a whole number of seconds above 0 (default 60)" >&2
  echo "  TARGET: fuzz_load, fuzz_load_save or fuzz_tail (default all three)" >&2
  exit 2
}
seconds="${1:-60}"
shift || true
# libFuzzer takes -max_total_time=0 (and anything it cannot parse) as "no
# limit", so only a positive whole number is let through.
[[ "$seconds" =~ ^[0-9]+$ ]] && ((10#$seconds > 0)) || usage
seconds=$((10#$seconds))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_load fuzz_load_save fuzz_tail)
for target in "${targets[@]}"; do
  case "$target" in
    fuzz_load | fuzz_load_save | fuzz_tail) ;;
    *) echo "fuzz: unknown target $target" >&2; usage ;;
  esac
done

quiet_build fuzz fuzz
bin=build/fuzz/fuzz
work=build/fuzz/work
rm -rf "$work/seeds"
"$bin/fuzz_seeds" "$work/seeds" >/dev/null
mkdir -p build/fuzz/findings

status=0
for target in "${targets[@]}"; do
  case "$target" in
    fuzz_load) seeds="$work/seeds/load" ;;
    fuzz_load_save) seeds="$work/seeds/load_save" ;;
    fuzz_tail) seeds="$work/seeds/tail" ;;
  esac
  corpus="$work/corpus/$target"
  mkdir -p "$corpus"
  "$bin/$target" -merge=1 "$corpus" "$seeds" >/dev/null 2>&1
  echo "== $target: ${seconds}s"
  if "$bin/$target" "$corpus" -dict=fuzz/qwz.dict -max_total_time="$seconds" \
      -rss_limit_mb=2560 -malloc_limit_mb=512 -timeout=10 -print_final_stats=1 \
      -artifact_prefix=build/fuzz/findings/"$target"- >"$work/$target.log" 2>&1; then
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$work/$target.log" | sed "s/^/$target /"
  else
    echo "$target found a failure:"; tail -40 "$work/$target.log"
    status=1
  fi
done
exit $status
