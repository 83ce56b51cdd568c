#pragma once

#include <windows.h>

// HKEY_LOCAL_MACHINE\Software\Tevra\<section>, opened or created; the caller closes it.
HKEY OpenMachineProductSection(const char *section);
