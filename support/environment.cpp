#include "support/environment.h"

#include <cwctype>

#include "platform/failure.h"
#include "platform/late_bound.h"
#include "support/reg_op.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

// One value under HKEY_CURRENT_USER; Empty when absent. The probes change nothing, so a key
// that is not there stays so.
com::Variant ReadUserValue(const std::wstring& key, std::wstring_view name) {
    auto reg = com::Make<RegOp>();
    reg->OpenExistingOnly();
    reg->SetRoot(REGOP_HKEY_CURRENT_USER);
    reg->SetKey(key);
    return reg->Value(name);
}

std::wstring MajorVersion() {
    return OutlookMajorVersion(com::LateBound(gobjOutlook).Get(L"Version").ToText());
}

}  // namespace

double LeadingNumber(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    std::wstring number;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) number += text[i++];
    bool point = false;
    for (; i < text.size(); ++i) {
        if (std::iswdigit(text[i])) {
            number += text[i];
        } else if (text[i] == L'.' && !point) {
            point = true;
            number += L'.';
        } else {
            break;
        }
    }
    if (number.empty() || number == L"." || number == L"-" || number == L"+") return 0;
    return std::wcstod(number.c_str(), nullptr);
}

std::wstring OutlookMajorVersion(std::wstring_view version) {
    // Reading up to the second point leaves "12.0"; written back without decimals.
    return com::Variant(LeadingNumber(version)).ToText();
}

std::wstring GetOutlookMode() {
    ProcedureScope scope;
    if (MajorVersion() != L"9") return L"Not Applicable";
    std::int16_t mode = 0;
    com::Variant value = ReadUserValue(L"Software\\Microsoft\\Office\\9.0\\Outlook\\Setup", L"MailSupport");
    value.TryInt(mode);
    switch (mode) {
        case 0: return L"Internet Only";
        case 1: return L"Corporate/Workgroup";
        case 2: return L"PIM Only";
        default: return {};
    }
}

std::wstring GetConnectionMode() {
    ProcedureScope scope;
    std::wstring major = MajorVersion();
    if (LeadingNumber(major) <= 10) return L"Not Applicable";
    long mode = 0;
    com::LateBound session(com::LateBound(gobjOutlook).Get(L"Session"));
    session.Get(L"ExchangeConnectionMode").TryLong(mode);
    switch (mode) {
        case 0: return L"No Exchange";
        case 100: return L"Offline";
        case 200: return L"Cached Offline";
        case 300: return L"Disconnected";
        case 400: return L"Cached Disconnected";
        case 500: return L"Cached Connected Headers";
        case 600: return L"Cached Connected Drizzle";
        case 700: return L"Cached Connected Full";
        case 800: return L"Online";
        default: return L"Unknown";
    }
}

std::wstring GetSecuritySettings() {
    ProcedureScope scope;
    const std::wstring office = L"Software\\Microsoft\\Office\\" + MajorVersion() + L".0\\Outlook\\";
    std::wstring result =
        ReadUserValue(office + L"Options\\General", L"AttachmentSafety").ToText();
    std::int16_t level = 0;
    ReadUserValue(office + L"Security", L"Level").TryInt(level);
    switch (level) {
        case 1: result += L" Low"; break;
        case 2: result += L" Medium"; break;
        case 3: result += L" High"; break;
        case 4: result += L" Very High"; break;
        default: break;
    }
    std::int16_t trust = 0;
    ReadUserValue(office + L"Security", L"DontTrustInstalledFiles").TryInt(trust);
    if (trust == 0) result += L" Trust";
    if (trust == 1) result += L" No Trust";
    return result;
}

std::wstring GetConnectedAddIns() {
    ProcedureScope scope;
    com::LateBound addIns(com::LateBound(gobjOutlook).Get(L"COMAddIns"));
    long count = 0;
    addIns.Get(L"Count").TryLong(count);
    std::wstring result;
    for (long i = 1; i <= count; ++i) {
        com::LateBound addIn(addIns.Call(L"Item", {com::Variant(i)}));
        bool connected = false;
        addIn.Get(L"Connect").TryBool(connected);
        // A description that cannot be read is listed as empty.
        if (connected) result += addIn.Get(L"Description").ToText() + L",";
    }
    if (!result.empty()) result.pop_back();
    return result;
}

}  // namespace vantrell
