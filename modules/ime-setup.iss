; ime-setup.iss: the Tevra IME's keyboard layout in an Inno Setup 6 setup,
; through kbreg and halfkey, for the whole life of an install: first
; install, repair, update with the IME files in use, a failed install taken
; back, uninstall, and the restart that finishes them. One setup serves both
; Windows: in 64-bit mode the 64-bit kbreg and the IME file of each bitness,
; on 32-bit Windows the 32-bit kbreg and IME file.
;
; #define before the #include (or ISCC /D):
;   IME_FILE        the IME file's name in the system folders, as kbreg registers it
;   IME_NAME        its display name; IME_SECTION and IME_VALUE_NAME: where kbreg
;                   records the layout (HKLM and HKCU Software\Tevra\<IME_SECTION>)
;   IME_TOOLS       a release of the tools (x64\kbreg.exe, x86\kbreg.exe, x86\halfkey.exe)
;   IME_X64, IME_X86  the product's 64-bit and 32-bit IME files
; and #include it after [Setup], which must say PrivilegesRequired=admin and
; ArchitecturesInstallIn64BitMode=x64compatible. It adds [Files] entries of
; its own and hooks Setup through event attributes only, so the script's own
; InitializeSetup, PrepareToInstall, CurStepChanged, DeinitializeSetup,
; CurUninstallStepChanged and UninstallNeedRestart work beside it. It ends
; in [Setup], where it began. Its one function for the script's own code:
;   ImeSetting32(Section, Name, Text): String  (see below)
; Paths in the defines are relative to the main script, as every Source is.

#ifndef IME_SETUP_ISS
#define IME_SETUP_ISS

#ifndef IME_FILE
  #error ime-setup.iss: #define IME_FILE before the #include (IME_FILE, IME_NAME, IME_SECTION, IME_VALUE_NAME, IME_TOOLS, IME_X64, IME_X86)
#endif
#ifndef IME_NAME
  #error ime-setup.iss: #define IME_NAME before the #include (IME_FILE, IME_NAME, IME_SECTION, IME_VALUE_NAME, IME_TOOLS, IME_X64, IME_X86)
#endif
#ifndef IME_SECTION
  #error ime-setup.iss: #define IME_SECTION before the #include (IME_FILE, IME_NAME, IME_SECTION, IME_VALUE_NAME, IME_TOOLS, IME_X64, IME_X86)
#endif
#ifndef IME_VALUE_NAME
  #error ime-setup.iss: #define IME_VALUE_NAME before the #include (IME_FILE, IME_NAME, IME_SECTION, IME_VALUE_NAME, IME_TOOLS, IME_X64, IME_X86)
#endif
#ifndef IME_TOOLS
  #error ime-setup.iss: #define IME_TOOLS before the #include (IME_FILE, IME_NAME, IME_SECTION, IME_VALUE_NAME, IME_TOOLS, IME_X64, IME_X86)
#endif
#ifndef IME_X64
  #error ime-setup.iss: #define IME_X64 before the #include (IME_FILE, IME_NAME, IME_SECTION, IME_VALUE_NAME, IME_TOOLS, IME_X64, IME_X86)
#endif
#ifndef IME_X86
  #error ime-setup.iss: #define IME_X86 before the #include (IME_FILE, IME_NAME, IME_SECTION, IME_VALUE_NAME, IME_TOOLS, IME_X64, IME_X86)
#endif
; kbreg splits its command line at blanks and keeps quotation marks, and
; halfkey's section ends at a comma or an apostrophe.
#define ImeKbregArgument(str S) Pos(" ", S) == 0 && Pos('"', S) == 0
#if !ImeKbregArgument(IME_FILE) || !ImeKbregArgument(IME_NAME) || !ImeKbregArgument(IME_SECTION) || !ImeKbregArgument(IME_VALUE_NAME)
  #error ime-setup.iss: IME_FILE, IME_NAME, IME_SECTION and IME_VALUE_NAME may hold no blank or quotation mark: kbreg cannot take them
#endif
#define ImeKbregArgs IME_FILE + " " + IME_NAME + " " + IME_SECTION + " " + IME_VALUE_NAME
#if Pos(",", IME_SECTION) || Pos("'", IME_SECTION)
  #error ime-setup.iss: IME_SECTION may hold no comma or apostrophe: halfkey cannot take them
#endif
; kbreg and halfkey write HKEY_LOCAL_MACHINE and ask for no rights: unelevated,
; Windows would quietly redirect halfkey's write into the user's virtual
; store. An IME file serves only programs of its own bitness: the 64-bit
; file goes into the 64-bit System32, which needs 64-bit mode.
#if LowerCase(SetupSetting("PrivilegesRequired")) != "admin"
  #error ime-setup.iss: [Setup] before the #include must say PrivilegesRequired=admin
#endif
#if LowerCase(SetupSetting("ArchitecturesInstallIn64BitMode")) != "x64compatible"
  #error ime-setup.iss: [Setup] before the #include must say ArchitecturesInstallIn64BitMode=x64compatible
#endif
; The tools live where only administrators can write, whatever folder the
; user installs the product into: an elevated setup and uninstaller start
; them, and a folder such as C:\Acme inherits "Authenticated Users: Modify".
#define ImeToolsDir "{commoncf}\Tevra\" + IME_SECTION

[Files]
Source: "{#IME_TOOLS}\x64\kbreg.exe"; DestDir: "{#ImeToolsDir}"; Check: Is64BitInstallMode
Source: "{#IME_TOOLS}\x86\kbreg.exe"; DestDir: "{#ImeToolsDir}"; Check: not Is64BitInstallMode
Source: "{#IME_TOOLS}\x86\halfkey.exe"; DestDir: "{#ImeToolsDir}"
; Copies for [Code], which runs the tools from Setup's own temporary folder
; and puts the IME files in place before kbreg runs.
Source: "{#IME_TOOLS}\x64\kbreg.exe"; DestName: "ime-setup-kbreg-x64.exe"; Flags: dontcopy
Source: "{#IME_TOOLS}\x86\kbreg.exe"; DestName: "ime-setup-kbreg-x86.exe"; Flags: dontcopy
Source: "{#IME_X64}"; DestName: "ime-setup-x64.ime"; Flags: dontcopy
Source: "{#IME_X86}"; DestName: "ime-setup-x86.ime"; Flags: dontcopy
; The IME files last, after every file that can fail. On a first install
; [Code] put them in place before kbreg ran, and these entries find the same
; version there. On an update they replace an older file, at the next
; restart when a program has the input method loaded (restartreplace);
; Setup then ends with the /RESTARTEXITCODE given. [Code] removes them at
; uninstall, after kbreg has removed the layout. In 64-bit mode {sys} is
; the 64-bit System32.
Source: "{#IME_X64}"; DestDir: "{sys}"; DestName: "{#IME_FILE}"; Check: Is64BitInstallMode; Flags: restartreplace uninsneveruninstall
Source: "{#IME_X86}"; DestDir: "{syswow64}"; DestName: "{#IME_FILE}"; Check: Is64BitInstallMode; Flags: restartreplace uninsneveruninstall
Source: "{#IME_X86}"; DestDir: "{sys}"; DestName: "{#IME_FILE}"; Check: not Is64BitInstallMode; Flags: restartreplace uninsneveruninstall

[Code]
var
  { What ImeSetupPrepareToInstall added, for ImeSetupDeinitializeSetup. }
  ImeSetupSysPut, ImeSetupWowPut, ImeSetupKbregStarted, ImeSetupInstalled: Boolean;
  { An IME file is deleted at the next restart. }
  ImeSetupUninstallRestart: Boolean;

{ The IME file in Dir, the constant of a system folder (sys or syswow64).
  In 64-bit mode [Code] sees the 64-bit System32, as the [Files] entries do. }
function ImeSetupImePath(const Dir: String): String;
begin
  Result := ExpandConstant(Dir + '\{#IME_FILE}');
end;

{ Puts the IME file of Arch into Dir for kbreg to register, unless one is
  there already (an earlier install's, maybe loaded: [Files] replaces it
  when it is older). True when this run put it there. }
function ImeSetupPutImeFile(const Arch, Dir: String): Boolean;
begin
  Result := not FileExists(ImeSetupImePath(Dir));
  if not Result then
    Exit;
  ExtractTemporaryFile('ime-setup-' + Arch + '.ime');
  if not CopyFile(ExpandConstant('{tmp}\ime-setup-' + Arch + '.ime'), ImeSetupImePath(Dir), True) then
    RaiseException('Could not copy the IME file to ' + ImeSetupImePath(Dir));
end;

{ Deletes the IME file of Dir; a program using the input method keeps it
  loaded, and then it goes at the next restart. True when it has to wait. }
function ImeSetupRemoveImeFile(const Dir: String): Boolean;
begin
  Result := FileExists(ImeSetupImePath(Dir)) and not DeleteFile(ImeSetupImePath(Dir));
  if Result then
    RestartReplace(ImeSetupImePath(Dir), '');
end;

{ The kbreg of the install mode's bitness, in Setup's temporary folder. }
function ImeSetupKbreg: String;
begin
  if Is64BitInstallMode then
    Result := 'ime-setup-kbreg-x64.exe'
  else
    Result := 'ime-setup-kbreg-x86.exe';
  if not FileExists(ExpandConstant('{tmp}\') + Result) then
    ExtractTemporaryFile(Result);
  Result := ExpandConstant('{tmp}\') + Result;
end;

{ Exec quotes the path. 1 is the tools' only failure, a malformed command
  line; 0 does not prove that anything was written. }
procedure ImeSetupRun(const Path, Params: String);
var
  Code: Integer;
begin
  if not Exec(Path, Params, '', SW_HIDE, ewWaitUntilTerminated, Code) or (Code <> 0) then
    RaiseException('Could not run ' + Path + ' ' + Params);
end;

{ Stops an update before it changes anything when another program keeps a
  tool open: Setup's rollback does not put back an older file it replaced. }
procedure ImeSetupStopIfInUse(const Name: String);
var
  Path: String;
begin
  Path := ExpandConstant('{#ImeToolsDir}\') + Name;
  if FileExists(Path) and not SaveStringToFile(Path, '', True) then
    RaiseException(Path + ' is in use: close the program that uses it and run Setup again.');
end;

{ True when the layout key Layout has an Ime File naming our IME file (the
  file name alone, in any case). }
function ImeSetupLayoutIsOurs(const Layout: String): Boolean;
var
  ImeFile: String;
begin
  Result := (Layout <> '') and (Layout <> '0') and (Pos('\', Layout) = 0)
            and RegQueryStringValue(HKLM, 'System\CurrentControlSet\Control\Keyboard Layouts\' + Layout,
                                    'Ime File', ImeFile)
            and (CompareText(ExtractFileName(ImeFile), '{#IME_FILE}') = 0);
end;

{ Our registered layout, or ''. A repair or an update keeps an intact
  registration: the record, read as kbreg uninstall reads it (per-user, else
  machine-wide in kbreg's view, which is the install mode's), names a layout
  whose Ime File is ours. A record that names another input method's layout
  is never taken as ours. When no record names it but a layout for our file
  is registered (an older installer's, or one whose record was lost), that
  one is ours, and it is recorded as kbreg records a layout. }
function ImeSetupOurLayout: String;
var
  Names: TArrayOfString;
  I: Integer;
begin
  if not RegQueryStringValue(HKCU, 'Software\Tevra\{#IME_SECTION}', '{#IME_VALUE_NAME}', Result)
     or (Result = '') or (Result = '0') then
    if not RegQueryStringValue(HKLM, 'Software\Tevra\{#IME_SECTION}', '{#IME_VALUE_NAME}', Result) then
      Result := '';
  if ImeSetupLayoutIsOurs(Result) then
    Exit;
  Result := '';
  if RegGetSubkeyNames(HKLM, 'System\CurrentControlSet\Control\Keyboard Layouts', Names) then
    for I := 0 to GetArrayLength(Names) - 1 do
      if ImeSetupLayoutIsOurs(Names[I]) then begin
        Result := Names[I];
        RegWriteStringValue(HKLM, 'Software\Tevra\{#IME_SECTION}', '{#IME_VALUE_NAME}', Result);
        RegWriteStringValue(HKCU, 'Software\Tevra\{#IME_SECTION}', '{#IME_VALUE_NAME}', Result);
        Exit;
      end;
end;

{ ImeSetting32(Section, Name, Text): halfkey writes Text as Name in
  HKLM\Software\Tevra\<Section>, the 32-bit view. Returns '' when the value
  is there afterwards, else the reason: return it from the script's own
  PrepareToInstall, which runs after the module's, and Setup stops with exit
  code 7 and takes the registration back. halfkey ends a field at a comma and
  the text at an apostrophe, and exits with 0 even when Windows redirected
  its write into the user's virtual store: the value read back tells. }
function ImeSetting32(const Section, Name, Text: String): String;
var
  Stored: String;
begin
  Result := '';
  try
    if not FileExists(ExpandConstant('{tmp}\halfkey.exe')) then
      ExtractTemporaryFile('halfkey.exe');
    ImeSetupRun(ExpandConstant('{tmp}\halfkey.exe'), Section + ',' + Name + ',' + Text);
    if not RegQueryStringValue(HKLM32, 'Software\Tevra\' + Section, Name, Stored) or (Stored <> Text) then
      RaiseException('Could not write ' + Name + ' into HKLM\Software\Tevra\' + Section
                     + ' (32-bit view): run Setup as an administrator, with no comma or apostrophe in the text.');
  except
    Result := GetExceptionMessage;
  end;
end;

{ The registration, from temporary copies of the tools, before Setup installs
  any file. An exception in CurStepChanged(ssPostInstall) or in an
  AfterInstall does not stop Setup: it reports success, exits with 0 and
  keeps every file. Text returned from here is Setup's own "cannot proceed":
  it installs nothing and exits with code 7; ImeSetupDeinitializeSetup then
  takes back what was done here. }
<event('PrepareToInstall')>
function ImeSetupPrepareToInstall(var NeedsRestart: Boolean): String;
var
  Layout: String;
begin
  Result := '';
  try
    { 32-bit mode on 64-bit Windows (an ARM64 Windows without x64 emulation)
      would leave every 64-bit program without the input method. }
    if IsWin64 and not Is64BitInstallMode then
      RaiseException('This setup installs the input method for 64-bit programs only in 64-bit mode, which this Windows does not offer.');
    ImeSetupStopIfInUse('kbreg.exe');
    ImeSetupStopIfInUse('halfkey.exe');
    if ImeSetupOurLayout = '' then begin
      if Is64BitInstallMode then begin
        ImeSetupSysPut := ImeSetupPutImeFile('x64', '{sys}');
        ImeSetupWowPut := ImeSetupPutImeFile('x86', '{syswow64}');
      end else
        ImeSetupSysPut := ImeSetupPutImeFile('x86', '{sys}');
      { Exit code 0 proves nothing: kbreg skips a refused registration
        silently and records "0". The per-user record tells; an earlier
        install's record stays, so it goes first. Registering again over an
        intact registration is never safe: Wine adds a second layout for the
        file, and Windows unloads the input method first and fails while a
        program has it loaded. }
      RegDeleteValue(HKCU, 'Software\Tevra\{#IME_SECTION}', '{#IME_VALUE_NAME}');
      ImeSetupKbregStarted := True;
      ImeSetupRun(ImeSetupKbreg, 'install {#ImeKbregArgs}');
      if not RegQueryStringValue(HKCU, 'Software\Tevra\{#IME_SECTION}', '{#IME_VALUE_NAME}', Layout)
         or (Layout = '') or (Layout = '0') then
        RaiseException('The input method {#IME_NAME} ({#IME_FILE}) could not be registered as a keyboard layout.');
    end;
  except
    Result := GetExceptionMessage;
  end;
end;

{ Reached only when every file is installed and Setup will not roll back. }
<event('CurStepChanged')>
procedure ImeSetupCurStepChanged(CurStep: TSetupStep);
begin
  if CurStep = ssPostInstall then
    ImeSetupInstalled := True;
end;

{ Called at every end of Setup: after a PrepareToInstall failure, a failed
  install that Setup rolled back, a cancel; the temporary folder and the
  copies in it are still there. Only what this run added goes: after a
  failed update the installed copy keeps its registration and its IME files.
  A layout registered all the same (only the per-user write refused) is found
  by kbreg through the machine-wide record. }
<event('DeinitializeSetup')>
procedure ImeSetupDeinitializeSetup;
var
  Code: Integer;
begin
  if ImeSetupInstalled then
    Exit;
  if ImeSetupKbregStarted then
    Exec(ImeSetupKbreg, 'uninstall {#ImeKbregArgs}', '', SW_HIDE, ewWaitUntilTerminated, Code);
  if ImeSetupSysPut then
    ImeSetupRemoveImeFile('{sys}');
  if ImeSetupWowPut then
    ImeSetupRemoveImeFile('{syswow64}');
end;

{ The uninstall, before the uninstaller removes any file: the layout first,
  then its IME files. Not in usPostUninstall: the uninstaller asks
  UninstallNeedRestart before that step. }
<event('CurUninstallStepChanged')>
procedure ImeSetupCurUninstallStepChanged(CurUninstallStep: TUninstallStep);
var
  Code: Integer;
begin
  if CurUninstallStep = usUninstall then begin
    Exec(ExpandConstant('{#ImeToolsDir}\kbreg.exe'), 'uninstall {#ImeKbregArgs}', '', SW_HIDE,
         ewWaitUntilTerminated, Code);
    ImeSetupUninstallRestart := ImeSetupRemoveImeFile('{sys}');
    if Is64BitInstallMode and ImeSetupRemoveImeFile('{syswow64}') then
      ImeSetupUninstallRestart := True;
  end;
end;

{ The restart that deletes an IME file still loaded. }
<event('UninstallNeedRestart')>
function ImeSetupUninstallNeedRestart: Boolean;
begin
  Result := ImeSetupUninstallRestart;
end;

#endif

[Setup]
