// The classifications that space_class.cpp and lead_byte.cpp ask Windows for,
// fixed to the answers of a Chinese-locale system so that runs are repeatable.
#include "host_classes.h"

#include "command_line.h"
#include "section_value.h"

static LeadByteMode leadByteMode = LEAD_BYTES_CP936;

void SetLeadByteMode(LeadByteMode mode)
{
    leadByteMode = mode;
}

// CT_CTYPE1 marks these as C1_SPACE; the no-break ones among them included.
BOOL IsSpaceAboveLatin1(WCHAR unit)
{
    return unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) || unit == 0x2028 ||
           unit == 0x2029 || unit == 0x202F || unit == 0x205F || unit == 0x3000;
}

bool IsLeadByte(unsigned char byte)
{
    return leadByteMode == LEAD_BYTES_CP936 && byte >= 0x81 && byte <= 0xFE;
}

bool IsSkippedBeforeToken(char16_t unit)
{
    if ((unit >= 0x09 && unit <= 0x0D) || unit == 0x20 || unit == 0xA0)
        return true;
    return unit > 0xFF && IsSpaceAboveLatin1(unit);
}
