; Sample Inno Setup script for the Tevra IME: a short product setup that
; leaves the IME file, its registration and the tools to ime-setup.iss. One
; setup for 32-bit and 64-bit Windows.
;   ISCC /DDist=<folder with x64\, x86\ and ime\> tevra-ime.iss
; (build-setup.sh beside it runs ISCC under Wine.) ISCC reads the Chinese
; display name right only because this file is UTF-8 with a byte-order mark.
;
; The IME file here is the project's placeholder (dist/ime/<arch>/tevra.ime,
; registrable but never a working input method): a product ships its own.

#ifndef Dist
  #define Dist "..\..\dist"
#endif
; What kbreg registers, and where it records the layout. kbreg's arguments
; cannot hold blanks.
#define IME_FILE "tevra.ime"
#define IME_NAME "中文输入法"
#define IME_SECTION "Ime"
#define IME_VALUE_NAME "HKLID"
#define IME_TOOLS Dist
#define IME_X64 Dist + "\ime\x64\tevra.ime"
#define IME_X86 Dist + "\ime\x86\tevra.ime"

[Setup]
; Never change the AppId: it keeps one uninstall entry and one uninstall log
; across versions, so that a newer setup updates the installed copy. (A
; product whose earlier setups had no AppId keeps their AppName here.)
AppId={{96E638E1-B840-4B76-BABD-B16D7450A6A6}
AppName=Tevra IME
AppVersion={#GetVersionNumbersString(IME_X64)}
AppPublisher=Tevra
UninstallDisplayName=Tevra IME
DefaultDirName={commonpf}\Tevra IME
PrivilegesRequired=admin
ArchitecturesInstallIn64BitMode=x64compatible
OutputBaseFilename=tevra-ime
#include "..\..\modules\ime-setup.iss"

[Code]
{ A setting the product's 32-bit parts read. Runs after the module's own
  PrepareToInstall; text returned here stops Setup (exit code 7), and the
  module takes the registration back. }
function PrepareToInstall(var NeedsRestart: Boolean): String;
begin
  Result := ImeSetting32('{#IME_SECTION}', 'InstallDir', ExpandConstant('{app}'));
end;
