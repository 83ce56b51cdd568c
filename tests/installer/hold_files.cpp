// Keeps files in use the way running programs do, for the installer tests:
// an IME file (.ime) loaded as every program with an active input method
// loads it, any other file open for reading without sharing write or delete.
//   hold_files.exe READY FILE...
// Creates READY once every FILE is held, and lets go when READY is deleted.
// Exits with 1 (and creates nothing) when a FILE cannot be held.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

// True for a name that ends with .ime, in any case.
bool IsImeFile(const wchar_t *path) {
    size_t length = wcslen(path);
    return length >= 4 && _wcsicmp(path + length - 4, L".ime") == 0;
}

bool HoldFile(const wchar_t *path) {
    if (IsImeFile(path)) return LoadLibraryExW(path, nullptr, 0) != nullptr;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return file != INVALID_HANDLE_VALUE;  // held until the process ends
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: hold_files READY FILE...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        if (!HoldFile(argv[i])) {
            fwprintf(stderr, L"hold_files: cannot hold %ls (error %lu)\n", argv[i], GetLastError());
            return 1;
        }
    }
    HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(ready);
    while (GetFileAttributesW(argv[1]) != INVALID_FILE_ATTRIBUTES) Sleep(100);
    return 0;
}
