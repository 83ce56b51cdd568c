// The check's instruction, CustomActionData "<ime file> <section> <value
// name>": the arguments kbreg install was given, which hold no blanks.
#pragma once

#include <windows.h>

#include "../kbreg/command_line.h"

enum {
    ACTION_FIELD_COUNT = 3,
    ACTION_DATA_CAPACITY = 400
};

// Splits data at blanks, tabs and line breaks into the three fields, each of
// ARGUMENT_CAPACITY code units, terminator included, as kbreg takes its
// arguments. FALSE unless there are exactly three and each fits.
BOOL SplitActionData(const WCHAR *data, WCHAR *fields[ACTION_FIELD_COUNT]);
