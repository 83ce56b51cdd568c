// Test-only hooks on the registry calls the code under test makes. They patch
// the test executable's own import table, so the real registry still answers;
// the hooks only watch (open keys, values set) and, when asked, fail a call.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

struct SetValueCall {
    std::wstring name;  // narrow names are widened byte for byte
    DWORD type;
    std::vector<BYTE> data;  // exactly the bytes the caller passed
};

void InstallRegistryHooks();

// Keys opened through the hooks and not yet closed.
int OpenKeyCount();
const std::vector<SetValueCall> &SetValueCalls();
void ClearSetValueCalls();

// Makes every later call of the named function (such as "RegSetValueExW")
// whose key or value name equals nameMatch return status; an empty nameMatch
// matches every call. ClearFaults() ends all of them.
void FailCalls(const char *function, const std::wstring &nameMatch, LONG status);
void ClearFaults();

// Makes only the n-th later call (from 1) of any of the named functions
// fail with status; NthCallFailed() tells whether the run reached it.
void FailNthCall(std::initializer_list<const char *> functions, int n, LONG status);
bool NthCallFailed();

// Held by a routine test's fixture: starts with no recorded calls, and at
// the end clears the faults and checks that every key opened was closed.
struct HookScope {
    HookScope();
    ~HookScope();
    int openBefore;
};
