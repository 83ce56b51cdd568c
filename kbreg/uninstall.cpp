#include "layout_actions.h"

#include <wchar.h>

#include "../settings/product_settings.h"
#include "layout_text.h"

static const WCHAR LAYOUTS_PATH[100] = L"System\\CurrentControlSet\\Control\\Keyboard Layouts\\";
static const WCHAR PRELOAD_PATH[100] = L"keyboard layout\\preload";

enum {
    RECORD_READ_BYTES = 100,
    WORK_CAPACITY = 260,
    PRELOAD_READ_BYTES = 260,
    LAST_PRELOAD_NUMBER = 0xFFFF
};

static void FormatPreloadName(DWORD number, WCHAR *name)
{
    WCHAR reversed[16];
    int count = 0;

    do {
        reversed[count++] = (WCHAR)(L'0' + number % 10);
        number /= 10;
    } while (number != 0);
    for (int i = 0; i < count; ++i)
        name[i] = reversed[count - 1 - i];
    name[count] = 0;
}

/* ReadPreloadEntry: the entry's text, ended after the bytes the read reports */
static BOOL ReadPreloadEntry(HKEY preload, const WCHAR *name, WCHAR *data)
{
    DWORD size = PRELOAD_READ_BYTES;

    if (RegQueryValueExW(preload, name, NULL, NULL, (BYTE *)data, &size) != ERROR_SUCCESS ||
        size > PRELOAD_READ_BYTES)
        return FALSE;
    data[size / sizeof(WCHAR)] = 0;
    return TRUE;
}

/* MovePreloadEntryDown: entry number becomes number - 1, type and bytes kept */
static BOOL MovePreloadEntryDown(HKEY preload, DWORD number)
{
    WCHAR from[WORK_CAPACITY], to[WORK_CAPACITY];
    WCHAR data[WORK_CAPACITY];
    DWORD type, size = sizeof(data);

    FormatPreloadName(number, from);
    FormatPreloadName(number - 1, to);
    if (RegQueryValueExW(preload, from, NULL, &type, (BYTE *)data, &size) != ERROR_SUCCESS)
        return FALSE;
    // The copy is in place before the original goes, so a failure loses nothing.
    if (RegSetValueExW(preload, to, 0, type, (const BYTE *)data, size) != ERROR_SUCCESS)
        return FALSE;
    return RegDeleteValueW(preload, from) == ERROR_SUCCESS;
}

/* RemovePreloadEntry: delete the first entry equal to layoutText and close the gap */
static void RemovePreloadEntry(const WCHAR *layoutText)
{
    WCHAR data[WORK_CAPACITY];
    WCHAR name[WORK_CAPACITY];
    HKEY preload;

    if (RegOpenKeyW(HKEY_CURRENT_USER, PRELOAD_PATH, &preload) != ERROR_SUCCESS)
        return;
    // The list ends at its first missing number, for this walk and for the
    // system's loader at log-on alike.
    for (DWORD number = 1; number <= LAST_PRELOAD_NUMBER; ++number) {
        FormatPreloadName(number, name);
        if (!ReadPreloadEntry(preload, name, data))
            break;
        UpperCaseAscii(data);
        if (wcscmp(data, layoutText) != 0)
            continue;
        RegDeleteValueW(preload, name);
        // Left as a gap, the deleted number would hide every entry after it.
        for (DWORD later = number + 1; later <= LAST_PRELOAD_NUMBER; ++later)
            if (!MovePreloadEntryDown(preload, later))
                break;
        break;
    }
    RegCloseKey(preload);
}

/* RemoveLayoutKey: delete the system's keyboard-layout sub-key for layoutText */
static void RemoveLayoutKey(const WCHAR *layoutText)
{
    HKEY layouts;

    if (RegOpenKeyW(HKEY_LOCAL_MACHINE, LAYOUTS_PATH, &layouts) != ERROR_SUCCESS)
        return;
    RegDeleteKeyW(layouts, layoutText);
    RegCloseKey(layouts);
}

/* UninstallLayout: remove the recorded layout; the records themselves stay */
void UninstallLayout(const WCHAR *, const WCHAR *, const WCHAR *section, const WCHAR *valueName)
{
    WCHAR recorded[LAYOUT_TEXT_CAPACITY];
    WCHAR upper[WORK_CAPACITY];

    ReadProductStringPreferUser(section, valueName, L"0", recorded, RECORD_READ_BYTES);
    // The per-user record is the user's to write, and it names keys under
    // HKEY_LOCAL_MACHINE here: only text that install could have written is used.
    if (!IsLayoutHandleText(recorded))
        return;
    wcscpy(upper, recorded);
    UpperCaseAscii(upper);
    RemoveLayoutKey(upper);
    RemovePreloadEntry(upper);
}
