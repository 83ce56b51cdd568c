#include <gtest/gtest.h>

#include <string>

#include "layout_text.h"

namespace {

std::wstring Format(UINT_PTR bits)
{
    WCHAR text[LAYOUT_TEXT_CAPACITY];
    FormatLayoutHandle((HKL)bits, text);
    return text;
}

TEST(FormatLayoutHandle, LowercaseHexWithoutLeadingZeros)
{
    EXPECT_EQ(Format(0), L"0");
    EXPECT_EQ(Format(0x409), L"409");
    EXPECT_EQ(Format(0xE0020409), L"e0020409");
    EXPECT_EQ(Format(0x80000000), L"80000000");
    EXPECT_EQ(Format(0xFFFFFFFF), L"ffffffff");
}

TEST(FormatLayoutHandle, OnlyTheLow32BitsCount)
{
    if (sizeof(UINT_PTR) < 8)
        GTEST_SKIP() << "handles are 32-bit here";
    EXPECT_EQ(Format((UINT_PTR)0xFFFFFFFFE0020409ull), L"e0020409");
    EXPECT_EQ(Format((UINT_PTR)0x100000000ull), L"0");
}

TEST(UpperCaseAscii, ChangesOnlyAToZ)
{
    WCHAR text[] = L"e0020409az`{@[\u00e9\uff41\u0131";
    UpperCaseAscii(text);
    EXPECT_STREQ(text, L"E0020409AZ`{@[\u00e9\uff41\u0131");
}

TEST(IsLayoutHandleText, AcceptsWhatInstallWritesInEitherCase)
{
    for (const wchar_t *good : {L"0", L"409", L"e0020409", L"E0020409", L"ffffffff", L"aBc"})
        EXPECT_TRUE(IsLayoutHandleText(good)) << testing::PrintToString(std::wstring(good));
    for (const wchar_t *bad :
         {L"", L"00", L"0409", L"100000000", L"e002040g", L"..\\x", L"e0020409\\x", L"409 ",
          L"-1", L"0x409", L"\uff10"})
        EXPECT_FALSE(IsLayoutHandleText(bad)) << testing::PrintToString(std::wstring(bad));
}

}  // namespace
