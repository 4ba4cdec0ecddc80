; Tessarine's installer: a per-user install that needs no administrator rights.
; makensis -DVERSION=x.y.z -DBINDIR=<folder with the two exes> -DOUTFILE=<setup.exe> [-DICON=<.ico>] tessarine.nsi
;
; The uninstaller removes the program and its shortcut. The user's settings
; (HKCU\Software\Quenfold\Tessarine) and the rename journal (%LOCALAPPDATA%\Tessarine) stay
; unless the user ticks their section, or a silent uninstall is given /PURGE.

Unicode true
; The program is 64-bit; so is its installer (Windows on x64 and Arm64 run it).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef BINDIR
  !error "BINDIR is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "tessarine-${VERSION}-setup.exe"
!endif

!define PRODUCT "Tessarine"
!define PUBLISHER "Quenfold"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarine"
!define SETTINGS_KEY "Software\Quenfold\Tessarine"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tessarine"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "© ${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "LogicLib.nsh"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessarine.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "Tessarine" SecProgram
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${BINDIR}\tessarine.exe"
  File "${BINDIR}\tessarine-cli.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tessarine.lnk" "$INSTDIR\tessarine.exe" "" "$INSTDIR\tessarine.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessarine.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "un.プログラム" SecUnProgram
  SectionIn RO
  SetShellVarContext current
  Delete "$SMPROGRAMS\Tessarine.lnk"
  Delete "$INSTDIR\tessarine.exe"
  Delete "$INSTDIR\tessarine-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.設定とリネームの記録も削除する" SecUserData
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Quenfold"
  RMDir /r "$LOCALAPPDATA\Tessarine"
SectionEnd

Function un.onInit
  SetShellVarContext current
  ; A silent uninstall removes the settings and the journal only when told to.
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUserData}
  ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnProgram} "Tessarine のプログラムとスタートメニューのショートカットを削除します。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUserData} "ウィンドウの配置やテンプレートの一覧 (レジストリ) と、リネームの記録を削除します。"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
