#include "support/op_sys_info.h"

#include <cstring>

#include "platform/ansi.h"

namespace vantrell {
namespace {

OSVERSIONINFOEXA ReadVersion() {
    OSVERSIONINFOEXA record{};
    record.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);  // 156 bytes
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record))) {
        // Systems before NT 4 SP6 know only the short record; its extended fields stay 0.
        record = OSVERSIONINFOEXA{};
        record.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148 bytes
        GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record));
    }
    return record;
}

std::wstring Trimmed(const std::wstring& text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

HRESULT PutBool(VARIANT_BOOL* out, bool value) noexcept {
    if (!out) return E_POINTER;
    *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

template <class T, class U>
HRESULT PutNumber(T* out, U value) noexcept {
    if (!out) return E_POINTER;
    *out = static_cast<T>(value);
    return S_OK;
}

HRESULT PutText(BSTR* out, const std::wstring& text) noexcept {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

template <class Text>
HRESULT AnswerText(BSTR* out, Text&& text) noexcept {
    if (out) *out = nullptr;
    return com::Guarded([&] { return PutText(out, text()); });
}

}  // namespace

COpSysInfo::COpSysInfo() : record_(ReadVersion()) { Derive(); }

COpSysInfo::COpSysInfo(const OSVERSIONINFOEXA& record) : record_(record) { Derive(); }

void COpSysInfo::Derive() {
    const char* text = record_.szCSDVersion;
    servicePack_.assign(text, strnlen(text, sizeof record_.szCSDVersion));
    const long major = static_cast<long>(record_.dwMajorVersion);
    const long minor = static_cast<long>(record_.dwMinorVersion);
    switch (record_.dwPlatformId) {
        case VER_PLATFORM_WIN32_NT:
            isWinNT_ = true;
            isWin2K_ = major >= 5;
            isWinXP_ = major >= 5 && minor >= 1;
            break;
        case VER_PLATFORM_WIN32_WINDOWS:
            isWin95_ = true;
            isWin98_ = minor >= 10;
            isWinME_ = BuildNumber() >= 3000;
            break;
        default:
            break;
    }
}

long COpSysInfo::BuildNumber() const noexcept {
    // On the 9x family the high word repeats the version: the build is the low word.
    return static_cast<long>(static_cast<short>(record_.dwBuildNumber & 0xFFFF));
}

std::wstring COpSysInfo::CSDVersion() const { return Trimmed(FromAnsi(servicePack_)); }

std::wstring COpSysInfo::Platform() const {
    if (isWinME_) return L"Windows Me";
    if (isWin98_) return L"Windows 98";
    if (isWin95_) return L"Windows 95";
    if (isWinXP_) return L"Windows XP";
    if (isWin2K_) return L"Windows 2000";
    if (isWinNT_) return L"Windows NT";
    return {};
}

std::wstring COpSysInfo::Version() const {
    return Platform() + L" v" + std::to_wstring(MajorVersion()) + L"." + std::to_wstring(MinorVersion()) +
           L", Build " + std::to_wstring(BuildNumber());
}

std::wstring COpSysInfo::ProductTypeName() const {
    switch (ProductType()) {
        case NtVerUnknown: return L"Unknown";
        case NtVerWorkstation: return L"NT Workstation";
        case NtVerDomainController: return L"Domain Controller";
        case NtVerServer: return L"NT Server";
        default: return {};
    }
}

STDMETHODIMP COpSysInfo::get_BuildNumber(long* v) noexcept { return PutNumber(v, BuildNumber()); }
STDMETHODIMP COpSysInfo::get_CSDVersion(BSTR* v) noexcept { return AnswerText(v, [&] { return CSDVersion(); }); }
STDMETHODIMP COpSysInfo::get_MajorVersion(long* v) noexcept { return PutNumber(v, MajorVersion()); }
STDMETHODIMP COpSysInfo::get_MinorVersion(long* v) noexcept { return PutNumber(v, MinorVersion()); }
STDMETHODIMP COpSysInfo::get_PlatformID(long* v) noexcept { return PutNumber(v, PlatformID()); }
STDMETHODIMP COpSysInfo::get_ProductType(ProductTypes* v) noexcept { return PutNumber(v, ProductType()); }
STDMETHODIMP COpSysInfo::get_ServicePackMajor(short* v) noexcept { return PutNumber(v, ServicePackMajor()); }
STDMETHODIMP COpSysInfo::get_ServicePackMinor(short* v) noexcept { return PutNumber(v, ServicePackMinor()); }
STDMETHODIMP COpSysInfo::get_SuiteMask(short* v) noexcept { return PutNumber(v, SuiteMask()); }
STDMETHODIMP COpSysInfo::get_HasAS(VARIANT_BOOL* v) noexcept { return PutBool(v, HasSuite(kSuiteEnterprise)); }
STDMETHODIMP COpSysInfo::get_HasBO(VARIANT_BOOL* v) noexcept { return PutBool(v, HasSuite(kSuiteBackOffice)); }
STDMETHODIMP COpSysInfo::get_HasDC(VARIANT_BOOL* v) noexcept { return PutBool(v, HasSuite(kSuiteDatacenter)); }
STDMETHODIMP COpSysInfo::get_HasSBS(VARIANT_BOOL* v) noexcept { return PutBool(v, HasSuite(kSuiteSmallBusiness)); }
STDMETHODIMP COpSysInfo::get_HasSBSr(VARIANT_BOOL* v) noexcept {
    return PutBool(v, HasSuite(kSuiteSmallBusinessRestricted));
}
STDMETHODIMP COpSysInfo::get_HasTS(VARIANT_BOOL* v) noexcept { return PutBool(v, HasSuite(kSuiteTerminal)); }
STDMETHODIMP COpSysInfo::get_IsWinXP(VARIANT_BOOL* v) noexcept { return PutBool(v, IsWinXP()); }
STDMETHODIMP COpSysInfo::get_IsWin2K(VARIANT_BOOL* v) noexcept { return PutBool(v, IsWin2K()); }
STDMETHODIMP COpSysInfo::get_IsWinNT(VARIANT_BOOL* v) noexcept { return PutBool(v, IsWinNT()); }
STDMETHODIMP COpSysInfo::get_IsWin9x(VARIANT_BOOL* v) noexcept { return PutBool(v, IsWin9x()); }
STDMETHODIMP COpSysInfo::get_IsWin95(VARIANT_BOOL* v) noexcept { return PutBool(v, IsWin95()); }
STDMETHODIMP COpSysInfo::get_IsWin98(VARIANT_BOOL* v) noexcept { return PutBool(v, IsWin98()); }
STDMETHODIMP COpSysInfo::get_IsWinME(VARIANT_BOOL* v) noexcept { return PutBool(v, IsWinME()); }
STDMETHODIMP COpSysInfo::get_Platform(BSTR* v) noexcept { return AnswerText(v, [&] { return Platform(); }); }
STDMETHODIMP COpSysInfo::get_Version(BSTR* v) noexcept { return AnswerText(v, [&] { return Version(); }); }
STDMETHODIMP COpSysInfo::get_ProductTypeName(BSTR* v) noexcept {
    return AnswerText(v, [&] { return ProductTypeName(); });
}

}  // namespace vantrell
