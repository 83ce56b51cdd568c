; Sample Inno Setup script for the Tevra IME: how to drive kbreg and halfkey so
; that a failed registration fails the setup and leaves nothing behind.
;   ISCC /DArch=x64|x86 /DDist=<folder with x64\, x86\ and ime\> tevra-ime.iss
; (build-setup.sh beside it runs ISCC under Wine.) x64: a setup for 64-bit
; Windows with the 64-bit kbreg and the IME file of both bitnesses. x86: the
; 32-bit kbreg and IME file, for 32-bit and 64-bit Windows. halfkey is 32-bit
; in both.
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
#define KbregArgs "tevra.ime 中文输入法 Ime HKLID"

[Setup]
AppName=Tevra IME
AppVersion=1.0
DefaultDirName={commonpf}\Tevra IME
; kbreg and halfkey write HKEY_LOCAL_MACHINE and ask for no rights themselves.
; Unelevated, Windows would quietly redirect halfkey's write into the user's
; virtual store and it would still exit with 0.
PrivilegesRequired=admin
#if Arch == "x64"
ArchitecturesAllowed=x64compatible
ArchitecturesInstallIn64BitMode=x64compatible
#endif
OutputBaseFilename=tevra-ime-{#Arch}

[Files]
Source: "{#Dist}\{#Arch}\kbreg.exe"; DestDir: "{app}"
Source: "{#Dist}\x86\halfkey.exe"; DestDir: "{app}"
; The IME files are put in place and removed by [Code], before any file is
; installed; these entries only carry them. {sys} is System32 of the install
; mode's bitness: the 64-bit one in the x64 setup, SysWOW64 for the x86 setup
; on 64-bit Windows.
Source: "{#Dist}\ime\{#Arch}\tevra.ime"; DestDir: "{sys}"; Flags: dontcopy
#if Arch == "x64"
Source: "{#Dist}\ime\x86\tevra.ime"; DestDir: "{syswow64}"; Flags: dontcopy
#endif

[UninstallRun]
; Runs before the uninstaller removes any file: the layout goes before its IME file.
Filename: "{app}\kbreg.exe"; Parameters: "uninstall {#KbregArgs}"; Flags: runhidden; RunOnceId: "KbregUninstall"

[Code]
var
  { What PrepareToInstall did, for DeinitializeSetup to take back. }
  ImeFilesPut, KbregStarted, Installed: Boolean;

{ Puts the IME file of the [Files] entry for Dir into Dir, or removes it. In
  the x64 setup and its uninstaller [Code] sees the 64-bit System32 too. }
procedure ImeFile(const Dir: String; Put: Boolean);
var
  Target: String;
begin
  Target := ExpandConstant(Dir + '\tevra.ime');
  if Put then begin
    ExtractTemporaryFiles(Dir + '\tevra.ime');  // into {tmp}\<Dir>\, braces and all
    if not CopyFile(ExpandConstant('{tmp}\') + Dir + '\tevra.ime', Target, False) then
      RaiseException('Could not copy the IME file to ' + Target);
  end else if FileExists(Target) and not DeleteFile(Target) then
    RestartReplace(Target, '');  // a program using the input method keeps it open
end;

procedure ImeFiles(Put: Boolean);
begin
  ImeFile('{sys}', Put);
#if Arch == "x64"
  ImeFile('{syswow64}', Put);
#endif
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
    ExtractTemporaryFile('kbreg.exe');
    ExtractTemporaryFile('halfkey.exe');
    ImeFilesPut := True;
    ImeFiles(True);
    { halfkey first: whatever fails from here on must find no layout, or
      remove it. halfkey ends a field at a comma or an apostrophe. }
    RunTool('halfkey.exe', 'Ime,InstallDir,' + ExpandConstant('{app}'));
    { Exit code 0 proves nothing: kbreg skips a refused registration silently
      and records "0". The per-user record tells; an earlier install's
      record stays, so it goes first. }
    RegDeleteValue(HKCU, 'Software\Tevra\Ime', 'HKLID');
    KbregStarted := True;
    RunTool('kbreg.exe', 'install {#KbregArgs}');
    if not RegQueryStringValue(HKCU, 'Software\Tevra\Ime', 'HKLID', Layout)
       or (Layout = '') or (Layout = '0') then
      RaiseException('The Tevra IME could not be registered as a keyboard layout.');
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
  copies in it are still there. A layout registered all the same (only the
  per-user write refused) is found by kbreg through the machine-wide record. }
procedure DeinitializeSetup;
var
  Code: Integer;
begin
  if Installed then
    Exit;
  if KbregStarted then
    Exec(ExpandConstant('{tmp}\kbreg.exe'), 'uninstall {#KbregArgs}', '', SW_HIDE, ewWaitUntilTerminated, Code);
  if ImeFilesPut then
    ImeFiles(False);
end;

procedure CurUninstallStepChanged(CurUninstallStep: TUninstallStep);
begin
  { After [UninstallRun]: the IME file only once its layout is gone. }
  if CurUninstallStep = usPostUninstall then
    ImeFiles(False);
end;
