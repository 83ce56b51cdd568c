// kbreg runs whose registry difference must be exactly the intended change,
// under bad command lines and bad stored data.
#include <gtest/gtest.h>

using namespace std::string_literals;

#include "registry_helpers.h"
#include "registry_snapshot.h"
#include "run_program.h"

namespace {

using Changes = std::set<std::wstring>;

class KbregDiff : public testing::Test {
protected:
    void SetUp() override
    {
        section = TestSection();
        path = ProductPath(section);
        machineTree = sizeof(void *) == 8 ? L"HKLM64" : L"HKLM32";
        // The shared parents exist, as on a system with an earlier install.
        CreateKey(HKEY_CURRENT_USER, L"Software\\Tevra");
        CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Tevra", OwnView());
        CreateKey(HKEY_LOCAL_MACHINE, LAYOUTS_KEY);
        WritePreloadList({L"00000409", L"00000804"});
    }
    void TearDown() override
    {
        for (const std::wstring &layout : installed)
            RemoveLayout(layout);
        DeleteTree(HKEY_CURRENT_USER, path);
        DeleteTree(HKEY_LOCAL_MACHINE, path, OwnView());
        WritePreloadList({L"00000409"});
    }
    // Runs kbreg with args after its quoted path; returns the exit code and
    // leaves the registry difference in `changes`.
    DWORD Run(const std::wstring &args) { return RunLine(QuotedCommand(KbregExe(), args)); }
    DWORD RunLine(const std::wstring &line)
    {
        RegistrySnapshot before = SnapshotProductTrees();
        DWORD code = RunProgram(KbregExe(), line);
        changes = Diff(before, SnapshotProductTrees());
        return code;
    }
    std::wstring Args(const wchar_t *verb, const std::wstring &valueName = L"HKLID")
    {
        return std::wstring(verb) + L" tevra.ime \u4e2d\u6587 " + section + L" " + valueName;
    }
    std::wstring Install()
    {
        EXPECT_EQ(Run(Args(L"install")), 0u);
        auto record = ReadValue(HKEY_CURRENT_USER, path, L"HKLID");
        std::wstring text = record ? record->Text() : L"";
        installed.push_back(text);
        return text;
    }
    // Every line of a layout key Wine made, with the given sign.
    Changes LayoutLines(const std::wstring &layout, const wchar_t *sign)
    {
        Changes lines;
        std::wstring prefix = KeyLine(L"HKLM", LayoutPath(layout));
        for (const std::wstring &line : changes)
            if (line.compare(2, prefix.size(), prefix) == 0 && line[0] == sign[0])
                lines.insert(line);
        return lines;
    }
    Changes RecordLines(const wchar_t *sign, const std::wstring &valueName = L"HKLID")
    {
        std::wstring s = sign;
        return {s + KeyLine(L"HKCU", path), s + ValueLine(L"HKCU", path, valueName),
                s + KeyLine(machineTree, path), s + ValueLine(machineTree, path, valueName)};
    }
    static Changes Union(Changes a, const Changes &b)
    {
        a.insert(b.begin(), b.end());
        return a;
    }
    std::wstring PreloadLine(int number)
    {
        return ValueLine(L"HKCU", PRELOAD_KEY, std::to_wstring(number));
    }

    std::wstring section, path, machineTree;
    std::vector<std::wstring> installed;
    Changes changes;
};

TEST_F(KbregDiff, InstallAddsTheRecordsAndOneLayoutKeyOnly)
{
    std::wstring layout = Install();
    Changes layoutLines = LayoutLines(layout, L"+");
    ASSERT_FALSE(layoutLines.empty()) << "no layout key appeared";
    EXPECT_TRUE(layoutLines.count(L"+ " + KeyLine(L"HKLM", LayoutPath(layout))));
    EXPECT_EQ(changes, Union(RecordLines(L"+ "), layoutLines));
}

TEST_F(KbregDiff, UninstallRemovesTheLayoutKeyAndShiftsThePreloadList)
{
    std::wstring layout = Install();
    std::wstring upper = UpperCase(layout);
    WritePreloadList({L"00000409", upper, L"00000804", L"00000411"});
    ASSERT_EQ(Run(Args(L"uninstall")), 0u);
    Changes expected = LayoutLines(layout, L"-");
    ASSERT_FALSE(expected.empty());
    expected.insert({L"~ " + PreloadLine(2), L"~ " + PreloadLine(3), L"- " + PreloadLine(4)});
    EXPECT_EQ(changes, expected);
    EXPECT_EQ(ReadPreloadList(), (std::vector<std::wstring>{L"00000409", L"00000804", L"00000411"}));
}

TEST_F(KbregDiff, MalformedAndOverlongCommandLinesChangeNothing)
{
    std::wstring exe = KbregExe();
    const std::wstring lines[] = {
        QuotedCommand(exe, L"install tevra.ime N " + section),
        QuotedCommand(exe, L"install tevra.ime " + std::wstring(100, L'N') + L" " + section + L" v"),
        QuotedCommand(exe, Args(L"install", std::wstring(40000, L'v'))),  // Wine cuts it at 32766
        std::wstring(40000, L'p') + L" " + Args(L"install"),
        QuotedCommand(exe, L"install tevra.ime N\uffff " + section + L" HKLID"),
    };
    for (const std::wstring &line : lines) {
        MessageBoxSeen seen;
        RegistrySnapshot before = SnapshotProductTrees();
        seen = RunAndDismissBox(exe, line, L"kbregAll");
        EXPECT_EQ(seen.exitCode, 1u) << line.size() << " units";
        EXPECT_TRUE(Diff(before, SnapshotProductTrees()).empty()) << line.size() << " units";
    }
}

TEST_F(KbregDiff, LoneSurrogatesAreOrdinaryUnits)
{
    std::wstring name = L"v\xd800x\xdc00";
    ASSERT_EQ(Run(L"install tevra.ime \xdfff\u4e2d " + section + L" " + name), 0u);
    auto record = ReadValue(HKEY_CURRENT_USER, path, name);
    ASSERT_TRUE(record.has_value());
    installed.push_back(record->Text());
    EXPECT_EQ(changes, Union(RecordLines(L"+ ", name), LayoutLines(record->Text(), L"+")));
}

TEST_F(KbregDiff, RecordsThatAreNotHandleTextRemoveNothing)
{
    std::wstring layout = Install();
    std::wstring upper = UpperCase(layout);
    WritePreloadList({L"00000409", upper});
    DWORD number = 0xE0020409;
    std::wstring path2 = L"..\\..\\" + layout;
    struct { DWORD type; std::vector<BYTE> data; } records[] = {
        {REG_DWORD, std::vector<BYTE>((BYTE *)&number, (BYTE *)&number + 4)},
        {REG_BINARY, {0x01, 0x5c, 0x00, 0xff}},
        {REG_SZ, std::vector<BYTE>((const BYTE *)path2.c_str(),
                                   (const BYTE *)path2.c_str() + path2.size() * 2)},
    };
    for (const auto &record : records) {
        SetRaw(HKEY_CURRENT_USER, path, L"HKLID", record.type, record.data.data(),
               (DWORD)record.data.size());
        ASSERT_EQ(Run(Args(L"uninstall")), 0u);
        EXPECT_TRUE(changes.empty()) << "record type " << record.type;
    }
}

TEST_F(KbregDiff, RecordBytesAreReadAsTextUpToTheReportedSize)
{
    // Multi-string and odd byte counts still yield the handle text before them.
    std::wstring layout = Install();
    std::wstring multi = layout + L"\0\0"s;
    SetRaw(HKEY_CURRENT_USER, path, L"HKLID", REG_MULTI_SZ, multi.c_str(), (DWORD)multi.size() * 2);
    ASSERT_EQ(Run(Args(L"uninstall")), 0u);
    EXPECT_EQ(changes, LayoutLines(layout, L"-"));
    EXPECT_FALSE(changes.empty());

    std::wstring second = Install();
    SetRaw(HKEY_CURRENT_USER, path, L"HKLID", REG_SZ, (second + L"x").c_str(),
           (DWORD)second.size() * 2 + 1);
    ASSERT_EQ(Run(Args(L"uninstall")), 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, LayoutPath(second)));
}

TEST_F(KbregDiff, OverlongUserRecordFallsBackToTheMachineRecord)
{
    std::wstring layout = Install();
    SetString(HKEY_CURRENT_USER, path, L"HKLID", std::wstring(60, L'a'));
    ASSERT_EQ(Run(Args(L"uninstall")), 0u);
    EXPECT_EQ(changes, LayoutLines(layout, L"-"));
    EXPECT_FALSE(changes.empty());
}

TEST_F(KbregDiff, ThousandsOfPreloadEntriesWithMatchLastOrNone)
{
    std::wstring layout = Install();
    std::vector<std::wstring> entries(3000, L"00000804");
    entries[0] = L"00000409";
    WritePreloadList(entries);
    ASSERT_EQ(Run(Args(L"uninstall")), 0u);
    EXPECT_EQ(changes, LayoutLines(layout, L"-")) << "no match: the list stays";

    std::wstring second = Install();
    entries.push_back(second);
    WritePreloadList(entries);
    ASSERT_EQ(Run(Args(L"uninstall")), 0u);
    Changes expected = LayoutLines(second, L"-");
    expected.insert(L"- " + PreloadLine(3001));
    EXPECT_EQ(changes, expected);
}

}  // namespace
