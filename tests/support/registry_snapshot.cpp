#include "registry_snapshot.h"

#include <cstdio>
#include <vector>

#include "registry_helpers.h"

namespace {

// Routine tests that run beside this one write keys of their own in the same
// trees (sections named after their test, the scratch roots): a snapshot
// keeps only the running test's.
bool IsOtherTestsKey(const std::wstring &name)
{
    return name.rfind(L"Test", 0) == 0 && name.rfind(TestSection(), 0) != 0;
}

std::wstring Hex(DWORD type, const std::vector<BYTE> &data)
{
    std::wstring text = L"type " + std::to_wstring(type) + L":";
    wchar_t byte[4];
    for (BYTE b : data) {
        swprintf(byte, 4, L"%02x", b);
        text += byte;
    }
    return text;
}

void Walk(HKEY key, const std::wstring &tree, const std::wstring &path, int depth,
          RegistrySnapshot &out)
{
    out[KeyLine(tree, path)] = L"";
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = (DWORD)name.size(), size = (DWORD)data.size(), type;
        if (RegEnumValueW(key, i, name.data(), &nameLength, NULL, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        out[ValueLine(tree, path, std::wstring(name.data(), nameLength))] =
            Hex(type, std::vector<BYTE>(data.begin(), data.begin() + size));
    }
    if (depth == 0)
        return;
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = (DWORD)name.size();
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        std::wstring child(name.data(), nameLength);
        if (!IsOtherTestsKey(child))
            children.push_back(child);
    }
    for (const std::wstring &child : children) {
        HKEY sub;
        if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        Walk(sub, tree, path + L"\\" + child, depth - 1, out);
        RegCloseKey(sub);
    }
}

void Add(HKEY root, const wchar_t *path, REGSAM view, const wchar_t *tree, int depth,
         RegistrySnapshot &out)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    Walk(key, tree, path, depth, out);
    RegCloseKey(key);
}

}  // namespace

std::wstring KeyLine(const std::wstring &tree, const std::wstring &path)
{
    return tree + L"|" + path + L"\\";
}

std::wstring ValueLine(const std::wstring &tree, const std::wstring &path, const std::wstring &name)
{
    return tree + L"|" + path + L"\\:" + name;
}

RegistrySnapshot SnapshotProductTrees()
{
    const int ALL = 64;
    RegistrySnapshot out;
    Add(HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_64KEY, L"HKLM64", 1, out);
    Add(HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_32KEY, L"HKLM32", 1, out);
    Add(HKEY_CURRENT_USER, L"Software", 0, L"HKCU", 1, out);
    Add(HKEY_LOCAL_MACHINE, L"Software\\Tevra", KEY_WOW64_64KEY, L"HKLM64", ALL, out);
    Add(HKEY_LOCAL_MACHINE, L"Software\\Tevra", KEY_WOW64_32KEY, L"HKLM32", ALL, out);
    Add(HKEY_CURRENT_USER, L"Software\\Tevra", 0, L"HKCU", ALL, out);
    Add(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Keyboard Layouts", 0, L"HKLM",
        ALL, out);
    Add(HKEY_CURRENT_USER, L"Keyboard Layout", 0, L"HKCU", ALL, out);
    return out;
}

std::set<std::wstring> Diff(const RegistrySnapshot &before, const RegistrySnapshot &after)
{
    std::set<std::wstring> changes;
    for (const auto &[line, value] : before) {
        auto now = after.find(line);
        if (now == after.end())
            changes.insert(L"- " + line);
        else if (now->second != value)
            changes.insert(L"~ " + line);
    }
    for (const auto &[line, value] : after)
        if (!before.count(line))
            changes.insert(L"+ " + line);
    return changes;
}
