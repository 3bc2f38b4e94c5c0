#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds a program outside
# the project against it with find_package(qwz), which then converts the
# bundled sample through the installed library.
# usage: install-test.sh BUILD_DIR SOURCE_DIR SCRATCH_DIR
set -euo pipefail
build=$1 source=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null

# Only the library's own folders are public; the programs' are not.
headers=$(cd "$scratch/prefix/include/qwz" && ls)
[ "$(echo $headers)" = "bytes document engine format model platform" ] ||
  { echo "include/qwz holds: $headers" >&2; exit 1; }
for program in qwz qwz-downgrader; do
  [ -x "$scratch/prefix/bin/$program" ] || { echo "bin/$program is not installed" >&2; exit 1; }
done

cmake -S "$source/tests/packaging/consumer" -B "$scratch/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$scratch/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$scratch/consumer" >/dev/null
result=$("$scratch/consumer/qwz_consumer" "$source/samples/sample-204.qwz" "$scratch/out.qwz" 202)
read -r from to meshes_in meshes_out <<<"$result"
if [ "$from" != 204 ] || [ "$to" != 202 ] || [ "$meshes_in" = 0 ] || [ "$meshes_in" != "$meshes_out" ]; then
  echo "converted 204 -> 202 through the installed library, got: $result" >&2
  exit 1
fi
echo "installed library: $result"
