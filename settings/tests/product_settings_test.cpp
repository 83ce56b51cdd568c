#include <gtest/gtest.h>

#include "product_settings.h"
#include "registry_helpers.h"
#include "registry_hooks.h"

namespace {

class ProductSettings : public testing::Test {
protected:
    void SetUp() override
    {
        section = TestSection();
        path = ProductPath(section);
        Clean();
    }
    void TearDown() override { Clean(); }
    void Clean()
    {
        DeleteTree(HKEY_LOCAL_MACHINE, path);
        DeleteTree(HKEY_CURRENT_USER, path);
    }
    std::wstring Read(HKEY root, const wchar_t *defaultText = L"0", DWORD bytes = 100)
    {
        WCHAR out[100 + 1];
        int length = ReadProductString(root, section.c_str(), L"HKLID", defaultText, out, bytes);
        EXPECT_EQ(length, (int)wcslen(out));
        return out;
    }
    std::wstring ReadPreferUser()
    {
        WCHAR out[100];
        int length = ReadProductStringPreferUser(section.c_str(), L"HKLID", L"0", out, 100);
        EXPECT_EQ(length, (int)wcslen(out));
        return out;
    }
    std::wstring section, path;
    HookScope hooks;
};

TEST_F(ProductSettings, WriteCreatesSectionAndStoresCharactersOnly)
{
    ASSERT_TRUE(WriteProductString(HKEY_CURRENT_USER, section.c_str(), L"HKLID", L"e0020409"));
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, path, L"HKLID", L"e0020409"));
    ASSERT_EQ(SetValueCalls().size(), 1u);
    const SetValueCall &call = SetValueCalls()[0];
    EXPECT_EQ(call.type, (DWORD)REG_SZ);
    EXPECT_EQ(call.data.size(), 16u) << "2 bytes a character, no terminator";
}

TEST_F(ProductSettings, SecondWriteReplacesAndBackslashesNest)
{
    std::wstring nested = section + L"\\inner\\deeper";
    ASSERT_TRUE(WriteProductString(HKEY_CURRENT_USER, nested.c_str(), L"HKLID", L"first"));
    ASSERT_TRUE(WriteProductString(HKEY_CURRENT_USER, nested.c_str(), L"HKLID", L"2nd"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path + L"\\inner"));
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, ProductPath(nested), L"HKLID", L"2nd"));
}

TEST_F(ProductSettings, WriteEverywhereGoesMachineFirstThenUser)
{
    WriteProductStringEverywhere(section.c_str(), L"HKLID", L"409");
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path, L"HKLID", L"409", OwnView()));
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, path, L"HKLID", L"409"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path, OtherView())) << "wrong registry view";
    ASSERT_EQ(SetValueCalls().size(), 2u);
}

TEST_F(ProductSettings, WriteEverywhereReturnsTheUserResult)
{
    // A refused machine-wide write does not stop the per-user one.
    FailCalls("RegSetValueExW", L"HKLID", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteProductStringEverywhere(section.c_str(), L"HKLID", L"409"));
    ClearFaults();
    ClearSetValueCalls();
    FailCalls("RegCreateKeyExW", L"Tevra", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteProductString(HKEY_CURRENT_USER, section.c_str(), L"HKLID", L"409"));
    EXPECT_TRUE(SetValueCalls().empty());
}

TEST_F(ProductSettings, RootWithoutSoftwareGetsNothing)
{
    ScratchRoots roots;
    DeleteTree(HKEY_CURRENT_USER, L"Software");
    EXPECT_EQ(OpenProductSection(HKEY_CURRENT_USER, section.c_str()), (HKEY)NULL);
    EXPECT_FALSE(WriteProductString(HKEY_CURRENT_USER, section.c_str(), L"HKLID", L"409"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST_F(ProductSettings, OpenHandsBackAnOpenSectionKey)
{
    HKEY key = OpenProductSection(HKEY_CURRENT_USER, section.c_str());
    ASSERT_NE(key, (HKEY)NULL);
    EXPECT_EQ(OpenKeyCount(), hooks.openBefore + 1) << "only the section key stays open";
    RegCloseKey(key);
    FailCalls("RegCreateKeyExW", section, ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenProductSection(HKEY_CURRENT_USER, section.c_str()), (HKEY)NULL);
}

TEST_F(ProductSettings, ReadGivesStoredTextOrDefaultAndCreatesNothing)
{
    EXPECT_EQ(Read(HKEY_CURRENT_USER, L"dflt"), L"dflt");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path)) << "a read never creates keys";
    SetString(HKEY_CURRENT_USER, path, L"HKLID", L"e0020409");
    EXPECT_EQ(Read(HKEY_CURRENT_USER), L"e0020409");
    SetString(HKEY_CURRENT_USER, path, L"HKLID", L"");
    EXPECT_EQ(Read(HKEY_CURRENT_USER, L"dflt"), L"dflt") << "empty counts as missing";
}

TEST_F(ProductSettings, ReadEndsTextAtTheReportedBytes)
{
    // Three characters and half of a fourth: the half is dropped.
    const wchar_t odd[] = L"abcd";
    SetRaw(HKEY_CURRENT_USER, path, L"HKLID", REG_SZ, odd, 7);
    EXPECT_EQ(Read(HKEY_CURRENT_USER), L"abc");
    const wchar_t early[] = L"ab\0cd";
    SetRaw(HKEY_CURRENT_USER, path, L"HKLID", REG_SZ, early, 10);
    EXPECT_EQ(Read(HKEY_CURRENT_USER), L"ab");
    // 50 characters fill the 100 bytes offered exactly. A non-zero unit after
    // them keeps the registry from adding a terminator of its own.
    std::wstring full(50, L'f');
    SetRaw(HKEY_CURRENT_USER, path, L"HKLID", REG_SZ, (full + L"x").c_str(), 100);
    EXPECT_EQ(Read(HKEY_CURRENT_USER), full);
}

TEST_F(ProductSettings, ReadOfTooLongOrFailedValueGivesDefault)
{
    SetRaw(HKEY_CURRENT_USER, path, L"HKLID", REG_SZ, std::wstring(52, L'f').c_str(), 102);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, L"dflt"), L"dflt");
    SetString(HKEY_CURRENT_USER, path, L"HKLID", L"409");
    FailCalls("RegQueryValueExW", L"HKLID", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, L"dflt"), L"dflt");
}

TEST_F(ProductSettings, ReadOfOtherTypesTakesTheirBytesAsText)
{
    DWORD number = 0x00340033;  // "34" as UTF-16 little-endian
    SetRaw(HKEY_CURRENT_USER, path, L"HKLID", REG_DWORD, &number, 4);
    EXPECT_EQ(Read(HKEY_CURRENT_USER), L"34");
}

TEST_F(ProductSettings, PreferUserFallsBackOnlyWhenUserTextIsDefault)
{
    EXPECT_EQ(ReadPreferUser(), L"0");
    SetString(HKEY_LOCAL_MACHINE, path, L"HKLID", L"e0030409", OwnView());
    EXPECT_EQ(ReadPreferUser(), L"e0030409") << "no per-user record";
    SetString(HKEY_CURRENT_USER, path, L"HKLID", L"0");
    EXPECT_EQ(ReadPreferUser(), L"e0030409") << "per-user \"0\" counts as absent";
    SetString(HKEY_CURRENT_USER, path, L"HKLID", L"e0020409");
    EXPECT_EQ(ReadPreferUser(), L"e0020409") << "per-user wins";
}

}  // namespace
