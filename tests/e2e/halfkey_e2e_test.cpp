// The built halfkey, started with exact command lines under WOW64; the
// registry is read back in both views of the machine-wide "Software" key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_helpers.h"
#include "run_program.h"

namespace {

const REGSAM VIEW32 = KEY_WOW64_32KEY, VIEW64 = KEY_WOW64_64KEY;

class Halfkey : public testing::Test {
protected:
    void SetUp() override
    {
        section = TestSection();
        path = ProductPath(section);
        Clean();
    }
    void TearDown() override
    {
        RemoveLayout(layout);
        Clean();
    }
    void Clean()
    {
        for (const std::wstring &key : {path, path + L" "}) {
            DeleteTree(HKEY_LOCAL_MACHINE, key, VIEW32);
            DeleteTree(HKEY_LOCAL_MACHINE, key, VIEW64);
            DeleteTree(HKEY_CURRENT_USER, key);
        }
    }
    DWORD Hk(const std::wstring &args)
    {
        return RunProgram(HalfkeyExe(), QuotedCommand(HalfkeyExe(), args));
    }
    bool Has32(const std::wstring &key, const std::wstring &name, const std::wstring &text)
    {
        return HasString(HKEY_LOCAL_MACHINE, key, name, text, VIEW32);
    }
    std::wstring section, path, layout;
};

TEST_F(Halfkey, WritesIntoThe32BitViewOnly)
{
    ASSERT_EQ(Hk(section + L",HKLID,e0020409"), 0u);
    EXPECT_TRUE(Has32(path, L"HKLID", L"e0020409"));
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Tevra\\" + section,
                          L"HKLID", L"e0020409", VIEW64));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path, VIEW64)) << "landed in the 64-bit view";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path)) << "machine-wide only";
}

TEST_F(Halfkey, FieldsAreStoredWholeWithTheirBlanks)
{
    ASSERT_EQ(Hk(section + L" , Name ,C:\\Program Files\\Tevra\\tevra.ime  "), 0u);
    EXPECT_TRUE(Has32(path + L" ", L" Name ", L"C:\\Program Files\\Tevra\\tevra.ime  "));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path, VIEW32));
    ASSERT_EQ(Hk(section + L",\"Q\",\"quoted\"\ttab"), 0u);
    EXPECT_TRUE(Has32(path, L"\"Q\"", L"\"quoted\"\ttab"));
}

TEST_F(Halfkey, BackslashesNestAndASecondRunReplaces)
{
    std::wstring nested = section + L"\\inner\\deeper";
    ASSERT_EQ(Hk(nested + L",HKLID,first"), 0u);
    ASSERT_EQ(Hk(nested + L",HKLID,2nd"), 0u);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, path + L"\\inner", VIEW32));
    EXPECT_TRUE(Has32(ProductPath(nested), L"HKLID", L"2nd"));
    EXPECT_TRUE(HasNoValue(HKEY_LOCAL_MACHINE, path, L"HKLID", VIEW32));
}

TEST_F(Halfkey, TextEndsAtAnApostropheOrAFourthField)
{
    ASSERT_EQ(Hk(section + L",A,kept,dropped"), 0u);
    ASSERT_EQ(Hk(section + L",B,it's"), 0u);
    EXPECT_TRUE(Has32(path, L"A", L"kept"));
    EXPECT_TRUE(Has32(path, L"B", L"it"));
}

TEST_F(Halfkey, ProgramNamePassedOverAsTheStartupDoes)
{
    std::wstring exe = HalfkeyExe();
    // The name in the command line need not be the file that runs.
    ASSERT_EQ(RunProgram(exe, L"\"C:\\Program Files\\Tevra\\halfkey.exe\" \t " + section +
                                  L",A,quoted"), 0u);
    ASSERT_EQ(RunProgram(exe, L"halfkey\x01\x1f" + section + L",B,control"), 0u);
    ASSERT_EQ(RunProgram(exe, L"C:\\\"Program Files\"\\halfkey.exe " + section + L",C,inner"),
              0u);
    EXPECT_TRUE(Has32(path, L"A", L"quoted"));
    EXPECT_TRUE(Has32(path, L"B", L"control"));
    EXPECT_TRUE(Has32(path, L"C", L"inner"));
}

TEST_F(Halfkey, FieldsOf259BytesAreStored)
{
    std::wstring name(259, L'n'), text(259, L't');
    ASSERT_EQ(Hk(section + L"," + name + L"," + text), 0u);
    EXPECT_TRUE(Has32(path, name, text));
}

TEST_F(Halfkey, BytesAboveAsciiAreStoredAsTheirAnsiCharacters)
{
    ASSERT_EQ(GetACP(), 1252u) << "the program's narrow line is in the same code page";
    std::string bytes;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        bytes += (char)byte;
    wchar_t wide[256] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), wide, 256), 128);
    std::wstring text(wide, 128);
    ASSERT_EQ(Hk(section + L",HKLID," + text), 0u);
    EXPECT_TRUE(Has32(path, L"HKLID", text));
    // In the program's name too, unquoted: none of them opens a double-byte character.
    ASSERT_EQ(RunProgram(HalfkeyExe(), L"half" + text + L" " + section + L",N,v"), 0u);
    EXPECT_TRUE(Has32(path, L"N", L"v"));
}

TEST_F(Halfkey, MalformedCommandLinesShowTheErrorBoxAndWriteNothing)
{
    std::wstring exe = HalfkeyExe();
    const std::wstring lines[] = {
        QuotedCommand(exe, section + L",HKLID"),
        QuotedCommand(exe, L"," + section + L",v"),
        QuotedCommand(exe, section + L",,v"),
        QuotedCommand(exe, section + L",HKLID,"),
        QuotedCommand(exe, section + L",HKLID,'v"),
        QuotedCommand(exe, section + L"',HKLID,v"),
        QuotedCommand(exe, L""),
        L"",  // the system puts the quoted program path in its place
        QuotedCommand(exe, section + L"," + std::wstring(260, L'n') + L",v"),
        QuotedCommand(exe, section + L",HKLID," + std::wstring(260, L't')),
        QuotedCommand(exe, section + std::wstring(260 - section.size(), L's') + L",HKLID,v"),
    };
    for (const std::wstring &line : lines) {
        MessageBoxSeen seen = RunAndDismissBox(exe, line, L"TevraW7");
        EXPECT_TRUE(seen.shown) << testing::PrintToString(line.substr(0, 80));
        EXPECT_EQ(seen.text, L"Set WOW64_Reg Error");
        EXPECT_EQ(seen.caption, L"TevraW7");
        EXPECT_EQ(seen.exitCode, 1u);
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path, VIEW32));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path, VIEW64));
    EXPECT_TRUE(HasNoValue(HKEY_LOCAL_MACHINE, L"Software\\Tevra", section, VIEW32));
}

// As for kbreg: a DLL beside halfkey, named as one its message box loads, must not run.
TEST_F(Halfkey, DllPlantedBesideTheProgramDoesNotRun)
{
    PlantedDllRun run = RunBesidePlantedDll(HalfkeyExe(), section + L",HKLID", L"TevraW7");
    EXPECT_TRUE(run.box.shown);
    EXPECT_EQ(run.box.exitCode, 1u);
    EXPECT_FALSE(run.dllRan) << "the uxtheme.dll beside halfkey ran";
}

// kbreg's 64-bit build and halfkey share the section layout but not the view.
TEST_F(Halfkey, Kbreg64AndHalfkeyKeepToTheirOwnViews)
{
    std::wstring kbreg = KbregExe("x64");
    ASSERT_EQ(Hk(section + L",HKLID,from halfkey"), 0u);
    ASSERT_EQ(RunProgram(kbreg, QuotedCommand(kbreg, L"install tevra.ime \u4e2d\u6587 " + section +
                                                         L" HKLID")), 0u);
    auto recorded = ReadValue(HKEY_CURRENT_USER, path, L"HKLID");
    ASSERT_TRUE(recorded.has_value()) << "kbreg x64 recorded nothing";
    layout = recorded->Text();
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path, L"HKLID", layout, VIEW64));
    EXPECT_TRUE(Has32(path, L"HKLID", L"from halfkey")) << "kbreg reached the 32-bit view";

    ASSERT_EQ(Hk(section + L",HKLID,again"), 0u);
    EXPECT_TRUE(Has32(path, L"HKLID", L"again"));
    EXPECT_TRUE(HasString(HKEY_LOCAL_MACHINE, path, L"HKLID", layout, VIEW64))
        << "halfkey reached the 64-bit view";
    EXPECT_TRUE(HasString(HKEY_CURRENT_USER, path, L"HKLID", layout));
}

}  // namespace
