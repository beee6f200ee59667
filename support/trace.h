#pragma once
// The trace log: one plain-text file, "VantrellTrace.log" in the user's temporary directory,
// one line per call, capped at ErrorLogSize bytes by dropping its oldest lines.
#include <windows.h>

#include <string>
#include <string_view>

namespace vantrell {

// Trace levels.
inline constexpr long kTraceFailure = 1;
inline constexpr long kTraceWarning = 2;
inline constexpr long kTraceMilestone = 4;
inline constexpr long kTraceStep = 8;
inline constexpr long kTraceDetail = 12;

inline constexpr std::wstring_view kTraceFileName = L"VantrellTrace.log";
// Written bare, so each connection starts visibly in the file.
inline constexpr std::wstring_view kTraceSeparator = L"\r\n========================================";

// Writes one line when `level` is within ErrorLogLevel and tracing is on. Never fails
// visibly; clears the caller's pending failure, as every add-in procedure does.
void WriteTrace(std::wstring_view module, std::wstring_view procedure, std::wstring_view text, long level) noexcept;

// The user's temporary directory (normally ending in a backslash), or empty when the system
// cannot give it within 255 characters.
std::wstring GetTempDir();

// The trace file's path: GetTempDir() followed directly by the file name.
std::wstring TracePath();

// A time in the "General Date" form of the user's regional settings: short date, a space,
// long time; the date alone at exactly midnight.
std::wstring GeneralDate(const SYSTEMTIME& time);

}  // namespace vantrell
