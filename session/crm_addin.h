#pragma once
// CRMAddIn: the session controller ("Vantrell.CRMAddIn"). Registered and creatable; it has
// no members yet.
#include "connect/type_library.h"
#include "platform/com_object.h"
#include "platform/typelib_dispatch.h"

namespace vantrell {

class CRMAddIn : public com::Object<com::TypeLibDispatch<_CRMAddIn>> {};

}  // namespace vantrell
