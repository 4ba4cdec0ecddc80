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

!include "WinMessages.nsh"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessarine.exe"
; The buttons and the folder page's browse button are made as wide as their texts: the
; dialogs are laid out for one font, and the font a system has for Japanese may be wider
; ("インストール(&I)" was cut to "ンストール(I").
; Done as each wizard's first page shows: moved before the window first shows, the buttons
; were not drawn on that page under Wine.
!define MUI_PAGE_CUSTOMFUNCTION_SHOW DirectoryPageShow
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.ConfirmPageShow
!insertmacro MUI_UNPAGE_CONFIRM
; The description under the list, which then takes the page's width: the sections' names
; are read whole.
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The user's language decides; Japanese first, the language of any other system English.
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString SecUnProgramName ${LANG_JAPANESE} "プログラム"
LangString SecUnProgramName ${LANG_ENGLISH} "Program"
LangString SecUserDataName ${LANG_JAPANESE} "設定とリネームの記録も削除する"
LangString SecUserDataName ${LANG_ENGLISH} "Also remove the settings and the rename records"
LangString SecUnProgramText ${LANG_JAPANESE} "Tessarine のプログラムとスタートメニューのショートカットを削除します。"
LangString SecUnProgramText ${LANG_ENGLISH} "Removes the Tessarine program and its Start menu shortcut."
LangString SecUserDataText ${LANG_JAPANESE} "ウィンドウの配置やテンプレートの一覧 (レジストリ) と、リネームの記録を削除します。"
LangString SecUserDataText ${LANG_ENGLISH} "Removes the window placements and the template lists (registry) and the rename records."

; The widest of the texts a button takes on any page, measured in the button's font.
; $1: device context, $4: a SIZE; the width goes to $R9 when wider, the height to $R6.
!macro MeasureButtonText TEXT
  StrLen $R8 "${TEXT}"
  System::Call 'gdi32::GetTextExtentPoint32W(p r1, w "${TEXT}", i R8, p r4) i'
  System::Call '*$4(i .R7, i .R6)'
  ${If} $R7 > $R9
    StrCpy $R9 $R7
  ${EndIf}
!macroend

; Moves a control to (left, top) with the given size, in its dialog's client coordinates.
!macro PlaceControl CONTROL LEFT TOP WIDTH HEIGHT
  System::Call 'user32::SetWindowPos(p ${CONTROL}, p 0, i ${LEFT}, i ${TOP}, i ${WIDTH}, i ${HEIGHT}, i 0x14)'
!macroend

; The rectangle of a control in its dialog's client coordinates: left, top, right, bottom
; into the registers named (R0 for $R0).
!macro ControlRect DIALOG CONTROL LEFT TOP RIGHT BOTTOM
  System::Call '*(i 0, i 0, i 0, i 0) p .r9'
  System::Call 'user32::GetWindowRect(p ${CONTROL}, p r9)'
  System::Call 'user32::MapWindowPoints(p 0, p ${DIALOG}, p r9, i 2)'
  System::Call '*$9(i .${LEFT}, i .${TOP}, i .${RIGHT}, i .${BOTTOM})'
  System::Free $9
!macroend

!macro FitButtonsFunction UN
Function ${UN}FitButtons
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  GetDlgItem $0 $HWNDPARENT 1
  System::Call 'user32::GetDC(p r0) p .r1'
  SendMessage $0 ${WM_GETFONT} 0 0 $2
  System::Call 'gdi32::SelectObject(p r1, p r2) p .r3'
  System::Call '*(i 0, i 0) p .r4'
  StrCpy $R9 0
  !insertmacro MeasureButtonText "$(^NextBtn)"
  !insertmacro MeasureButtonText "$(^BackBtn)"
  !insertmacro MeasureButtonText "$(^InstallBtn)"
  !insertmacro MeasureButtonText "$(^UninstallBtn)"
  !insertmacro MeasureButtonText "$(^CancelBtn)"
  !insertmacro MeasureButtonText "$(^CloseBtn)"
  !insertmacro MeasureButtonText "$(MUI_BUTTONTEXT_FINISH)"
  System::Free $4
  System::Call 'gdi32::SelectObject(p r1, p r3)'
  System::Call 'user32::ReleaseDC(p r0, p r1)'
  ; A text's height as the margin left and right of it together.
  IntOp $R9 $R9 + $R6
  ; Cancel keeps its right edge; Next and Back keep their gaps to it and to each other.
  GetDlgItem $2 $HWNDPARENT 2
  !insertmacro ControlRect $HWNDPARENT $2 R0 R1 R2 R3
  IntOp $R4 $R2 - $R0
  ${If} $R9 > $R4
    GetDlgItem $3 $HWNDPARENT 1
    !insertmacro ControlRect $HWNDPARENT $3 R4 R5 R6 R7
    IntOp $R8 $R0 - $R6     ; the gap between Next and Cancel
    IntOp $R0 $R2 - $R9     ; Cancel's new left
    IntOp $R7 $R3 - $R1
    !insertmacro PlaceControl $2 $R0 $R1 $R9 $R7
    IntOp $R6 $R0 - $R8     ; Next's new right
    IntOp $R5 $R6 - $R9     ; and left
    GetDlgItem $4 $HWNDPARENT 3
    !insertmacro ControlRect $HWNDPARENT $4 R0 R2 R3 R8
    IntOp $R3 $R4 - $R3     ; the gap between Back and Next
    !insertmacro PlaceControl $3 $R5 $R1 $R9 $R7
    IntOp $R0 $R5 - $R3     ; Back's new right
    IntOp $R0 $R0 - $R9     ; and left
    !insertmacro PlaceControl $4 $R0 $R1 $R9 $R7
    System::Call 'user32::InvalidateRect(p $HWNDPARENT, p 0, i 1)'
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro FitButtonsFunction ""
!insertmacro FitButtonsFunction "un."

Function DirectoryPageShow
  Call FitButtons
  Call FitBrowseButton
FunctionEnd

Function un.ConfirmPageShow
  Call un.FitButtons
  ; The label before the folder box ("アンインストール元:") as wide as its text; the box
  ; gives up the room.
  FindWindow $5 "#32770" "" $HWNDPARENT
  FindWindow $6 "Static" "$(^UninstallingSubText)" $5
  FindWindow $7 "Edit" "" $5
  ${If} $6 <> 0
  ${AndIf} $7 <> 0
    System::Call 'user32::GetDC(p r6) p .r1'
    SendMessage $6 ${WM_GETFONT} 0 0 $2
    System::Call 'gdi32::SelectObject(p r1, p r2) p .r3'
    System::Call '*(i 0, i 0) p .r4'
    StrCpy $R9 0
    !insertmacro MeasureButtonText "$(^UninstallingSubText)"
    System::Free $4
    System::Call 'gdi32::SelectObject(p r1, p r3)'
    System::Call 'user32::ReleaseDC(p r6, p r1)'
    IntOp $R9 $R9 + 2
    !insertmacro ControlRect $5 $6 R0 R1 R2 R3
    IntOp $R4 $R2 - $R0
    ${If} $R9 > $R4
      IntOp $R5 $R9 - $R4
      IntOp $R3 $R3 - $R1
      !insertmacro PlaceControl $6 $R0 $R1 $R9 $R3
      !insertmacro ControlRect $5 $7 R0 R1 R2 R3
      IntOp $R0 $R0 + $R5
      IntOp $R2 $R2 - $R0
      IntOp $R3 $R3 - $R1
      !insertmacro PlaceControl $7 $R0 $R1 $R2 $R3
    ${EndIf}
  ${EndIf}
FunctionEnd

; The folder page's browse button as wide as its text; the folder box gives up the room.
Function FitBrowseButton
  FindWindow $5 "#32770" "" $HWNDPARENT
  GetDlgItem $6 $5 1001
  GetDlgItem $7 $5 1019
  System::Call 'user32::GetDC(p r6) p .r1'
  SendMessage $6 ${WM_GETFONT} 0 0 $2
  System::Call 'gdi32::SelectObject(p r1, p r2) p .r3'
  System::Call '*(i 0, i 0) p .r4'
  StrCpy $R9 0
  !insertmacro MeasureButtonText "$(^BrowseBtn)"
  System::Free $4
  System::Call 'gdi32::SelectObject(p r1, p r3)'
  System::Call 'user32::ReleaseDC(p r6, p r1)'
  IntOp $R9 $R9 + $R6
  !insertmacro ControlRect $5 $6 R0 R1 R2 R3
  IntOp $R4 $R2 - $R0
  ${If} $R9 > $R4
    IntOp $R5 $R9 - $R4     ; the room the button needs more
    IntOp $R0 $R0 - $R5
    IntOp $R3 $R3 - $R1
    !insertmacro PlaceControl $6 $R0 $R1 $R9 $R3
    !insertmacro ControlRect $5 $7 R0 R1 R2 R3
    IntOp $R2 $R2 - $R5
    IntOp $R2 $R2 - $R0
    IntOp $R3 $R3 - $R1
    !insertmacro PlaceControl $7 $R0 $R1 $R2 $R3
  ${EndIf}
FunctionEnd

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

Section "un.$(SecUnProgramName)" SecUnProgram
  SectionIn RO
  SetShellVarContext current
  Delete "$SMPROGRAMS\Tessarine.lnk"
  Delete "$INSTDIR\tessarine.exe"
  Delete "$INSTDIR\tessarine-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.$(SecUserDataName)" SecUserData
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
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnProgram} $(SecUnProgramText)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUserData} $(SecUserDataText)
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
