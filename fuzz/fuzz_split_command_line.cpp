// SplitCommandLine over any UTF-16 text: the input's bytes, taken in pairs
// little-endian (an odd last byte is dropped), then a terminating zero.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "check.h"
#include "command_line.h"
#include "host_classes.h"

namespace {

bool EndsText(char16_t unit)
{
    return unit == 0 || unit == 0xFFFF;
}

bool IsBlank(char16_t unit)
{
    return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20;
}

// Length of the token that begins at `start`: up to the text's end or a
// blank, which in token 0 counts only outside quotation marks.
int TokenRun(const char16_t *start, int token)
{
    bool quoted = false;
    int run = 0;
    for (; !EndsText(start[run]) && (quoted || !IsBlank(start[run])); ++run)
        quoted ^= token == 0 && start[run] == u'"';
    return run;
}

int Capacity(int token)
{
    return token == 0 ? PROGRAM_PATH_CAPACITY : ARGUMENT_CAPACITY;
}

const char16_t *SkipSpaces(const char16_t *at)
{
    while (IsSkippedBeforeToken(*at))
        ++at;
    return at;
}

// Length of the stored token, which must end in a zero inside its buffer.
int StoredLength(const WCHAR *token, int capacity)
{
    for (int i = 0; i < capacity; ++i)
        if (token[i] == 0)
            return i;
    Broken("the token has its terminator inside its buffer", __FILE__, __LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t units = size / 2;
    // Exact sizes everywhere: a read past the terminator or a write past a
    // buffer's last unit lands in ASan's red zone.
    std::unique_ptr<WCHAR[]> line(new WCHAR[units + 1]);
    for (size_t i = 0; i < units; ++i)
        line[i] = (WCHAR)(data[2 * i] | data[2 * i + 1] << 8);
    line[units] = 0;

    std::unique_ptr<WCHAR[]> buffers[TOKEN_COUNT];
    WCHAR *tokens[TOKEN_COUNT];
    for (int i = 0; i < TOKEN_COUNT; ++i) {
        buffers[i].reset(new WCHAR[Capacity(i)]);
        for (int j = 0; j < Capacity(i); ++j)
            buffers[i][j] = 0xFFFF;
        tokens[i] = buffers[i].get();
    }

    int count = SplitCommandLine(line.get(), tokens);
    CHECK(count >= -1 && count <= TOKEN_COUNT);

    // Each stored token is the next run after the skippable spaces, stored
    // whole. A blank stands in token 0 only between quotation marks, and in
    // no other token at all.
    const char16_t *next = line.get();
    for (int i = 0; i < (count < 0 ? 0 : count); ++i) {
        next = SkipSpaces(next);
        int length = StoredLength(tokens[i], Capacity(i));
        CHECK(length > 0);
        CHECK(length == TokenRun(next, i));
        int quotes = 0;
        for (int j = 0; j < length; ++j) {
            CHECK(next[j] == tokens[i][j]);
            CHECK(!IsBlank(tokens[i][j]) || (i == 0 && quotes % 2 == 1));
            quotes += tokens[i][j] == u'"';
        }
        next += length;
    }

    // A count below six has a reason in the text: it ends after the spaces,
    // or the next token would not fit. -1 only when there is no token at all.
    if (count < TOKEN_COUNT) {
        next = SkipSpaces(next);
        if (EndsText(*next)) {
            CHECK(count != 0);
        } else {
            CHECK(count != -1);
            CHECK(TokenRun(next, count) >= Capacity(count));
        }
    }
    return 0;
}
