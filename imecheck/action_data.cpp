#include "action_data.h"

static BOOL IsBlank(WCHAR unit)
{
    return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20;
}

/* SplitActionData: exactly three blank-separated fields that each fit */
BOOL SplitActionData(const WCHAR *data, WCHAR *fields[ACTION_FIELD_COUNT])
{
    int stored = 0;

    for (;;) {
        int length = 0;

        while (IsBlank(*data))
            ++data;
        if (*data == 0)
            return stored == ACTION_FIELD_COUNT;
        if (stored == ACTION_FIELD_COUNT)
            return FALSE;
        for (; *data && !IsBlank(*data); ++data) {
            if (length == ARGUMENT_CAPACITY - 1)
                return FALSE;
            fields[stored][length++] = *data;
        }
        fields[stored++][length] = 0;
    }
}
