#include "registry_helpers.h"

#include <cstdlib>

const wchar_t LAYOUTS_KEY[] = L"System\\CurrentControlSet\\Control\\Keyboard Layouts";
const wchar_t PRELOAD_KEY[] = L"Keyboard Layout\\Preload";

REGSAM OwnView() { return sizeof(void *) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }
REGSAM OtherView() { return sizeof(void *) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

std::wstring RegValue::Text() const
{
    std::wstring text((const wchar_t *)data.data(), data.size() / 2);
    size_t zero = text.find(L'\0');
    return zero == std::wstring::npos ? text : text.substr(0, zero);
}

std::optional<RegValue> ReadValue(HKEY root, const std::wstring &path, const std::wstring &name,
                                  REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value{};
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name.c_str(), NULL, &value.type, NULL, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExW(key, name.c_str(), NULL, &value.type, value.data.data(), &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool KeyExists(HKEY root, const std::wstring &path, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SetRaw(HKEY root, const std::wstring &path, const std::wstring &name, DWORD type,
            const void *data, DWORD size, REGSAM view)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS | view, NULL, &key,
                              NULL),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type, (const BYTE *)data, size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetString(HKEY root, const std::wstring &path, const std::wstring &name,
               const std::wstring &text, REGSAM view)
{
    SetRaw(root, path, name, REG_SZ, text.c_str(), (DWORD)(text.size() * 2), view);
}

void CreateKey(HKEY root, const std::wstring &path, REGSAM view)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS | view, NULL, &key,
                              NULL),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::wstring &path, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(key, NULL);
    RegCloseKey(key);
    RegDeleteKeyExW(root, path.c_str(), view, 0);
}

testing::AssertionResult HasString(HKEY root, const std::wstring &path, const std::wstring &name,
                                   const std::wstring &expected, REGSAM view)
{
    auto value = ReadValue(root, path, name, view);
    if (!value)
        return testing::AssertionFailure() << "no value " << testing::PrintToString(name)
                                           << " under " << testing::PrintToString(path);
    if (value->type != REG_SZ)
        return testing::AssertionFailure() << "type " << value->type << ", not REG_SZ";
    size_t bytes = expected.size() * 2;
    bool sized = value->data.size() == bytes ||
                 (value->data.size() == bytes + 2 && value->data[bytes] == 0 &&
                  value->data[bytes + 1] == 0);
    if (value->Text() != expected || !sized)
        return testing::AssertionFailure()
               << "text " << testing::PrintToString(value->Text()) << " (" << value->data.size()
               << " bytes), expected " << testing::PrintToString(expected);
    return testing::AssertionSuccess();
}

testing::AssertionResult HasNoValue(HKEY root, const std::wstring &path, const std::wstring &name,
                                    REGSAM view)
{
    auto value = ReadValue(root, path, name, view);
    if (value)
        return testing::AssertionFailure() << "unexpected value " << testing::PrintToString(name)
                                           << " = " << testing::PrintToString(value->Text());
    return testing::AssertionSuccess();
}

std::wstring LayoutPath(const std::wstring &layout)
{
    return std::wstring(LAYOUTS_KEY) + L"\\" + layout;
}

void RemoveLayout(const std::wstring &layout)
{
    if (!layout.empty() && layout != L"0")
        DeleteTree(HKEY_LOCAL_MACHINE, LayoutPath(layout));
}

bool ImmReadsImeFiles()
{
    auto version = reinterpret_cast<const char *(*)()>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return !version || atoi(version()) >= 9;
}

std::wstring UpperCase(std::wstring text)
{
    for (wchar_t &unit : text)
        if (unit >= L'a' && unit <= L'z')
            unit = (wchar_t)(unit - L'a' + L'A');
    return text;
}

std::wstring ProductPath(const std::wstring &section) { return L"Software\\Tevra\\" + section; }

std::wstring TestSection()
{
    const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("Test_") + info->test_suite_name() + "_" + info->name();
    std::wstring wide(name.begin(), name.end());
    for (wchar_t &unit : wide)
        if (unit == L'/')
            unit = L'_';
    return wide;
}

std::vector<std::wstring> ReadPreloadList(HKEY root)
{
    std::vector<std::wstring> entries;
    for (int number = 1;; ++number) {
        auto value = ReadValue(root, PRELOAD_KEY, std::to_wstring(number));
        if (!value)
            return entries;
        entries.push_back(value->Text());
    }
}

void WritePreloadList(const std::vector<std::wstring> &entries, HKEY root)
{
    DeleteTree(root, PRELOAD_KEY);
    HKEY key;
    ASSERT_EQ(RegCreateKeyW(root, PRELOAD_KEY, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    for (size_t i = 0; i < entries.size(); ++i)
        SetString(root, PRELOAD_KEY, std::to_wstring(i + 1), entries[i]);
}

static HKEY MakeScratch(const std::wstring &path)
{
    HKEY key = nullptr;
    DeleteTree(HKEY_CURRENT_USER, path);
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    HKEY software;
    RegCreateKeyW(key, L"Software", &software);
    RegCloseKey(software);
    return key;
}

ScratchRoots::ScratchRoots()
{
    std::wstring base = L"Software\\TestScratch\\" + TestSection();
    machinePath = base + L"\\machine";
    userPath = base + L"\\user";
    machine = MakeScratch(machinePath);
    user = MakeScratch(userPath);
    HKEY layouts;
    RegCreateKeyW(machine, LAYOUTS_KEY, &layouts);
    RegCloseKey(layouts);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
    RegOverridePredefKey(HKEY_CURRENT_USER, user);
}

ScratchRoots::~ScratchRoots()
{
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, NULL);
    RegOverridePredefKey(HKEY_CURRENT_USER, NULL);
    RegCloseKey(machine);
    RegCloseKey(user);
    DeleteTree(HKEY_CURRENT_USER, L"Software\\TestScratch\\" + TestSection());
}
