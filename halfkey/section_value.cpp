#include "section_value.h"

/* SkipProgramName: pass over the quoted-or-not name and the blanks after it */
const char *SkipProgramName(const char *commandLine)
{
    const unsigned char *next = (const unsigned char *)commandLine;
    bool quoted = false;

    for (; *next != 0 && (quoted || *next > 0x20); ++next) {
        if (*next == '"')
            quoted = !quoted;
        // A lead byte takes its trail byte along, but never the terminator.
        else if (IsLeadByte(*next) && next[1] != 0)
            ++next;
    }
    while (*next >= 0x01 && *next <= 0x20)
        ++next;
    return (const char *)next;
}

static bool EndsField(char byte)
{
    return byte == 0 || byte == ',' || byte == '\'';
}

/* SplitSectionValue: section,valueName,value; what follows the third is ignored */
int SplitSectionValue(const char *text, char *section, char *valueName, char *value)
{
    char *fields[3] = {section, valueName, value};
    int stored = 0;

    if (*text == 0)
        return -1;
    while (stored < 3) {
        int length = 0;

        if (stored > 0) {
            if (*text != ',')
                break;
            ++text;
        }
        for (; !EndsField(*text); ++text) {
            if (length == FIELD_CAPACITY - 1)
                return stored;
            fields[stored][length++] = *text;
        }
        if (length == 0)
            break;
        fields[stored][length] = 0;
        ++stored;
    }
    return stored;
}
