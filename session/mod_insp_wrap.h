#pragma once
// Making and removing the inspector wrappers of the session (module modInspWrap).
#include <cstdint>
#include <string>

#include "platform/com_ptr.h"

namespace vantrell {

class InspWrap;

// Wrapped inspectors whose editor is Word; their buttons sit in Word's shared bar and go
// with the last of them.
extern std::int16_t gintWordMailCount;

// Wraps an inspector: a new wrapper under a fresh key, given the inspector and its item,
// added to gcolInspWrap. Returns the key.
std::wstring AddInsp(const com::Ptr<IDispatch>& inspector);
// Takes the wrapper out of gcolInspWrap, if it is the one stored under `strID`, and has the
// ribbon ask for its buttons' visibility again.
void KillInsp(const std::wstring& strID, InspWrap* objInspWrap);

}  // namespace vantrell
