#pragma once
// COpSysInfo: a read-only snapshot of the Windows version, taken when the object is made.
// Public: other programs create it as "Vantrell.COpSysInfo".
#include <windows.h>

#include <string>

#include "platform/type_library.h"
#include "platform/com_object.h"
#include "platform/typelib_dispatch.h"

namespace vantrell {

class COpSysInfo : public com::Object<com::TypeLibDispatch<_COpSysInfo>> {
public:
    // Reads the version with GetVersionExA (the extended record, else the short one).
    COpSysInfo();
    // From a given record (what GetVersionExA filled in); for callers that have one already.
    explicit COpSysInfo(const OSVERSIONINFOEXA& record);

    long BuildNumber() const noexcept;
    std::wstring CSDVersion() const;
    long MajorVersion() const noexcept { return static_cast<long>(record_.dwMajorVersion); }
    long MinorVersion() const noexcept { return static_cast<long>(record_.dwMinorVersion); }
    long PlatformID() const noexcept { return static_cast<long>(record_.dwPlatformId); }
    long ProductType() const noexcept { return record_.wProductType; }
    short ServicePackMajor() const noexcept { return static_cast<short>(record_.wServicePackMajor); }
    short ServicePackMinor() const noexcept { return static_cast<short>(record_.wServicePackMinor); }
    short SuiteMask() const noexcept { return static_cast<short>(record_.wSuiteMask); }
    bool HasSuite(WORD bit) const noexcept { return (record_.wSuiteMask & bit) != 0; }
    bool IsWinNT() const noexcept { return isWinNT_; }
    bool IsWin2K() const noexcept { return isWin2K_; }
    bool IsWinXP() const noexcept { return isWinXP_; }
    bool IsWin95() const noexcept { return isWin95_; }
    bool IsWin98() const noexcept { return isWin98_; }
    bool IsWinME() const noexcept { return isWinME_; }
    bool IsWin9x() const noexcept { return isWinME_ || isWin98_ || isWin95_; }
    std::wstring Platform() const;
    std::wstring Version() const;
    std::wstring ProductTypeName() const;

    // _COpSysInfo
    STDMETHODIMP get_BuildNumber(long* value) noexcept override;
    STDMETHODIMP get_CSDVersion(BSTR* value) noexcept override;
    STDMETHODIMP get_MajorVersion(long* value) noexcept override;
    STDMETHODIMP get_MinorVersion(long* value) noexcept override;
    STDMETHODIMP get_PlatformID(long* value) noexcept override;
    STDMETHODIMP get_ProductType(ProductTypes* value) noexcept override;
    STDMETHODIMP get_ServicePackMajor(short* value) noexcept override;
    STDMETHODIMP get_ServicePackMinor(short* value) noexcept override;
    STDMETHODIMP get_SuiteMask(short* value) noexcept override;
    STDMETHODIMP get_HasAS(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_HasBO(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_HasDC(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_HasSBS(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_HasSBSr(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_HasTS(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_IsWinXP(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_IsWin2K(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_IsWinNT(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_IsWin9x(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_IsWin95(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_IsWin98(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_IsWinME(VARIANT_BOOL* value) noexcept override;
    STDMETHODIMP get_Platform(BSTR* value) noexcept override;
    STDMETHODIMP get_Version(BSTR* value) noexcept override;
    STDMETHODIMP get_ProductTypeName(BSTR* value) noexcept override;

private:
    void Derive();

    OSVERSIONINFOEXA record_{};
    std::string servicePack_;
    bool isWinNT_ = false, isWin2K_ = false, isWinXP_ = false;
    bool isWin95_ = false, isWin98_ = false, isWinME_ = false;
};

// The suite-mask bits the Has properties test.
inline constexpr WORD kSuiteSmallBusiness = 0x0001;
inline constexpr WORD kSuiteEnterprise = 0x0002;
inline constexpr WORD kSuiteBackOffice = 0x0004;
inline constexpr WORD kSuiteTerminal = 0x0010;
inline constexpr WORD kSuiteSmallBusinessRestricted = 0x0020;
inline constexpr WORD kSuiteDatacenter = 0x0080;

}  // namespace vantrell
