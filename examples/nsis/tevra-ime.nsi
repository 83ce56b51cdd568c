; Sample installer for the Tevra IME showing how to drive kbreg and halfkey.
;   makensis -DDIST_DIR=<folder with x64/, x86/ and ime/> -DOUT_FILE=<setup.exe> tevra-ime.nsi
;
; The IME file here is the project's placeholder (dist/ime/<arch>/tevra.ime,
; registrable but never a working input method): a product ships its own under
; its own name. Windows registers an IME file only from the system folder of
; its bitness and reads its version resource first, so the file goes there
; before kbreg runs, and kbreg gets its bare file name.
;
; Run again over an installed copy it repairs or updates it, keeping the
; layout registered. Exit codes of a silent run (/S): 0 done, 3010 done but
; an IME file in use is replaced (or, uninstalling, deleted) at the next
; restart, 2 failed (what this run added is taken back).

Unicode true
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh

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
!define PRODUCT "Tevra IME"
!define PUBLISHER "Tevra"
; The version shown in Add/Remove Programs: the tools' file version.
!getdllversion "${DIST_DIR}/x64/kbreg.exe" TOOLS_VERSION_
!define VERSION "${TOOLS_VERSION_1}.${TOOLS_VERSION_2}.${TOOLS_VERSION_3}.${TOOLS_VERSION_4}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
; kbreg and halfkey write HKEY_LOCAL_MACHINE and ask for no rights themselves.
; Unelevated, Windows would quietly redirect halfkey's write into the user's
; virtual store and it would still exit with 0.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\${PRODUCT}"
SilentInstall normal
; A file that cannot be written fails the install. By default a silent
; install skips it and still ends with 0, keeping the old file.
AllowSkipFiles off

Var Kbreg
; What this run added, for .onInstFailed to take back.
Var NewFolder
Var ImeAddedx64
Var ImeAddedx86
Var KbregStarted

!macro UseNativeView
  ; The uninstall entry and the x64 kbreg's machine-wide record are in the
  ; 64-bit registry view on 64-bit Windows; NSIS, a 32-bit program, would
  ; read and write the 32-bit one.
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

!macro FindKbreg
  ; The build that matches the Windows: the system installs an IME into the
  ; system folder of its own bitness.
  ${If} ${RunningX64}
    StrCpy $Kbreg "$INSTDIR\kbreg64.exe"
  ${Else}
    StrCpy $Kbreg "$INSTDIR\kbreg32.exe"
  ${EndIf}
!macroend

; Inserts OP (a macro taking ARCH and FOLDER) for the IME file of each
; bitness, in that bitness's system folder: System32 for the 64-bit file,
; SysWOW64 for the 32-bit one (System32 on 32-bit Windows). The trap: NSIS is
; a 32-bit program, so System32 means SysWOW64 to it, but a file operation
; queued for the restart runs with no redirection: a 32-bit file queued as
; System32\tevra.ime would land on the 64-bit one. With the redirection off,
; every path here means what it says.
!macro ForEachImeFile OP
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    !insertmacro ${OP} x64 "$WINDIR\System32"
    !insertmacro ${OP} x86 "$WINDIR\SysWOW64"
    ${EnableX64FSRedirection}
  ${Else}
    !insertmacro ${OP} x86 "$WINDIR\System32"
  ${EndIf}
!macroend

; A program with the input method active keeps the IME file loaded, and
; Windows neither overwrites nor deletes it then: a newer file goes beside it
; and replaces it at the next restart (Rename /REBOOTOK, which sets the reboot
; flag). An older or equal version is kept, so a repair needs no restart.
!macro PutImeFile ARCH FOLDER
  !getdllversion "${DIST_DIR}/ime/${ARCH}/${IME_FILE}" IME_VERSION_
  ${IfNot} ${FileExists} "${FOLDER}\${IME_FILE}"
    File "/oname=${FOLDER}\${IME_FILE}" "${DIST_DIR}/ime/${ARCH}/${IME_FILE}"
    StrCpy $ImeAdded${ARCH} 1
  ${Else}
    ${GetFileVersion} "${FOLDER}\${IME_FILE}" $1
    ${VersionCompare} "${IME_VERSION_1}.${IME_VERSION_2}.${IME_VERSION_3}.${IME_VERSION_4}" "$1" $1
    ${If} $1 == 1
      File "/oname=${FOLDER}\${IME_FILE}.new" "${DIST_DIR}/ime/${ARCH}/${IME_FILE}"
      Delete "${FOLDER}\${IME_FILE}"
      Rename /REBOOTOK "${FOLDER}\${IME_FILE}.new" "${FOLDER}\${IME_FILE}"
    ${EndIf}
  ${EndIf}
  !undef IME_VERSION_1 IME_VERSION_2 IME_VERSION_3 IME_VERSION_4
!macroend

; A program still using the input method keeps the file loaded: it goes at
; the next restart.
!macro RemoveImeFile ARCH FOLDER
  Delete /REBOOTOK "${FOLDER}\${IME_FILE}"
!macroend
!macro TakeBackImeFile ARCH FOLDER
  ${If} $ImeAdded${ARCH} == 1
    !insertmacro RemoveImeFile ${ARCH} "${FOLDER}"
  ${EndIf}
!macroend

; The program folder as the install section fills it.
!macro RemoveProgramFiles
  Delete "$INSTDIR\kbreg64.exe"
  Delete "$INSTDIR\kbreg32.exe"
  Delete "$INSTDIR\halfkey.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
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

; An update stops before it changes anything when another program keeps one
; of the tools open: NSIS has no rollback, and File would fail halfway,
; leaving a mix of versions.
!macro StopIfInUse FILE
  ${If} ${FileExists} "$INSTDIR\${FILE}"
    ClearErrors
    FileOpen $0 "$INSTDIR\${FILE}" a
    ${If} ${Errors}
      MessageBox MB_ICONSTOP "$INSTDIR\${FILE} is in use: close the program that uses it and run setup again." /SD IDOK
      Abort
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

; $0 = 1 when an earlier install's registration is intact: the record, read
; as kbreg uninstall reads it, names a registered layout whose Ime File is
; ours (the file name alone; NSIS compares text without regard to case).
; Registering again is never safe: Wine adds a second layout for the file,
; and Windows unloads the input method first and fails while it is in use.
Function RegistrationIntact
  ReadRegStr $1 HKCU "Software\Tevra\${SECTION}" "${VALUE_NAME}"
  ${If} $1 == ""
  ${OrIf} $1 == "0"
    ReadRegStr $1 HKLM "Software\Tevra\${SECTION}" "${VALUE_NAME}"
  ${EndIf}
  StrCpy $0 0
  ${If} $1 != ""
  ${AndIf} $1 != "0"
    ReadRegStr $1 HKLM "System\CurrentControlSet\Control\Keyboard Layouts\$1" "Ime File"
    ${GetFileName} $1 $1
    ${If} $1 == "${IME_FILE}"
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Install"
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $NewFolder 1
  ${EndIf}
  !insertmacro StopIfInUse kbreg64.exe
  !insertmacro StopIfInUse kbreg32.exe
  !insertmacro StopIfInUse halfkey.exe
  SetOutPath "$INSTDIR"
  File "/oname=kbreg64.exe" "${DIST_DIR}/x64/kbreg.exe"
  File "/oname=kbreg32.exe" "${DIST_DIR}/x86/kbreg.exe"
  File "${DIST_DIR}/x86/halfkey.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  !insertmacro ForEachImeFile PutImeFile

  ; halfkey first: whatever aborts the install from here on must find no
  ; layout registered, or must remove it.
  ; halfkey passes over a quoted path as a whole; its fields may hold blanks.
  !insertmacro RunTool '"$INSTDIR\halfkey.exe" ${SECTION},InstallDir,$INSTDIR'

  ; A repair or an update keeps an intact registration: the same layout,
  ; records and preload entry.
  Call RegistrationIntact
  ${If} $0 != 1
    ; Exit code 0 proves nothing: kbreg skips a refused registration silently
    ; and then records "0". The per-user record tells whether it worked; an
    ; earlier install's record stays, so it goes first.
    DeleteRegValue HKCU "Software\Tevra\${SECTION}" "${VALUE_NAME}"
    !insertmacro FindKbreg
    StrCpy $KbregStarted 1
    !insertmacro RunTool '"$Kbreg" install ${IME_FILE} ${IME_NAME} ${SECTION} ${VALUE_NAME}'
    ReadRegStr $0 HKCU "Software\Tevra\${SECTION}" "${VALUE_NAME}"
    ${If} $0 == ""
    ${OrIf} $0 == "0"
      MessageBox MB_ICONSTOP "The ${PRODUCT} could not be registered as a keyboard layout." /SD IDOK
      Abort
    ${EndIf}
  ${EndIf}

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

; After an Abort or a file that could not be written: takes back what this
; run added. An installed copy that it was updating keeps its registration,
; its IME files and its folder.
Function .onInstFailed
  ${If} $KbregStarted == 1
    ; Finds a layout registered all the same (only the per-user write was
    ; refused) through the machine-wide record.
    ExecWait '"$Kbreg" uninstall ${IME_FILE} ${IME_NAME} ${SECTION} ${VALUE_NAME}'
  ${EndIf}
  !insertmacro ForEachImeFile TakeBackImeFile
  ${If} $NewFolder == 1
    SetOutPath "$TEMP"  ; the installer's working folder cannot be removed
    !insertmacro RemoveProgramFiles
  ${EndIf}
FunctionEnd

; An IME file in use is replaced or deleted at the next restart. A silent run
; has no exit code of its own for that: it ends with 3010, as Windows
; Installer does.
!macro AskForRestart
  ${If} ${RebootFlag}
    SetErrorLevel 3010
    MessageBox MB_YESNO|MB_ICONQUESTION "A restart finishes the changes to the ${PRODUCT}. Restart Windows now?" /SD IDNO IDNO +2
    Reboot
  ${EndIf}
!macroend
Function .onInstSuccess
  !insertmacro AskForRestart
FunctionEnd
Function un.onUninstSuccess
  !insertmacro AskForRestart
FunctionEnd

Section "Uninstall"
  !insertmacro FindKbreg
  !insertmacro RunTool '"$Kbreg" uninstall ${IME_FILE} ${IME_NAME} ${SECTION} ${VALUE_NAME}'
  ; The IME file only after its layout is gone.
  !insertmacro ForEachImeFile RemoveImeFile
  !insertmacro RemoveProgramFiles
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
