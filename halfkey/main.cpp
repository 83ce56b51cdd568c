#include <windows.h>

#include "../settings/dll_search.h"
#include "machine_section.h"
#include "section_value.h"

/* WinMain: write section,valueName,text into the machine-wide settings key */
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char section[FIELD_CAPACITY], valueName[FIELD_CAPACITY], value[FIELD_CAPACITY];

    RestrictDllSearch();
    // The runtimes disagree on what they hand WinMain, so the rule is applied here.
    if (SplitSectionValue(SkipProgramName(GetCommandLineA()), section, valueName, value) < 3) {
        MessageBoxA(NULL, "Set WOW64_Reg Error", "TevraW7", MB_OK);
        return 1;
    }
    // A missing "Software", a refused create or a failed write is not reported.
    WriteMachineProductString(section, valueName, value);
    return 0;
}
