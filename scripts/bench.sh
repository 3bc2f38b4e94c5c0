#!/usr/bin/env bash
# Times the real programs end to end against a copy of the same file, and
# tells which aims are met:
#   - each conversion (`qwz-downgrader -v N FILE` on a fresh copy of the
#     source, the write, flush, read-back check and backup included) paired
#     run by run with `cp SOURCE COPY && sync COPY`: the median of the
#     conversion's times over the median of the copy's, for files of about
#     300 MB (124 MB for version 201) and of a few MB;
#   - the peak memory of each conversion (GNU time's maximum resident set)
#     as a multiple of the file's size;
#   - how the time grows from the small file to 16 times its size;
#   - a file that needs no conversion (-v 203 on a 203 file): time and
#     memory of the skip, small and large;
#   - a folder of 200 files of about 50 KB: `qwz convert --to 203 FOLDER`
#     against a loop of `dd conv=fsync` over the same files;
#   - a tree of 10,000 files (100 folders of 100 copies of the bundled
#     sample): `qwz convert --to 203 --recursive TREE` against
#     `cp -a SOURCE TREE && sync`, the ratio of the medians;
#   - the private memory of each conversion: the largest anonymous resident
#     memory (RssAnon of /proc/PID/status, sampled while it runs; the pages
#     of a mapped file are not counted) as a multiple of the file's size, for
#     the Linux program and, with --wine, for the Windows program under Wine
#     (the sum over the processes it starts there, wineserver left out).
# bench/ (qwz_bench) makes the source files.
#
#   bash scripts/bench.sh [--small-only] [--runs N] [--programs FOLDER] [--wine]
# --small-only leaves out the large files and the growth series (a minute or
# so); --runs sets the paired runs of each measurement (default 5, at least
# 3 for the large files); --programs times the
# qwz-downgrader and qwz found in FOLDER (say, copies of an earlier build)
# instead of the ones just built. --wine adds the private memory of the
# Windows build's QwzDowngrader.exe (in FOLDER too with --programs), run by
# wine in the prefix $QWZ_WINEPREFIX.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
small_only=0
runs=5
programs=""
wine_too=0
while [ $# -gt 0 ]; do
  case "$1" in
    --small-only) small_only=1 ;;
    --runs) shift; runs="${1:-}"
      [[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "bench.sh: --runs takes a whole number above 0" >&2; exit 2; } ;;
    --programs) shift; programs="$(cd "${1:-}" && pwd)" || { echo "bench.sh: --programs takes a folder" >&2; exit 2; } ;;
    --wine) wine_too=1 ;;
    *) echo "usage: bash scripts/bench.sh [--small-only] [--runs N] [--programs FOLDER] [--wine]" >&2; exit 2 ;;
  esac
  shift
done
large_runs=$(( runs < 3 ? 3 : runs ))

source scripts/quiet-build.sh
bash scripts/setup.sh
quiet_build bench linux --target qwz-downgrader qwz_tool qwz_bench
bin="$root/build/linux"
downgrader="${programs:-$bin/app}/qwz-downgrader"
qwz="${programs:-$bin/cli}/qwz"
generator="$bin/bench/qwz_bench"

work="$(mktemp -d "${TMPDIR:-/tmp}/qwz-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "files in $work ($(stat -f -c %T "$work")); $runs paired runs per small file, $large_runs per large one"
echo "programs: $downgrader, $qwz"

now_ns() { date +%s%N; }
# median of the numbers on standard input
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
version_of() { od -An -tu1 -j3 -N1 "$1" | tr -d ' '; }
size_of() { stat -c %s "$1"; }

# Runs a command under GNU time; prints "SECONDS PEAK_KB".
timed() {
  local t0 t1
  t0=$(now_ns)
  /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1
  t1=$(now_ns)
  echo "$(( (t1 - t0) / 1000 )) $(tail -n 1 "$work/peak")" | awk '{ printf "%.6f %d\n", $1 / 1e6, $2 }'
}

# The anonymous resident memory of a process and every process it starts,
# summed, sampled every few milliseconds while it runs: "PEAK_KB". The
# pages of a mapped file are the system's cache, not counted; wineserver,
# shared by every Wine program, is not a child and not counted either.
private_peak() {
  "$@" >/dev/null 2>&1 &
  local top=$! peak=0
  while kill -0 "$top" 2>/dev/null; do
    local pids="$top" next="$top" sum=0 p
    while next=$(ps -o pid= --ppid "$(echo $next | tr ' ' ',')" 2>/dev/null | tr -s ' \n' ' '); [ -n "${next// /}" ]; do
      pids="$pids $next"
    done
    for p in $pids; do
      # A process that ended meanwhile counts nothing.
      local kb; kb=$(awk '/^RssAnon:/ { print $2; exit }' "/proc/$p/status" 2>/dev/null || true)
      sum=$(( sum + ${kb:-0} ))
    done
    [ "$sum" -gt "$peak" ] && peak=$sum
    sleep 0.005
  done
  wait "$top" || true
  echo "$peak"
}

# The copy of a file that the conversion is held against, timed.
timed_copy() { timed sh -c 'cp "$1" "$2" && sync "$2"' sh "$1" "$work/copy.qwz"; rm -f "$work/copy.qwz"; }

# A fresh copy of the source under the name that is converted, on the disk
# before the clock starts.
fresh() {
  rm -f "$work/scene.qwz" "$work/scene_org.qwz"
  cp "$1" "$work/scene.qwz"
  sync "$work/scene.qwz"
}

# measure SOURCE TARGET WRITTEN RUNS: "SIZE CONVERT_S COPY_S RATIO PEAK_KB",
# the medians of the paired runs (RATIO: the median of the pairs' ratios).
# Each run must leave the version WRITTEN and the backup.
measure() {
  local source="$1" target="$2" written="$3" n="$4" i c p
  local convs=() copies=() ratios=() peaks=()
  fresh "$source"; "$downgrader" -v "$target" "$work/scene.qwz" 2>/dev/null; timed_copy "$source" >/dev/null  # warm up
  for (( i = 0; i < n; ++i )); do
    fresh "$source"
    read -r c p < <(timed "$downgrader" -v "$target" "$work/scene.qwz")
    local got; got=$(version_of "$work/scene.qwz")
    if [ "$got" != "$written" ] || [ ! -f "$work/scene_org.qwz" ]; then
      echo "bench.sh: $(basename "$source") -v $target was not converted (version $got)" >&2
      exit 1
    fi
    local copy; read -r copy _ < <(timed_copy "$source")
    convs+=("$c"); copies+=("$copy"); peaks+=("$p")
    ratios+=("$(awk -v a="$c" -v b="$copy" 'BEGIN { print a / b }')")
  done
  fresh "$source"
  local private; private=$(private_peak "$downgrader" -v "$target" "$work/scene.qwz")
  echo "$(size_of "$source") $(printf '%s\n' "${convs[@]}" | median) $(printf '%s\n' "${copies[@]}" | median)" \
       "$(printf '%s\n' "${ratios[@]}" | median) $(printf '%s\n' "${peaks[@]}" | median) $private"
}

make_source() {  # VERSION MESHES: the path of the bench's source file, made once
  local path="$work/source-$1-$2.qwz"
  [ -f "$path" ] || "$generator" --make "$1" "$2" "$path"
  echo "$path"
}
make_many() {  # VERSION MESHES: a source of that many small meshes, made once
  local path="$work/many-$1-$2.qwz"
  [ -f "$path" ] || "$generator" --make-many "$1" "$2" "$path"
  echo "$path"
}

echo
echo "conversions: medians of paired runs; copy = cp SOURCE COPY && sync COPY; peak = the program's largest resident set;"
echo "  private = its largest anonymous resident memory (the mapped file's pages left out), from a run of its own"
printf '%-12s %9s | %8s %8s %7s | %8s %6s %8s | %-7s %-7s\n' conversion source convert copy ratio peak "x size" private time memory
row() {  # LABEL SOURCE TARGET WRITTEN RUNS TIME_AIM
  local size conv copy ratio peak private
  read -r size conv copy ratio peak private < <(measure "$2" "$3" "$4" "$5")
  local mem; mem=$(awk -v p="$peak" -v s="$size" 'BEGIN { print p * 1024 / s }')
  # A run too short to be sampled at all shows "-", not a figure.
  printf '%-12s %6.1f MB | %7.3fs %7.3fs %6.2fx | %5.0f MB %5.2fx %8s | %-7s %-7s\n' "$1" \
    "$(awk -v s="$size" 'BEGIN { print s / 1e6 }')" "$conv" "$copy" "$ratio" "$(awk -v p="$peak" 'BEGIN { print p * 1024 / 1e6 }')" "$mem" \
    "$(awk -v p="$private" 'BEGIN { if (p > 0) printf "%5.1f MB", p * 1024 / 1e6; else print "-" }')" \
    "$(verdict "$(awk -v r="$ratio" -v a="$6" 'BEGIN { print (r <= a) }')" "time of $1 at $size bytes")" \
    "$(verdict "$(awk -v m="$mem" 'BEGIN { print (m <= 2.0) }')" "memory of $1 at $size bytes")"
}
# The verdicts are printed from subshells: what is missed goes to a file.
verdict() { if [ "$1" = 1 ]; then echo met; else echo "NOT met"; echo "$2" >>"$work/missed"; fi; }
: >"$work/missed"

# Small files: within 2x the copy. A version 201 file is converted by
# asking for a version below it (-v 200), which the 202 writer writes.
row "204 -> 203" "$(make_source 204 4)" 203 203 "$runs" 2.0
row "204 -> 202" "$(make_source 204 4)" 202 202 "$runs" 2.0
row "203 -> 202" "$(make_source 203 4)" 202 202 "$runs" 2.0
row "201 -> 202" "$(make_source 201 4)" 200 202 "$runs" 2.0
if [ "$small_only" = 0 ]; then
  # Large files (50 to 500 MB): within 1.5x the copy. Version 202 holds at
  # most 255 meshes of the bench's size.
  row "204 -> 203" "$(make_source 204 272)" 203 203 "$large_runs" 1.5
  row "204 -> 202" "$(make_source 204 255)" 202 202 "$large_runs" 1.5
  row "203 -> 202" "$(make_source 203 255)" 202 202 "$large_runs" 1.5
  row "201 -> 202" "$(make_source 201 255)" 200 202 "$large_runs" 1.5
  # Thousands of small meshes: private memory should not grow with them.
  row "2000 meshes" "$(make_many 204 2000)" 203 203 "$large_runs" 1.5
  rm -f "$work"/many-*.qwz
  rm -f "$work"/source-20[1-4]-25[0-9].qwz
  echo
  echo "growth: 204 -> 203 at the small file and at 16x its meshes"
  small=$(make_source 204 4); big=$(make_source 204 64)
  read -r _ t1 _ _ _ < <(measure "$small" 203 203 "$runs")
  read -r _ t16 _ _ _ < <(measure "$big" 203 203 "$large_runs")
  sizes=$(awk -v a="$(size_of "$big")" -v b="$(size_of "$small")" 'BEGIN { printf "%.2f", a / b }')
  grows=$(awk -v a="$t16" -v b="$t1" 'BEGIN { printf "%.2f", a / b }')
  met=$(awk -v g="$grows" -v s="$sizes" 'BEGIN { print (g <= s * 17 / 16) }')
  echo "  ${t1}s -> ${t16}s: ${sizes}x the size in ${grows}x the time (aim: within 17/16 of the size's growth): $(verdict "$met" "growth")"
  rm -f "$big"
fi

echo
echo "skip: -v 203 on a version 203 file, decided from its header (medians of $runs runs)"
skip_row() {
  local source="$1" i t p ts=() ps=()
  for (( i = 0; i < runs; ++i )); do
    read -r t p < <(timed "$downgrader" -v 203 "$source")
    ts+=("$t"); ps+=("$p")
  done
  [ "$(version_of "$source")" = 203 ] && [ ! -f "${source%.qwz}_org.qwz" ] || { echo "bench.sh: the skip changed $source" >&2; exit 1; }
  t=$(printf '%s\n' "${ts[@]}" | median); p=$(printf '%s\n' "${ps[@]}" | median)
  printf '  %6.1f MB: %6.1f ms, %5.1f MB peak: %s\n' "$(awk -v s="$(size_of "$source")" 'BEGIN { print s / 1e6 }')" \
    "$(awk -v t="$t" 'BEGIN { print t * 1000 }')" "$(awk -v p="$p" 'BEGIN { print p * 1024 / 1e6 }')" \
    "$(verdict "$(awk -v t="$t" -v p="$p" 'BEGIN { print (t <= 0.05 && p * 1024 <= 10e6) }')" "skip at $(size_of "$source") bytes")"
}
skip_row "$(make_source 203 4)"
[ "$small_only" = 1 ] || skip_row "$(make_source 203 272)"

echo
echo "folder: 200 files of about 50 KB, qwz convert --to 203 FOLDER against dd conv=fsync of each file"
"$generator" --folder-file "$work/one.qwz" >/dev/null
folder_pair() {
  rm -rf "$work/folder" "$work/dd"; mkdir "$work/folder" "$work/dd"
  for (( i = 0; i < 200; ++i )); do cp "$work/one.qwz" "$work/folder/f$i.qwz"; done
  sync
  local a b
  read -r a _ < <(timed "$qwz" convert --to 203 "$work/folder")
  [ "$(version_of "$work/folder/f199.qwz")" = 203 ] || { echo "bench.sh: the folder was not converted" >&2; exit 1; }
  read -r b _ < <(timed sh -c 'for f in "$1"/*.qwz; do dd if="$f" of="$2/${f##*/}" bs=1M conv=fsync status=none; done' sh "$work/one-folder" "$work/dd")
  echo "$a $b"
}
# dd copies the folder's originals, kept aside.
rm -rf "$work/one-folder"; mkdir "$work/one-folder"
for (( i = 0; i < 200; ++i )); do cp "$work/one.qwz" "$work/one-folder/f$i.qwz"; done
fa=(); fb=(); fr=()
for (( r = 0; r < runs; ++r )); do
  read -r a b < <(folder_pair)
  fa+=("$a"); fb+=("$b"); fr+=("$(awk -v a="$a" -v b="$b" 'BEGIN { print a / b }')")
done
fratio=$(printf '%s\n' "${fr[@]}" | median)
printf '  %d KB each: qwz convert %.3fs, dd loop %.3fs, ratio %.2fx (aim: within 1x): %s\n' \
  "$(( $(size_of "$work/one.qwz") / 1024 ))" "$(printf '%s\n' "${fa[@]}" | median)" "$(printf '%s\n' "${fb[@]}" | median)" \
  "$fratio" "$(verdict "$(awk -v r="$fratio" 'BEGIN { print (r <= 1.0) }')" "folder")"

echo
echo "tree: 10,000 files (100 folders × 100 copies of the sample), qwz convert --to 203 --recursive TREE against cp -a SRC TREE && sync"
# The source tree: one folder of 100 copies, copied 100 times.
tree_src="$work/tree-src"
mkdir -p "$tree_src/d0"
for (( f = 0; f < 100; ++f )); do cp samples/sample-204.qwz "$tree_src/d0/f$f.qwz"; done
for (( d = 1; d < 100; ++d )); do cp -a "$tree_src/d0" "$tree_src/d$d"; done
sync
tree_pair() {
  rm -rf "$work/tree" "$work/tree-copy"
  sync
  local a b
  read -r b _ < <(timed sh -c 'cp -a "$1" "$2" && sync' sh "$tree_src" "$work/tree-copy")
  rm -rf "$work/tree-copy"
  cp -a "$tree_src" "$work/tree"
  sync
  read -r a _ < <(timed "$qwz" convert --to 203 --recursive "$work/tree")
  [ "$(version_of "$work/tree/d99/f99.qwz")" = 203 ] && [ -f "$work/tree/d99/f99_org.qwz" ] ||
    { echo "bench.sh: the tree was not converted" >&2; exit 1; }
  echo "$a $b"
}
ta=(); tb=()
for (( r = 0; r < runs; ++r )); do
  read -r a b < <(tree_pair)
  ta+=("$a"); tb+=("$b")
done
rm -rf "$work/tree" "$tree_src"
tconv=$(printf '%s\n' "${ta[@]}" | median)
tcopy=$(printf '%s\n' "${tb[@]}" | median)
tratio=$(awk -v a="$tconv" -v b="$tcopy" 'BEGIN { print a / b }')
printf '  %d MB: qwz convert %.3fs, cp -a and sync %.3fs (medians), ratio %.2fx (aim: within 3x): %s\n' \
  "$(( $(size_of samples/sample-204.qwz) * 10000 / 1000000 ))" "$tconv" "$tcopy" "$tratio" \
  "$(verdict "$(awk -v r="$tratio" 'BEGIN { print (r <= 3.0) }')" "tree")"

# private_row LABEL SOURCE TARGET WRITTEN: one run of each program on a
# fresh copy; the written version is checked as for the timed rows.
private_row() {
  local size; size=$(size_of "$2")
  local cells=()
  fresh "$2"
  local kb; kb=$(private_peak "$downgrader" -v "$3" "$work/scene.qwz")
  [ "$(version_of "$work/scene.qwz")" = "$4" ] || { echo "bench.sh: $1 was not converted" >&2; exit 1; }
  cells+=("$(awk -v k="$kb" -v s="$size" 'BEGIN { printf "%6.1f MB %5.3fx", k * 1024 / 1e6, k * 1024 / s }')")
  if [ "$wine_too" = 1 ]; then
    fresh "$2"
    kb=$(WINEPREFIX="$wineprefix" WINEDEBUG=-all private_peak wine "$windows_downgrader" -v "$3" "Z:$work/scene.qwz")
    [ "$(version_of "$work/scene.qwz")" = "$4" ] || { echo "bench.sh: $1 was not converted under Wine" >&2; exit 1; }
    cells+=("$(awk -v k="$kb" -v s="$size" 'BEGIN { printf "%6.1f MB %5.3fx", k * 1024 / 1e6, k * 1024 / s }')")
  fi
  local aim=""
  if [ "$size" -ge 50000000 ]; then
    local worst; worst=$(printf '%s\n' "${cells[@]}" | awk '{ if ($3 + 0 > m) m = $3 + 0 } END { print m }')
    aim="$(verdict "$(awk -v w="$worst" 'BEGIN { print (w <= 0.15) }')" "private memory of $1 at $size bytes")"
  fi
  printf '%-12s %6.1f MB | %s | %s\n' "$1" "$(awk -v s="$size" 'BEGIN { print s / 1e6 }')" "$(printf '%s | ' "${cells[@]}" | sed 's/ | $//')" "$aim"
}

# From 50 MB on, where the aim holds; a conversion of a small file ends
# before it can be sampled often enough to tell.
if [ "$small_only" = 0 ]; then
  echo
  echo "private memory: largest anonymous resident memory (RssAnon) of one conversion, and as a multiple of the file"
  if [ "$wine_too" = 1 ]; then
    wineprefix="${QWZ_WINEPREFIX:-$HOME/.wine}"
    windows_downgrader="${programs:-$root/build/windows/app}/QwzDowngrader.exe"
    [ -f "$windows_downgrader" ] || { echo "bench.sh: no $windows_downgrader (build the windows preset)" >&2; exit 2; }
    WINEPREFIX="$wineprefix" WINEDEBUG=-all wineboot -i >/dev/null 2>&1 || true
    printf '%-12s %9s | %-19s | %-19s |\n' conversion source linux "windows (wine)"
  else
    printf '%-12s %9s | %-19s |\n' conversion source linux
  fi
  private_row "204 -> 203" "$(make_source 204 46)" 203 203
  private_row "204 -> 203" "$(make_source 204 64)" 203 203
  private_row "204 -> 203" "$(make_source 204 272)" 203 203
  private_row "203 -> 202" "$(make_source 203 255)" 202 202
fi

echo
echo "aims"
echo "  large files within 1.5x the copy, small within 2x; peak within 2x the file; 16x the size within 17x the time;"
echo "  a skip within 50 ms and 10 MB; a folder of small files within 1x the dd loop;"
echo "  a tree of 10,000 small files within 3x cp -a and sync;"
echo "  private memory within 0.15x the file from 50 MB on"
if [ -s "$work/missed" ]; then
  echo "  NOT met: $(paste -sd, "$work/missed" | sed 's/,/, /g')"
else
  echo "  all met"
fi
