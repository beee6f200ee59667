#pragma once
// An owning COM interface pointer: AddRef on copy, Release on reset and destruction.
#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace vantrell::com {

template <class T>
class Ptr {
public:
    Ptr() noexcept = default;
    Ptr(std::nullptr_t) noexcept {}
    // Takes a new reference to `p` (AddRef).
    explicit Ptr(T* p) noexcept : p_(p) { AddRefHeld(); }
    Ptr(const Ptr& other) noexcept : p_(other.p_) { AddRefHeld(); }
    Ptr(Ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~Ptr() { Reset(); }

    Ptr& operator=(const Ptr& other) noexcept {
        if (this != &other) {
            Ptr copy(other);
            Swap(copy);
        }
        return *this;
    }
    Ptr& operator=(Ptr&& other) noexcept {
        if (this != &other) {
            Ptr moved(std::move(other));
            Swap(moved);
        }
        return *this;
    }
    Ptr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    // Adopts a reference the caller already owns (no AddRef).
    static Ptr Attach(T* p) noexcept {
        Ptr result;
        result.p_ = p;
        return result;
    }
    // Gives up ownership without Release.
    T* Detach() noexcept { return std::exchange(p_, nullptr); }

    void Reset() noexcept {
        // Clear the member before releasing, so a destructor that reaches back finds it empty.
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    // Releases what is held, then hands out the address for an out-parameter.
    T** ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &p_;
    }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void Swap(Ptr& other) noexcept { std::swap(p_, other.p_); }

    // QueryInterface for another interface; empty on failure.
    template <class U>
    Ptr<U> As() const noexcept {
        Ptr<U> result;
        if (p_) p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result.ReleaseAndGetAddressOf()));
        return result;
    }
    Ptr<IUnknown> AsUnknown(REFIID iid) const noexcept {
        Ptr<IUnknown> result;
        if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(result.ReleaseAndGetAddressOf()));
        return result;
    }

    // Copies a new reference into an out-parameter (S_OK, or E_POINTER for a null one).
    HRESULT CopyTo(T** out) const noexcept {
        if (!out) return E_POINTER;
        *out = p_;
        if (p_) p_->AddRef();
        return S_OK;
    }

private:
    void AddRefHeld() noexcept {
        if (p_) p_->AddRef();
    }
    T* p_ = nullptr;
};

template <class T, class U>
bool operator==(const Ptr<T>& a, const Ptr<U>& b) noexcept {
    return a.Get() == b.Get();
}

// Whether two pointers name the same COM object (compares their IUnknown identities).
inline bool SameObject(IUnknown* a, IUnknown* b) noexcept {
    if (!a || !b) return a == b;
    IUnknown* ua = nullptr;
    IUnknown* ub = nullptr;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub));
    bool same = ua && ua == ub;
    if (ua) ua->Release();
    if (ub) ub->Release();
    return same;
}

}  // namespace vantrell::com
