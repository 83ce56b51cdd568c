#include "dll_search.h"

#include <windows.h>

typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD directoryFlags);

/* RestrictDllSearch: take DLLs loaded after this point from the system folder only */
void RestrictDllSearch(void)
{
    // The statically imported DLLs are known to the system, but the message
    // box brings in others (uxtheme.dll and the like) that Windows would look
    // for in the program's own folder first: a folder that is not always
    // writable by administrators alone, while the program runs elevated.
    // Looked up rather than imported: Windows 7 without KB2533623 has no
    // SetDefaultDllDirectories, and there the programs run as they always did.
    // A failed call leaves the search as it was, with nothing to report.
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel32 ? GetProcAddress(kernel32, "SetDefaultDllDirectories") : NULL;

    if (proc)
        ((SetDefaultDllDirectoriesProc)(void (*)(void))proc)(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
