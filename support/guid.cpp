#include "support/guid.h"

#include <objbase.h>

#include <cwchar>

#include "platform/failure.h"
#include "platform/variant.h"
#include "support/trace.h"

namespace vantrell {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[33];
    swprintf(text, 33, L"%08lX%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(guid.Data1),
             static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1],
             guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

std::wstring GetGUIDFrom(GuidGenerator generate) {
    ProcedureScope scope;
    GUID guid{};
    HRESULT hr = generate(&guid);
    if (hr == S_OK) return GuidText(guid);
    // A bare return code carries no description of its own: take the system's text for it.
    WriteTrace(L"modGUID", L"GetGUID", L"failed to generate GUID:" + std::to_wstring(static_cast<long>(hr)) +
                                           com::SystemMessage(hr),
               kTraceFailure);
    return {};
}

namespace {
GuidGenerator gGuidGenerator = &CoCreateGuid;
}  // namespace

GuidGenerator UseGuidGenerator(GuidGenerator generate) noexcept {
    GuidGenerator previous = gGuidGenerator;
    gGuidGenerator = generate ? generate : &CoCreateGuid;
    return previous;
}

std::wstring GetGUID() { return GetGUIDFrom(gGuidGenerator); }

}  // namespace vantrell
