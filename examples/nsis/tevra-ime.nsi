; Sample installer for the Tevra IME showing how to drive kbreg and halfkey.
;   makensis -DDIST_DIR=<folder with x64/, x86/ and ime/> -DOUT_FILE=<setup.exe> tevra-ime.nsi
;
; The IME file here is the project's placeholder (dist/ime/<arch>/tevra.ime,
; registrable but never a working input method): a product ships its own under
; its own name. Windows registers an IME file only from the system folder of
; its bitness and reads its version resource first, so the file goes there
; before kbreg runs, and kbreg gets its bare file name.

Unicode true
!include LogicLib.nsh
!include x64.nsh

!ifndef DIST_DIR
  !define DIST_DIR "../../dist"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "tevra-ime-setup.exe"
!endif

; kbreg's arguments cannot hold blanks or quotation marks: kbreg splits them
; at blanks and keeps quotation marks as characters. Only its own path may be
; quoted.
!define IME_FILE "tevra.ime"
!define IME_NAME "中文输入法"
!define SECTION "Ime"
!define VALUE_NAME "HKLID"

Name "Tevra IME"
OutFile "${OUT_FILE}"
; kbreg and halfkey write HKEY_LOCAL_MACHINE and ask for no rights themselves.
; Unelevated, Windows would quietly redirect halfkey's write into the user's
; virtual store and it would still exit with 0.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\Tevra IME"
SilentInstall normal

Var Kbreg

Function .onInit
  ${If} ${RunningX64}
    StrCpy $INSTDIR "$PROGRAMFILES64\Tevra IME"
  ${EndIf}
FunctionEnd

!macro FindKbreg
  ; The build that matches the Windows: the system installs an IME into the
  ; system folder of its own bitness.
  ${If} ${RunningX64}
    StrCpy $Kbreg "$INSTDIR\kbreg64.exe"
  ${Else}
    StrCpy $Kbreg "$INSTDIR\kbreg32.exe"
  ${EndIf}
!macroend

; The IME file of each bitness into that bitness's system folder: System32
; for the 64-bit file, SysWOW64 for the 32-bit one (System32 on 32-bit
; Windows). The trap: NSIS is a 32-bit program, so $SYSDIR is redirected to
; SysWOW64 until the redirection is switched off.
!macro PutImeFiles
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    SetOutPath "$SYSDIR"
    File "${DIST_DIR}/ime/x64/${IME_FILE}"
    ${EnableX64FSRedirection}
  ${EndIf}
  SetOutPath "$SYSDIR"
  File "${DIST_DIR}/ime/x86/${IME_FILE}"
  SetOutPath "$INSTDIR"
!macroend
!macro RemoveImeFiles
  ; A program still using the input method keeps the file open: then it goes
  ; at the next restart.
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    Delete /REBOOTOK "$SYSDIR\${IME_FILE}"
    ${EnableX64FSRedirection}
  ${EndIf}
  Delete /REBOOTOK "$SYSDIR\${IME_FILE}"
!macroend

!macro RunTool CommandLine
  StrCpy $2 '${CommandLine}'
  ClearErrors
  ExecWait $2 $0
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "Could not start: $2" /SD IDOK
    Abort
  ${ElseIf} $0 == 1
    ; 1 is the tools' only failure: a malformed command line.
    MessageBox MB_ICONSTOP "Malformed command line: $2" /SD IDOK
    Abort
  ${EndIf}
!macroend

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=kbreg64.exe" "${DIST_DIR}/x64/kbreg.exe"
  File "/oname=kbreg32.exe" "${DIST_DIR}/x86/kbreg.exe"
  File "${DIST_DIR}/x86/halfkey.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  !insertmacro PutImeFiles

  ; halfkey first: whatever aborts the install from here on must find no
  ; layout registered, or must remove it.
  ; halfkey passes over a quoted path as a whole; its fields may hold blanks.
  !insertmacro RunTool '"$INSTDIR\halfkey.exe" ${SECTION},InstallDir,$INSTDIR'

  ; Exit code 0 proves nothing: kbreg skips a refused registration silently
  ; and then records "0". The per-user record tells whether it worked; an
  ; earlier install's record stays, so it goes first.
  DeleteRegValue HKCU "Software\Tevra\${SECTION}" "${VALUE_NAME}"
  !insertmacro FindKbreg
  !insertmacro RunTool '"$Kbreg" install ${IME_FILE} ${IME_NAME} ${SECTION} ${VALUE_NAME}'
  ReadRegStr $0 HKCU "Software\Tevra\${SECTION}" "${VALUE_NAME}"
  ${If} $0 == ""
  ${OrIf} $0 == "0"
    ; A layout may be registered all the same (only the per-user write was
    ; refused): kbreg uninstall then finds the machine-wide record.
    ExecWait '"$Kbreg" uninstall ${IME_FILE} ${IME_NAME} ${SECTION} ${VALUE_NAME}'
    !insertmacro RemoveImeFiles
    MessageBox MB_ICONSTOP "The Tevra IME could not be registered as a keyboard layout." /SD IDOK
    Abort
  ${EndIf}
SectionEnd

Section "Uninstall"
  !insertmacro FindKbreg
  !insertmacro RunTool '"$Kbreg" uninstall ${IME_FILE} ${IME_NAME} ${SECTION} ${VALUE_NAME}'
  ; The IME file only after its layout is gone.
  !insertmacro RemoveImeFiles
  Delete "$INSTDIR\kbreg64.exe"
  Delete "$INSTDIR\kbreg32.exe"
  Delete "$INSTDIR\halfkey.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
