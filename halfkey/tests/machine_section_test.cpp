#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "machine_section.h"
#include "registry_helpers.h"
#include "registry_hooks.h"

namespace {

class MachineSection : public testing::Test {
protected:
    void SetUp() override
    {
        std::wstring wide = TestSection();
        section.assign(wide.begin(), wide.end());
        path = ProductPath(wide);
        Clean();
    }
    void TearDown() override { Clean(); }
    void Clean()
    {
        DeleteTree(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY);
        DeleteTree(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
    }
    std::string section;
    std::wstring path;
    HookScope hooks;
};

TEST_F(MachineSection, WriteStoresRegSzCharactersOnlyInThe32BitView)
{
    const char text[] = "C:\\Program Files\\Tevra\\tevra.ime";
    ASSERT_TRUE(WriteMachineProductString(section.c_str(), "HKLID", text));
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path, L"HKLID",
                          L"C:\\Program Files\\Tevra\\tevra.ime", KEY_WOW64_32KEY));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY)) << "wrong registry view";
    ASSERT_EQ(SetValueCalls().size(), 1u);
    const SetValueCall &call = SetValueCalls()[0];
    EXPECT_EQ(call.name, L"HKLID");
    EXPECT_EQ(call.type, (DWORD)REG_SZ);
    // The registry would add a missing terminator itself, so only the count shows it.
    EXPECT_EQ(call.data, std::vector<BYTE>(text, text + strlen(text)));
}

TEST_F(MachineSection, NarrowTextIsTakenInTheAnsiCodePage)
{
    ASSERT_EQ(GetACP(), 1252u);
    ASSERT_TRUE(WriteMachineProductString(section.c_str(), "caf\xe9", "\xe0\xff"));
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path, L"caf\u00e9", L"\u00e0\u00ff"));
}

TEST_F(MachineSection, SecondWriteReplacesAndBackslashesNest)
{
    std::string nested = section + "\\inner\\deeper";
    ASSERT_TRUE(WriteMachineProductString(nested.c_str(), "HKLID", "first"));
    ASSERT_TRUE(WriteMachineProductString(nested.c_str(), "HKLID", "2nd"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, path + L"\\inner"));
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path + L"\\inner\\deeper", L"HKLID", L"2nd"));
    EXPECT_TRUE(HasNoValue(HKEY_LOCAL_MACHINE, path, L"HKLID"));
}

TEST_F(MachineSection, OpenHandsBackOnlyTheSectionKey)
{
    HKEY key = OpenMachineProductSection(section.c_str());
    ASSERT_NE(key, (HKEY)NULL);
    EXPECT_EQ(OpenKeyCount(), hooks.openBefore + 1) << "Software and Tevra are closed";
    RegCloseKey(key);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, path));
}

TEST_F(MachineSection, RefusedCallsYieldNoKeyAndLeaveNoneOpen)
{
    FailCalls("RegOpenKeyA", L"Software", ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenMachineProductSection(section.c_str()), (HKEY)NULL);
    ClearFaults();
    FailCalls("RegCreateKeyExA", L"Tevra", ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenMachineProductSection(section.c_str()), (HKEY)NULL);
    ClearFaults();
    std::wstring wideSection(section.begin(), section.end());
    FailCalls("RegCreateKeyExA", wideSection, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteMachineProductString(section.c_str(), "HKLID", "409"));
    EXPECT_TRUE(SetValueCalls().empty());
    EXPECT_EQ(OpenKeyCount(), hooks.openBefore);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path));
}

TEST_F(MachineSection, FailedSetReturnsFalseAndClosesTheKey)
{
    FailCalls("RegSetValueExA", L"HKLID", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteMachineProductString(section.c_str(), "HKLID", "409"));
    EXPECT_EQ(SetValueCalls().size(), 1u);
    EXPECT_TRUE(HasNoValue(HKEY_LOCAL_MACHINE, path, L"HKLID"));
}

TEST_F(MachineSection, MachineRootWithoutSoftwareGetsNothing)
{
    ScratchRoots roots;
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software");
    EXPECT_EQ(OpenMachineProductSection(section.c_str()), (HKEY)NULL);
    EXPECT_FALSE(WriteMachineProductString(section.c_str(), "HKLID", "409"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software")) << "Software is never created";
    EXPECT_TRUE(SetValueCalls().empty());
}

}  // namespace
