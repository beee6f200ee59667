#pragma once
// InspWrap: the wrapper of one open mail window ("Vantrell.InspWrap"). Registered and
// creatable; it has no members yet.
#include "connect/type_library.h"
#include "platform/com_object.h"
#include "platform/typelib_dispatch.h"

namespace vantrell {

class InspWrap : public com::Object<com::TypeLibDispatch<_InspWrap>> {};

}  // namespace vantrell
