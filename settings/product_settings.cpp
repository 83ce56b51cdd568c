#include "product_settings.h"

#include <wchar.h>

static const WCHAR SECTION_PATH_PREFIX[] = L"Software\\Tevra\\";
enum { SECTION_PATH_CAPACITY = 1000 };

/* OpenProductSection: open or create Software\Tevra\<section>; the caller closes it */
HKEY OpenProductSection(HKEY root, const WCHAR *section)
{
    HKEY software, tevra, result = NULL;
    DWORD disposition;

    // "Software" belongs to the system: a root without it gets nothing created.
    if (RegOpenKeyW(root, L"Software", &software) != ERROR_SUCCESS)
        return NULL;
    if (RegCreateKeyExW(software, L"Tevra", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &tevra,
                        &disposition) == ERROR_SUCCESS) {
        if (RegCreateKeyExW(tevra, section, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &result,
                            &disposition) != ERROR_SUCCESS)
            result = NULL;
        RegCloseKey(tevra);
    }
    RegCloseKey(software);
    return result;
}

/* WriteProductString: store text as REG_SZ, its characters only */
BOOL WriteProductString(HKEY root, const WCHAR *section, const WCHAR *valueName, const WCHAR *text)
{
    HKEY key = OpenProductSection(root, section);
    LONG status;

    if (!key)
        return FALSE;
    status = RegSetValueExW(key, valueName, 0, REG_SZ, (const BYTE *)text,
                            (DWORD)(wcslen(text) * sizeof(WCHAR)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

/* WriteProductStringEverywhere: machine-wide first, then per-user */
BOOL WriteProductStringEverywhere(const WCHAR *section, const WCHAR *valueName, const WCHAR *text)
{
    WriteProductString(HKEY_LOCAL_MACHINE, section, valueName, text);
    return WriteProductString(HKEY_CURRENT_USER, section, valueName, text);
}

static BOOL BuildSectionPath(const WCHAR *section, WCHAR *path)
{
    size_t prefixLength = wcslen(SECTION_PATH_PREFIX);
    size_t sectionLength = wcslen(section);

    if (prefixLength + sectionLength >= SECTION_PATH_CAPACITY)
        return FALSE;
    wmemcpy(path, SECTION_PATH_PREFIX, prefixLength);
    wmemcpy(path + prefixLength, section, sectionLength + 1);
    return TRUE;
}

/* ReadProductString: the stored text, or defaultText when there is none */
int ReadProductString(HKEY root, const WCHAR *section, const WCHAR *valueName,
                      const WCHAR *defaultText, WCHAR *out, DWORD outBytes)
{
    WCHAR path[SECTION_PATH_CAPACITY];
    HKEY key;
    DWORD size = outBytes;
    size_t capacity = outBytes / sizeof(WCHAR) + 1;

    out[0] = 0;
    if (BuildSectionPath(section, path) && RegOpenKeyW(root, path, &key) == ERROR_SUCCESS) {
        // The stored bytes carry no terminator: the text ends after the last whole code unit.
        if (RegQueryValueExW(key, valueName, NULL, NULL, (BYTE *)out, &size) == ERROR_SUCCESS &&
            size <= outBytes)
            out[size / sizeof(WCHAR)] = 0;
        else
            out[0] = 0;
        RegCloseKey(key);
    }
    if (out[0] == 0) {
        size_t length = wcslen(defaultText);
        if (length >= capacity)
            length = capacity - 1;
        wmemcpy(out, defaultText, length);
        out[length] = 0;
    }
    return (int)wcslen(out);
}

/* ReadProductStringPreferUser: per-user record, machine-wide when it equals the default */
int ReadProductStringPreferUser(const WCHAR *section, const WCHAR *valueName,
                                const WCHAR *defaultText, WCHAR *out, DWORD outBytes)
{
    ReadProductString(HKEY_CURRENT_USER, section, valueName, defaultText, out, outBytes);
    if (wcscmp(out, defaultText) == 0)
        ReadProductString(HKEY_LOCAL_MACHINE, section, valueName, defaultText, out, outBytes);
    return (int)wcslen(out);
}
