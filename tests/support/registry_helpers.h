// Reading and seeding the real registry in tests, in a chosen view. The
// checks return AssertionResult so a failure names the caller's line.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

// The view a program of this test build's bitness reaches.
REGSAM OwnView();
REGSAM OtherView();

struct RegValue {
    DWORD type;
    std::vector<BYTE> data;
    std::wstring Text() const;  // UTF-16 data up to the first zero or the end
};

std::optional<RegValue> ReadValue(HKEY root, const std::wstring &path, const std::wstring &name,
                                  REGSAM view = 0);
bool KeyExists(HKEY root, const std::wstring &path, REGSAM view = 0);

void SetString(HKEY root, const std::wstring &path, const std::wstring &name,
               const std::wstring &text, REGSAM view = 0);
void SetRaw(HKEY root, const std::wstring &path, const std::wstring &name, DWORD type,
            const void *data, DWORD size, REGSAM view = 0);
void CreateKey(HKEY root, const std::wstring &path, REGSAM view = 0);
void DeleteTree(HKEY root, const std::wstring &path, REGSAM view = 0);

// A REG_SZ whose text reads back as expected (a terminator the registry added is allowed).
testing::AssertionResult HasString(HKEY root, const std::wstring &path, const std::wstring &name,
                                   const std::wstring &expected, REGSAM view = 0);
testing::AssertionResult HasNoValue(HKEY root, const std::wstring &path, const std::wstring &name,
                                    REGSAM view = 0);

// The system's keyboard-layout key of a layout handle text.
std::wstring LayoutPath(const std::wstring &layout);
// Removes a layout key an install made ("" and "0" name none): Wine hands
// out a limited number of IME layout slots per prefix.
void RemoveLayout(const std::wstring &layout);
// Whether this Windows reads the IME file before it registers a layout, as
// Windows and Wine 10 do; Wine 8's imm32 never opens the file.
bool ImmReadsImeFiles();
// a-z upper-cased, as uninstall compares preload entries.
std::wstring UpperCase(std::wstring text);

// "Software\Tevra\" + section.
std::wstring ProductPath(const std::wstring &section);

// A section name unique to the running test, so tests share no keys.
std::wstring TestSection();

// The preload list as text, entries 1..n until the first missing number.
std::vector<std::wstring> ReadPreloadList(HKEY root = HKEY_CURRENT_USER);
void WritePreloadList(const std::vector<std::wstring> &entries, HKEY root = HKEY_CURRENT_USER);

// Maps HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER onto fresh scratch keys that
// hold "Software" and the keyboard-layout key, for the scope of one test.
struct ScratchRoots {
    ScratchRoots();
    ~ScratchRoots();
    HKEY machine = nullptr, user = nullptr;
    std::wstring machinePath, userPath;  // under the real HKEY_CURRENT_USER
};

extern const wchar_t LAYOUTS_KEY[];
extern const wchar_t PRELOAD_KEY[];
