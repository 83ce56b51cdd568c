// The second floor: an empty WinMain program that imports one function from
// each system DLL a tool imports, so that the loader maps and starts the same
// DLLs. IMPORT_IMM32 adds kbreg's IMM32.
#include <windows.h>
#ifdef IMPORT_IMM32
#include <imm.h>
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Taken but never called; the volatile store keeps each import.
    void *volatile imports[] = {
        (void *)&RegCloseKey,
        (void *)&MessageBoxW,
#ifdef IMPORT_IMM32
        (void *)&ImmInstallIMEW,
#endif
    };
    (void)imports;
    return 0;
}
