// SkipProgramName over any narrow command line, then SplitSectionValue over
// what it leaves, as halfkey's entry does. The first input byte picks the
// code page (even: 936, with lead bytes 0x81-0xFE; odd: none), the rest is
// the command line, then a terminating zero.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "host_classes.h"
#include "section_checks.h"

namespace {

bool IsBlank(unsigned char byte)
{
    return byte >= 0x01 && byte <= 0x20;
}

void CheckSkipProgramName(const char *line, size_t length)
{
    const char *text = SkipProgramName(line);
    CHECK(text >= line && text <= line + length);
    // Every blank after the name is passed over, so the text starts on
    // something else, and a text that is there follows at least one blank.
    CHECK(!IsBlank((unsigned char)*text));
    if (*text != 0)
        CHECK(text > line && IsBlank((unsigned char)text[-1]));

    // Without lead bytes before the text the name's end is plain to see: the
    // name is everything up to the last non-blank byte passed over; each of
    // its blanks stands inside quotation marks, and when text follows, its
    // quotation marks are balanced.
    size_t passed = (size_t)(text - line);
    for (size_t i = 0; i < passed; ++i)
        if (IsLeadByte((unsigned char)line[i]))
            return;
    size_t nameEnd = passed;
    while (nameEnd > 0 && IsBlank((unsigned char)line[nameEnd - 1]))
        --nameEnd;
    bool quoted = false;
    for (size_t i = 0; i < nameEnd; ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (IsBlank((unsigned char)line[i]))
            CHECK(quoted);
    }
    if (*text != 0)
        CHECK(!quoted);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SetLeadByteMode(size > 0 && (data[0] & 1) ? LEAD_BYTES_NONE : LEAD_BYTES_CP936);
    size_t length = size > 0 ? size - 1 : 0;
    // Exactly as long as the line, so a lead byte that took the terminator
    // with it would read past the end.
    std::unique_ptr<char[]> line(new char[length + 1]);
    if (length > 0)
        memcpy(line.get(), data + 1, length);
    line[length] = 0;

    CheckSkipProgramName(line.get(), strlen(line.get()));
    CheckSplitSectionValue(SkipProgramName(line.get()));
    return 0;
}
