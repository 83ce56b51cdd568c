#include "install_log.h"

#include <msiquery.h>

/* LogInstallInfo: one informational message, its fields put in by msiexec */
void LogInstallInfo(MSIHANDLE install, const WCHAR *text, const WCHAR *const *fields, UINT count)
{
    MSIHANDLE record = MsiCreateRecord(count);

    if (!record)
        return;
    // Field 0 is the template: a registry path or a file name from the
    // fields is never read as formatting.
    MsiRecordSetStringW(record, 0, text);
    for (UINT i = 0; i < count; ++i)
        MsiRecordSetStringW(record, i + 1, fields[i]);
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
}
