#include "machine_section.h"

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
