// Which layout the record names, and whether that layout is our IME file's:
// what kbreg uninstall goes by, and what the installer's check of a
// registration reads the same way.
#pragma once

#include <windows.h>

extern const WCHAR LAYOUTS_PATH[100];

enum LayoutOwner { LAYOUT_OURS, LAYOUT_GONE, LAYOUT_OTHER };

// The record (per-user; machine-wide when that is missing or "0"),
// upper-cased into upper (LAYOUT_TEXT_CAPACITY code units). FALSE when it is
// not layout handle text: such a record is never used as a key name.
BOOL ReadRecordedLayout(const WCHAR *section, const WCHAR *valueName, WCHAR *upper);

// Whether the key layoutText under layouts names imeFile as its IME file (the
// file names alone, in any case).
LayoutOwner FindLayoutOwner(HKEY layouts, const WCHAR *layoutText, const WCHAR *imeFile);
