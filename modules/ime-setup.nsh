; ime-setup.nsh: the Tevra IME's keyboard layout in an NSIS 3 Unicode
; installer, through kbreg and halfkey, for the whole life of an install:
; first install, repair, update with the IME files in use, a failed install
; taken back, uninstall, and the restart that finishes them.
;
; Define before the !include (or with makensis /D):
;   IME_FILE        the IME file's name in the system folders, as kbreg registers it
;   IME_NAME        its display name; IME_SECTION and IME_VALUE_NAME: where kbreg
;                   records the layout (HKLM and HKCU Software\Tevra\<IME_SECTION>)
;   IME_TOOLS       a release of the tools (x64/kbreg.exe, x86/kbreg.exe, x86/halfkey.exe)
;   IME_X64, IME_X86  the product's 64-bit and 32-bit IME files
; Then, in the installer's own sections and callbacks:
;   install section    ${ImeInstall}, then ${ImeSetting32} SECTION NAME TEXT
;                      and ${ImeLoadedFile} SOURCE FOLDER as needed
;   .onInstFailed      ${ImeTakeBack}
;   .onInstSuccess     ${ImeRestartCode}
;   uninstall section  ${un.ImeUninstall}, ${un.ImeDeleteLoadedFile} PATH
;   un.onUninstSuccess ${un.ImeRestartCode}
; A failure shows a message box (answered OK when silent) and aborts. The
; header defines no callback, leaves the registry view, the file system
; redirection, $OUTDIR and the registers as they were, and emits its
; functions only where they are used.

!ifndef IME_SETUP_NSH
!define IME_SETUP_NSH

!ifndef NSIS_UNICODE
  !error "ime-setup.nsh: the installer must be Unicode (Unicode true first in the script)"
!endif
!macro _ImeRequire NAME
  !ifndef ${NAME}
    !error "ime-setup.nsh: define ${NAME} before the !include (IME_FILE, IME_NAME, IME_SECTION, IME_VALUE_NAME, IME_TOOLS, IME_X64, IME_X86)"
  !endif
!macroend
!insertmacro _ImeRequire IME_FILE
!insertmacro _ImeRequire IME_NAME
!insertmacro _ImeRequire IME_SECTION
!insertmacro _ImeRequire IME_VALUE_NAME
!insertmacro _ImeRequire IME_TOOLS
!insertmacro _ImeRequire IME_X64
!insertmacro _ImeRequire IME_X86
; kbreg splits its command line at blanks and keeps quotation marks, and
; halfkey's section ends at a comma or an apostrophe.
!macro _ImeRefuse NAME CHARACTER WHAT
  !searchparse /noerrors `${${NAME}}` `${CHARACTER}` _IME_FOUND
  !ifdef _IME_FOUND
    !error "ime-setup.nsh: ${NAME} holds ${WHAT}, which kbreg or halfkey cannot take"
  !endif
!macroend
!macro _ImeKbregArgument NAME
  !insertmacro _ImeRefuse ${NAME} " " "a blank"
  !insertmacro _ImeRefuse ${NAME} "$\t" "a tab"
  !insertmacro _ImeRefuse ${NAME} '"' "a quotation mark"
!macroend
!insertmacro _ImeKbregArgument IME_FILE
!insertmacro _ImeKbregArgument IME_NAME
!insertmacro _ImeKbregArgument IME_SECTION
!insertmacro _ImeKbregArgument IME_VALUE_NAME
!insertmacro _ImeRefuse IME_SECTION "," "a comma"
!insertmacro _ImeRefuse IME_SECTION "'" "an apostrophe"

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include Util.nsh

!define _IME_LAYOUTS "System\CurrentControlSet\Control\Keyboard Layouts"
!define _IME_RECORD "Software\Tevra\${IME_SECTION}"
!define _IME_KBREG_ARGS "${IME_FILE} ${IME_NAME} ${IME_SECTION} ${IME_VALUE_NAME}"

; Each variable is declared where it is first used: one that is never used
; would be a warning, an error under makensis -WX.
!macro _ImeErrorVar
  !ifndef _IME_ERROR_VAR
    !define _IME_ERROR_VAR
    Var /GLOBAL ImeSetupError
  !endif
!macroend
!macro _ImeArgVars
  !ifndef _IME_ARG_VARS
    !define _IME_ARG_VARS
    Var /GLOBAL ImeSetupArg1
    Var /GLOBAL ImeSetupArg2
    Var /GLOBAL ImeSetupArg3
  !endif
!macroend
!macro _ImeLoadedVars
  !insertmacro _ImeArgVars
  !ifndef _IME_LOADED_VARS
    !define _IME_LOADED_VARS
    Var /GLOBAL ImeSetupTarget
    Var /GLOBAL ImeSetupAction
  !endif
!macroend

!macro _ImeSaveRegisters
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  Push $9
!macroend
!macro _ImeRestoreRegisters
  Pop $9
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
!macroend

; The tools live where only administrators can write, whatever folder the
; user installs the product into: an elevated setup and uninstaller start
; them, and a folder such as C:\Acme inherits "Authenticated Users: Modify".
!macro _ImeToolsFolder OUT
  ${If} ${RunningX64}
    StrCpy ${OUT} "$COMMONFILES64\Tevra\${IME_SECTION}"
  ${Else}
    StrCpy ${OUT} "$COMMONFILES\Tevra\${IME_SECTION}"
  ${EndIf}
!macroend

; The trap on 64-bit Windows: NSIS is a 32-bit program, so System32 means
; SysWOW64 to it, but an operation queued for the restart runs with no
; redirection: a 32-bit file queued as System32\x would replace or delete the
; 64-bit one. With the redirection off every path means what it says. The
; state to go back to waits on the stack.
!macro _ImeRedirectionOff
  ${If} ${RunningX64}
    System::Call 'kernel32::Wow64DisableWow64FsRedirection(*p .s)'
  ${EndIf}
!macroend
!macro _ImeRedirectionBack
  ${If} ${RunningX64}
    System::Call 'kernel32::Wow64RevertWow64FsRedirection(p s)'
  ${EndIf}
!macroend

; What this run added goes into a journal in the installer's own temporary
; folder, for ${ImeTakeBack}, a line each: L (kbreg install ran), F PATH (a
; file), T PATH (the tools' folder, made by this run).
!macro _ImeJournal KIND PATH
  InitPluginsDir
  FileOpen $9 "$PLUGINSDIR\ime-setup.journal" a
  FileSeek $9 0 END
  FileWriteUTF16LE $9 "${KIND}$\t${PATH}$\r$\n"
  FileClose $9
!macroend

; Starts a tool and waits. 1 is the tools' only failure, a malformed command
; line; 0 does not prove that anything was written.
!macro _ImeRun COMMAND
  ClearErrors
  ExecWait '${COMMAND}' $8
  ${If} ${Errors}
    StrCpy $ImeSetupError `Could not start: ${COMMAND}`
  ${ElseIf} $8 != 0
    StrCpy $ImeSetupError `Malformed command line (exit code $8): ${COMMAND}`
  ${EndIf}
!macroend

!macro _ImeStopOnError
  ${If} $ImeSetupError != ""
    MessageBox MB_ICONSTOP "$ImeSetupError" /SD IDOK
    Abort
  ${EndIf}
!macroend

; An update stops before it changes anything when another program keeps a
; tool open: NSIS has no rollback, and File would fail halfway.
!macro _ImeStopIfInUse FILE
  ${If} $ImeSetupError == ""
  ${AndIf} ${FileExists} "${FILE}"
    ClearErrors
    FileOpen $8 "${FILE}" a
    ${If} ${Errors}
      StrCpy $ImeSetupError "${FILE} is in use: close the program that uses it and run setup again."
    ${Else}
      FileClose $8
    ${EndIf}
  ${EndIf}
!macroend

; A file that every program with the input method keeps loaded, which
; Windows neither overwrites nor deletes then: a new file goes beside it and
; replaces it at the next restart (Rename /REBOOTOK, which sets the reboot
; flag). Decides what becomes of SOURCE as FOLDER\NAME (NAME empty: the
; source's own name), with the redirection off; sets the error text when it
; could not be written.
!macro _ImePutLoadedFile SOURCE FOLDER NAME
  !getdllversion /noerrors "${SOURCE}" _IME_VERSION_
  StrCpy $ImeSetupArg1 "${FOLDER}"
  StrCpy $ImeSetupArg2 "${NAME}"
  !if "${NAME}" == ""
    ; The source's name, from a path that may use either slash.
    !searchreplace _IME_SOURCE "${SOURCE}" "/" "\"
    StrCpy $ImeSetupArg2 "${_IME_SOURCE}"
    !undef _IME_SOURCE
  !endif
  StrCpy $ImeSetupArg3 "${_IME_VERSION_1}.${_IME_VERSION_2}.${_IME_VERSION_3}.${_IME_VERSION_4}"
  !undef _IME_VERSION_1 _IME_VERSION_2 _IME_VERSION_3 _IME_VERSION_4
  Push $0
  Push $1
  GetFileTimeLocal "${SOURCE}" $0 $1
  ${CallArtificialFunction} _ImeLoadedFileAction
  Pop $1
  Pop $0
  ClearErrors
  ${If} $ImeSetupAction == new
    File "/oname=$ImeSetupTarget" "${SOURCE}"
  ${ElseIf} $ImeSetupAction == replace
    File "/oname=$ImeSetupTarget.new" "${SOURCE}"
  ${EndIf}
  ${CallArtificialFunction} _ImeLoadedFilePlace
!macroend

; In: $ImeSetupArg1 folder, 2 name (or source path), 3 the source's version
; (... when it has none), $0 $1 its time stamp. Out: $ImeSetupTarget and
; $ImeSetupAction: new (not there), replace, or keep.
!macro _ImeLoadedFileAction
  !insertmacro _ImeSaveRegisters
  ${GetFileName} "$ImeSetupArg2" $2
  StrCpy $ImeSetupTarget "$ImeSetupArg1\$2"
  StrCpy $ImeSetupAction keep
  ${IfNot} ${FileExists} "$ImeSetupTarget"
    StrCpy $ImeSetupAction new
  ${Else}
    ClearErrors
    ${GetFileVersion} "$ImeSetupTarget" $3
    ${If} $ImeSetupArg3 != "..."
    ${AndIfNot} ${Errors}
      ; Versioned: only a newer version replaces it. An equal or older one
      ; is kept, so a repair while the file is in use needs no restart.
      ${VersionCompare} "$ImeSetupArg3" "$3" $3
      ${If} $3 == 1
        StrCpy $ImeSetupAction replace
      ${EndIf}
    ${Else}
      ; File keeps the time stamp of its source: another one is another file.
      GetFileTime "$ImeSetupTarget" $3 $4
      ${If} $3 != $0
      ${OrIf} $4 != $1
        StrCpy $ImeSetupAction replace
      ${EndIf}
    ${EndIf}
  ${EndIf}
  !insertmacro _ImeRestoreRegisters
!macroend

; After File wrote the new file (or nothing): into place now, or at the
; restart when the old one is loaded. Reads the error flag File left.
!macro _ImeLoadedFilePlace
  ${If} ${Errors}
    StrCpy $ImeSetupError "Could not write $ImeSetupTarget."
  ${EndIf}
  !insertmacro _ImeSaveRegisters
  ${If} $ImeSetupError != ""
  ${ElseIf} $ImeSetupAction == new
    !insertmacro _ImeJournal F "$ImeSetupTarget"
  ${ElseIf} $ImeSetupAction == replace
    ; Deleting the waiting file takes the replacement back: the rename
    ; queued for the restart then finds nothing to move.
    !insertmacro _ImeJournal F "$ImeSetupTarget.new"
    Delete "$ImeSetupTarget"
    Rename /REBOOTOK "$ImeSetupTarget.new" "$ImeSetupTarget"
  ${EndIf}
  !insertmacro _ImeRestoreRegisters
!macroend

; $4 = 1 when the layout key LAYOUT has an Ime File naming IME_FILE (the file
; name alone; NSIS compares text without regard to case). Uses $7.
!macro _ImeLayoutIsOurs LAYOUT
  StrCpy $4 0
  ${GetFileName} "${LAYOUT}" $7
  ${If} $7 == "${LAYOUT}"
    ReadRegStr $7 HKLM "${_IME_LAYOUTS}\${LAYOUT}" "Ime File"
    ${GetFileName} "$7" $7
    ${If} $7 == "${IME_FILE}"
      StrCpy $4 1
    ${EndIf}
  ${EndIf}
!macroend

!macro _ImeInstallBody
  !insertmacro _ImeSaveRegisters
  StrCpy $ImeSetupError ""
  !insertmacro _ImeToolsFolder $0
  !insertmacro _ImeStopIfInUse "$0\kbreg.exe"
  !insertmacro _ImeStopIfInUse "$0\halfkey.exe"

  ; The tools: the kbreg of the Windows' own bitness, since the system
  ; installs an IME into the system folder of kbreg's bitness.
  ${If} $ImeSetupError == ""
    ${IfNot} ${FileExists} "$0\*.*"
      CreateDirectory "$0"
      !insertmacro _ImeJournal T "$0"
    ${EndIf}
    ClearErrors
    ${If} ${RunningX64}
      File "/oname=$0\kbreg.exe" "${IME_TOOLS}/x64/kbreg.exe"
    ${Else}
      File "/oname=$0\kbreg.exe" "${IME_TOOLS}/x86/kbreg.exe"
    ${EndIf}
    File "/oname=$0\halfkey.exe" "${IME_TOOLS}/x86/halfkey.exe"
    ${If} ${Errors}
      StrCpy $ImeSetupError "Could not write the tools into $0."
    ${EndIf}
  ${EndIf}

  ; The IME file of each bitness in that bitness's system folder, before
  ; kbreg runs: Windows registers an IME file only from there, and reads it.
  ${If} $ImeSetupError == ""
    !insertmacro _ImeRedirectionOff
    ${If} ${RunningX64}
      !insertmacro _ImePutLoadedFile "${IME_X64}" "$WINDIR\System32" "${IME_FILE}"
      ${If} $ImeSetupError == ""
        !insertmacro _ImePutLoadedFile "${IME_X86}" "$WINDIR\SysWOW64" "${IME_FILE}"
      ${EndIf}
    ${Else}
      !insertmacro _ImePutLoadedFile "${IME_X86}" "$WINDIR\System32" "${IME_FILE}"
    ${EndIf}
    !insertmacro _ImeRedirectionBack
  ${EndIf}

  ; A repair or an update keeps an intact registration: the record, read as
  ; kbreg uninstall reads it (per-user, else machine-wide in kbreg's view),
  ; names a layout whose Ime File is ours. Registering again is never safe:
  ; Wine adds a second layout for the file, and Windows unloads the input
  ; method first and fails while a program has it loaded. A record that
  ; names another input method's layout is never taken as ours.
  ${If} $ImeSetupError == ""
    ReadRegStr $1 HKCU "${_IME_RECORD}" "${IME_VALUE_NAME}"
    ${If} $1 == ""
    ${OrIf} $1 == 0
      ${If} ${RunningX64}
        ReadRegStr $1 HKLM64 "${_IME_RECORD}" "${IME_VALUE_NAME}"
      ${Else}
        ReadRegStr $1 HKLM "${_IME_RECORD}" "${IME_VALUE_NAME}"
      ${EndIf}
    ${EndIf}
    StrCpy $2 ""
    ${If} $1 != ""
    ${AndIf} $1 != 0
      !insertmacro _ImeLayoutIsOurs $1
      ${If} $4 == 1
        StrCpy $2 $1
      ${EndIf}
    ${EndIf}
    ; No record names it, but a layout for our file is registered (an
    ; older installer's, or one whose record was lost): it is ours. It is
    ; recorded as kbreg records a layout, machine-wide first.
    ${If} $2 == ""
      StrCpy $3 0
      ${Do}
        ClearErrors
        EnumRegKey $1 HKLM "${_IME_LAYOUTS}" $3
        ${If} ${Errors}
        ${OrIf} $1 == ""
          ${ExitDo}
        ${EndIf}
        !insertmacro _ImeLayoutIsOurs $1
        ${If} $4 == 1
          StrCpy $2 $1
          ${If} ${RunningX64}
            WriteRegStr HKLM64 "${_IME_RECORD}" "${IME_VALUE_NAME}" $2
          ${Else}
            WriteRegStr HKLM "${_IME_RECORD}" "${IME_VALUE_NAME}" $2
          ${EndIf}
          WriteRegStr HKCU "${_IME_RECORD}" "${IME_VALUE_NAME}" $2
          ${ExitDo}
        ${EndIf}
        IntOp $3 $3 + 1
      ${Loop}
    ${EndIf}
    ; Exit code 0 proves nothing: kbreg skips a refused registration
    ; silently and records "0". The per-user record tells; an earlier
    ; install's record stays, so it goes first.
    ${If} $2 == ""
      DeleteRegValue HKCU "${_IME_RECORD}" "${IME_VALUE_NAME}"
      !insertmacro _ImeJournal L ""
      !insertmacro _ImeRun '"$0\kbreg.exe" install ${_IME_KBREG_ARGS}'
      ReadRegStr $1 HKCU "${_IME_RECORD}" "${IME_VALUE_NAME}"
      ${If} $ImeSetupError == ""
        ${If} $1 == ""
        ${OrIf} $1 == 0
          StrCpy $ImeSetupError "The input method ${IME_NAME} (${IME_FILE}) could not be registered as a keyboard layout."
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  !insertmacro _ImeRestoreRegisters
!macroend

!macro _ImeSetting32Body
  !insertmacro _ImeSaveRegisters
  StrCpy $ImeSetupError ""
  !insertmacro _ImeToolsFolder $0
  ; halfkey passes over its quoted path as a whole; its fields may hold
  ; blanks, but a comma ends one and an apostrophe ends the text.
  !insertmacro _ImeRun '"$0\halfkey.exe" $ImeSetupArg1,$ImeSetupArg2,$ImeSetupArg3'
  ; halfkey exits with 0 whatever was written: unelevated, Windows would
  ; quietly redirect the write into the user's virtual store.
  ${If} $ImeSetupError == ""
    ReadRegStr $1 HKLM32 "Software\Tevra\$ImeSetupArg1" "$ImeSetupArg2"
    ${If} $1 S!= $ImeSetupArg3
      StrCpy $ImeSetupError "Could not write $ImeSetupArg2 into HKLM\Software\Tevra\$ImeSetupArg1 (32-bit view): run setup as an administrator, with no comma or apostrophe in the text."
    ${EndIf}
  ${EndIf}
  !insertmacro _ImeRestoreRegisters
!macroend

; After a failed install: what this run added, from its journal, backwards
; in effect: the layout while kbreg is still there, then the files, then the
; tools. A copy that this run was updating keeps its registration and files.
!macro _ImeTakeBackBody
  !insertmacro _ImeSaveRegisters
  ${If} ${FileExists} "$PLUGINSDIR\ime-setup.journal"
    !insertmacro _ImeToolsFolder $0
    StrCpy $2 ""
    FileOpen $1 "$PLUGINSDIR\ime-setup.journal" r
    ${Do}
      ClearErrors
      FileReadUTF16LE $1 $3
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      ${If} $3 == "L$\t$\r$\n"
        ; Finds a layout registered all the same (only the per-user write
        ; refused) through the machine-wide record.
        ExecWait '"$0\kbreg.exe" uninstall ${_IME_KBREG_ARGS}'
      ${EndIf}
    ${Loop}
    FileSeek $1 0 SET
    !insertmacro _ImeRedirectionOff
    ${Do}
      ClearErrors
      FileReadUTF16LE $1 $3
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      StrCpy $4 $3 1
      StrCpy $5 $3 "" 2
      StrCpy $5 $5 -2
      ${If} $4 == F
        Delete /REBOOTOK "$5"
      ${ElseIf} $4 == T
        StrCpy $2 "$5"
      ${EndIf}
    ${Loop}
    !insertmacro _ImeRedirectionBack
    FileClose $1
    Delete "$PLUGINSDIR\ime-setup.journal"
    ${If} $2 != ""
      !insertmacro _ImeRemoveTools "$2"
    ${EndIf}
  ${EndIf}
  !insertmacro _ImeRestoreRegisters
!macroend

!macro _ImeRemoveTools FOLDER
  Delete "${FOLDER}\kbreg.exe"
  Delete "${FOLDER}\halfkey.exe"
  RMDir "${FOLDER}"
  ; Software\Tevra's twin in Common Files, when no other product uses it.
  RMDir "${FOLDER}\.."
!macroend

; The IME file goes only after its layout is gone; a program still using
; the input method keeps it loaded, and then it goes at the next restart.
!macro _ImeUninstallBody
  !insertmacro _ImeSaveRegisters
  StrCpy $ImeSetupError ""
  !insertmacro _ImeToolsFolder $0
  !insertmacro _ImeRun '"$0\kbreg.exe" uninstall ${_IME_KBREG_ARGS}'
  ${If} $ImeSetupError == ""
    !insertmacro _ImeRedirectionOff
    ${If} ${RunningX64}
      Delete /REBOOTOK "$WINDIR\System32\${IME_FILE}"
      Delete /REBOOTOK "$WINDIR\SysWOW64\${IME_FILE}"
    ${Else}
      Delete /REBOOTOK "$WINDIR\System32\${IME_FILE}"
    ${EndIf}
    !insertmacro _ImeRedirectionBack
    !insertmacro _ImeRemoveTools "$0"
  ${EndIf}
  !insertmacro _ImeRestoreRegisters
!macroend

; ${ImeInstall}: in the install section. Puts the tools and the IME files in
; place and registers the layout unless an intact registration is there.
!macro ImeInstall
  !insertmacro _ImeErrorVar
  !insertmacro _ImeLoadedVars
  ${CallArtificialFunction} _ImeInstallBody
  !insertmacro _ImeStopOnError
!macroend
!define ImeInstall "!insertmacro ImeInstall"

; ${ImeSetting32} SECTION NAME TEXT: after ${ImeInstall}. halfkey writes TEXT
; as NAME in HKLM\Software\Tevra\SECTION, the 32-bit view; the install fails
; when it is not there afterwards.
!macro ImeSetting32 SECTION NAME TEXT
  !insertmacro _ImeErrorVar
  !insertmacro _ImeArgVars
  StrCpy $ImeSetupArg1 "${SECTION}"
  StrCpy $ImeSetupArg2 "${NAME}"
  StrCpy $ImeSetupArg3 "${TEXT}"
  ${CallArtificialFunction} _ImeSetting32Body
  !insertmacro _ImeStopOnError
!macroend
!define ImeSetting32 "!insertmacro ImeSetting32"

; ${ImeLoadedFile} SOURCE FOLDER: another file of the product that programs
; with the input method keep loaded (a companion DLL, a dictionary), as
; FOLDER\<its name>. It gets the IME file's treatment: a versioned file is
; replaced by a newer version only, another one when its time stamp differs;
; when in use, at the next restart. FOLDER means what it says on 64-bit
; Windows ($WINDIR\System32 is the 64-bit folder).
!macro ImeLoadedFile SOURCE FOLDER
  !insertmacro _ImeErrorVar
  !insertmacro _ImeLoadedVars
  StrCpy $ImeSetupError ""
  !insertmacro _ImeRedirectionOff
  !insertmacro _ImePutLoadedFile "${SOURCE}" "${FOLDER}" ""
  !insertmacro _ImeRedirectionBack
  !insertmacro _ImeStopOnError
!macroend
!define ImeLoadedFile "!insertmacro ImeLoadedFile"

; ${ImeTakeBack}: in .onInstFailed.
!macro ImeTakeBack
  ${CallArtificialFunction} _ImeTakeBackBody
!macroend
!define ImeTakeBack "!insertmacro ImeTakeBack"

; ${un.ImeUninstall}: in the uninstall section. Removes the layout, its
; preload entry, the IME files (at the restart when in use) and the tools.
!macro ImeUninstall
  !insertmacro _ImeErrorVar
  ${CallArtificialFunction} _ImeUninstallBody
  !insertmacro _ImeStopOnError
!macroend
!define un.ImeUninstall "!insertmacro ImeUninstall"

; ${un.ImeDeleteLoadedFile} PATH: a file that ${ImeLoadedFile} put in place,
; deleted now or at the next restart.
!macro ImeDeleteLoadedFile PATH
  !insertmacro _ImeRedirectionOff
  Delete /REBOOTOK "${PATH}"
  !insertmacro _ImeRedirectionBack
!macroend
!define un.ImeDeleteLoadedFile "!insertmacro ImeDeleteLoadedFile"

; ${ImeRestartCode}, ${un.ImeRestartCode}: in .onInstSuccess and
; un.onUninstSuccess. A file in use waits for the restart; a silent run has
; no exit code of its own for that, so it ends with 3010, as Windows
; Installer does.
!macro ImeRestartCode
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
!macroend
!define ImeRestartCode "!insertmacro ImeRestartCode"
!define un.ImeRestartCode "!insertmacro ImeRestartCode"

!endif
