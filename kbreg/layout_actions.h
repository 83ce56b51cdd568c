// kbreg's two actions. All text is wide; neither reports anything.
#pragma once

#include <windows.h>

void InstallLayout(const WCHAR *imeFile, const WCHAR *displayName, const WCHAR *section,
                   const WCHAR *valueName);
void UninstallLayout(const WCHAR *imeFile, const WCHAR *displayName, const WCHAR *section,
                     const WCHAR *valueName);
