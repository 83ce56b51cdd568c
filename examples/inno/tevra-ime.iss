; Sample Inno Setup script for the Tevra IME: how to drive kbreg and halfkey so
; that a failed registration fails the setup and leaves nothing behind.
;   ISCC /DArch=x64|x86 /DDist=<folder with x64\, x86\ and ime\> tevra-ime.iss
; (build-setup.sh beside it runs ISCC under Wine.) x64: the setup for 64-bit
; Windows, with the 64-bit kbreg and the IME file of both bitnesses. x86: the
; setup for 32-bit Windows, with the 32-bit kbreg and IME file. halfkey is
; 32-bit in both. The version is the tools' file version.
;
; The IME file here is the project's placeholder (dist/ime/<arch>/tevra.ime,
; registrable but never a working input method): a product ships its own under
; its own name. Windows registers an IME file only from the system folder of
; kbreg's bitness and reads it first, so the file is there before kbreg runs,
; and kbreg gets its bare file name.

#ifndef Arch
  #define Arch "x64"
#endif
#ifndef Dist
  #define Dist "..\..\dist"
#endif
; kbreg splits its command line at blanks and keeps quotation marks as
; characters: never quote its arguments. Exec and [UninstallRun] quote only
; its own path. ISCC reads the Chinese display name right only because this
; file is UTF-8 with a byte-order mark.
#define ImeFile "tevra.ime"
#define ImeName "中文输入法"
; The records: Software\Tevra\<Section>, value <ValueName>.
#define Section "Ime"
#define ValueName "HKLID"
#define KbregArgs ImeFile + " " + ImeName + " " + Section + " " + ValueName
#define Version GetVersionNumbersString(Dist + "\" + Arch + "\kbreg.exe")

[Setup]
; Never change the AppId: it keeps one uninstall entry and one uninstall log
; across versions, so that a newer setup updates the installed copy. (A
; product whose earlier setups had no AppId keeps their AppName here.)
AppId={{96E638E1-B840-4B76-BABD-B16D7450A6A6}
AppName=Tevra IME
AppVersion={#Version}
AppPublisher=Tevra
UninstallDisplayName=Tevra IME
DefaultDirName={commonpf}\Tevra IME
; kbreg and halfkey write HKEY_LOCAL_MACHINE and ask for no rights themselves.
; Unelevated, Windows would quietly redirect halfkey's write into the user's
; virtual store and it would still exit with 0.
PrivilegesRequired=admin
; An IME file serves only programs of its own bitness: on 64-bit Windows the
; 32-bit one alone would leave the input method dead in every 64-bit program.
#if Arch == "x64"
ArchitecturesAllowed=x64compatible
ArchitecturesInstallIn64BitMode=x64compatible
#else
ArchitecturesAllowed=x86os
#endif
OutputBaseFilename=tevra-ime-{#Arch}

#if Arch == "x86"
[Messages]
WindowsVersionNotSupported=This setup is for 32-bit Windows. On 64-bit Windows, run tevra-ime-x64.exe.
#endif

[Files]
Source: "{#Dist}\{#Arch}\kbreg.exe"; DestDir: "{app}"
Source: "{#Dist}\x86\halfkey.exe"; DestDir: "{app}"
; The IME files last, after every file that can fail. On a first install
; [Code] puts them in place before kbreg runs, and these entries find the same
; version there. On an update they replace an older file, at the next restart
; when a program has the input method loaded (restartreplace); Setup then
; ends with the /RESTARTEXITCODE given. [Code] removes them at uninstall,
; after kbreg has removed the layout. {sys} is System32 of the install mode's
; bitness: the 64-bit one in the x64 setup.
Source: "{#Dist}\ime\{#Arch}\{#ImeFile}"; DestDir: "{sys}"; Flags: restartreplace uninsneveruninstall
#if Arch == "x64"
Source: "{#Dist}\ime\x86\{#ImeFile}"; DestDir: "{syswow64}"; Flags: restartreplace uninsneveruninstall
#endif

[Code]
var
  { What PrepareToInstall added, for DeinitializeSetup to take back. }
  SysImePut, WowImePut, KbregStarted, Installed: Boolean;
  { An IME file is deleted at the next restart. }
  UninstallRestart: Boolean;

{ The IME file of the [Files] entry for Dir. In the x64 setup and its
  uninstaller [Code] sees the 64-bit System32 too. }
function ImePath(const Dir: String): String;
begin
  Result := ExpandConstant(Dir + '\{#ImeFile}');
end;

{ Puts the IME file into Dir for kbreg to register, unless one is there
  already (an earlier install's, maybe loaded: [Files] replaces it when it is
  older). True when this run put it there. }
function PutImeFile(const Dir: String): Boolean;
begin
  Result := not FileExists(ImePath(Dir));
  if not Result then
    Exit;
  ExtractTemporaryFiles(Dir + '\{#ImeFile}');  // into {tmp}\<Dir>\, braces and all
  if not CopyFile(ExpandConstant('{tmp}\') + Dir + '\{#ImeFile}', ImePath(Dir), True) then
    RaiseException('Could not copy the IME file to ' + ImePath(Dir));
end;

{ Deletes the IME file of Dir; a program using the input method keeps it
  loaded, and then it goes at the next restart. True when it has to wait. }
function RemoveImeFile(const Dir: String): Boolean;
begin
  Result := FileExists(ImePath(Dir)) and not DeleteFile(ImePath(Dir));
  if Result then
    RestartReplace(ImePath(Dir), '');
end;

{ Exec quotes the path. 1 is the tools' only failure: a malformed command line. }
procedure RunTool(const Name, Params: String);
var
  Code: Integer;
begin
  if not Exec(ExpandConstant('{tmp}\') + Name, Params, '', SW_HIDE, ewWaitUntilTerminated, Code)
     or (Code <> 0) then
    RaiseException('Could not run ' + Name + ' ' + Params);
end;

{ Stops an update before it changes anything when another program keeps a
  program file open: Setup's rollback removes the files it added but does not
  put back an older file it replaced, so an update that stopped there would
  leave a mix of versions. }
procedure StopIfInUse(const Name: String);
begin
  if FileExists(ExpandConstant('{app}\' + Name))
     and not SaveStringToFile(ExpandConstant('{app}\' + Name), '', True) then
    RaiseException(ExpandConstant('{app}\') + Name + ' is in use: close the program that uses it and run Setup again.');
end;

{ The layout kbreg recorded, read as kbreg uninstall reads it: the per-user
  record, or the machine-wide one when that is missing or 0. }
function RecordedLayout: String;
begin
  if not RegQueryStringValue(HKCU, 'Software\Tevra\{#Section}', '{#ValueName}', Result)
     or (Result = '') or (Result = '0') then
    if not RegQueryStringValue(HKLM, 'Software\Tevra\{#Section}', '{#ValueName}', Result) then
      Result := '';
end;

{ True when an earlier install's registration is intact: the recorded layout
  is registered and names our IME file (the file name alone, in any case).
  A record that names another input method's layout is never taken as ours. }
function RegistrationIntact: Boolean;
var
  Layout, ImeFile: String;
begin
  Layout := RecordedLayout;
  Result := (Layout <> '') and (Layout <> '0') and (Pos('\', Layout) = 0);
  if Result then
    Result := RegQueryStringValue(HKLM, 'System\CurrentControlSet\Control\Keyboard Layouts\' + Layout,
                                  'Ime File', ImeFile)
              and (CompareText(ExtractFileName(ImeFile), '{#ImeFile}') = 0);
end;

{ The registration happens here, from temporary copies of the tools, before
  Setup installs any file. An exception in CurStepChanged(ssPostInstall) or in
  an AfterInstall does not stop Setup: it reports "Installation process
  succeeded", exits with 0 and keeps every file. Text returned from here is
  Setup's own "cannot proceed": it installs nothing and exits with code 7.
  DeinitializeSetup then takes back what was done here. }
function PrepareToInstall(var NeedsRestart: Boolean): String;
var
  Layout: String;
begin
  Result := '';
  try
    StopIfInUse('kbreg.exe');
    StopIfInUse('halfkey.exe');
    ExtractTemporaryFile('kbreg.exe');
    ExtractTemporaryFile('halfkey.exe');
    { halfkey first: whatever fails from here on must find no layout, or
      remove it. halfkey ends a field at a comma or an apostrophe. }
    RunTool('halfkey.exe', '{#Section},InstallDir,' + ExpandConstant('{app}'));
    { A repair or an update keeps an intact registration: the same layout,
      records and preload entry. Registering again is never safe: Wine adds a
      second layout for the file, and Windows unloads the input method first
      and fails while a program has it loaded. }
    if not RegistrationIntact then begin
      SysImePut := PutImeFile('{sys}');
#if Arch == "x64"
      WowImePut := PutImeFile('{syswow64}');
#endif
      { Exit code 0 proves nothing: kbreg skips a refused registration
        silently and records "0". The per-user record tells; an earlier
        install's record stays, so it goes first. }
      RegDeleteValue(HKCU, 'Software\Tevra\{#Section}', '{#ValueName}');
      KbregStarted := True;
      RunTool('kbreg.exe', 'install {#KbregArgs}');
      if not RegQueryStringValue(HKCU, 'Software\Tevra\{#Section}', '{#ValueName}', Layout)
         or (Layout = '') or (Layout = '0') then
        RaiseException('The Tevra IME could not be registered as a keyboard layout.');
    end;
  except
    Result := GetExceptionMessage;
  end;
end;

procedure CurStepChanged(CurStep: TSetupStep);
begin
  { Reached only when every file is installed and Setup will not roll back. }
  if CurStep = ssPostInstall then
    Installed := True;
end;

{ Called at every end of Setup: after a PrepareToInstall failure, a failed
  install that Setup rolled back, a cancel. The temporary folder and the
  copies in it are still there. Only what this run added goes: after a failed
  update the installed copy keeps its registration and its IME files. A layout
  registered all the same (only the per-user write refused) is found by kbreg
  through the machine-wide record. }
procedure DeinitializeSetup;
var
  Code: Integer;
begin
  if Installed then
    Exit;
  if KbregStarted then
    Exec(ExpandConstant('{tmp}\kbreg.exe'), 'uninstall {#KbregArgs}', '', SW_HIDE, ewWaitUntilTerminated, Code);
  if SysImePut then
    RemoveImeFile('{sys}');
  if WowImePut then
    RemoveImeFile('{syswow64}');
end;

{ The uninstall, before the uninstaller removes any file: the layout first,
  then its IME files. Not in usPostUninstall: the uninstaller asks
  UninstallNeedRestart before that step. }
procedure CurUninstallStepChanged(CurUninstallStep: TUninstallStep);
var
  Code: Integer;
begin
  if CurUninstallStep = usUninstall then begin
    Exec(ExpandConstant('{app}\kbreg.exe'), 'uninstall {#KbregArgs}', '', SW_HIDE, ewWaitUntilTerminated, Code);
    UninstallRestart := RemoveImeFile('{sys}');
#if Arch == "x64"
    if RemoveImeFile('{syswow64}') then
      UninstallRestart := True;
#endif
  end;
end;

{ The restart that deletes an IME file still loaded. }
function UninstallNeedRestart: Boolean;
begin
  Result := UninstallRestart;
end;
