#include <gtest/gtest.h>

#include <algorithm>

#include "layout_actions.h"
#include "registry_helpers.h"
#include "registry_hooks.h"

namespace {

// Both roots are scratch keys, so the walk can be seeded freely.
class Uninstall : public testing::Test {
protected:
    void SetUp() override
    {
        path = ProductPath(L"Sec");
    }
    void Record(HKEY root, const std::wstring &text) { SetString(root, path, L"HKLID", text); }
    void AddLayout(const std::wstring &name)
    {
        SetString(HKEY_LOCAL_MACHINE, LayoutPath(name), L"Layout File",
                  L"kbdus.dll");
    }
    bool HasLayout(const std::wstring &name)
    {
        return KeyExists(HKEY_LOCAL_MACHINE, LayoutPath(name));
    }
    void Run() { UninstallLayout(L"a.ime", L"Name", L"Sec", L"HKLID"); }

    ScratchRoots roots;
    std::wstring path;
    HookScope hooks;
};

using List = std::vector<std::wstring>;

TEST_F(Uninstall, RemovesLayoutKeyAndClosesThePreloadGap)
{
    Record(HKEY_CURRENT_USER, L"e0020409");
    AddLayout(L"E0020409");
    AddLayout(L"E0030409");
    WritePreloadList({L"00000409", L"00000804", L"E0020409", L"e0030409", L"00000411"});
    Run();
    EXPECT_FALSE(HasLayout(L"E0020409"));
    EXPECT_TRUE(HasLayout(L"E0030409"));
    EXPECT_EQ(ReadPreloadList(), (List{L"00000409", L"00000804", L"e0030409", L"00000411"}));
    EXPECT_TRUE(HasNoValue(HKEY_CURRENT_USER, PRELOAD_KEY, L"5"));
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, path, L"HKLID", L"e0020409")) << "record stays";
}

TEST_F(Uninstall, RemovesOnlyTheFirstMatch)
{
    Record(HKEY_CURRENT_USER, L"E0020409");
    WritePreloadList({L"e0020409", L"00000409", L"E0020409"});
    Run();
    EXPECT_EQ(ReadPreloadList(), (List{L"00000409", L"E0020409"}));
}

TEST_F(Uninstall, WalkStopsAtTheFirstMissingNumber)
{
    Record(HKEY_CURRENT_USER, L"e0020409");
    WritePreloadList({L"00000409", L"00000804"});
    SetString(HKEY_CURRENT_USER, PRELOAD_KEY, L"4", L"e0020409");
    Run();
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, PRELOAD_KEY, L"4", L"e0020409"));
    EXPECT_EQ(ReadPreloadList().size(), 2u);
}

TEST_F(Uninstall, MachineRecordServesWhenUserRecordIsZero)
{
    Record(HKEY_CURRENT_USER, L"0");
    Record(HKEY_LOCAL_MACHINE, L"e0030409");
    AddLayout(L"E0030409");
    WritePreloadList({L"00000409", L"E0030409"});
    Run();
    EXPECT_FALSE(HasLayout(L"E0030409"));
    EXPECT_EQ(ReadPreloadList(), (List{L"00000409"}));
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path, L"HKLID", L"e0030409"));
}

TEST_F(Uninstall, NoRecordWorksWithZero)
{
    AddLayout(L"0");
    WritePreloadList({L"00000409", L"0", L"00000804"});
    Run();
    EXPECT_FALSE(HasLayout(L"0"));
    EXPECT_EQ(ReadPreloadList(), (List{L"00000409", L"00000804"}));
}

TEST_F(Uninstall, RecordThatInstallCannotHaveWrittenRemovesNothing)
{
    AddLayout(L"E0020409");
    HKEY layouts;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, LAYOUTS_KEY, 0, KEY_READ, &layouts), 0);
    RegCloseKey(layouts);
    for (const wchar_t *bad : {L"..\\..\\Services", L"E0020409\\Sub", L"00000409", L"kbd us"}) {
        WritePreloadList({L"00000409", bad});
        Record(HKEY_CURRENT_USER, bad);
        Run();
        EXPECT_EQ(ReadPreloadList(), (List{L"00000409", bad}));
    }
    EXPECT_TRUE(HasLayout(L"E0020409"));
}

TEST_F(Uninstall, OtherTypesAndLongEntriesDoNotMatchAndEndNothingEarly)
{
    Record(HKEY_CURRENT_USER, L"e0020409");
    WritePreloadList({L"00000409"});
    DWORD number = 0x409;
    SetRaw(HKEY_CURRENT_USER, PRELOAD_KEY, L"2", REG_DWORD, &number, 4);
    SetRaw(HKEY_CURRENT_USER, PRELOAD_KEY, L"3", REG_BINARY, "\x01\x02\x03", 3);
    SetString(HKEY_CURRENT_USER, PRELOAD_KEY, L"4", L"E0020409");
    SetRaw(HKEY_CURRENT_USER, PRELOAD_KEY, L"5", REG_MULTI_SZ, L"a\0b\0", 10);
    Run();
    EXPECT_TRUE(HasNoValue(HKEY_CURRENT_USER, PRELOAD_KEY, L"5"));
    // The moved entry keeps its type and bytes.
    auto moved = ReadValue(HKEY_CURRENT_USER, PRELOAD_KEY, L"4");
    ASSERT_TRUE(moved.has_value());
    EXPECT_EQ(moved->type, (DWORD)REG_MULTI_SZ);
    EXPECT_EQ(moved->data.size(), 10u);
    auto dword = ReadValue(HKEY_CURRENT_USER, PRELOAD_KEY, L"2");
    ASSERT_TRUE(dword.has_value());
    EXPECT_EQ(dword->type, (DWORD)REG_DWORD);
}

TEST_F(Uninstall, AnyFailedChangeLeavesNoGapAndLosesNoEntry)
{
    const List before = {L"00000409", L"E0020409", L"00000804", L"00000411", L"00000412"};
    const List after = {L"00000409", L"00000804", L"00000411", L"00000412"};
    Record(HKEY_CURRENT_USER, L"e0020409");
    bool failed = true;
    for (int k = 1; failed; ++k) {
        WritePreloadList(before);
        FailNthCall({"RegSetValueExW", "RegDeleteValueW"}, k, ERROR_ACCESS_DENIED);
        Run();
        failed = NthCallFailed();
        ClearFaults();
        List list = ReadPreloadList();
        for (size_t number = list.size() + 1; number <= before.size(); ++number)
            EXPECT_TRUE(HasNoValue(HKEY_CURRENT_USER, PRELOAD_KEY, std::to_wstring(number)))
                << "gap before entry " << number << ", call " << k << " failed";
        // Refused at once, nothing changed; later, at most one entry twice in a row.
        if (k == 1 && failed) {
            EXPECT_EQ(list, before);
            continue;
        }
        EXPECT_LE(list.size(), after.size() + (failed ? 1 : 0)) << "call " << k;
        list.erase(std::unique(list.begin(), list.end()), list.end());
        EXPECT_EQ(list, after) << "call " << k << (failed ? " failed" : ": none failed");
    }
}

TEST_F(Uninstall, EntryTooLongToMoveEndsTheListForWalkAndMoves)
{
    // 131 units are more than the walk reads: the list is 1 to 3 for both.
    Record(HKEY_CURRENT_USER, L"e0020409");
    WritePreloadList({L"00000409", L"00000804", L"E0020409", std::wstring(131, L'x'), L"e0020409"});
    Run();
    EXPECT_EQ(ReadPreloadList(), (List{L"00000409", L"00000804"}));
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, PRELOAD_KEY, L"4", std::wstring(131, L'x')));
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, PRELOAD_KEY, L"5", L"e0020409"));
}

TEST_F(Uninstall, MissingKeysAreSkippedSilently)
{
    Record(HKEY_CURRENT_USER, L"e0020409");
    DeleteTree(HKEY_LOCAL_MACHINE, LAYOUTS_KEY);
    DeleteTree(HKEY_CURRENT_USER, PRELOAD_KEY);
    Run();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, PRELOAD_KEY)) << "uninstall creates nothing";
}

TEST_F(Uninstall, LongListWithMatchLastAndWithoutMatch)
{
    List entries(3000, L"00000409");
    entries.back() = L"E0020409";
    Record(HKEY_CURRENT_USER, L"e0020409");
    WritePreloadList(entries);
    Run();
    EXPECT_EQ(ReadPreloadList().size(), 2999u);
    entries.pop_back();
    Run();
    EXPECT_EQ(ReadPreloadList(), entries);
}

}  // namespace
