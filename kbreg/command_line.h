// Splitting kbreg's command line into its six tokens.
#pragma once

#include "../settings/text_unit.h"

enum {
    TOKEN_COUNT = 6,
    PROGRAM_PATH_CAPACITY = 400,
    ARGUMENT_CAPACITY = 100
};

// Token 0 (the program's path) holds PROGRAM_PATH_CAPACITY code units, the
// others ARGUMENT_CAPACITY, terminators included. A token that would not fit
// is not stored, so the count tells the caller the line is unusable.
int SplitCommandLine(const WCHAR *commandLine, WCHAR *tokens[TOKEN_COUNT]);

// Whether a code unit above U+00FF is a space; the platform's classification.
BOOL IsSpaceAboveLatin1(WCHAR unit);
