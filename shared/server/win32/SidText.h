#pragma once
#include <string>

#include "shared/TCShrdApi.h"

// Windows only. The textual form of a security identifier:
// "S-" revision "-" authority, then "-" and each sub-authority, the
// authority in decimal or, when it does not fit in 32 bits, as
// "0x" and its six bytes in two-digit lower-case hex. Empty for a null or
// invalid SID.
TCSHRD_API std::wstring sidToText(void* sid);
// The SID held as bytes in a directory attribute (a VARIANT of
// VT_ARRAY | VT_UI1); false when the variant holds none.
TCSHRD_API bool variantSidToText(const void* variant, std::wstring& text);
