#include "run_program.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const DWORD RUN_TIMEOUT_MS = 30000;

std::wstring WindowsPath(const char *unixPath)
{
    std::wstring path = L"Z:";
    for (const char *c = unixPath; *c; ++c)
        path += *c == '/' ? L'\\' : (wchar_t)*c;
    return path;
}

bool Start(const std::wstring &exe, const std::wstring &commandLine, PROCESS_INFORMATION *process)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessW(exe.c_str(), line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                          process) != FALSE;
}

DWORD Finish(PROCESS_INFORMATION &process)
{
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, RUN_TIMEOUT_MS) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, ~0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

}  // namespace

std::wstring KbregExe(const char *arch)
{
    return WindowsPath((std::string(DIST_ROOT) + "/" + arch + "/kbreg.exe").c_str());
}

std::wstring KbregExe() { return KbregExe(sizeof(void *) == 8 ? "x64" : "x86"); }

std::wstring HalfkeyExe() { return WindowsPath(DIST_ROOT "/x86/halfkey.exe"); }

std::wstring QuotedCommand(const std::wstring &exe, const std::wstring &args)
{
    return L"\"" + exe + L"\" " + args;
}

DWORD RunProgram(const std::wstring &exe, const std::wstring &commandLine)
{
    PROCESS_INFORMATION process;
    if (!Start(exe, commandLine, &process))
        return ~0u;
    return Finish(process);
}

MessageBoxSeen RunAndDismissBox(const std::wstring &exe, const std::wstring &commandLine,
                                const std::wstring &caption)
{
    MessageBoxSeen seen;
    PROCESS_INFORMATION process;
    // Without an X display Wine's message boxes return at once, unseen.
    if (!GetEnvironmentVariableW(L"DISPLAY", NULL, 0))
        ADD_FAILURE() << "DISPLAY is not set: start Xvfb to see message boxes";
    if (!Start(exe, commandLine, &process))
        return seen;
    for (DWORD waited = 0; waited < RUN_TIMEOUT_MS; waited += 50) {
        HWND box = FindWindowW(NULL, caption.c_str());
        if (box) {
            wchar_t text[1024] = {}, title[256] = {};
            // The box's message is the static control with id 0xFFFF.
            for (int tries = 0; tries < 100 && !text[0]; ++tries, Sleep(20))
                GetDlgItemTextW(box, 0xFFFF, text, 1024);
            GetWindowTextW(box, title, 256);
            seen.shown = true;
            seen.text = text;
            seen.caption = title;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            break;
        }
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0)
            break;
    }
    seen.exitCode = Finish(process);
    return seen;
}

PlantedDllRun RunBesidePlantedDll(const std::wstring &exe, const std::wstring &args,
                                  const std::wstring &caption)
{
    PlantedDllRun run;
    wchar_t overrides[256] = {}, temp[MAX_PATH];
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 256);
    if (!wcsstr(overrides, L"uxtheme=n"))
        ADD_FAILURE() << "WINEDLLOVERRIDES lacks uxtheme=n,b: Wine would never run the planted DLL";
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"planted-" + std::to_wstring(GetCurrentProcessId());
    std::wstring copy = folder + exe.substr(exe.rfind(L'\\'));
    std::wstring dll = folder + L"\\uxtheme.dll", marker = dll + L".ran";
    CreateDirectoryW(folder.c_str(), NULL);
    if (!CopyFileW(exe.c_str(), copy.c_str(), FALSE) ||
        !CopyFileW(WindowsPath(MARKER_DLL).c_str(), dll.c_str(), FALSE)) {
        ADD_FAILURE() << "could not set up " << testing::PrintToString(folder);
    } else {
        run.box = RunAndDismissBox(copy, QuotedCommand(copy, args), caption);
        run.dllRan = GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    for (const std::wstring &file : {marker, dll, copy})
        DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
    return run;
}
