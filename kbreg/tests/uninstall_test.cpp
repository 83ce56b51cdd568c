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
    // A layout key naming imeFile as its IME file; none with nullptr.
    void AddLayout(const std::wstring &name, const wchar_t *imeFile = L"a.ime")
    {
        SetString(HKEY_LOCAL_MACHINE, LayoutPath(name), L"Layout File", L"kbdus.dll");
        if (imeFile)
            SetString(HKEY_LOCAL_MACHINE, LayoutPath(name), L"Ime File", imeFile);
    }
    bool HasLayout(const std::wstring &name)
    {
        return KeyExists(HKEY_LOCAL_MACHINE, LayoutPath(name));
    }
    void Run(const wchar_t *imeFile = L"a.ime") { UninstallLayout(imeFile, L"Name", L"Sec", L"HKLID"); }

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

TEST_F(Uninstall, OwnLayoutIsKnownByItsFileNameInAnyCaseOrFolder)
{
    const wchar_t *cases[][2] = {
        {L"A.IME", L"a.ime"},                                  // Windows stores it upper-cased
        {L"C:\\Windows\\system32\\a.ime", L"a.ime"},         // Wine 8 stores what it was given
        {L"a.ime", L"C:\\Windows\\SysWOW64\\A.Ime"},
        {L"\u00e4\u0101.ime", L"\u00c4\u0100.IME"},              // case beyond ASCII
    };
    Record(HKEY_CURRENT_USER, L"e0020409");
    for (auto &[stored, given] : cases) {
        AddLayout(L"E0020409", stored);
        WritePreloadList({L"00000409", L"E0020409"});
        Run(given);
        EXPECT_FALSE(HasLayout(L"E0020409")) << testing::PrintToString(std::wstring(stored));
        EXPECT_EQ(ReadPreloadList(), (List{L"00000409"}));
    }
}

TEST_F(Uninstall, AnotherImesLayoutStaysWithItsPreloadEntry)
{
    Record(HKEY_CURRENT_USER, L"e0020409");
    auto seed = [&](const wchar_t *imeFile) {
        DeleteTree(HKEY_LOCAL_MACHINE, LayoutPath(L"E0020409"));
        AddLayout(L"E0020409", imeFile);
        WritePreloadList({L"00000409", L"E0020409"});
    };
    auto expectUntouched = [&](const char *what) {
        Run();
        EXPECT_TRUE(HasLayout(L"E0020409")) << what;
        EXPECT_EQ(ReadPreloadList(), (List{L"00000409", L"E0020409"})) << what;
    };
    seed(L"other.ime");
    expectUntouched("another file");
    seed(L"a.ime.old");
    expectUntouched("a longer name");
    seed(L"C:\\a.ime\\other.ime");
    expectUntouched("our name as a folder");
    seed(nullptr);
    expectUntouched("no Ime File");
    seed(L"a.ime");
    SetRaw(HKEY_LOCAL_MACHINE, LayoutPath(L"E0020409"), L"Ime File", REG_BINARY, L"a.ime", 10);
    expectUntouched("Ime File of another type");
    seed(L"a.ime");
    FailCalls("RegQueryValueExW", L"Ime File", ERROR_ACCESS_DENIED);
    expectUntouched("Ime File refused");
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
