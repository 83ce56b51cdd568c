// Host stand-ins for the two platform classifications the scanners ask for.
#pragma once

enum LeadByteMode {
    LEAD_BYTES_CP936,  // 0x81 to 0xFE, as in the simplified-Chinese code page
    LEAD_BYTES_NONE    // a single-byte code page
};

void SetLeadByteMode(LeadByteMode mode);

// The units 0x09-0x0D, 0x20 and 0xA0, and those above 0xFF that the stand-in
// classification counts as spaces: what the wide scan skips before a token.
bool IsSkippedBeforeToken(char16_t unit);
