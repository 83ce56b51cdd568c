#include <windows.h>

#include "section_value.h"

/* IsLeadByte: by the lead-byte ranges of the process's ANSI code page */
bool IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}
