// The product settings key: Software\Tevra\<section> under a registry root,
// holding string values stored without a terminator.
#pragma once

#include <windows.h>

HKEY OpenProductSection(HKEY root, const WCHAR *section);
BOOL WriteProductString(HKEY root, const WCHAR *section, const WCHAR *valueName, const WCHAR *text);
BOOL WriteProductStringEverywhere(const WCHAR *section, const WCHAR *valueName, const WCHAR *text);

// out holds outBytes bytes plus one code unit for the terminator.
int ReadProductString(HKEY root, const WCHAR *section, const WCHAR *valueName,
                      const WCHAR *defaultText, WCHAR *out, DWORD outBytes);
int ReadProductStringPreferUser(const WCHAR *section, const WCHAR *valueName,
                                const WCHAR *defaultText, WCHAR *out, DWORD outBytes);
