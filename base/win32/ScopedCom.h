#pragma once
// Owners for what COM hands out: an interface pointer (released), a BSTR
// (freed) and a VARIANT (cleared). Like the handle owners they keep the
// thread's last error across their own clean-up.
#include <string>

#include "base/ScopedGeneric.h"
#include "base/win32/WindowsSupport.h"
#include <oleauto.h>
#include <unknwn.h>

namespace scoped {

template <class T>
struct ComTraits {
    using Handle = T*;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle p) { return p != nullptr; }
    static void free(Handle p) { p->Release(); }
};

struct BstrTraits {
    using Handle = BSTR;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle b) { return b != nullptr; }
    static void free(Handle b) { SysFreeString(b); }
};

} // namespace scoped

// One reference to a COM interface, released when the owner goes.
template <class T>
class ScopedComPtr : public ScopedGeneric<scoped::ComTraits<T>> {
public:
    using ScopedGeneric<scoped::ComTraits<T>>::ScopedGeneric;
    T* operator->() const { return this->get(); }
    // The slot for calls that hand out an interface as void** (QueryInterface).
    void** receiveVoid() { return reinterpret_cast<void**>(this->receive()); }
};

// A BSTR, freed when the owner goes.
class ScopedBstr : public ScopedGeneric<scoped::BstrTraits> {
public:
    ScopedBstr() = default;
    explicit ScopedBstr(const wchar_t* text) : ScopedGeneric(SysAllocString(text)) {}
    // The text (a null BSTR is the empty string).
    std::wstring text() const
    {
        return get() != nullptr ? std::wstring(get(), SysStringLen(get())) : std::wstring();
    }
};

// A VARIANT, initialised empty and cleared when the owner goes or is reset.
class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&m_value); }
    ~ScopedVariant() { reset(); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARIANT* get() { return &m_value; }
    const VARIANT& value() const { return m_value; }
    // Clears the value; the variant is empty (VT_EMPTY) afterwards.
    void reset()
    {
        SystemError::Keep keep;
        VariantClear(&m_value);
    }
    // For calls that fill a VARIANT: clears it and hands it out.
    VARIANT* receive()
    {
        reset();
        return &m_value;
    }

private:
    VARIANT m_value;
};
