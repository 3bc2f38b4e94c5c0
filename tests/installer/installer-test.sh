#!/usr/bin/env bash
# Runs QwzDowngrader-setup.exe silently in a fresh Wine prefix and checks
# that the files, the Start-menu shortcut, the installed-programs entry and
# the Explorer command are in place; then runs its uninstaller silently and
# checks that all of them are gone again (the .qwz and .qwz\shell keys may
# stay). Usage: installer-test.sh SETUP.EXE PREFIX WITH_CLI(0|1)
set -uo pipefail
setup=$1
export WINEPREFIX=$2
with_cli=${3:-0}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
run="$(dirname "$0")/../../scripts/wine-run.sh"
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
absent() { ! "$@"; }
reg_has() {  # reg_has KEY [VALUE-OPTIONS...]: the key (or value) exists
  wine reg query "$@" </dev/null
}
path_value() {  # the current user's PATH
  wine reg query 'HKCU\Environment' /v Path </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *REG_[A-Z_]* *//p'
}
path_is() { [ "$(path_value)" = "$1" ]; }
reg_value_contains() {  # reg_value_contains KEY TEXT: the default value holds TEXT
  wine reg query "$1" /ve </dev/null 2>/dev/null | tr -d '\r' | grep -qF -- "$2"
}

rm -rf "$WINEPREFIX"
QWZ_WINEPREFIX=$WINEPREFIX "$run" cmd /c exit 0 </dev/null >/dev/null 2>&1

dir="$WINEPREFIX/drive_c/Program Files/QWZ Downgrader"
lnk="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/QWZ Downgrader.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QwzDowngrader'
command_key='HKCR\.qwz\shell\downgrade\command'

# A PATH of the user's own, which the installer extends and the uninstaller restores.
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d 'C:\Narzedzia' /f </dev/null >/dev/null 2>&1

echo "== install"
# wine returns when the installer ends; the installer waits for "-r".
wine "$(winepath -w "$setup" 2>/dev/null)" /S </dev/null >/dev/null 2>&1
check "program installed" test -f "$dir/QwzDowngrader.exe"
check "program is the one built" cmp "$dir/QwzDowngrader.exe" "$(dirname "$setup")/app/QwzDowngrader.exe"
if [ "$with_cli" = 1 ]; then
  check "console tool installed" test -f "$dir/qwz.exe"
  check "its folder on the user's PATH" path_is 'C:\Narzedzia;C:\Program Files\QWZ Downgrader'
fi
check "uninstaller installed" test -f "$dir/Uninstall.exe"
check "Start-menu shortcut" test -f "$lnk"
check "installed-programs entry" reg_has "$uninstall_key" /v DisplayName
check "uninstall string" reg_has "$uninstall_key" /v UninstallString
check "Explorer verb menu text" reg_value_contains 'HKCR\.qwz\shell\downgrade' "Dostosuj do starszych wersji programu"
check "Explorer verb runs the installed program" reg_value_contains "$command_key" \
  '"C:\Program Files\QWZ Downgrader\QwzDowngrader.exe" -v 203 "%1"'

echo "== uninstall"
# The uninstaller runs from a copy of itself in the temporary folder and
# returns at once: wait for the copy to finish its work.
wine 'C:\Program Files\QWZ Downgrader\Uninstall.exe' /S </dev/null >/dev/null 2>&1
for _ in $(seq 1 120); do
  reg_has "$uninstall_key" >/dev/null 2>&1 || break
  sleep 1
done
sleep 2
check "program removed" absent test -e "$dir/QwzDowngrader.exe"
check "console tool removed" absent test -e "$dir/qwz.exe"
check "uninstaller removed" absent test -e "$dir/Uninstall.exe"
check "install folder removed" absent test -e "$dir"
check "the user's PATH as it was" path_is 'C:\Narzedzia'
check "Start-menu shortcut removed" absent test -e "$lnk"
check "installed-programs entry removed" absent reg_has "$uninstall_key"
check "Explorer verb removed" absent reg_has 'HKCR\.qwz\shell\downgrade'
check ".qwz\\shell stays" reg_has 'HKCR\.qwz\shell'

wineserver -k >/dev/null 2>&1 || true
echo "$failures failed"
[ "$failures" -eq 0 ]
