#include "registry_hooks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

namespace {

std::set<HKEY> openKeys;
std::vector<SetValueCall> setCalls;
struct Fault { std::string function; std::wstring name; LONG status; };
std::vector<Fault> faults;
std::set<std::string> nthFunctions;
int nthCountdown;
bool nthFailed;
LONG nthStatus;

decltype(&RegOpenKeyW) realOpenKeyW;
decltype(&RegOpenKeyA) realOpenKeyA;
decltype(&RegCreateKeyExW) realCreateKeyExW;
decltype(&RegCreateKeyExA) realCreateKeyExA;
decltype(&RegSetValueExW) realSetValueExW;
decltype(&RegSetValueExA) realSetValueExA;
decltype(&RegQueryValueExW) realQueryValueExW;
decltype(&RegDeleteValueW) realDeleteValueW;
decltype(&RegCloseKey) realCloseKey;

std::wstring Widen(const char *text)
{
    std::wstring wide;
    for (; text && *text; ++text)
        wide += (wchar_t)(unsigned char)*text;
    return wide;
}

bool Faulted(const char *function, const std::wstring &name, LONG *status)
{
    if (nthFunctions.count(function) && --nthCountdown == 0) {
        nthFailed = true;
        *status = nthStatus;
        return true;
    }
    for (const Fault &fault : faults)
        if (fault.function == function && (fault.name.empty() || fault.name == name)) {
            *status = fault.status;
            return true;
        }
    return false;
}

void Opened(LONG status, HKEY *key)
{
    if (status == ERROR_SUCCESS)
        openKeys.insert(*key);
}

LONG WINAPI HookOpenKeyW(HKEY root, LPCWSTR path, PHKEY key)
{
    LONG status;
    if (Faulted("RegOpenKeyW", path ? path : L"", &status))
        return status;
    status = realOpenKeyW(root, path, key);
    Opened(status, key);
    return status;
}

LONG WINAPI HookOpenKeyA(HKEY root, LPCSTR path, PHKEY key)
{
    LONG status;
    if (Faulted("RegOpenKeyA", Widen(path), &status))
        return status;
    status = realOpenKeyA(root, path, key);
    Opened(status, key);
    return status;
}

LONG WINAPI HookCreateKeyExW(HKEY parent, LPCWSTR name, DWORD reserved, LPWSTR cls, DWORD options,
                             REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                             LPDWORD disposition)
{
    LONG status;
    if (Faulted("RegCreateKeyExW", name ? name : L"", &status))
        return status;
    status = realCreateKeyExW(parent, name, reserved, cls, options, access, security, key,
                              disposition);
    Opened(status, key);
    return status;
}

LONG WINAPI HookCreateKeyExA(HKEY parent, LPCSTR name, DWORD reserved, LPSTR cls, DWORD options,
                             REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                             LPDWORD disposition)
{
    LONG status;
    if (Faulted("RegCreateKeyExA", Widen(name), &status))
        return status;
    status = realCreateKeyExA(parent, name, reserved, cls, options, access, security, key,
                              disposition);
    Opened(status, key);
    return status;
}

LONG WINAPI HookSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE *data,
                            DWORD size)
{
    LONG status;
    setCalls.push_back({name ? name : L"", type, std::vector<BYTE>(data, data + size)});
    if (Faulted("RegSetValueExW", name ? name : L"", &status))
        return status;
    return realSetValueExW(key, name, reserved, type, data, size);
}

LONG WINAPI HookSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data,
                            DWORD size)
{
    LONG status;
    setCalls.push_back({Widen(name), type, std::vector<BYTE>(data, data + size)});
    if (Faulted("RegSetValueExA", Widen(name), &status))
        return status;
    return realSetValueExA(key, name, reserved, type, data, size);
}

LONG WINAPI HookQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                              LPDWORD size)
{
    LONG status;
    if (Faulted("RegQueryValueExW", name ? name : L"", &status))
        return status;
    return realQueryValueExW(key, name, reserved, type, data, size);
}

LONG WINAPI HookDeleteValueW(HKEY key, LPCWSTR name)
{
    LONG status;
    if (Faulted("RegDeleteValueW", name ? name : L"", &status))
        return status;
    return realDeleteValueW(key, name);
}

LONG WINAPI HookCloseKey(HKEY key)
{
    openKeys.erase(key);
    return realCloseKey(key);
}

// Swaps one entry of this executable's import address table.
template <typename Function>
void Patch(const char *dll, const char *name, Function hook, Function *original)
{
    BYTE *base = (BYTE *)GetModuleHandleW(NULL);
    auto *dos = (IMAGE_DOS_HEADER *)base;
    auto *nt = (IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *desc = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); desc->Name; ++desc) {
        if (_stricmp((const char *)(base + desc->Name), dll) != 0)
            continue;
        auto *names = (IMAGE_THUNK_DATA *)(base + desc->OriginalFirstThunk);
        auto *slots = (IMAGE_THUNK_DATA *)(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto *byName = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((const char *)byName->Name, name) != 0)
                continue;
            DWORD protect;
            VirtualProtect(&slots->u1.Function, sizeof(void *), PAGE_READWRITE, &protect);
            *original = (Function)slots->u1.Function;
            slots->u1.Function = (ULONG_PTR)hook;
            VirtualProtect(&slots->u1.Function, sizeof(void *), protect, &protect);
            return;
        }
    }
    // Not imported by this executable: nothing here calls it, keep the real one at hand.
    *original = (Function)(void *)GetProcAddress(GetModuleHandleA(dll), name);
}

}  // namespace

void InstallRegistryHooks()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    Patch("advapi32.dll", "RegOpenKeyW", &HookOpenKeyW, &realOpenKeyW);
    Patch("advapi32.dll", "RegOpenKeyA", &HookOpenKeyA, &realOpenKeyA);
    Patch("advapi32.dll", "RegCreateKeyExW", &HookCreateKeyExW, &realCreateKeyExW);
    Patch("advapi32.dll", "RegCreateKeyExA", &HookCreateKeyExA, &realCreateKeyExA);
    Patch("advapi32.dll", "RegSetValueExW", &HookSetValueExW, &realSetValueExW);
    Patch("advapi32.dll", "RegSetValueExA", &HookSetValueExA, &realSetValueExA);
    Patch("advapi32.dll", "RegQueryValueExW", &HookQueryValueExW, &realQueryValueExW);
    Patch("advapi32.dll", "RegDeleteValueW", &HookDeleteValueW, &realDeleteValueW);
    Patch("advapi32.dll", "RegCloseKey", &HookCloseKey, &realCloseKey);
}

int OpenKeyCount() { return (int)openKeys.size(); }
const std::vector<SetValueCall> &SetValueCalls() { return setCalls; }
void ClearSetValueCalls() { setCalls.clear(); }

void FailCalls(const char *function, const std::wstring &nameMatch, LONG status)
{
    faults.push_back({function, nameMatch, status});
}

void FailNthCall(std::initializer_list<const char *> functions, int n, LONG status)
{
    nthFunctions = std::set<std::string>(functions.begin(), functions.end());
    nthCountdown = n;
    nthFailed = false;
    nthStatus = status;
}

bool NthCallFailed() { return nthFailed; }

void ClearFaults()
{
    faults.clear();
    nthFunctions.clear();
}

HookScope::HookScope() : openBefore(OpenKeyCount()) { ClearSetValueCalls(); }

HookScope::~HookScope()
{
    ClearFaults();
    EXPECT_EQ(OpenKeyCount(), openBefore) << "a routine left a key open";
}
