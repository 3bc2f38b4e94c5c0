; Installer of QWZ Downgrader for 64-bit Windows, for all users or for the
; current user only (no administrator rights needed):
;   all users   the program (and the qwz console tool when the build has
;               it) under Program Files, a Start-menu shortcut for all, the
;               installed-programs entry under HKLM, and the Explorer
;               command, which the program itself registers with "-r";
;   only me     the same in the user's own programs folder
;               (%LOCALAPPDATA%\Programs), the user's Start menu and HKCU,
;               and the Explorer command for this user alone under
;               HKCU\Software\Classes\.qwz\shell\downgrade (.qwz itself
;               holds no value, so a machine-wide registration's clean-up
;               of per-user keys leaves it).
; Both modes also write the verb where Explorer shows it whatever program
; owns .qwz, for any number of selected files: under
; Software\Classes\SystemFileAssociations\.qwz\shell\downgrade (HKLM for all
; users, HKCU for the current user) with a drop target whose class, under
; Software\Classes\CLSID, is the program started by COM as a local server;
; .qwz itself and any program's association of it are left alone.
; Each mode's uninstaller removes what its install put in place. With
; qwz.exe it offers (on by default) to put the program's folder on the
; PATH: the machine's for all users, the current user's otherwise; the
; uninstaller takes that entry off again and leaves the rest. Silently:
; /S /AllUsers or /S /CurrentUser, for the installer and the uninstaller.
;
; makensis defines, given by installer/CMakeLists.txt:
;   PROGRAM_EXE  QwzDowngrader.exe to install
;   CLI_EXE      qwz.exe to install beside it (optional)
;   OUTFILE      the installer to write
;   VERSION      the program's version, as 1.2.3

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "QWZ Downgrader"
!define PUBLISHER "Velmora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QwzDowngrader"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define USER_VERB_KEY "Software\Classes\.qwz\shell\downgrade"
!define SELECTION_ASSOC_KEY "Software\Classes\SystemFileAssociations\.qwz"
!define SELECTION_VERB_KEY "${SELECTION_ASSOC_KEY}\shell\downgrade"
!define SELECTION_CLSID "{42F136F0-9B26-4AEC-8DA2-6D7635E01D65}"
!define SELECTION_CLASS_KEY "Software\Classes\CLSID\${SELECTION_CLSID}"
!define MACHINE_ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

; Both modes; an administrator is offered all users first, anyone else
; installs for himself without being asked to elevate.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include "MultiUser.nsh"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "WordFunc.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} - instalator"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
; The program's own icon, and on the last page the offer to start it.
!define MUI_ICON "${__FILEDIR__}/../app/window/QwzDowngrader.ico"
!define MUI_UNICON "${__FILEDIR__}/../app/window/QwzDowngrader.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\QwzDowngrader.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Uruchom ${PRODUCT}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} wymaga 64-bitowego systemu Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "${PRODUCT}"
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=QwzDowngrader.exe" "${PROGRAM_EXE}"
!ifdef CLI_EXE
  File "/oname=qwz.exe" "${CLI_EXE}"
!endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\QwzDowngrader.exe" "" "$INSTDIR\QwzDowngrader.exe" 0

  ; SHCTX: HKLM for all users, HKCU for the current user only.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QwzDowngrader.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S /$MultiUser.InstallMode'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

  ${If} $MultiUser.InstallMode == "AllUsers"
    ; The program writes the Explorer command itself, with its own path,
    ; and tells the user when it cannot. Its per-user verb for any owner of
    ; .qwz is written below for the machine instead.
    ExecWait '"$INSTDIR\QwzDowngrader.exe" -r'
    DeleteRegKey HKCU "${SELECTION_VERB_KEY}"
    DeleteRegKey /ifempty HKCU "${SELECTION_ASSOC_KEY}\shell"
    DeleteRegKey /ifempty HKCU "${SELECTION_ASSOC_KEY}"
    DeleteRegKey HKCU "${SELECTION_CLASS_KEY}"
  ${Else}
    ; For this user alone: the verb under his own classes, the command line
    ; the program writes for version 203.
    WriteRegStr HKCU "${USER_VERB_KEY}" "" "Dostosuj do starszych wersji programu"
    WriteRegStr HKCU "${USER_VERB_KEY}\command" "" '"$INSTDIR\QwzDowngrader.exe" -v 203 "%1"'
  ${EndIf}
  ; The verb for any owner of .qwz and any selection, as the program's "-r"
  ; writes it for a user: the menu text, a drop target, and its class
  ; started by COM (which adds " -Embedding").
  WriteRegStr SHCTX "${SELECTION_VERB_KEY}" "" "Dostosuj do starszych wersji programu"
  WriteRegStr SHCTX "${SELECTION_VERB_KEY}" "MultiSelectModel" "Player"
  WriteRegStr SHCTX "${SELECTION_VERB_KEY}\DropTarget" "CLSID" "${SELECTION_CLSID}"
  WriteRegStr SHCTX "${SELECTION_CLASS_KEY}" "" "QWZ Downgrader"
  WriteRegStr SHCTX "${SELECTION_CLASS_KEY}\LocalServer32" "" '"$INSTDIR\QwzDowngrader.exe" -v 203'
SectionEnd

!ifdef CLI_EXE
; The PATH of those the install is for, so that "qwz" runs in any new
; console: the machine's (kept REG_EXPAND_SZ) for all users, the user's own
; (HKCU\Environment) otherwise. A PATH too long for NSIS's strings is left
; alone rather than cut short.
Section "qwz.exe w zmiennej PATH"
  ; The machine's PATH is always there: when it cannot be read (longer than
  ; NSIS's strings), writing it would lose it. The user's may be missing.
  ClearErrors
  ${If} $MultiUser.InstallMode == "AllUsers"
    ReadRegStr $0 HKLM "${MACHINE_ENVIRONMENT_KEY}" "Path"
  ${Else}
    ReadRegStr $0 HKCU "Environment" "Path"
    ClearErrors
  ${EndIf}
  StrLen $1 "$0$INSTDIR"
  ${If} ${Errors}
  ${OrIf} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "Zmienna PATH jest zbyt długa; qwz.exe nie został do niej dodany."
  ${Else}
    ${WordAdd} "$0" ";" "+$INSTDIR" $1
    ${If} $MultiUser.InstallMode == "AllUsers"
      WriteRegExpandStr HKLM "${MACHINE_ENVIRONMENT_KEY}" "Path" "$1"
    ${Else}
      WriteRegExpandStr HKCU "Environment" "Path" "$1"
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd
!endif

Section "Uninstall"
  ; The program's folder off the PATH it was put on, when it is there; the
  ; rest stays as it is.
  ${If} $MultiUser.InstallMode == "AllUsers"
    ReadRegStr $0 HKLM "${MACHINE_ENVIRONMENT_KEY}" "Path"
  ${Else}
    ReadRegStr $0 HKCU "Environment" "Path"
  ${EndIf}
  ${un.WordAdd} "$0" ";" "-$INSTDIR" $1
  ${If} $1 != $0
    ${If} $MultiUser.InstallMode == "AllUsers"
      WriteRegExpandStr HKLM "${MACHINE_ENVIRONMENT_KEY}" "Path" "$1"
    ${ElseIf} $1 == ""
      DeleteRegValue HKCU "Environment" "Path"
    ${Else}
      WriteRegExpandStr HKCU "Environment" "Path" "$1"
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
  ; The verb for any owner of .qwz and its class; SystemFileAssociations\.qwz
  ; only when nothing else is left in it.
  DeleteRegKey SHCTX "${SELECTION_VERB_KEY}"
  DeleteRegKey /ifempty SHCTX "${SELECTION_ASSOC_KEY}\shell"
  DeleteRegKey /ifempty SHCTX "${SELECTION_ASSOC_KEY}"
  DeleteRegKey SHCTX "${SELECTION_CLASS_KEY}"
  ${If} $MultiUser.InstallMode == "AllUsers"
    ; Removed first, while the program that removes it is still there.
    ExecWait '"$INSTDIR\QwzDowngrader.exe" -u'
  ${Else}
    ; This user's verb, and .qwz and .qwz\shell when nothing else is left in them.
    DeleteRegKey HKCU "${USER_VERB_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Classes\.qwz\shell"
    DeleteRegKey /ifempty HKCU "Software\Classes\.qwz"
  ${EndIf}

  Delete "${SHORTCUT}"
  Delete "$INSTDIR\QwzDowngrader.exe"
  Delete "$INSTDIR\qwz.exe"
  ; The uninstaller's own file: this is a copy of it in the temporary
  ; folder, and the process that started the copy may still hold it for a
  ; moment.
  StrCpy $0 0
  ${Do}
    Delete "$INSTDIR\Uninstall.exe"
    ${IfNot} ${FileExists} "$INSTDIR\Uninstall.exe"
    ${OrIf} $0 >= 40
      ${Break}
    ${EndIf}
    Sleep 250
    IntOp $0 $0 + 1
  ${Loop}
  ; Only when empty: files the user put there stay.
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
