#include "layout_text.h"

/* FormatLayoutHandle: low 32 bits, lowercase hex, no prefix, no leading zeros */
void FormatLayoutHandle(HKL handle, WCHAR *text)
{
    static const WCHAR DIGITS[] = L"0123456789abcdef";
    WCHAR reversed[LAYOUT_CONVERSION_CAPACITY];
    DWORD bits = (DWORD)(UINT_PTR)handle;
    int count = 0;

    do {
        reversed[count++] = DIGITS[bits & 0xF];
        bits >>= 4;
    } while (bits != 0);
    for (int i = 0; i < count; ++i)
        text[i] = reversed[count - 1 - i];
    text[count] = 0;
}

/* UpperCaseAscii: a-z only, whatever the locale */
void UpperCaseAscii(WCHAR *text)
{
    for (; *text; ++text)
        if (*text >= L'a' && *text <= L'z')
            *text = (WCHAR)(*text - L'a' + L'A');
}

static BOOL IsHexDigit(WCHAR unit)
{
    return (unit >= L'0' && unit <= L'9') || (unit >= L'a' && unit <= L'f') ||
           (unit >= L'A' && unit <= L'F');
}

/* IsLayoutHandleText: 1 to 8 hex digits, no leading zero except "0" itself */
BOOL IsLayoutHandleText(const WCHAR *text)
{
    int length = 0;

    while (IsHexDigit(text[length])) {
        if (++length > 8)
            return FALSE;
    }
    if (length == 0 || text[length] != 0)
        return FALSE;
    return text[0] != L'0' || length == 1;
}
