#include "layout_actions.h"

#include <imm.h>

#include "../settings/product_settings.h"
#include "layout_text.h"

/* InstallLayout: register the IME and record its handle text under both roots */
void InstallLayout(const WCHAR *imeFile, const WCHAR *displayName, const WCHAR *section,
                   const WCHAR *valueName)
{
    WCHAR text[LAYOUT_TEXT_CAPACITY];

    // A failed install returns 0, recorded as "0" like any other handle.
    FormatLayoutHandle(ImmInstallIMEW(imeFile, displayName), text);
    WriteProductStringEverywhere(section, valueName, text);
}
