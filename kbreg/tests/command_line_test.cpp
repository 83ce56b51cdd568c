#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"

namespace {

// Token buffers of the real capacities, with guard units behind each one.
struct Split {
    explicit Split(const std::wstring &line)
    {
        WCHAR *tokens[TOKEN_COUNT];
        for (int i = 0; i < TOKEN_COUNT; ++i) {
            buffers[i].assign((i == 0 ? PROGRAM_PATH_CAPACITY : ARGUMENT_CAPACITY) + GUARD, 0x5A5A);
            tokens[i] = buffers[i].data();
        }
        count = SplitCommandLine(line.c_str(), tokens);
    }
    std::wstring operator[](int i) const { return buffers[i].data(); }
    bool GuardsIntact() const
    {
        for (const auto &buffer : buffers)
            for (size_t i = buffer.size() - GUARD; i < buffer.size(); ++i)
                if (buffer[i] != 0x5A5A)
                    return false;
        return true;
    }
    static const int GUARD = 8;
    std::vector<WCHAR> buffers[TOKEN_COUNT];
    int count;
};

TEST(SplitCommandLine, SixTokensInOrderAndTheRestIgnored)
{
    Split split(L"kbreg.exe install a.ime Name Sec HKLID seventh eighth");
    ASSERT_EQ(split.count, 6);
    const wchar_t *expected[] = {L"kbreg.exe", L"install", L"a.ime", L"Name", L"Sec", L"HKLID"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(split[i], expected[i]);
}

TEST(SplitCommandLine, CountsWhatItFoundAndMinusOneForNothing)
{
    EXPECT_EQ(Split(L"kbreg.exe install a.ime Name Sec").count, 5);
    EXPECT_EQ(Split(L"kbreg.exe").count, 1);
    EXPECT_EQ(Split(L"").count, -1);
    EXPECT_EQ(Split(L" \t\r\n\u00a0\u3000").count, -1);
}

TEST(SplitCommandLine, ControlSpacesSeparateAndRunsCollapse)
{
    Split split(L"\t p \t\v\f\r\n  install\n\na.ime\x0B" L"Name\x0C" L"Sec\rHKLID  ");
    ASSERT_EQ(split.count, 6);
    EXPECT_EQ(split[0], L"p");
    EXPECT_EQ(split[3], L"Name");
    EXPECT_EQ(split[5], L"HKLID");
}

TEST(SplitCommandLine, WideSpacesAreSkippedBeforeButKeptInside)
{
    Split split(L"p\u3000install \u00a0a.ime \u4e2d\u3000\u6587\u00a0x \u2003Sec H V");
    ASSERT_EQ(split.count, 6);
    EXPECT_EQ(split[0], L"p\u3000install") << "U+3000 does not end a token";
    EXPECT_EQ(split[1], L"a.ime") << "U+00A0 is skipped before one";
    EXPECT_EQ(split[2], L"\u4e2d\u3000\u6587\u00a0x");
    EXPECT_EQ(split[3], L"Sec") << "U+2003 is skipped before one";
    EXPECT_EQ(split[5], L"V");
}

TEST(SplitCommandLine, OtherUnitsAreOrdinary)
{
    // U+0085 and U+200B are not spaces here; in arguments quotation marks are plain characters.
    Split split(L"p install \"a.ime\" \"N x\" \u0085n\u200b v");
    ASSERT_EQ(split.count, 6);
    EXPECT_EQ(split[2], L"\"a.ime\"");
    EXPECT_EQ(split[3], L"\"N");
    EXPECT_EQ(split[4], L"x\"");
    EXPECT_EQ(split[5], L"\u0085n\u200b");
}

TEST(SplitCommandLine, QuotedProgramPathMayHoldBlanks)
{
    Split split(L"\"C:\\Program Files\\Tevra\tIME\\kbreg.exe\" install a.ime N S V");
    ASSERT_EQ(split.count, 6);
    EXPECT_EQ(split[0], L"\"C:\\Program Files\\Tevra\tIME\\kbreg.exe\"");
    EXPECT_EQ(split[1], L"install");
    // Each mark switches; the path ends at the first blank outside them.
    Split inner(L"C:\\\"Program Files\"\\\"x y\"z install a.ime N S V");
    ASSERT_EQ(inner.count, 6);
    EXPECT_EQ(inner[0], L"C:\\\"Program Files\"\\\"x y\"z");
    // A mark that never closes carries the path to the end of the text.
    EXPECT_EQ(Split(L"\"C:\\Program Files\\kbreg.exe install a.ime N S V").count, 1);
    EXPECT_EQ(Split(L"\"C:\\a b\uffff\" install a.ime N S V").count, 1);
    // The marks count towards the path's 399 units.
    std::wstring quoted = L"\"" + std::wstring(397, L'p') + L"\"";
    EXPECT_EQ(Split(quoted + L" i a n s v").count, 6);
    EXPECT_EQ(Split(L"\"" + quoted + L" i a n s v").count, 0);
}

TEST(SplitCommandLine, UFFFFEndsTheText)
{
    EXPECT_EQ(Split(L"p install a.ime N S\uffffV").count, 5);
    Split split(L"p install\uffff a.ime N S V");
    EXPECT_EQ(split.count, 2);
    EXPECT_EQ(split[1], L"install");
    EXPECT_EQ(Split(L"\uffffp install a.ime N S V").count, -1);
    // Lone surrogates are ordinary units.
    Split surrogates(L"p \xd800 \xdc00x N S V");
    EXPECT_EQ(surrogates.count, 6);
    EXPECT_EQ(surrogates[1], L"\xd800");
}

TEST(SplitCommandLine, TokensThatFitAreStoredWhole)
{
    std::wstring path(399, L'p'), arg(99, L'a');
    Split split(path + L" " + arg + L" " + arg + L" " + arg + L" " + arg + L" " + arg);
    ASSERT_EQ(split.count, 6);
    EXPECT_EQ(split[0], path);
    EXPECT_EQ(split[5], arg);
    EXPECT_TRUE(split.GuardsIntact());
}

TEST(SplitCommandLine, TooLongTokenStopsTheSplitWithinItsBuffer)
{
    std::wstring arg(99, L'a');
    Split longPath(std::wstring(400, L'p') + L" i a n s v");
    EXPECT_EQ(longPath.count, 0);
    Split longArg(L"p i a " + std::wstring(100, L'n') + L" s v");
    EXPECT_EQ(longArg.count, 3);
    Split longLast(L"p i a n s " + std::wstring(40000, L'v'));
    EXPECT_EQ(longLast.count, 5);
    // Beyond the sixth token length no longer matters.
    EXPECT_EQ(Split(L"p i a n s v " + std::wstring(40000, L'x')).count, 6);
    EXPECT_TRUE(longPath.GuardsIntact() && longArg.GuardsIntact() && longLast.GuardsIntact());
}

TEST(IsSpaceAboveLatin1, FollowsThePlatformClassification)
{
    EXPECT_TRUE(IsSpaceAboveLatin1(0x3000));
    EXPECT_TRUE(IsSpaceAboveLatin1(0x2003));
    EXPECT_FALSE(IsSpaceAboveLatin1(0x4E2D));
    EXPECT_FALSE(IsSpaceAboveLatin1(0xD800));
}

}  // namespace
