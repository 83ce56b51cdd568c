#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <wchar.h>

#include "../kbreg/layout_owner.h"
#include "../kbreg/layout_text.h"
#include "action_data.h"
#include "install_log.h"

/* CheckImeRegistration: fail the install unless the record names our IME file's layout */
extern "C" UINT WINAPI CheckImeRegistration(MSIHANDLE install)
{
    WCHAR data[ACTION_DATA_CAPACITY];
    WCHAR imeFile[ARGUMENT_CAPACITY], section[ARGUMENT_CAPACITY], valueName[ARGUMENT_CAPACITY];
    WCHAR *fields[ACTION_FIELD_COUNT] = {imeFile, section, valueName};
    WCHAR layout[LAYOUT_TEXT_CAPACITY] = L"";
    const WCHAR *logged[] = {imeFile, section, valueName, layout};
    DWORD length = ACTION_DATA_CAPACITY;
    LayoutOwner owner = LAYOUT_GONE;
    HKEY layouts;

    // A deferred action sees no property but CustomActionData, which the
    // package sets just before it from the arguments kbreg install had.
    if (MsiGetPropertyW(install, L"CustomActionData", data, &length) != ERROR_SUCCESS ||
        !SplitActionData(data, fields)) {
        LogInstallInfo(install, L"CheckImeRegistration: CustomActionData is not "
                       L"\"<ime file> <section> <value name>\": nothing checked.", NULL, 0);
        return ERROR_INSTALL_FAILURE;
    }
    // kbreg exits with 0 whatever the system answered, and records "0" for a
    // refused registration. It runs as this action does, so the per-user
    // record it wrote is the one read here.
    if (!ReadRecordedLayout(section, valueName, layout) || wcscmp(layout, L"0") == 0) {
        LogInstallInfo(install, L"CheckImeRegistration: Software\\Tevra\\[2]\\[3] records no layout "
                       L"(per-user, then machine-wide): [1] was not registered as a keyboard layout. "
                       L"The system refuses it when every layout slot is taken, or when the file is not "
                       L"an input method in the system folder of kbreg's bitness.", logged, 3);
        return ERROR_INSTALL_FAILURE;
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, LAYOUTS_PATH, 0, KEY_READ, &layouts) == ERROR_SUCCESS) {
        owner = FindLayoutOwner(layouts, layout, imeFile);
        RegCloseKey(layouts);
    }
    if (owner != LAYOUT_OURS) {
        LogInstallInfo(install, owner == LAYOUT_GONE
                           ? L"CheckImeRegistration: Software\\Tevra\\[2]\\[3] records layout [4], "
                             L"which is not registered: [1] was not registered as a keyboard layout."
                           : L"CheckImeRegistration: Software\\Tevra\\[2]\\[3] records layout [4], "
                             L"whose Ime File is not [1]: [1] was not registered as a keyboard layout.",
                       logged, 4);
        return ERROR_INSTALL_FAILURE;
    }
    LogInstallInfo(install, L"CheckImeRegistration: [1] is registered as keyboard layout [4].", logged, 4);
    return ERROR_SUCCESS;
}
