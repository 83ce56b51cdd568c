#include "command_line.h"

static const WCHAR END_OF_TEXT = 0xFFFF;

static BOOL IsTextEnd(WCHAR unit)
{
    return unit == 0 || unit == END_OF_TEXT;
}

static BOOL IsBlank(WCHAR unit)
{
    return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20;
}

// No-break and other wide spaces are skipped before a token but do not end one.
static BOOL IsLeadingSpace(WCHAR unit)
{
    if ((unit >= 0x09 && unit <= 0x0D) || unit == 0x20 || unit == 0xA0)
        return TRUE;
    return unit > 0xFF && unit != END_OF_TEXT && IsSpaceAboveLatin1(unit);
}

/* SplitCommandLine: up to six blank-separated tokens; -1 when there is none */
int SplitCommandLine(const WCHAR *commandLine, WCHAR *tokens[TOKEN_COUNT])
{
    const WCHAR *next = commandLine;
    int stored = 0;

    while (stored < TOKEN_COUNT) {
        int capacity = stored == 0 ? PROGRAM_PATH_CAPACITY : ARGUMENT_CAPACITY;
        int length = 0;
        BOOL quoted = FALSE;

        while (IsLeadingSpace(*next))
            ++next;
        if (IsTextEnd(*next))
            return stored == 0 ? -1 : stored;
        for (; !IsTextEnd(*next) && (quoted || !IsBlank(*next)); ++next) {
            if (length == capacity - 1)
                return stored;
            // Installers quote the program's path, which may hold blanks
            // ("C:\Program Files\..."). In the arguments quotation marks are
            // ordinary characters.
            if (stored == 0 && *next == L'"')
                quoted = !quoted;
            tokens[stored][length++] = *next;
        }
        tokens[stored][length] = 0;
        ++stored;
    }
    return stored;
}
