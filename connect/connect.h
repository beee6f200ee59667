#pragma once
// Connect: the object Outlook loads as the add-in ("Vantrell.Connect"). Registered and
// creatable; it does not take part in Outlook's add-in connection yet.
#include "connect/type_library.h"
#include "platform/com_object.h"
#include "platform/typelib_dispatch.h"

namespace vantrell {

class Connect : public com::Object<com::TypeLibDispatch<_Connect>> {};

}  // namespace vantrell
