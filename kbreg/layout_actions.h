// kbreg's two actions. All text is wide; neither reports anything.
#pragma once

#include <windows.h>

void InstallLayout(const WCHAR *imeFile, const WCHAR *displayName, const WCHAR *section,
                   const WCHAR *valueName);
// Uninstall removes the recorded layout only when its key names imeFile (the
// file name alone, in any case) as its IME file.
void UninstallLayout(const WCHAR *imeFile, const WCHAR *displayName, const WCHAR *section,
                     const WCHAR *valueName);
