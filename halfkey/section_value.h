// Scanning halfkey's narrow command line: program name, then three
// comma-separated fields.
#pragma once

enum { FIELD_CAPACITY = 260 };

// The text after the program's name and the control bytes and blanks that follow it.
const char *SkipProgramName(const char *commandLine);

// Stores up to three fields of at most FIELD_CAPACITY - 1 bytes each; a field
// that would not fit is not stored. Returns the count, or -1 for empty text.
int SplitSectionValue(const char *text, char *section, char *valueName, char *value);

// Whether a byte opens a double-byte character in the ANSI code page.
bool IsLeadByte(unsigned char byte);
