#pragma once
// The IUnknown of every COM object the add-in makes: a reference count that starts at 1,
// QueryInterface over a compile-time list of interfaces (each also answering its IDispatch
// base; the first that derives from IDispatch answers it), one identity for IUnknown, and a
// module count for DllCanUnloadNow.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <new>
#include <type_traits>
#include <utility>

#include "platform/com_ptr.h"

namespace vantrell::com {

// Live objects and IClassFactory::LockServer locks of this module.
void LockModule() noexcept;
void UnlockModule() noexcept;
long ModuleLockCount() noexcept;

// The interface an entry of an object's list stands for: the entry itself, or the interface a
// mixin implements (a mixin names it as `ComInterface`).
template <class Entry>
struct InterfaceOf {
    using type = Entry;
};
template <class Entry>
    requires requires { typename Entry::ComInterface; }
struct InterfaceOf<Entry> {
    using type = typename Entry::ComInterface;
};

// All the interfaces an entry stands for: a mixin that implements several names them as
// `ComInterfaces` (an InterfaceList, its `ComInterface` first).
template <class... Interfaces>
struct InterfaceList {};
template <class Entry>
struct InterfacesOf {
    using type = InterfaceList<typename InterfaceOf<Entry>::type>;
};
template <class Entry>
    requires requires { typename Entry::ComInterfaces; }
struct InterfacesOf<Entry> {
    using type = typename Entry::ComInterfaces;
};

template <class I>
bool Answers(REFIID iid) noexcept {
    if (IsEqualIID(iid, __uuidof(I))) return true;
    if constexpr (std::is_base_of_v<IDispatch, I>) {
        if (IsEqualIID(iid, IID_IDispatch)) return true;
    }
    return false;
}

template <class First, class... Rest>
class Object : public First, public Rest... {
public:
    Object() noexcept { LockModule(); }
    virtual ~Object() { UnlockModule(); }

    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = Identity();
        } else if (!(TryEntry<First>(iid, out) || (TryEntry<Rest>(iid, out) || ...))) {
            *out = QueryOther(iid);
        }
        if (!*out) return E_NOINTERFACE;
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        long left = InterlockedDecrement(&refs_);
        if (left == 0) {
            // A destructor may still hand out and drop references to itself.
            refs_ = 1;
            delete this;
        }
        return static_cast<ULONG>(left);
    }

protected:
    IUnknown* Identity() noexcept { return static_cast<typename InterfaceOf<First>::type*>(static_cast<First*>(this)); }
    // For interfaces known only at run time (an event sink's event interface).
    virtual void* QueryOther(REFIID) noexcept { return nullptr; }

private:
    template <class Entry>
    bool TryEntry(REFIID iid, void** out) noexcept {
        return TryInterfaces<Entry>(iid, out, typename InterfacesOf<Entry>::type{});
    }
    template <class Entry, class... Interfaces>
    bool TryInterfaces(REFIID iid, void** out, InterfaceList<Interfaces...>) noexcept {
        return (TryInterface<Entry, Interfaces>(iid, out) || ...);
    }
    template <class Entry, class I>
    bool TryInterface(REFIID iid, void** out) noexcept {
        if (!Answers<I>(iid)) return false;
        *out = static_cast<I*>(static_cast<Entry*>(this));
        return true;
    }

    long refs_ = 1;
};

// Creates an object; the returned pointer owns its first reference.
template <class T, class... Args>
Ptr<T> Make(Args&&... args) {
    return Ptr<T>::Attach(new T(std::forward<Args>(args)...));
}

// Runs the body of a method reachable from outside: no C++ exception crosses the boundary.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace vantrell::com
