#!/usr/bin/env bash
# Runs QwzDowngrader-setup.exe silently in a fresh Wine prefix, once for
# all users (/S /AllUsers) and once for the current user only
# (/S /CurrentUser), and checks after each install that the files, the
# Start-menu shortcut, the installed-programs entry, the PATH (the
# machine's for all users) and the Explorer commands are in place
# (machine-wide, or for the user alone), with a ProgID of another program
# on .qwz; then runs that install's uninstaller silently and checks that
# all of it is gone again and nothing else changed. Also looks into the
# portable zip.
# Usage: installer-test.sh SETUP.EXE PREFIX WITH_CLI(0|1) [PORTABLE.zip]
set -uo pipefail
setup=$1
export WINEPREFIX=$2
with_cli=${3:-0}
portable=${4:-}
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
value_is() {  # value_is KEY NAME TYPE DATA: the value NAME (empty: the default one) is exactly that
  local v=(/v "$2") n=$2
  [ -z "$2" ] && v=(/ve) && n='(Default)'
  [ "$(wine reg query "$1" "${v[@]}" </dev/null 2>/dev/null | tr -d '\r' | sed -n "s/^ *$n *//p")" = "$3    $4" ]
}
machine_path() { wine reg query "$machine_env" /v Path </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *//p'; }
default_value_set() {  # the key's default value is set (to anything)
  wine reg query "$1" /ve </dev/null 2>/dev/null | tr -d '\r' | grep 'REG_SZ' | grep -vq '(value not set)'
}
# Waits until the uninstaller, which runs from a copy of itself in the
# temporary folder and returns at once, has removed its entry.
wait_gone() {
  for _ in $(seq 1 120); do
    reg_has "$1" >/dev/null 2>&1 || break
    sleep 1
  done
  sleep 2
}
winpath() { wine cmd /c echo "%$1%" </dev/null 2>/dev/null | tr -d '\r'; }

rm -rf "$WINEPREFIX"
QWZ_WINEPREFIX=$WINEPREFIX "$run" cmd /c exit 0 </dev/null >/dev/null 2>&1
built_exe="$(dirname "$setup")/app/QwzDowngrader.exe"
uninstall_sub='Software\Microsoft\Windows\CurrentVersion\Uninstall\QwzDowngrader'
user_classes='HKCU\Software\Classes\.qwz'
machine_env='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
selection_verb='Software\Classes\SystemFileAssociations\.qwz\shell\downgrade'
selection_class='Software\Classes\CLSID\{42F136F0-9B26-4AEC-8DA2-6D7635E01D65}'
selection_verb_in() {  # selection_verb_in ROOT FOLDER: the verb for any owner and selection, its class
  value_is "$1\\$selection_verb" "" REG_SZ 'Dostosuj do starszych wersji programu' &&
  value_is "$1\\$selection_verb" MultiSelectModel REG_SZ Player &&
  value_is "$1\\$selection_verb\DropTarget" CLSID REG_SZ '{42F136F0-9B26-4AEC-8DA2-6D7635E01D65}' &&
  value_is "$1\\$selection_class\LocalServer32" "" REG_SZ "\"$2\QwzDowngrader.exe\" -v 203"
}
# Another program owns .qwz, as the CAD program does wherever it is installed.
progid_intact() { value_is 'HKLM\Software\Classes\.qwz' "" REG_SZ CadScene.Document; }
wine reg add 'HKLM\Software\Classes\.qwz' /ve /d CadScene.Document /f </dev/null >/dev/null 2>&1
machine_path_before=$(machine_path)

# Asks for the highest rights the user has, never for administrator ones:
# a user without them installs for himself without being asked.
check "the installer does not demand administrator rights" grep -qa 'requestedExecutionLevel level="highestAvailable"' "$setup"

# A PATH of the user's own, which the installer extends and the uninstaller restores.
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d 'C:\Narzedzia' /f </dev/null >/dev/null 2>&1

echo "== install for all users"
dir="$WINEPREFIX/drive_c/Program Files/QWZ Downgrader"
lnk="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/QWZ Downgrader.lnk"
# wine returns when the installer ends; the installer waits for "-r".
wine "$(winepath -w "$setup" 2>/dev/null)" /S /AllUsers </dev/null >/dev/null 2>&1
check "program installed" test -f "$dir/QwzDowngrader.exe"
check "program is the one built" cmp "$dir/QwzDowngrader.exe" "$built_exe"
if [ "$with_cli" = 1 ]; then
  check "console tool installed" test -f "$dir/qwz.exe"
  check "its folder on the machine's PATH, still REG_EXPAND_SZ" \
    test "$(machine_path)" = "${machine_path_before};C:\Program Files\QWZ Downgrader"
  check "the user's PATH untouched" path_is 'C:\Narzedzia'
fi
check "uninstaller installed" test -f "$dir/Uninstall.exe"
check "Start-menu shortcut for all users" test -f "$lnk"
check "installed-programs entry for the machine" reg_has "HKLM\\$uninstall_sub" /v DisplayName
check "none for the user" absent reg_has "HKCU\\$uninstall_sub"
check "the uninstall string names its mode" \
  bash -c "wine reg query 'HKLM\\$uninstall_sub' /v QuietUninstallString </dev/null | grep -qF '/S /AllUsers'"
check "Explorer verb menu text" reg_value_contains 'HKCR\.qwz\shell\downgrade' "Dostosuj do starszych wersji programu"
check "Explorer verb runs the installed program" reg_value_contains 'HKCR\.qwz\shell\downgrade\command' \
  '"C:\Program Files\QWZ Downgrader\QwzDowngrader.exe" -v 203 "%1"'
check "the verb for any owner and any selection, machine-wide" selection_verb_in HKLM 'C:\Program Files\QWZ Downgrader'
check "none of it for the installing user" absent reg_has "HKCU\\$selection_class"

echo "== uninstall for all users"
wine 'C:\Program Files\QWZ Downgrader\Uninstall.exe' /S /AllUsers </dev/null >/dev/null 2>&1
wait_gone "HKLM\\$uninstall_sub"
check "program removed" absent test -e "$dir/QwzDowngrader.exe"
check "console tool removed" absent test -e "$dir/qwz.exe"
check "uninstaller removed" absent test -e "$dir/Uninstall.exe"
check "install folder removed" absent test -e "$dir"
check "the user's PATH as it was" path_is 'C:\Narzedzia'
check "Start-menu shortcut removed" absent test -e "$lnk"
check "installed-programs entry removed" absent reg_has "HKLM\\$uninstall_sub"
check "Explorer verb removed" absent reg_has 'HKCR\.qwz\shell\downgrade'
check ".qwz\\shell stays" reg_has 'HKCR\.qwz\shell'
check "the verb for any owner removed" absent reg_has 'HKLM\Software\Classes\SystemFileAssociations\.qwz'
check "its class removed" absent reg_has "HKLM\\$selection_class"
check "the machine's PATH as it was" test "$(machine_path)" = "$machine_path_before"
check "the ProgID on .qwz untouched" progid_intact

echo "== install for the current user only"
local_app_data=$(winpath LOCALAPPDATA)
user_dir_win="$local_app_data\\Programs\\QWZ Downgrader"
user_dir=$(winepath -u "$user_dir_win" 2>/dev/null)
user_lnk="$(winepath -u "$(winpath APPDATA)" 2>/dev/null)/Microsoft/Windows/Start Menu/Programs/QWZ Downgrader.lnk"
wine reg delete 'HKLM\Software\Classes\.qwz\shell' /f </dev/null >/dev/null 2>&1
wine "$(winepath -w "$setup" 2>/dev/null)" /S /CurrentUser </dev/null >/dev/null 2>&1
check "program in the user's programs folder ($user_dir_win)" test -f "$user_dir/QwzDowngrader.exe"
check "program is the one built" cmp "$user_dir/QwzDowngrader.exe" "$built_exe"
check "nothing under Program Files" absent test -e "$dir"
if [ "$with_cli" = 1 ]; then
  check "console tool installed" test -f "$user_dir/qwz.exe"
  check "its folder on the user's PATH" path_is "C:\\Narzedzia;$user_dir_win"
fi
check "Start-menu shortcut for the user" test -f "$user_lnk"
check "no shortcut for all users" absent test -e "$lnk"
check "installed-programs entry for the user" reg_has "HKCU\\$uninstall_sub" /v DisplayName
check "none for the machine" absent reg_has "HKLM\\$uninstall_sub"
check "the user's uninstall string names its mode" \
  bash -c "wine reg query 'HKCU\\$uninstall_sub' /v QuietUninstallString </dev/null | grep -qF '/S /CurrentUser'"
check "the user's Explorer verb" reg_value_contains "$user_classes\\shell\\downgrade" "Dostosuj do starszych wersji programu"
check "it runs the user's program" reg_value_contains "$user_classes\\shell\\downgrade\\command" \
  "\"$user_dir_win\\QwzDowngrader.exe\" -v 203 \"%1\""
check ".qwz of the user holds no value of its own" absent default_value_set "$user_classes"
check "no machine-wide verb" absent reg_has 'HKLM\Software\Classes\.qwz\shell\downgrade'
check "the user's verb for any owner and any selection" selection_verb_in HKCU "$user_dir_win"
check "none of it for the machine" absent reg_has "HKLM\\$selection_verb"
check "nor on the machine's PATH" test "$(machine_path)" = "$machine_path_before"

echo "== uninstall for the current user only"
wine "$user_dir_win\\Uninstall.exe" /S /CurrentUser </dev/null >/dev/null 2>&1
wait_gone "HKCU\\$uninstall_sub"
check "program removed" absent test -e "$user_dir/QwzDowngrader.exe"
check "console tool removed" absent test -e "$user_dir/qwz.exe"
check "install folder removed" absent test -e "$user_dir"
check "the user's PATH as it was" path_is 'C:\Narzedzia'
check "Start-menu shortcut removed" absent test -e "$user_lnk"
check "installed-programs entry removed" absent reg_has "HKCU\\$uninstall_sub"
check "the user's Explorer verb removed, .qwz with it" absent reg_has "$user_classes"
check "the user's verb for any owner removed" absent reg_has 'HKCU\Software\Classes\SystemFileAssociations\.qwz'
check "its class removed" absent reg_has "HKCU\\$selection_class"
check "the ProgID on .qwz untouched" progid_intact

if [ -n "$portable" ]; then
  echo "== portable zip"
  listing=$(cd "$(dirname "$portable")" && cmake -E tar tf "$portable" 2>/dev/null | LC_ALL=C sort | tr '\n' ' ')
  expected="LICENCJA-mingw-w64.txt LICENCJA.txt QwzDowngrader.exe README.md "
  [ "$with_cli" = 1 ] && expected="LICENCJA-mingw-w64.txt LICENCJA.txt QwzDowngrader.exe README.md qwz.exe "
  check "the zip holds the programs, the README and the licences ($listing)" test "$listing" = "$expected"
fi

wineserver -k >/dev/null 2>&1 || true
echo "$failures failed"
[ "$failures" -eq 0 ]
