// Splitting kbreg's command line into its six tokens.
#pragma once

#include "../settings/text_unit.h"

enum {
    TOKEN_COUNT = 6,
    PROGRAM_PATH_CAPACITY = 400,
    ARGUMENT_CAPACITY = 100
};

// Tokens end at a blank, tab or line break; in token 0 (the program's path)
// only where it stands outside quotation marks, which stay part of the token.
// U+0000 and U+FFFF end the text. Token 0 holds PROGRAM_PATH_CAPACITY code
// units, the others ARGUMENT_CAPACITY, terminators included. A token that
// would not fit is not stored, so the count tells the caller the line is
// unusable.
int SplitCommandLine(const WCHAR *commandLine, WCHAR *tokens[TOKEN_COUNT]);

// Whether a code unit above U+00FF is a space; the platform's classification.
BOOL IsSpaceAboveLatin1(WCHAR unit);
