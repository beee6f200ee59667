#pragma once
// The module (DLL, or a test program linking the add-in's code) this code lives in, and the
// type library embedded in it.
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace vantrell::com {

HMODULE ThisModule() noexcept;
std::wstring ModulePath(HMODULE module);

// The type information of one interface of the embedded type library (loaded once).
HRESULT OwnTypeInfo(REFGUID iid, ITypeInfo** out) noexcept;
// Drops the cached type library; called when the DLL is unloaded while the process lives on.
void ReleaseOwnTypeLibrary() noexcept;

}  // namespace vantrell::com
