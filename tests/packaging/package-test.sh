#!/usr/bin/env bash
# Makes the Debian packages with cpack (the programs, and the library's
# -dev package), which lintian must find free of errors, and installs them
# with dpkg into a scratch root (a dpkg database of its own), then works
# with what they installed: programs outside the project built against the
# library through CMake and pkg-config, --version and a conversion
# by the installed programs, the manual pages against the programs' help,
# the bash completions against what the programs accept, the file managers'
# commands, the MIME type (which no application opens, so that opening a
# .qwz file changes nothing) and the documentation folder. Removing the packages must leave
# no file behind.
# usage: package-test.sh BUILD_DIR SCRATCH_DIR VERSION SAMPLE.qwz
set -euo pipefail
build=$1 scratch=$2 version=$3 sample=$4
fail() { echo "package: $*" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch/out" "$scratch/work"
(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log") || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$scratch/out/qwz-downgrader_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb (made: $(ls "$scratch/out"))"
[ "$(dpkg-deb -f "$deb" Package Architecture | tr '\n' ' ')" = "Package: qwz-downgrader Architecture: amd64 " ] ||
  fail "control: $(dpkg-deb -f "$deb")"
dev=$scratch/out/libqwz-dev_${version}_amd64.deb
[ -f "$dev" ] || fail "no $dev (made: $(ls "$scratch/out"))"
[ "$(dpkg-deb -f "$dev" Package Section | tr '\n' ' ')" = "Package: libqwz-dev Section: libdevel " ] ||
  fail "control: $(dpkg-deb -f "$dev")"

# Lintian's errors fail the package; its warnings are shown.
command -v lintian >/dev/null || fail "lintian is not installed (bash scripts/setup.sh installs it)"
lintian --fail-on error "$deb" "$dev" >"$scratch/lintian.log" 2>&1 || { cat "$scratch/lintian.log" >&2; fail "lintian"; }
grep -E '^[EW]:' "$scratch/lintian.log" >&2 || true

root=$scratch/root
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info" "$root/var/log"
touch "$root/var/lib/dpkg/status"
# The scratch database knows no other package: the dependencies cannot be met there.
pkg() {
  dpkg --root="$root" --log=/dev/null --force-not-root --force-depends --force-script-chrootless "$@" \
    >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log" >&2; fail "dpkg $*"; }
}
pkg -i "$deb" "$dev"
qwz=$root/usr/bin/qwz
downgrader=$root/usr/bin/qwz-downgrader

# The programs, from where the package put them. They link the C library
# dynamically and carry the C++ runtime; the package's dependencies are
# computed from what they link.
for program in "$qwz" "$downgrader"; do
  needed=$(readelf -d "$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
  echo "$needed" | grep -q 'libc.so.6' || fail "$program does not link the C library dynamically: $needed"
  if echo "$needed" | grep -q 'libstdc++'; then fail "$program needs the shared C++ runtime: $needed"; fi
done
dpkg-deb -f "$deb" Depends | grep -qE '(^|, )libc6 \(>= [0-9.]+\)' || fail "Depends: $(dpkg-deb -f "$deb" Depends)"

# The library from its -dev package: only the public headers, and programs
# outside the project built against it with CMake and with pkg-config.
bash "$(dirname "$0")/install-test.sh" "$build" "$(dirname "$sample")/.." "$scratch/consumer" "$root/usr" ||
  fail "the library of $(basename "$dev")"
[ "$("$qwz" --version)" = "qwz $version" ] || fail "qwz --version: $("$qwz" --version)"
[ "$("$downgrader" --version)" = "qwz-downgrader $version" ] || fail "qwz-downgrader --version: $("$downgrader" --version)"
cp "$sample" "$scratch/work/hall.qwz"
said=$("$downgrader" "$scratch/work/hall.qwz" 2>&1)
[ "$said" = "Przekonwertowano plik \"$scratch/work/hall.qwz\" z wersji 204 do 203, oryginał: \"$scratch/work/hall_org.qwz\"" ] ||
  fail "qwz-downgrader said: $said"
cmp -s "$sample" "$scratch/work/hall_org.qwz" || fail "the original was not kept"
"$qwz" check "$scratch/work/hall.qwz" >/dev/null || fail "the converted file does not check"
[ "$(od -An -tu1 -j3 -N1 "$scratch/work/hall.qwz" | tr -d ' ')" = 203 ] || fail "not written as version 203"

# The manual pages: their sections, and every command and option the help names.
manual() { MANWIDTH=250 man -l "$root/usr/share/man/man1/$1.1.gz" 2>/dev/null; }
for page in qwz qwz-downgrader; do
  [ -f "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page $page(1)"
  for section in NAZWA SKŁADNIA OPIS OPCJE "KOD WYJŚCIA" PLIKI PRZYKŁADY "ZOBACZ TAKŻE" "CO TRACI KONWERSJA"; do
    manual "$page" | grep -qx "$section" || fail "$page(1) has no section $section"
  done
  manual "$page" | grep -qF '~qwz-<skrót>-<znacznik>.tmp' || fail "$page(1) does not name the temporary files"
done
manual qwz | grep -qx "WYNIK JSON" || fail "qwz(1) has no section on the JSON"
options_of() { grep -oE -- '(^|[ ,|])--?[a-z][a-z-]*' | grep -oE -- '--?[a-z][a-z-]*' | sort -u; }
for option in $("$downgrader" --help | options_of); do
  manual qwz-downgrader | grep -qF -- "$option" || fail "qwz-downgrader(1) lacks $option"
done
commands=$("$qwz" --help | awk '/^  [a-z][a-z-]*  / { print $1 }')
[ -n "$commands" ] || fail "qwz --help lists no commands"
for command in $commands; do
  manual qwz | grep -qE "^ +qwz $command\$" || fail "qwz(1) has no section for $command"
  for option in $("$qwz" "$command" --help | options_of); do
    manual qwz | grep -qF -- "$option" || fail "qwz(1) lacks $option of $command"
  done
done

# The bash completions offer what the programs take.
complete_words() {
  COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
  _qwz
  printf '%s\n' "${COMPREPLY[@]}"
}
# shellcheck disable=SC1091
source "$root/usr/share/bash-completion/completions/qwz"
offered=$(complete_words qwz "" | grep -v '^-')
[ "$(echo $offered)" = "$(echo $commands)" ] || fail "completion offers commands '$offered', help lists '$commands'"
missing=$scratch/work/missing.qwz
takes() { "$qwz" convert "$@" --dry-run "$missing" >/dev/null 2>&1; [ $? -ne 2 ]; }
versions=$(complete_words qwz convert --to "")
[ -n "$versions" ] || fail "no versions offered after --to"
for v in $versions; do takes --to "$v" || fail "--to $v is offered but refused"; done
takes --to 201 && fail "--to 201 is taken, so the check above proves nothing"
kinds=$(complete_words qwz convert --to 203 --drop "")
[ "$(echo "$kinds" | wc -l)" -ge 7 ] || fail "--drop offers: $kinds"
for k in $kinds; do takes --to 203 --drop "$k" || fail "--drop $k is offered but refused"; done
[ "$(complete_words qwz convert --drop lines,po)" = lines,polylines ] || fail "--drop does not go on after a comma"
# a list offers only what it does not hold yet, after "=" too
after=$(complete_words qwz convert --drop = "lines,uv,")
[ "$(echo "$after" | wc -l)" -eq $(($(echo "$kinds" | wc -l) - 2)) ] || fail "--drop=lines,uv, offers: $after"
if echo "$after" | grep -qE '^lines,uv,(lines|uv)$'; then fail "--drop=lines,uv, offers again: $after"; fi
echo "$after" | grep -qx "lines,uv,zones" || fail "--drop=lines,uv, offers: $after"
[ "$(complete_words qwz convert --to = "")" = "$versions" ] || fail "--to= offers: $(complete_words qwz convert --to = "")"
# shellcheck disable=SC1091
source "$root/usr/share/bash-completion/completions/qwz-downgrader"
complete_downgrader() {
  COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
  _qwz_downgrader
  printf '%s\n' "${COMPREPLY[@]}"
}
[ "$(complete_downgrader qwz-downgrader -v "")" = "$versions" ] || fail "qwz-downgrader -v offers: $(complete_downgrader qwz-downgrader -v "")"
for option in $("$downgrader" --help | options_of); do
  complete_downgrader qwz-downgrader "${option:0:2}" | grep -qx -- "$option" || fail "qwz-downgrader completion lacks $option"
done

# The file managers' commands for every user, and the copyright. No
# application takes application/x-qwz: opening a .qwz file converts nothing.
share=$root/usr/share
for v in 202 203 204; do
  [ -f "$share/nemo/actions/qwz-downgrader-$v.nemo_action" ] || fail "no Nemo action for $v"
  grep -q "^Exec='qwz-downgrader' -v $v %f$" "$share/file-manager/actions/qwz-downgrader-$v.desktop" ||
    fail "Caja action $v: $(grep Exec "$share/file-manager/actions/qwz-downgrader-$v.desktop")"
done
menu=$share/kio/servicemenus/qwz-downgrader.desktop
desktop-file-validate "$menu" || fail "Dolphin's service menu does not validate"
grep -qx 'Exec="qwz-downgrader" -v 202 %f' "$menu" || fail "service menu: $(grep Exec "$menu")"
grep -q 'glob pattern="\*.qwz"' "$share/mime/packages/qwz-downgrader.xml" || fail "MIME type"
[ -f "$share/icons/hicolor/scalable/apps/qwz-downgrader.svg" ] || fail "no icon"
! grep -rl 'x-qwz' "$share/applications" 2>/dev/null || fail "an application claims application/x-qwz"
# What the desktop makes of it: the caches as the system's triggers build
# them, then GIO asked for the type's default with only this data folder.
update-mime-database "$share/mime" >/dev/null 2>&1
mkdir -p "$share/applications" "$scratch/home"
update-desktop-database "$share/applications"
! grep -q 'x-qwz' "$share/applications/mimeinfo.cache" || fail "mimeinfo.cache: $(cat "$share/applications/mimeinfo.cache")"
cp "$sample" "$scratch/work/opened.qwz"
gio_env() { env -i HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/share" XDG_CONFIG_HOME="$scratch/home/config" \
  XDG_DATA_DIRS="$share" XDG_CONFIG_DIRS="$scratch/home/etc" PATH="$root/usr/bin:/usr/bin:/bin" "$@"; }
[ "$(gio_env gio info -a standard::content-type "$scratch/work/opened.qwz" | sed -n 's/^ *standard::content-type: //p')" = application/x-qwz ] ||
  fail "the type is not known: $(gio_env gio info -a standard::content-type "$scratch/work/opened.qwz")"
gio_env gio mime application/x-qwz | grep -q '^No default applications' || fail "gio mime: $(gio_env gio mime application/x-qwz)"
gio_env gio open "$scratch/work/opened.qwz" >/dev/null 2>&1 || true
cmp -s "$sample" "$scratch/work/opened.qwz" && [ ! -e "$scratch/work/opened_org.qwz" ] || fail "opening the file changed it"
# The caches go again: the package's removal is checked on its own files.
rm -f "$share/applications/mimeinfo.cache"
find "$share/mime" -mindepth 1 -maxdepth 1 ! -name packages -exec rm -rf {} +
rmdir "$share/applications" 2>/dev/null || true
doc=$root/usr/share/doc/qwz-downgrader
grep -q '^License:' "$doc/copyright" || fail "copyright"
zcat "$doc/changelog.gz" | head -n 1 | grep -q "^qwz-downgrader ($version) " || fail "changelog: $(zcat "$doc/changelog.gz" | head -n 1)"
cmp -s "$doc/README.md" "$(dirname "$sample")/../README.md" || fail "README.md in $doc"

pkg --purge qwz-downgrader libqwz-dev
left=$(find "$root" -path "$root/var" -prune -o ! -type d -print)
[ -z "$left" ] || fail "left after removal: $left"
echo "package: $(basename "$deb") and $(basename "$dev") installed, used and removed"
