#!/usr/bin/env bash
# Sets everything up, builds the program and runs it. With arguments they
# go to the program as they are; without, it prints its version.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target qwz-downgrader >/dev/null
exec build/linux/app/qwz-downgrader "$@"
