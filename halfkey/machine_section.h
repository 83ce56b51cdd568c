#pragma once

#include <windows.h>

// HKEY_LOCAL_MACHINE\Software\Tevra\<section>, opened or created; the caller closes it.
HKEY OpenMachineProductSection(const char *section);

// Stores text as REG_SZ, its bytes without the terminator; true when stored.
BOOL WriteMachineProductString(const char *section, const char *valueName, const char *text);
