#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "section_value.h"

namespace {

// The text SkipProgramName leaves, as an offset into the line so that a
// pointer past the terminator shows up too.
size_t Skipped(const std::string &line) { return SkipProgramName(line.c_str()) - line.c_str(); }

std::string Rest(const std::string &line) { return SkipProgramName(line.c_str()); }

// Field buffers of the real capacity, with guard bytes behind each one.
struct Split {
    explicit Split(const std::string &text)
    {
        for (auto &buffer : buffers)
            buffer.assign(FIELD_CAPACITY + GUARD, GUARD_BYTE);
        count = SplitSectionValue(text.c_str(), buffers[0].data(), buffers[1].data(),
                                  buffers[2].data());
    }
    std::string operator[](int i) const { return std::string(buffers[i].data(), FieldLength(i)); }
    size_t FieldLength(int i) const
    {
        size_t length = 0;
        while (length < FIELD_CAPACITY && buffers[i][length] != 0)
            ++length;
        return length;
    }
    bool GuardsIntact() const
    {
        for (const auto &buffer : buffers)
            for (size_t i = FIELD_CAPACITY; i < buffer.size(); ++i)
                if (buffer[i] != GUARD_BYTE)
                    return false;
        return true;
    }
    static constexpr int GUARD = 16;
    static constexpr char GUARD_BYTE = 0x5A;
    std::vector<char> buffers[3];
    int count;
};

TEST(SkipProgramName, PlainNameAndTheBlanksAfterIt)
{
    EXPECT_EQ(Rest("halfkey.exe a,b,c"), "a,b,c");
    EXPECT_EQ(Rest("halfkey.exe    a b,c"), "a b,c") << "only blanks before the text go";
    EXPECT_EQ(Rest("halfkey.exe"), "");
    EXPECT_EQ(Rest("halfkey.exe   "), "");
    EXPECT_EQ(Rest(""), "");
}

TEST(SkipProgramName, QuotesSwitchWhereBlanksEndTheName)
{
    EXPECT_EQ(Rest("\"C:\\Program Files\\halfkey.exe\" a,b,c"), "a,b,c");
    EXPECT_EQ(Rest("C:\\\"Program Files\"\\halfkey.exe a,b,c"), "a,b,c");
    EXPECT_EQ(Rest("\"\"halfkey \"x y\" a,b,c"), "\"x y\" a,b,c");
    EXPECT_EQ(Rest("\"a\tb\x01" "c\" a,b,c"), "a,b,c") << "control bytes inside quotes";
    std::string unclosed = "\"C:\\Program Files\\halfkey.exe a,b,c";
    EXPECT_EQ(Skipped(unclosed), unclosed.size()) << "an unclosed quote takes the whole line";
}

TEST(SkipProgramName, EveryControlByteEndsTheNameAndIsPassedOver)
{
    for (int byte = 0x01; byte <= 0x20; ++byte) {
        std::string control(1, (char)byte);
        EXPECT_EQ(Rest("halfkey" + control + "a,b,c"), "a,b,c") << byte;
        EXPECT_EQ(Rest("halfkey \x01\t\r\n\x1f" + control + "a,b,c"), "a,b,c") << byte;
    }
    EXPECT_EQ(Rest("halfkey\x7f" "a\x21,b"), "") << "0x7F and 0x21 belong to the name";
}

TEST(SkipProgramName, TheRestIsKeptToTheEnd)
{
    EXPECT_EQ(Rest("halfkey \"a,b\",c  \t"), "\"a,b\",c  \t");
    EXPECT_EQ(Rest("halfkey a\x01 \"b"), "a\x01 \"b");
}

// Default ANSI code page: the ctest case pins a single-byte locale.
TEST(SkipProgramNameSbcs, BytesAboveAsciiAreOrdinary)
{
    ASSERT_EQ(GetACP(), 1252u);
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        std::string high(1, (char)byte);
        EXPECT_EQ(Rest("halfkey" + high + " x a,b,c"), "x a,b,c") << byte;
        EXPECT_EQ(Rest("\"halfkey" + high + "\" x a,b,c"), "x a,b,c") << byte;
        EXPECT_EQ(Skipped("halfkey" + high), 8u) << byte;
    }
}

// These cases run with the locale that makes Wine's ANSI code page 936 (GBK),
// whose lead bytes are 0x81 to 0xFE.
TEST(SkipProgramNameDbcs, LeadByteTakesTheNextByteAlong)
{
    ASSERT_EQ(GetACP(), 936u);
    for (int byte = 0x81; byte <= 0xFE; ++byte) {
        std::string lead(1, (char)byte);
        EXPECT_EQ(Rest("halfkey" + lead + " x a,b,c"), "a,b,c") << byte;
        // The quotation mark after a lead byte does not close the quotes.
        EXPECT_EQ(Rest("\"halfkey" + lead + "\" x\" a,b,c"), "a,b,c") << byte;
    }
    EXPECT_EQ(Rest("halfkey\x80 x a,b,c"), "x a,b,c") << "0x80 is a single byte in 936";
    EXPECT_EQ(Rest("halfkey\xff x a,b,c"), "x a,b,c") << "0xFF is a single byte in 936";
    EXPECT_EQ(Rest("halfkey \x81 a,b,c"), "\x81 a,b,c") << "the text itself is left alone";
}

TEST(SkipProgramNameDbcs, LeadByteLastDoesNotStepOverTheTerminator)
{
    ASSERT_EQ(GetACP(), 936u);
    // Text behind the terminator that a scan past it would hand back.
    const char line[] = "halfkey\x81\0 a,b,c";
    EXPECT_EQ(SkipProgramName(line), line + 8);
    const char quoted[] = "\"halfkey\x81\0\" a,b,c";
    EXPECT_EQ(SkipProgramName(quoted), quoted + 9);
}

TEST(SplitSectionValueDbcs, FieldsAreSplitByteByByte)
{
    ASSERT_EQ(GetACP(), 936u);
    Split split("\x81,\xd6\xd0\x81,\x81'x");
    ASSERT_EQ(split.count, 3);
    EXPECT_EQ(split[0], "\x81");
    EXPECT_EQ(split[1], "\xd6\xd0\x81");
    EXPECT_EQ(split[2], "\x81");
}

TEST(SplitSectionValue, ThreeFieldsStoredExactly)
{
    Split split("Sec,HKLID,C:\\Program Files\\Tevra\\tevra.ime");
    ASSERT_EQ(split.count, 3);
    EXPECT_EQ(split[0], "Sec");
    EXPECT_EQ(split[1], "HKLID");
    EXPECT_EQ(split[2], "C:\\Program Files\\Tevra\\tevra.ime");
}

TEST(SplitSectionValue, BlanksQuotesAndControlBytesBelongToTheFields)
{
    Split split(" \"Sec\" \t, HKLID\x01 ,\r\n v\x80\xff  ");
    ASSERT_EQ(split.count, 3);
    EXPECT_EQ(split[0], " \"Sec\" \t");
    EXPECT_EQ(split[1], " HKLID\x01 ");
    EXPECT_EQ(split[2], "\r\n v\x80\xff  ");
    EXPECT_EQ(Split(" ").count, 1) << "a blank is a field";
    EXPECT_EQ(Split("").count, -1);
}

TEST(SplitSectionValue, EachCommaMustBeFollowedByAField)
{
    EXPECT_EQ(Split(",b,c").count, 0);
    EXPECT_EQ(Split(",").count, 0);
    EXPECT_EQ(Split("a").count, 1);
    EXPECT_EQ(Split("a,,c").count, 1);
    EXPECT_EQ(Split("a,b").count, 2);
    Split trailing("a,b,");
    EXPECT_EQ(trailing.count, 2);
    EXPECT_EQ(trailing[1], "b");
}

TEST(SplitSectionValue, AnApostropheEndsAField)
{
    Split cut("a,b,it's");
    ASSERT_EQ(cut.count, 3);
    EXPECT_EQ(cut[2], "it");
    EXPECT_EQ(Split("a,b,'c").count, 2);
    EXPECT_EQ(Split("a,b'x,c").count, 2);
    EXPECT_EQ(Split("a'x,b,c").count, 1);
    EXPECT_EQ(Split("'a,b,c").count, 0);
}

TEST(SplitSectionValue, WhatFollowsTheThirdFieldIsIgnored)
{
    for (const char *text : {"a,b,c,d", "a,b,c,", "a,b,c,,,", "a,b,c'd,e"}) {
        Split split(text);
        EXPECT_EQ(split.count, 3) << text;
        EXPECT_EQ(split[2], "c") << text;
    }
    EXPECT_EQ(Split("a,b,c," + std::string(1000, 'd')).count, 3);
}

TEST(SplitSectionValue, FieldsOf259BytesFit)
{
    std::string full(FIELD_CAPACITY - 1, 'f');
    Split split(full + "," + full + "," + full);
    ASSERT_EQ(split.count, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(split[i], full);
    EXPECT_TRUE(split.GuardsIntact());
}

TEST(SplitSectionValue, ALongerFieldIsNotStoredAndNothingSpills)
{
    std::string full(FIELD_CAPACITY - 1, 'f'), over(FIELD_CAPACITY, 'o');
    Split first(over + ",b,c"), second("a," + over + ",c"), third("a,b," + over);
    EXPECT_EQ(first.count, 0);
    EXPECT_EQ(second.count, 1);
    EXPECT_EQ(third.count, 2);
    Split huge("a,b," + std::string(40000, 'o'));
    EXPECT_EQ(huge.count, 2);
    EXPECT_TRUE(first.GuardsIntact() && second.GuardsIntact() && third.GuardsIntact() &&
                huge.GuardsIntact());
}

}  // namespace
