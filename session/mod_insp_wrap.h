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
// Outlook 2007 and later (version 12 on) host Word inside themselves as the only mail editor:
// every mail window answers IsWordMail True, yet shows bars of its own, and a Word the user
// runs beside Outlook is none of the add-in's business. Set by each start of the session.
extern bool wordInsideOutlook;

// The window is a WordMail window of an Outlook before 2007: it shows the shared bars of the
// Word running beside Outlook.
bool SharesWordsBar(const com::Ptr<IDispatch>& inspector);

// Wraps an inspector: a new wrapper under a fresh key, given the inspector and its item,
// added to gcolInspWrap. Returns the key.
std::wstring AddInsp(const com::Ptr<IDispatch>& inspector);
// Takes the wrapper out of gcolInspWrap, if it is the one stored under `strID`, and has the
// ribbon ask for its buttons' visibility again.
void KillInsp(const std::wstring& strID, InspWrap* objInspWrap);

// After a sign out (false) or a sign in (true): every wrapped window's buttons hidden or shown,
// and the ribbon asked again for all of its controls (the group shows only when logged on).
// Nothing when the buttons already stand so.
void ShowCommandButtons(bool shown);

}  // namespace vantrell
