// halfkey runs whose registry difference must be exactly the intended change.
#include <gtest/gtest.h>

#include "registry_helpers.h"
#include "registry_snapshot.h"
#include "run_program.h"

namespace {

using Changes = std::set<std::wstring>;

class HalfkeyDiff : public testing::Test {
protected:
    void SetUp() override
    {
        section = TestSection();
        path = ProductPath(section);
        // The shared parents exist, as on a system with an earlier install.
        CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Tevra", KEY_WOW64_32KEY);
        CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Tevra", KEY_WOW64_64KEY);
        CreateKey(HKEY_CURRENT_USER, L"Software\\Tevra");
    }
    void TearDown() override { DeleteTree(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY); }
    DWORD Run(const std::wstring &text)
    {
        RegistrySnapshot before = SnapshotProductTrees();
        MessageBoxSeen seen = RunAndDismissBox(HalfkeyExe(), QuotedCommand(HalfkeyExe(), text),
                                               L"TevraW7");
        changes = Diff(before, SnapshotProductTrees());
        return seen.exitCode;
    }
    std::wstring section, path;
    Changes changes;
};

TEST_F(HalfkeyDiff, WriteAddsOneKeyAndOneValueInThe32BitView)
{
    ASSERT_EQ(Run(section + L",Dir,C:\\Program Files\\Tevra"), 0u);
    EXPECT_EQ(changes, (Changes{L"+ " + KeyLine(L"HKLM32", path),
                                L"+ " + ValueLine(L"HKLM32", path, L"Dir")}));
    ASSERT_EQ(Run(section + L",Dir,other"), 0u);
    EXPECT_EQ(changes, (Changes{L"~ " + ValueLine(L"HKLM32", path, L"Dir")}));
}

TEST_F(HalfkeyDiff, RejectedLinesChangeNothing)
{
    const std::wstring lines[] = {
        section + L",Dir",
        section + L",Dir,",
        L"," + section + L",Dir,x",
        section + L",Dir,'x",
        section + L",Dir," + std::wstring(260, L'x'),
        std::wstring(40000, L'\u00e9'),
    };
    for (const std::wstring &line : lines) {
        EXPECT_EQ(Run(line), 1u) << line.size() << " characters";
        EXPECT_EQ(changes, Changes{}) << line.size() << " characters";
    }
}

TEST_F(HalfkeyDiff, UpperHalfBytesAreStoredAndNothingElseChanges)
{
    std::wstring text;
    for (wchar_t unit = 0xA0; unit <= 0xFF; ++unit)
        if (unit != L'\'' && unit != L',')
            text += unit;
    ASSERT_EQ(Run(section + L",Latin," + text), 0u);
    EXPECT_EQ(changes, (Changes{L"+ " + KeyLine(L"HKLM32", path),
                                L"+ " + ValueLine(L"HKLM32", path, L"Latin")}));
}

}  // namespace
