; Sample installer for the Tevra IME: a short product installer that leaves
; the IME file, its registration and the tools to ime-setup.nsh.
;   makensis -DDIST_DIR=<folder with x64/, x86/ and ime/> -DOUT_FILE=<setup.exe> tevra-ime.nsi
;
; The IME file here is the project's placeholder (dist/ime/<arch>/tevra.ime,
; registrable but never a working input method): a product ships its own.
; Exit codes of a silent run (/S): 0 done, 3010 done but an IME file in use
; is replaced (or, uninstalling, deleted) at the next restart, 2 failed (what
; this run added is taken back).

Unicode true
!include LogicLib.nsh
!include x64.nsh

!ifndef DIST_DIR
  !define DIST_DIR "../../dist"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "tevra-ime-setup.exe"
!endif

; What kbreg registers, and where it records the layout. kbreg's arguments
; cannot hold blanks.
!define IME_FILE "tevra.ime"
!define IME_NAME "中文输入法"
!define IME_SECTION "Ime"
!define IME_VALUE_NAME "HKLID"
!define IME_TOOLS "${DIST_DIR}"
!define IME_X64 "${DIST_DIR}/ime/x64/tevra.ime"
!define IME_X86 "${DIST_DIR}/ime/x86/tevra.ime"
!include "../../modules/ime-setup.nsh"

!define PRODUCT "Tevra IME"
!define PUBLISHER "Tevra"
!getdllversion "${IME_X64}" IME_VERSION_
!define VERSION "${IME_VERSION_1}.${IME_VERSION_2}.${IME_VERSION_3}.${IME_VERSION_4}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
; kbreg and halfkey write HKEY_LOCAL_MACHINE and ask for no rights themselves.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\${PRODUCT}"
; A file that cannot be written fails the install. By default a silent
; install skips it and still ends with 0.
AllowSkipFiles off

Var NewFolder

; This product's own parts are 64-bit on 64-bit Windows: its folder and its
; uninstall entry in the 64-bit view. (ime-setup.nsh works in either view.)
!macro UseNativeView
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

Function .onInit
  !insertmacro UseNativeView
  ${If} ${RunningX64}
  ${AndIf} $INSTDIR == "$PROGRAMFILES\${PRODUCT}"
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${EndIf}
  ; An update goes where the installed copy is.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro UseNativeView
FunctionEnd

Section "Install"
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $NewFolder 1
  ${EndIf}
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${ImeInstall}
  ; A setting the product's 32-bit parts read.
  ${ImeSetting32} ${IME_SECTION} InstallDir $INSTDIR

  ; Written last, once the install has succeeded.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; After an Abort or a file that could not be written: an installed copy that
; this run was updating keeps its registration, its files and its folder.
Function .onInstFailed
  ${ImeTakeBack}
  ${If} $NewFolder == 1
    SetOutPath "$TEMP"  ; the installer's working folder cannot be removed
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

!macro AskForRestart
  ${If} ${RebootFlag}
    MessageBox MB_YESNO|MB_ICONQUESTION "A restart finishes the changes to the ${PRODUCT}. Restart Windows now?" /SD IDNO IDNO +2
    Reboot
  ${EndIf}
!macroend
Function .onInstSuccess
  ${ImeRestartCode}
  !insertmacro AskForRestart
FunctionEnd
Function un.onUninstSuccess
  ${un.ImeRestartCode}
  !insertmacro AskForRestart
FunctionEnd

Section "Uninstall"
  ${un.ImeUninstall}
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
