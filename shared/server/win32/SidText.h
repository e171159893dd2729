#pragma once
#include <string>

#include "base/win32/WindowsSupport.h"
#include <oleauto.h>

#include "shared/TCShrdApi.h"

// Windows only. The textual form of a security identifier:
// "S-" revision "-" authority, then "-" and each sub-authority, the
// authority in decimal or, when it does not fit in 32 bits, as
// "0x" and its six bytes in two-digit lower-case hex.
class TCSHRD_API SidText {
public:
    // Empty for a null or invalid SID.
    static std::wstring fromSid(PSID sid);
    // The SID held as bytes in a directory attribute (a VARIANT of
    // VT_ARRAY | VT_UI1); false when the variant holds none.
    static bool fromVariant(const VARIANT* variant, std::wstring& text);
};
