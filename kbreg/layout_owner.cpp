#include "layout_owner.h"

#include <wchar.h>

#include "../settings/product_settings.h"
#include "layout_text.h"

const WCHAR LAYOUTS_PATH[100] = L"System\\CurrentControlSet\\Control\\Keyboard Layouts\\";
static const WCHAR IME_FILE_VALUE[] = L"Ime File";

enum {
    RECORD_READ_BYTES = 100,
    IME_FILE_CAPACITY = 260,
    IME_FILE_READ_BYTES = (IME_FILE_CAPACITY - 1) * sizeof(WCHAR)
};

/* ReadRecordedLayout: the record as uninstall reads it, upper-cased, if it is handle text */
BOOL ReadRecordedLayout(const WCHAR *section, const WCHAR *valueName, WCHAR *upper)
{
    WCHAR recorded[LAYOUT_TEXT_CAPACITY];

    ReadProductStringPreferUser(section, valueName, L"0", recorded, RECORD_READ_BYTES);
    // The per-user record is the user's to write, and it names keys under
    // HKEY_LOCAL_MACHINE here: only text that install could have written is used.
    if (!IsLayoutHandleText(recorded))
        return FALSE;
    wcscpy(upper, recorded);
    UpperCaseAscii(upper);
    return TRUE;
}

/* FileNamePart: the last component of a path, after any folder or drive */
static const WCHAR *FileNamePart(const WCHAR *path)
{
    const WCHAR *name = path;

    for (; *path; ++path)
        if (*path == L'\\' || *path == L'/' || *path == L':')
            name = path + 1;
    return name;
}

/* FindLayoutOwner: whether the layout key names imeFile as its IME file */
LayoutOwner FindLayoutOwner(HKEY layouts, const WCHAR *layoutText, const WCHAR *imeFile)
{
    WCHAR named[IME_FILE_CAPACITY];
    DWORD type, size = IME_FILE_READ_BYTES;
    HKEY layout;
    LONG status;

    status = RegOpenKeyW(layouts, layoutText, &layout);
    if (status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND ? LAYOUT_GONE : LAYOUT_OTHER;
    status = RegQueryValueExW(layout, IME_FILE_VALUE, NULL, &type, (BYTE *)named, &size);
    RegCloseKey(layout);
    // No name, or one that cannot be read, is no proof the layout is ours.
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return LAYOUT_OTHER;
    named[size / sizeof(WCHAR)] = 0;
    // The system stores the name as given or upper-cased, with or without the
    // path it was given: the file names alone, compared as the file system does.
    if (CompareStringOrdinal(FileNamePart(named), -1, FileNamePart(imeFile), -1, TRUE) != CSTR_EQUAL)
        return LAYOUT_OTHER;
    return LAYOUT_OURS;
}
