#pragma once
// The module's creatable classes, in one table: what the class factory makes and what
// registration writes. The type library (Vantrell.idl) and the installer's registry rows
// (installer/Vantrell.wxs) describe the same classes; the tests hold them to this table.
#include <windows.h>

#include <span>

#include "connect/class_factory.h"

namespace vantrell {

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;  // "Vantrell.<the coclass's name>"
    const IID* defaultInterface;
    const wchar_t* interfaceName;  // the default interface's name in the type library
    CreateFunction create;
};

std::span<const ClassEntry> Classes() noexcept;

}  // namespace vantrell
