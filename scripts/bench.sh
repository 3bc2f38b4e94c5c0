#!/usr/bin/env bash
# Sets everything up, builds the benchmark of the linux preset and runs it:
# load + save of small and large files for each conversion beside a plain
# copy, peak memory, and how time grows with size, against the aims.
# Arguments go to the benchmark (qwz_bench [--runs N] [--small-only]).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/quiet-build.sh
bash scripts/setup.sh
quiet_build bench linux --target qwz_bench
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
exec build/linux/bench/qwz_bench "$@"
