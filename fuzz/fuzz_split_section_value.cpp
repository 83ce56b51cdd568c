// SplitSectionValue over any text: the input's bytes, then a terminating zero.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "section_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Exactly as long as the text, so a read past its end is caught.
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = 0;
    CheckSplitSectionValue(text.get());
    return 0;
}
