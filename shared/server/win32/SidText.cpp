#include "shared/server/win32/SidText.h"

#include <cstdio>

#include "base/win32/WindowsSupport.h"
#include <oleauto.h>

std::wstring SidText::fromSid(PSID sid)
{
    if (sid == nullptr || !IsValidSid(sid))
        return std::wstring();
    wchar_t part[64];
    std::wstring text;
    swprintf(part, 64, L"S-%lu-", static_cast<unsigned long>(static_cast<SID*>(sid)->Revision));
    text = part;

    const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(sid);
    const BYTE* v = authority->Value;
    if (v[0] != 0 || v[1] != 0) {
        swprintf(part, 64, L"0x%02hx%02hx%02hx%02hx%02hx%02hx", static_cast<unsigned short>(v[0]),
                 static_cast<unsigned short>(v[1]), static_cast<unsigned short>(v[2]),
                 static_cast<unsigned short>(v[3]), static_cast<unsigned short>(v[4]),
                 static_cast<unsigned short>(v[5]));
    } else {
        const unsigned long value =
            static_cast<unsigned long>(v[5]) + (static_cast<unsigned long>(v[4]) << 8) +
            (static_cast<unsigned long>(v[3]) << 16) + (static_cast<unsigned long>(v[2]) << 24);
        swprintf(part, 64, L"%lu", value);
    }
    text += part;

    const DWORD count = *GetSidSubAuthorityCount(sid);
    for (DWORD i = 0; i < count; ++i) {
        swprintf(part, 64, L"-%lu", static_cast<unsigned long>(*GetSidSubAuthority(sid, i)));
        text += part;
    }
    return text;
}

bool SidText::fromVariant(const VARIANT* variant, std::wstring& text)
{
    if (variant == nullptr || variant->vt != (VT_ARRAY | VT_UI1) || variant->parray == nullptr)
        return false;
    SAFEARRAY* array = variant->parray;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return false;
    const LONG size = upper - lower + 1;
    void* bytes = nullptr;
    if (size < 8 || FAILED(SafeArrayAccessData(array, &bytes)))
        return false;
    // A SID states its own length; it must lie within the array.
    bool ok = IsValidSid(bytes) && static_cast<LONG>(GetLengthSid(bytes)) <= size;
    if (ok)
        text = SidText::fromSid(bytes);
    SafeArrayUnaccessData(array);
    return ok && !text.empty();
}
