// The IUnknown template: counts, identity, the IIDs it answers, the module count.
#include <gtest/gtest.h>

#include "platform/com_object.h"
#include "tests/platform/fake_dispatch.h"

namespace vantrell::com {
namespace {

using test::RefCount;

int g_destroyed = 0;

// Two interfaces, so identity and the IDispatch base can be checked.
class Pair : public Object<IDispatch, IConnectionPointContainer> {
public:
    ~Pair() override { ++g_destroyed; }
    STDMETHODIMP GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        return E_NOTIMPL;
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint**) noexcept override { return E_NOTIMPL; }
};

TEST(ComObject, StartsWithOneReferenceOwnedByTheCreator) {
    g_destroyed = 0;
    {
        Ptr<Pair> pair = Make<Pair>();
        EXPECT_EQ(1u, RefCount(static_cast<IDispatch*>(pair.Get())));
        Ptr<Pair> copy = pair;
        EXPECT_EQ(2u, RefCount(static_cast<IDispatch*>(pair.Get())));
    }
    EXPECT_EQ(1, g_destroyed);
}

TEST(ComObject, QueryInterfaceForIUnknownAlwaysGivesTheSamePointer) {
    Ptr<Pair> pair = Make<Pair>();
    IUnknown* fromDispatch = nullptr;
    IUnknown* fromContainer = nullptr;
    ASSERT_EQ(S_OK, static_cast<IDispatch*>(pair.Get())->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromDispatch)));
    ASSERT_EQ(S_OK, static_cast<IConnectionPointContainer*>(pair.Get())
                        ->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromContainer)));
    EXPECT_EQ(fromDispatch, fromContainer);
    fromDispatch->Release();
    fromContainer->Release();
    EXPECT_EQ(1u, RefCount(static_cast<IDispatch*>(pair.Get())));
}

TEST(ComObject, AnswersItsInterfacesAndRefusesOthersWithNullOut) {
    Ptr<Pair> pair = Make<Pair>();
    IUnknown* unknown = static_cast<IDispatch*>(pair.Get());
    void* out = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IConnectionPointContainer, &out));
    EXPECT_EQ(static_cast<IConnectionPointContainer*>(pair.Get()), out);
    static_cast<IUnknown*>(out)->Release();

    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, unknown->QueryInterface(IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, unknown->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(1u, RefCount(unknown));
}

// A dual interface of our own must answer its IDispatch base as well.
class Dual : public Object<IConnectionPointContainer, IDispatch> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        return E_NOTIMPL;
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint**) noexcept override { return E_NOTIMPL; }
};

TEST(ComObject, IDispatchIsTheDispatchSubobjectWhateverItsPlaceInTheList) {
    Ptr<Dual> dual = Make<Dual>();
    void* out = nullptr;
    ASSERT_EQ(S_OK, static_cast<IConnectionPointContainer*>(dual.Get())->QueryInterface(IID_IDispatch, &out));
    EXPECT_EQ(static_cast<IDispatch*>(dual.Get()), out);
    static_cast<IUnknown*>(out)->Release();
}

TEST(ComObject, LiveObjectsHoldTheModule) {
    long before = ModuleLockCount();
    {
        Ptr<Pair> pair = Make<Pair>();
        EXPECT_EQ(before + 1, ModuleLockCount());
    }
    EXPECT_EQ(before, ModuleLockCount());
}

TEST(ComObject, GuardedTurnsExceptionsIntoResults) {
    EXPECT_EQ(S_FALSE, Guarded([] { return S_FALSE; }));
    EXPECT_EQ(E_OUTOFMEMORY, Guarded([]() -> HRESULT { throw std::bad_alloc(); }));
    EXPECT_EQ(E_UNEXPECTED, Guarded([]() -> HRESULT { throw 42; }));
}

TEST(ComPtr, ReleaseAndGetAddressOfReleasesWhatItHeld) {
    g_destroyed = 0;
    Ptr<Pair> pair = Make<Pair>();
    Pair** slot = pair.ReleaseAndGetAddressOf();
    EXPECT_EQ(1, g_destroyed);
    EXPECT_EQ(nullptr, *slot);
}

TEST(ComPtr, AsQueriesAndSameObjectComparesIdentity) {
    Ptr<Pair> pair = Make<Pair>();
    Ptr<IDispatch> dispatch(static_cast<IDispatch*>(pair.Get()));
    Ptr<IConnectionPointContainer> container = dispatch.As<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    EXPECT_TRUE(SameObject(dispatch.Get(), container.Get()));
    EXPECT_FALSE(dispatch.As<IClassFactory>());
    Ptr<Pair> other = Make<Pair>();
    EXPECT_FALSE(SameObject(dispatch.Get(), static_cast<IDispatch*>(other.Get())));
    container.Reset();
    dispatch.Reset();
    EXPECT_EQ(1u, RefCount(static_cast<IDispatch*>(pair.Get())));
}

}  // namespace
}  // namespace vantrell::com
