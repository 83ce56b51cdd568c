#include "command_line.h"

/* IsSpaceAboveLatin1: the system's CT_CTYPE1 classification */
BOOL IsSpaceAboveLatin1(WCHAR unit)
{
    WORD type = 0;

    if (!GetStringTypeW(CT_CTYPE1, &unit, 1, &type))
        return FALSE;
    return (type & C1_SPACE) != 0;
}
