#include <windows.h>

#include <wchar.h>

#include "../settings/dll_search.h"
#include "command_line.h"
#include "layout_actions.h"

static const WCHAR USAGE_TEXT[] =
    L"kbreg [install/uninstall] [ime file name] [ime chinese name] "
    L"[RegKeySection to save HKL] [HKLID]";
static const WCHAR USAGE_CAPTION[] = L"kbregAll";

/* WinMain: split the command line and run the action its verb names */
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    WCHAR programPath[PROGRAM_PATH_CAPACITY];
    WCHAR verb[ARGUMENT_CAPACITY], imeFile[ARGUMENT_CAPACITY], displayName[ARGUMENT_CAPACITY];
    WCHAR section[ARGUMENT_CAPACITY], valueName[ARGUMENT_CAPACITY];
    WCHAR *tokens[TOKEN_COUNT] = {programPath, verb, imeFile, displayName, section, valueName};

    RestrictDllSearch();
    if (SplitCommandLine(GetCommandLineW(), tokens) < TOKEN_COUNT) {
        MessageBoxW(NULL, USAGE_TEXT, USAGE_CAPTION, MB_OK);
        return 1;
    }
    if (wcscmp(verb, L"install") == 0)
        InstallLayout(imeFile, displayName, section, valueName);
    else if (wcscmp(verb, L"uninstall") == 0)
        UninstallLayout(imeFile, displayName, section, valueName);
    return 0;
}
