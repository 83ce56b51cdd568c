#include "layout_actions.h"

#include <wchar.h>

#include "layout_owner.h"
#include "layout_text.h"

static const WCHAR PRELOAD_PATH[100] = L"keyboard layout\\preload";

enum {
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

enum PreloadRead { PRELOAD_VALUE, PRELOAD_END, PRELOAD_UNREADABLE };

/* ReadPreloadValue: an entry's type and bytes, at most PRELOAD_READ_BYTES of them */
static PreloadRead ReadPreloadValue(HKEY preload, DWORD number, WCHAR *data, DWORD *type,
                                    DWORD *size)
{
    WCHAR name[WORK_CAPACITY];
    LONG status;

    // Past the walk's last number there is no list for the moves either.
    if (number > LAST_PRELOAD_NUMBER)
        return PRELOAD_END;
    FormatPreloadName(number, name);
    *size = PRELOAD_READ_BYTES;
    status = RegQueryValueExW(preload, name, NULL, type, (BYTE *)data, size);
    // A value longer than the walk reads ends the list for the walk and the
    // moves alike, just as a missing number does.
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_MORE_DATA ||
        (status == ERROR_SUCCESS && *size > PRELOAD_READ_BYTES))
        return PRELOAD_END;
    return status == ERROR_SUCCESS ? PRELOAD_VALUE : PRELOAD_UNREADABLE;
}

/* CloseUpPreloadList: entries after number move down one place, over it */
static void CloseUpPreloadList(HKEY preload, DWORD number)
{
    WCHAR name[WORK_CAPACITY];
    WCHAR data[WORK_CAPACITY];
    DWORD type, size;

    // Each entry is overwritten with the next one's type and bytes, and only
    // the last is deleted. Whichever call fails, the list keeps no gap (the
    // system stops loading it at one) and loses no entry: at worst the entry
    // last copied stands twice in a row.
    for (;; ++number) {
        PreloadRead next = ReadPreloadValue(preload, number + 1, data, &type, &size);
        FormatPreloadName(number, name);
        if (next == PRELOAD_END)
            RegDeleteValueW(preload, name);
        if (next != PRELOAD_VALUE ||
            RegSetValueExW(preload, name, 0, type, (const BYTE *)data, size) != ERROR_SUCCESS)
            return;
    }
}

/* RemovePreloadEntry: remove the first entry equal to layoutText */
static void RemovePreloadEntry(const WCHAR *layoutText)
{
    WCHAR data[WORK_CAPACITY];
    DWORD type, size;
    HKEY preload;

    if (RegOpenKeyW(HKEY_CURRENT_USER, PRELOAD_PATH, &preload) != ERROR_SUCCESS)
        return;
    // The list ends at its first missing number, for this walk and for the
    // system's loader at log-on alike.
    for (DWORD number = 1; number <= LAST_PRELOAD_NUMBER; ++number) {
        if (ReadPreloadValue(preload, number, data, &type, &size) != PRELOAD_VALUE)
            break;
        // The stored bytes carry no terminator: the text ends after the last whole unit.
        data[size / sizeof(WCHAR)] = 0;
        UpperCaseAscii(data);
        if (wcscmp(data, layoutText) == 0) {
            CloseUpPreloadList(preload, number);
            break;
        }
    }
    RegCloseKey(preload);
}

/* RemoveLayoutKey: delete layoutText's keyboard-layout key if it is imeFile's */
static LayoutOwner RemoveLayoutKey(const WCHAR *layoutText, const WCHAR *imeFile)
{
    LayoutOwner owner;
    HKEY layouts;
    LONG status;

    status = RegOpenKeyW(HKEY_LOCAL_MACHINE, LAYOUTS_PATH, &layouts);
    if (status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND ? LAYOUT_GONE : LAYOUT_OTHER;
    owner = FindLayoutOwner(layouts, layoutText, imeFile);
    if (owner == LAYOUT_OURS)
        RegDeleteKeyW(layouts, layoutText);
    RegCloseKey(layouts);
    return owner;
}

/* UninstallLayout: remove the recorded layout; the records themselves stay */
void UninstallLayout(const WCHAR *imeFile, const WCHAR *, const WCHAR *section,
                     const WCHAR *valueName)
{
    WCHAR upper[LAYOUT_TEXT_CAPACITY];

    if (!ReadRecordedLayout(section, valueName, upper))
        return;
    // A record may name another product's layout: tampered with, or stale
    // after the system gave the freed slot to the next IME installed. Only a
    // layout of our IME file is removed, and a preload entry only for a layout
    // that was ours or is gone (an entry for a missing layout is dangling).
    if (RemoveLayoutKey(upper, imeFile) != LAYOUT_OTHER)
        RemovePreloadEntry(upper);
}
