// The UTF-16 code unit and boolean type of the Windows API. The command-line
// scanners also build for a host without <windows.h> (for fuzzing), where a
// char16_t stands in for WCHAR so that text is 16-bit on both sides.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
typedef char16_t WCHAR;
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#endif
