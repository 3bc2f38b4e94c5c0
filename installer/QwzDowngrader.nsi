; Installer of QWZ Downgrader for 64-bit Windows: the program (and the qwz
; console tool when the build has it) under Program Files, a Start-menu
; shortcut, an uninstaller with its entry in the installed-programs list,
; and the Explorer command, which the program itself registers with "-r".
; The uninstaller removes the command with "-u" and then every file,
; shortcut and registry entry installed here. Both run silently with /S.
; With qwz.exe it offers (on by default) to put the program's folder on
; the current user's PATH; the uninstaller takes it off again.
;
; makensis defines, given by installer/CMakeLists.txt:
;   PROGRAM_EXE  QwzDowngrader.exe to install
;   CLI_EXE      qwz.exe to install beside it (optional)
;   OUTFILE      the installer to write
;   VERSION      the program's version, as 1.2.3

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "WordFunc.nsh"

!define PRODUCT "QWZ Downgrader"
!define PUBLISHER "Velmora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QwzDowngrader"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
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
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
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

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QwzDowngrader.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; The program writes the Explorer command itself, with its own path, and
  ; tells the user when it cannot.
  ExecWait '"$INSTDIR\QwzDowngrader.exe" -r'
SectionEnd

!ifdef CLI_EXE
; The user's own PATH (HKCU\Environment), so that "qwz" runs in any console
; of that user. A PATH too long for NSIS's strings is left alone rather
; than cut short.
Section "qwz.exe w zmiennej PATH (bieżący użytkownik)"
  ReadRegStr $0 HKCU "Environment" "Path"
  StrLen $1 "$0$INSTDIR"
  ${If} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "Zmienna PATH jest zbyt długa; qwz.exe nie został do niej dodany."
  ${Else}
    ${WordAdd} "$0" ";" "+$INSTDIR" $1
    WriteRegExpandStr HKCU "Environment" "Path" "$1"
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd
!endif

Section "Uninstall"
  ; The program's folder off the user's PATH, when it is there.
  ReadRegStr $0 HKCU "Environment" "Path"
  ${un.WordAdd} "$0" ";" "-$INSTDIR" $1
  ${If} $1 != $0
    ${If} $1 == ""
      DeleteRegValue HKCU "Environment" "Path"
    ${Else}
      WriteRegExpandStr HKCU "Environment" "Path" "$1"
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
  ; Removed first, while the program that removes it is still there.
  ExecWait '"$INSTDIR\QwzDowngrader.exe" -u'

  Delete "${SHORTCUT}"
  Delete "$INSTDIR\QwzDowngrader.exe"
  Delete "$INSTDIR\qwz.exe"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: files the user put there stay.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
