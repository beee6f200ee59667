#pragma once
// The configuration message: a hidden message in the user's Inbox that keeps LogonID and
// CompanyID, so that later starts of Outlook need no logon. Reached through the helper
// component's folder object; every failure is traced and ends the procedure.
#include <oaidl.h>

#include "platform/com_ptr.h"

namespace vantrell {

inline constexpr const wchar_t* kConfigSubject = L"Vantrell Config";

// Loads LogonID and CompanyID from the message; true when both were read.
bool GetConfigMessage(const com::Ptr<IDispatch>& nameSpace);
// Stores the current LogonID and CompanyID, creating the message when there is none.
void SetConfigMessage(const com::Ptr<IDispatch>& nameSpace);

}  // namespace vantrell
