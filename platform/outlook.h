#pragma once
// The published Outlook identifiers the add-in uses: event interfaces and their DISPIDs,
// and the object model's constants. Members themselves are called by name.
#include <windows.h>

namespace vantrell::outlook {

// Event interfaces: the Outlook 2000 ones, and the _10 ones of Outlook 2002 and later.
inline constexpr IID kExplorersEvents = {0x00063078, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kExplorerEvents = {0x0006304F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kExplorerEvents10 = {0x0006300F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kInspectorsEvents = {0x00063079, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kInspectorEvents = {0x0006307D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kInspectorEvents10 = {0x0006302A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kItemEvents = {0x0006303A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kItemEvents10 = {0x0006302B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Event DISPIDs.
inline constexpr DISPID kNewExplorer = 0xF001;
inline constexpr DISPID kNewInspector = 0xF001;
inline constexpr DISPID kActivate = 0xF001;
inline constexpr DISPID kDeactivate = 0xF006;
inline constexpr DISPID kClose = 0xF008;
inline constexpr DISPID kItemOpen = 0xF003;   // ItemEvents: Open(Cancel)
inline constexpr DISPID kItemClose = 0xF004;  // ItemEvents: Close(Cancel)

// Object model constants.
inline constexpr long olFolderInbox = 6;
inline constexpr long olAppointment = 26;
inline constexpr long olContact = 40;
inline constexpr long olJournal = 42;
inline constexpr long olMail = 43;
inline constexpr long olPost = 45;
inline constexpr long olTask = 48;
inline constexpr long olDiscard = 1;
inline constexpr long olBCC = 3;

}  // namespace vantrell::outlook
