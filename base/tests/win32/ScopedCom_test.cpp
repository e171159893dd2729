#include <gtest/gtest.h>

#include "base/win32/ScopedCom.h"
#include "base/win32/WindowsSupport.h"

namespace {

// A COM object that counts its references; Release overwrites the last
// error, as a real object's clean-up may.
class CountedObject : public IUnknown {
public:
    ULONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        SetLastError(ERROR_GEN_FAILURE);
        return --refs;
    }
};

TEST(ScopedComPtrTest, ReleasesItsReferenceKeepingTheLastError)
{
    CountedObject object;
    {
        ScopedComPtr<IUnknown> p(&object);
        object.AddRef(); // the owner's reference
        EXPECT_EQ(2u, object.refs);
        SetLastError(ERROR_HANDLE_EOF);
    }
    EXPECT_EQ(1u, object.refs);
    EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), GetLastError());
}

TEST(ScopedComPtrTest, ReceivesFromQueryInterfaceAndMovesItsReference)
{
    CountedObject object;
    ScopedComPtr<IUnknown> p;
    ASSERT_EQ(S_OK, object.QueryInterface(IID_IUnknown, p.receiveVoid()));
    EXPECT_EQ(2u, object.refs);
    EXPECT_EQ(&object, p.get());
    ScopedComPtr<IUnknown> q(std::move(p));
    EXPECT_EQ(nullptr, p.get());
    EXPECT_EQ(2u, object.refs);
    // Receiving again releases what was held first.
    ASSERT_EQ(S_OK, q->QueryInterface(IID_IUnknown, q.receiveVoid()));
    EXPECT_EQ(2u, object.refs);
    q.reset();
    EXPECT_EQ(1u, object.refs);
}

TEST(ScopedBstrTest, HoldsTextWithEmbeddedNullsAndFreesIt)
{
    ScopedBstr empty;
    EXPECT_EQ(std::wstring(), empty.text());
    ScopedBstr text(L"objectSid");
    EXPECT_EQ(L"objectSid", text.text());
    BSTR* slot = text.receive();
    EXPECT_EQ(nullptr, *slot);
    *slot = SysAllocStringLen(L"a\0b", 3);
    EXPECT_EQ(std::wstring(L"a\0b", 3), text.text());
    SetLastError(ERROR_INVALID_NAME);
    text.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
    EXPECT_EQ(nullptr, text.get());
}

TEST(ScopedVariantTest, ClearingReleasesAnInterfaceItHolds)
{
    CountedObject object;
    {
        ScopedVariant v;
        EXPECT_EQ(VT_EMPTY, v.value().vt);
        object.AddRef(); // the variant's reference
        v.get()->vt = VT_UNKNOWN;
        v.get()->punkVal = &object;
        EXPECT_EQ(2u, object.refs);
        SetLastError(ERROR_BUSY);
    }
    EXPECT_EQ(1u, object.refs);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUSY), GetLastError());
}

TEST(ScopedVariantTest, ReceiveClearsWhatWasHeld)
{
    ScopedVariant v;
    v.get()->vt = VT_BSTR;
    v.get()->bstrVal = SysAllocString(L"first");
    VARIANT* slot = v.receive();
    EXPECT_EQ(VT_EMPTY, slot->vt);
    slot->vt = VT_I4;
    slot->lVal = 5;
    EXPECT_EQ(5, v.value().lVal);
}

} // namespace
