#include "machine_section.h"

#include <string.h>

/* OpenMachineProductSection: the narrow twin of OpenProductSection, machine-wide */
HKEY OpenMachineProductSection(const char *section)
{
    HKEY software, tevra, result = NULL;
    DWORD disposition;

    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &software) != ERROR_SUCCESS)
        return NULL;
    if (RegCreateKeyExA(software, "Tevra", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &tevra,
                        &disposition) == ERROR_SUCCESS) {
        if (RegCreateKeyExA(tevra, section, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &result,
                            &disposition) != ERROR_SUCCESS)
            result = NULL;
        RegCloseKey(tevra);
    }
    RegCloseKey(software);
    return result;
}

/* WriteMachineProductString: the section value, machine-wide, characters only */
BOOL WriteMachineProductString(const char *section, const char *valueName, const char *text)
{
    HKEY key = OpenMachineProductSection(section);
    LONG status;

    if (!key)
        return FALSE;
    status = RegSetValueExA(key, valueName, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}
