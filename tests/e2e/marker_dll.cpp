// A DLL that leaves a file beside itself when it is loaded: planted under a
// system DLL's name beside a program, it shows whether the program ran it.
#include <windows.h>

#include <wchar.h>

/* DllMain: on load, create <this DLL's path>.ran */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    wchar_t marker[MAX_PATH + 8];
    DWORD length = GetModuleFileNameW(instance, marker, MAX_PATH);

    if (reason != DLL_PROCESS_ATTACH || length == 0 || length >= MAX_PATH)
        return TRUE;
    wcscat(marker, L".ran");
    HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}
