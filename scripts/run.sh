#!/usr/bin/env bash
# Sets everything up, builds the program and runs it. With arguments they
# go to the program as they are. Without, it converts a copy of the bundled
# sample (samples/*.qwz) in a temporary folder and tells what happened.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/quiet-build.sh
bash scripts/setup.sh
quiet_build run linux --target qwz-downgrader
program="$PWD/build/linux/app/qwz-downgrader"
if [ $# -gt 0 ]; then
  exec "$program" "$@"
fi

sample=""
for f in samples/sample-204.qwz samples/*.qwz; do
  if [ -f "$f" ]; then sample="$f"; break; fi
done
if [ -z "$sample" ]; then
  echo "run: no sample file in samples/ (give a file: bash scripts/run.sh FILE.qwz)" >&2
  exit 1
fi

version_of() {  # the version byte of a QWZ file
  od -An -tu1 -j3 -N1 "$1" | tr -d ' '
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
name="$(basename "$sample")"
cp "$sample" "$work/$name"
backup="$work/${name%.*}_org.qwz"
echo "sample:   $sample"
echo "copy:     $work/$name (version $(version_of "$work/$name"))"
echo "command:  qwz-downgrader -v 203 $work/$name"
"$program" -v 203 "$work/$name" 2>"$work/debug.txt" || true
while IFS= read -r line; do echo "debug:    $line"; done <"$work/debug.txt"
echo "after:    $name is version $(version_of "$work/$name")"
if [ -f "$backup" ]; then
  echo "backup:   $(basename "$backup") kept, version $(version_of "$backup"), $(cmp -s "$sample" "$backup" && echo "identical to the sample" || echo "DIFFERS from the sample")"
else
  echo "backup:   none"
fi
