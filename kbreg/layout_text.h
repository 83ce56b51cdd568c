// The layout handle text: the handle's low 32 bits in lowercase hexadecimal.
#pragma once

#include <windows.h>

enum {
    LAYOUT_TEXT_CAPACITY = 100,
    LAYOUT_CONVERSION_CAPACITY = 20
};

void FormatLayoutHandle(HKL handle, WCHAR *text);
void UpperCaseAscii(WCHAR *text);

// Whether text has the form FormatLayoutHandle writes, in either case.
BOOL IsLayoutHandleText(const WCHAR *text);
