// Properties of SplitSectionValue's result, shared by the two halfkey targets.
#pragma once

#include <cstring>
#include <memory>

#include "check.h"
#include "section_value.h"

inline bool EndsField(char byte)
{
    return byte == 0 || byte == ',' || byte == '\'';
}

// Splits text into three buffers of exactly FIELD_CAPACITY bytes and checks
// that each stored field is the next comma-separated run of the text, stored
// whole, and that a count below three has a reason in the text.
inline void CheckSplitSectionValue(const char *text)
{
    std::unique_ptr<char[]> fields[3];
    for (auto &field : fields) {
        field.reset(new char[FIELD_CAPACITY]);
        memset(field.get(), 'x', FIELD_CAPACITY);
    }
    int count = SplitSectionValue(text, fields[0].get(), fields[1].get(), fields[2].get());
    CHECK(count >= -1 && count <= 3);
    CHECK((count == -1) == (*text == 0));

    const char *next = text;
    for (int i = 0; i < (count < 0 ? 0 : count); ++i) {
        if (i > 0) {
            CHECK(*next == ',');
            ++next;
        }
        const char *field = fields[i].get();
        size_t length = strnlen(field, FIELD_CAPACITY);
        CHECK(length > 0 && length < FIELD_CAPACITY);
        for (size_t j = 0; j < length; ++j) {
            CHECK(!EndsField(field[j]));
            CHECK(next[j] == field[j]);
        }
        next += length;
        CHECK(EndsField(*next));
    }

    // Fewer than three: the comma is missing, the next field is empty, or it
    // would not fit.
    if (count >= 0 && count < 3) {
        if (count > 0) {
            if (*next != ',')
                return;
            ++next;
        }
        size_t run = 0;
        while (!EndsField(next[run]))
            ++run;
        CHECK(run == 0 || run >= FIELD_CAPACITY);
    }
}
