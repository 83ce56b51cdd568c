#include <windows.h>

#include <string.h>

#include "machine_section.h"
#include "section_value.h"

/* WinMain: write section,valueName,text into the machine-wide settings key */
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char section[FIELD_CAPACITY], valueName[FIELD_CAPACITY], value[FIELD_CAPACITY];
    HKEY key;

    // The runtimes disagree on what they hand WinMain, so the rule is applied here.
    if (SplitSectionValue(SkipProgramName(GetCommandLineA()), section, valueName, value) < 3) {
        MessageBoxA(NULL, "Set WOW64_Reg Error", "TevraW7", MB_OK);
        return 1;
    }
    key = OpenMachineProductSection(section);
    if (key) {
        RegSetValueExA(key, valueName, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value));
        RegCloseKey(key);
    }
    return 0;
}
