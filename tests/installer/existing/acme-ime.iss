; An Inno Setup script shaped like an existing product's, with ime-setup.iss
; added as the installer guide says: its own event functions (each leaves a
; mark in HKLM\Software\Acme\Pinyin\Ran, 32-bit view), its own [Registry]
; entry, [Setup] lines after the include, and a companion file that programs
; with the input method keep loaded.
;   ISCC /DDist=<dist> /DCompanion=<...\acme.dict> acme-ime.iss

; The lines the guide has an author add.
#define IME_FILE "tevra.ime"
#define IME_NAME "中文输入法"
#define IME_SECTION "Ime"
#define IME_VALUE_NAME "HKLID"
#define IME_TOOLS Dist
#define IME_X64 Dist + "\ime\x64\tevra.ime"
#define IME_X86 Dist + "\ime\x86\tevra.ime"

[Setup]
AppId=Acme Pinyin
AppName=Acme Pinyin
AppVersion=1.0
DefaultDirName={commonpf}\Acme Pinyin
PrivilegesRequired=admin
ArchitecturesInstallIn64BitMode=x64compatible
#include "..\..\..\modules\ime-setup.iss"
; Still [Setup] here.
UninstallDisplayName=Acme Pinyin

[Files]
Source: "{#Companion}"; DestDir: "{app}"; Flags: restartreplace uninsrestartdelete

[Registry]
Root: HKLM32; Subkey: "Software\Acme\Pinyin"; ValueType: string; ValueName: "Setting"; ValueData: "{app}"

[Code]
procedure Ran(const Event: String);
begin
  RegWriteStringValue(HKLM32, 'Software\Acme\Pinyin\Ran', Event, '1');
end;

function InitializeSetup: Boolean;
begin
  Ran('InitializeSetup');
  Result := True;
end;

function PrepareToInstall(var NeedsRestart: Boolean): String;
begin
  Ran('PrepareToInstall');
  Result := ImeSetting32('{#IME_SECTION}', 'InstallDir', ExpandConstant('{app}'));
end;

procedure CurStepChanged(CurStep: TSetupStep);
begin
  if CurStep = ssPostInstall then
    Ran('CurStepChanged');
end;

procedure DeinitializeSetup;
begin
  Ran('DeinitializeSetup');
end;

procedure CurUninstallStepChanged(CurUninstallStep: TUninstallStep);
begin
  if CurUninstallStep = usPostUninstall then
    Ran('CurUninstallStepChanged');
end;

function UninstallNeedRestart: Boolean;
begin
  Ran('UninstallNeedRestart');
  Result := False;
end;
