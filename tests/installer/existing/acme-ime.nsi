; An installer shaped like an existing product's, with ime-setup.nsh added
; as the installer guide says: its own callbacks (each leaves a mark in
; HKLM\Software\Acme\Pinyin\Ran), its own settings in the 32-bit view
; written before and after the module's macros, registers in use across
; them, and a companion file that programs with the input method keep loaded.
;   makensis -WX -DDIST_DIR=<dist> -DCOMPANION=<.../acme.dict> -DOUT_FILE=<setup.exe> acme-ime.nsi
Unicode true
!include LogicLib.nsh
Name "Acme Pinyin"
OutFile "${OUT_FILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\Acme Pinyin"
AllowSkipFiles off

!define ENTRY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Acme Pinyin"
!macro Ran CALLBACK
  WriteRegStr HKLM "Software\Acme\Pinyin\Ran" "${CALLBACK}" 1
!macroend

; The lines the guide has an author add.
!define IME_FILE "tevra.ime"
!define IME_NAME "中文输入法"
!define IME_SECTION "Ime"
!define IME_VALUE_NAME "HKLID"
!define IME_TOOLS "${DIST_DIR}"
!define IME_X64 "${DIST_DIR}/ime/x64/tevra.ime"
!define IME_X86 "${DIST_DIR}/ime/x86/tevra.ime"
!include "../../../modules/ime-setup.nsh"

Function .onInit
  !insertmacro Ran .onInit
FunctionEnd

Section "Acme Pinyin"
  SetOutPath "$INSTDIR"
  StrCpy $0 acme
  WriteRegStr HKLM "Software\Acme\Pinyin" "Before" 1
  ${ImeInstall}
  ${ImeSetting32} ${IME_SECTION} InstallDir $INSTDIR
  ${ImeLoadedFile} "${COMPANION}" "$INSTDIR"
  WriteRegStr HKLM "Software\Acme\Pinyin" "After" "$0|$OUTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${ENTRY}" "DisplayName" "Acme Pinyin"
  WriteRegStr HKLM "${ENTRY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
SectionEnd

Function .onInstFailed
  !insertmacro Ran .onInstFailed
  ${ImeTakeBack}
  SetOutPath "$TEMP"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
FunctionEnd

Function .onInstSuccess
  !insertmacro Ran .onInstSuccess
  ${ImeRestartCode}
FunctionEnd

Function un.onInit
  !insertmacro Ran un.onInit
FunctionEnd

Section "Uninstall"
  ${un.ImeUninstall}
  ${un.ImeDeleteLoadedFile} "$INSTDIR\acme.dict"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${ENTRY}"
SectionEnd

Function un.onUninstSuccess
  !insertmacro Ran un.onUninstSuccess
  ${un.ImeRestartCode}
FunctionEnd
