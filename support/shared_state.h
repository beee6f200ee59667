#pragma once
// The add-in's shared module-level state: one set per process, named as the add-in's design
// names it. Each is written where its comment says and read wherever it is needed. (The
// session controller and the wrapper collection live with the session code.)
#include <oaidl.h>

#include <cstdint>
#include <string>

#include "platform/com_ptr.h"

namespace vantrell {

// Trace size cap in bytes (0: no tracing; negative: unbounded) and highest level written.
// Both are 0 until the add-in reads its settings on connection, so nothing is traced before.
extern std::int32_t ErrorLogSize;
extern std::int16_t ErrorLogLevel;

// The service's logon page; read from the settings on connection.
extern std::wstring SynchURL;
// The service's logging agent, the one recipient of every logged message: the built-in
// address unless the setting "LoggingAddress" names another (a test or private service).
inline constexpr const wchar_t* kDefaultLoggingAddress = L"log@history.quorvane.com";
extern std::wstring LoggingAddress;
// One-shot request to forget the stored logon and ask again; read on connection.
extern bool ResetLogon;
// The host's major version is exactly 12: Outlook 2007, and only it (2010 and later leave it
// False). There no command-bar wrappers are made, and forwards are sent through Outlook. Set
// by Connect on connection; read through HostIsExactlyOutlook2007, whose name says what it is.
extern bool IsOutlook12;
inline bool HostIsExactlyOutlook2007() noexcept { return IsOutlook12; }

// The user's identifiers at the service; 0 means none yet.
extern std::int32_t LogonID;
extern std::int32_t CompanyID;

// Outlook as the controller and the modules see it (Connect keeps its own reference);
// set when the controller starts, released when it stops.
extern com::Ptr<IDispatch> gobjOutlook;
// The host's ribbon (IRibbonUI), handed over by the ribbon's load callback; empty on hosts
// without a ribbon. Used to have the ribbon ask for its buttons' visibility again.
extern com::Ptr<IDispatch> gobjRibbon;

// The add-in's version as major, minor and revision, written 1.0.7.
std::wstring AddinVersionText();

}  // namespace vantrell
