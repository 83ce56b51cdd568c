// The built kbreg of this test build's bitness, started with exact command
// lines; the registry is read back in the view that bitness reaches.
#include <gtest/gtest.h>

#include "registry_helpers.h"
#include "run_program.h"

namespace {

const wchar_t USAGE[] =
    L"kbreg [install/uninstall] [ime file name] [ime chinese name] "
    L"[RegKeySection to save HKL] [HKLID]";

class Kbreg : public testing::Test {
protected:
    void SetUp() override
    {
        section = TestSection();
        path = ProductPath(section);
        Clean();
    }
    void TearDown() override
    {
        RemoveLayout(Recorded(HKEY_CURRENT_USER));
        RemoveLayout(Recorded(HKEY_LOCAL_MACHINE));
        Clean();
    }
    void Clean()
    {
        DeleteTree(HKEY_CURRENT_USER, path);
        DeleteTree(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY);
        DeleteTree(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
    }
    std::wstring Recorded(HKEY root)
    {
        auto value = ReadValue(root, path, L"HKLID", root == HKEY_LOCAL_MACHINE ? OwnView() : 0);
        return value ? value->Text() : L"";
    }
    DWORD Kb(const std::wstring &args) { return RunProgram(KbregExe(), QuotedCommand(KbregExe(), args)); }
    std::wstring Args(const wchar_t *verb)
    {
        return std::wstring(verb) + L" tevra.ime \u4e2d\u6587 " + section + L" HKLID";
    }
    // C:\windows\system32\name, as a program of this build's bitness sees it.
    std::wstring SystemFile(const wchar_t *name)
    {
        wchar_t system[MAX_PATH];
        EXPECT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
        return std::wstring(system) + L"\\" + name;
    }
    bool HasLayoutKey(const std::wstring &text)
    {
        return KeyExists(HKEY_LOCAL_MACHINE, LayoutPath(text));
    }
    std::wstring section, path;
};

TEST_F(Kbreg, InstallRecordsTheLayoutUnderBothRootsInItsOwnView)
{
    ASSERT_EQ(Kb(Args(L"install")), 0u);
    std::wstring text = Recorded(HKEY_CURRENT_USER);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text, L"0") << "Wine's ImmInstallIMEW gave no layout";
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path, L"HKLID", text, OwnView()));
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, path, L"HKLID", text));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path, OtherView()));
    EXPECT_EQ(text.find_first_not_of(L"0123456789abcdef"), std::wstring::npos) << "lowercase hex";
    EXPECT_TRUE(HasLayoutKey(text));
}

TEST_F(Kbreg, OnlyAnImeFileInTheSystemFolderIsRegistered)
{
    // The test prefix holds tevra.ime in the system folder of each bitness.
    ASSERT_EQ(Kb(Args(L"install")), 0u);
    std::wstring layout = Recorded(HKEY_CURRENT_USER);
    auto file = ReadValue(HKEY_LOCAL_MACHINE, LayoutPath(layout), L"Ime File");
    ASSERT_TRUE(file.has_value()) << "layout " << testing::PrintToString(layout);
    EXPECT_EQ(UpperCase(file->Text()), L"TEVRA.IME") << "Wine 10 stores the name upper-cased";
    RemoveLayout(layout);
    Clean();
    ASSERT_EQ(Kb(L"install missing.ime N " + section + L" HKLID"), 0u);
    if (ImmReadsImeFiles()) {
        EXPECT_EQ(Recorded(HKEY_CURRENT_USER), L"0");
    } else {
        // Wine 8 registers any name without opening the file: accepted there only.
        EXPECT_NE(Recorded(HKEY_CURRENT_USER), L"0");
    }
}

TEST_F(Kbreg, InstallThenUninstallRemovesLayoutAndPreloadEntryKeepingTheRest)
{
    ASSERT_EQ(Kb(Args(L"install")), 0u);
    std::wstring text = Recorded(HKEY_CURRENT_USER);
    std::wstring upper = UpperCase(text);
    // Entry 1 is Wine's own; ours sits in the middle in upper case.
    WritePreloadList({L"00000409", L"00000804", upper, L"00000411"});
    ASSERT_EQ(Kb(Args(L"uninstall")), 0u);
    EXPECT_FALSE(HasLayoutKey(text));
    auto list = ReadPreloadList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1], L"00000804");
    EXPECT_EQ(list[2], L"00000411");
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, path, L"HKLID", text)) << "records stay";
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path, L"HKLID", text, OwnView()));
}

TEST_F(Kbreg, UninstallRemovesOurLayoutWhateverPathOrCaseInstallWasGiven)
{
    ASSERT_EQ(Kb(L"install " + SystemFile(L"tevra.ime") + L" N " + section + L" HKLID"), 0u);
    std::wstring layout = Recorded(HKEY_CURRENT_USER);
    ASSERT_TRUE(HasLayoutKey(layout)) << testing::PrintToString(layout);
    WritePreloadList({L"00000409", UpperCase(layout)});
    ASSERT_EQ(Kb(L"uninstall TEVRA.IME N " + section + L" HKLID"), 0u);
    EXPECT_FALSE(HasLayoutKey(layout));
    EXPECT_EQ(ReadPreloadList(), std::vector<std::wstring>{L"00000409"});
}

// Another IME, registered through kbreg from a copy of the placeholder under
// another name, recorded in a section of its own.
TEST_F(Kbreg, UninstallLeavesAnotherImesLayoutThatARecordNames)
{
    std::wstring otherFile = SystemFile(L"other.ime");
    ASSERT_TRUE(CopyFileW(SystemFile(L"tevra.ime").c_str(), otherFile.c_str(), FALSE));
    std::wstring otherPath = ProductPath(section + L"Other");
    ASSERT_EQ(Kb(L"install other.ime N " + section + L"Other HKLID"), 0u);
    std::wstring other = ReadValue(HKEY_CURRENT_USER, otherPath, L"HKLID")->Text();
    ASSERT_EQ(Kb(Args(L"install")), 0u);
    std::wstring ours = Recorded(HKEY_CURRENT_USER);
    ASSERT_TRUE(HasLayoutKey(other) && HasLayoutKey(ours)) << "other " << other << ", ours " << ours;
    const std::vector<std::wstring> preload = {L"00000409", UpperCase(other), UpperCase(ours)};

    // The per-user record changed by any program the user runs.
    WritePreloadList(preload);
    SetString(HKEY_CURRENT_USER, path, L"HKLID", other);
    ASSERT_EQ(Kb(Args(L"uninstall")), 0u);
    EXPECT_TRUE(HasLayoutKey(other)) << "tampered per-user record";
    EXPECT_EQ(ReadPreloadList(), preload);
    // A machine-wide record left from an earlier install whose slot the system gave away.
    DeleteTree(HKEY_CURRENT_USER, path);
    SetString(HKEY_LOCAL_MACHINE, path, L"HKLID", other, OwnView());
    ASSERT_EQ(Kb(Args(L"uninstall")), 0u);
    EXPECT_TRUE(HasLayoutKey(other)) << "stale machine-wide record";
    EXPECT_EQ(ReadPreloadList(), preload);

    RemoveLayout(other);
    RemoveLayout(ours);
    DeleteTree(HKEY_CURRENT_USER, otherPath);
    DeleteTree(HKEY_LOCAL_MACHINE, otherPath, OwnView());
    DeleteFileW(otherFile.c_str());
}

TEST_F(Kbreg, UnknownVerbsDoNothing)
{
    for (const wchar_t *verb : {L"Install", L"INSTALL", L"Uninstall", L"remove"}) {
        EXPECT_EQ(Kb(Args(verb)), 0u);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path));
    }
}

TEST_F(Kbreg, RawCommandLinesAreSplitAsSpecified)
{
    // Odd spacing, a seventh argument, U+00A0 and U+3000 inside the display name.
    std::wstring line = L"kbreg\t \u3000install  \u00a0a.ime \u4e2d\u3000\u6587\u00a0x\r\n" +
                        section + L"   HKLID extra \"more\"";
    ASSERT_EQ(RunProgram(KbregExe(), line), 0u);
    EXPECT_FALSE(Recorded(HKEY_CURRENT_USER).empty());
    RemoveLayout(Recorded(HKEY_CURRENT_USER));
    DeleteTree(HKEY_CURRENT_USER, path);
    // A quoted path with blanks is one token, as Windows Installer starts a custom action.
    ASSERT_EQ(RunProgram(KbregExe(), L"\"C:\\Program Files\\Tevra IME\\kbreg.exe\" " +
                                         Args(L"install")), 0u);
    std::wstring layout = Recorded(HKEY_CURRENT_USER);
    EXPECT_TRUE(!layout.empty() && HasLayoutKey(layout)) << "nothing installed";
    // Quotation marks stay part of an argument: the value name is "HKLID" with its quotes.
    ASSERT_EQ(Kb(L"install a.ime N " + section + L" \"HKLID\""), 0u);
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, path, L"\"HKLID\"").has_value());
    RemoveLayout(ReadValue(HKEY_CURRENT_USER, path, L"\"HKLID\"")->Text());
}

TEST_F(Kbreg, MalformedCommandLinesShowTheUsageBox)
{
    std::wstring exe = KbregExe();
    const std::wstring lines[] = {
        QuotedCommand(exe, L"install a.ime N " + section),  // four arguments
        L"kbreg",
        L"\u3000 \t",
        std::wstring(400, L'p') + L" " + Args(L"install"),
        QuotedCommand(exe, L"install a.ime " + std::wstring(100, L'N') + L" s v"),
        QuotedCommand(exe, L"install a.ime N " + section + L"\uffff HKLID"),
        L"\"C:\\Program Files\\kbreg.exe " + Args(L"install"),  // the quote never closes
    };
    for (const std::wstring &line : lines) {
        MessageBoxSeen seen = RunAndDismissBox(exe, line, L"kbregAll");
        EXPECT_TRUE(seen.shown) << testing::PrintToString(line.substr(0, 60));
        EXPECT_EQ(seen.text, USAGE);
        EXPECT_EQ(seen.caption, L"kbregAll");
        EXPECT_EQ(seen.exitCode, 1u);
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path));
}

// Installers may run kbreg elevated from a folder any user can write; a DLL
// put there under the name of one its message box loads must not run.
TEST_F(Kbreg, DllPlantedBesideTheProgramDoesNotRun)
{
    PlantedDllRun run = RunBesidePlantedDll(KbregExe(), L"install a.ime", L"kbregAll");
    EXPECT_TRUE(run.box.shown);
    EXPECT_EQ(run.box.exitCode, 1u);
    EXPECT_FALSE(run.dllRan) << "the uxtheme.dll beside kbreg ran";
}

TEST_F(Kbreg, TokensAtTheirCapacityAreAccepted)
{
    std::wstring name(99, L'n');
    std::wstring padding(399 - KbregExe().size() - 2, L'\\');
    // Z:\\\...\kbreg.exe is still the same file, and 399 units long.
    std::wstring exe = KbregExe();
    std::wstring longPath = exe.substr(0, 3) + padding + exe.substr(3);
    ASSERT_EQ(longPath.size(), 399u - 2);
    ASSERT_EQ(RunProgram(exe, L"\"" + longPath + L"\" install a.ime N " + section + L" " + name), 0u);
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, path, name).has_value());
    RemoveLayout(ReadValue(HKEY_CURRENT_USER, path, name)->Text());
}

}  // namespace
