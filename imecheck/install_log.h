// Lines in the Windows Installer log (msiexec /l*v FILE): all that a silent
// install leaves behind to say why it failed.
#pragma once

#include <windows.h>

#include <msi.h>

// Writes text as an informational message; [1] to [count] in it stand for
// the texts in fields, taken as they are.
void LogInstallInfo(MSIHANDLE install, const WCHAR *text, const WCHAR *const *fields, UINT count);
