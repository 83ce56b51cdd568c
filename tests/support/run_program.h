// Starting the built programs with an exact command line.
#pragma once

#include <windows.h>

#include <string>

// Windows paths of the built executables (Wine maps / to Z:\).
std::wstring KbregExe(const char *arch);  // "x64" or "x86"
std::wstring KbregExe();                  // this test build's own
std::wstring HalfkeyExe();

// Starts exe with exactly commandLine (what GetCommandLineW will return) and
// waits for it; returns its exit code, or ~0u if it would not start or end.
DWORD RunProgram(const std::wstring &exe, const std::wstring &commandLine);

// The quoted exe followed by a blank and args, as an installer would start it.
std::wstring QuotedCommand(const std::wstring &exe, const std::wstring &args);

struct MessageBoxSeen {
    bool shown = false;
    std::wstring text, caption;
    DWORD exitCode = ~0u;
};

// Starts exe, waits for a top-level window with this caption, reads its
// static text, presses OK and returns what it saw and the exit code.
MessageBoxSeen RunAndDismissBox(const std::wstring &exe, const std::wstring &commandLine,
                                const std::wstring &caption);

struct PlantedDllRun {
    MessageBoxSeen box;
    bool dllRan = false;
};

// Copies exe into a folder of its own beside the test tree's marker DLL named
// uxtheme.dll, which the message box loads, starts the copy with args as
// RunAndDismissBox does and tells whether the DLL ran. Wine runs a DLL of that
// name only under WINEDLLOVERRIDES=uxtheme=n,b (native first), which it reads
// from the environment it was started with: tests/CMakeLists.txt sets it.
PlantedDllRun RunBesidePlantedDll(const std::wstring &exe, const std::wstring &args,
                                  const std::wstring &caption);
