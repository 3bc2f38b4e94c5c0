#!/usr/bin/env bash
# Installs the build into a scratch prefix (or takes PREFIX, where the
# Debian packages were installed) and builds programs outside the project
# against it, once with find_package(qwz) and once with pkg-config,
# each with its own folder platform/ on its include path and no C++
# standard of its own. They convert a copy of the bundled sample through
# the public API only, and must write nothing to the standard streams but
# their result.
# usage: install-test.sh BUILD_DIR SOURCE_DIR SCRATCH_DIR [PREFIX]
set -euo pipefail
build=$1 source=$2 scratch=$3 prefix=${4:-}
fail() { echo "install: $*" >&2; exit 1; }
rm -rf "$scratch"
mkdir -p "$scratch"
if [ -z "$prefix" ]; then
  cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
  prefix=$scratch/prefix
fi
consumer=$source/tests/packaging/consumer

# Only the public headers are installed, and each one stands alone.
[ "$(ls "$prefix/include")" = qwz ] || fail "include/ holds: $(ls "$prefix/include")"
headers=$(cd "$prefix/include/qwz" && find . -type f | sort | tr '\n' ' ')
[ "$headers" = "./Check.h ./Convert.h ./Document.h ./Keep.h ./Log.h ./Restore.h " ] ||
  fail "include/qwz holds: $headers"
for header in "$prefix"/include/qwz/*.h; do
  echo "#include <qwz/$(basename "$header")>" |
    c++ -x c++ -fsyntax-only -Wall -Wextra -pedantic -Werror -I"$consumer" -I"$prefix/include" - ||
    fail "<qwz/$(basename "$header")> does not compile on its own"
done
for program in qwz qwz-downgrader; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done

# A consumer's run: "204 202 MESHES MESHES DROPPED restored" on a copy of
# the sample, the original back in place afterwards, nothing said besides.
run() {
  local program=$1 copy=$scratch/work/hall.qwz
  rm -rf "$scratch/work" && mkdir -p "$scratch/work"
  cp "$source/samples/sample-204.qwz" "$copy"
  printf 'PK\3\4' >"$scratch/work/not.qwz"
  "$program" "$copy" "$scratch/work/not.qwz" 202 >"$scratch/out" 2>"$scratch/err" ||
    fail "$(basename "$program"): $(cat "$scratch/err")"
  [ ! -s "$scratch/err" ] || fail "$(basename "$program") wrote to standard error: $(cat "$scratch/err")"
  read -r from to meshes_in meshes_out dropped restored <"$scratch/out"
  if [ "$from" != 204 ] || [ "$to" != 202 ] || [ "$meshes_in" = 0 ] || [ "$meshes_in" != "$meshes_out" ] ||
     [ "$dropped" != lines,uv,zones,other ] || [ "$restored" != restored ]; then
    fail "converted 204 -> 202 without lines (202 keeps no extra data) and back through $(basename "$program"), got: $(cat "$scratch/out")"
  fi
  cmp -s "$source/samples/sample-204.qwz" "$copy" || fail "the original is not back after the restore"
  [ "$(ls "$scratch/work")" = "$(printf 'hall.qwz\nnot.qwz')" ] || fail "left: $(ls "$scratch/work")"
}

cmake -S "$consumer" -B "$scratch/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$scratch/consumer" >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log" >&2; fail "CMake consumer"; }
run "$scratch/consumer/qwz_consumer"

export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name qwz.pc)")
[ "$(pkg-config --modversion qwz)" = "$(sed -n 's/^Version: //p' "$PKG_CONFIG_PATH/qwz.pc")" ] || fail "qwz.pc"
# shellcheck disable=SC2046
c++ -Wall -Wextra -pedantic -Werror -I"$consumer" $(pkg-config --cflags qwz) "$consumer/Main.cpp" \
  -o "$scratch/pkg-consumer" $(pkg-config --libs qwz) || fail "pkg-config consumer"
run "$scratch/pkg-consumer"
echo "installed library: $(cat "$scratch/out") (CMake and pkg-config)"
