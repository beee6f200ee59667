#pragma once
// A recording add-in for testing the simulated Outlook: implements IDTExtensibility2, records
// every call, holds the objects Outlook hands it until OnDisconnection, and is registered for
// one test under a ProgID exactly as an installed add-in is (class, ProgID, Outlook's add-in key).
// When its script says so it also answers IRibbonExtensibility, with scripted definitions and
// ribbon callbacks reachable by name.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "office.h"
#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/variant.h"

namespace vantrell::test {

// What the fake add-ins of this test do and what they saw (COM creates them, so it is shared).
struct AddInScript {
    HRESULT createResult = S_OK;   // the class factory's answer
    HRESULT connectResult = S_OK;  // OnConnection's answer
    // Runs inside OnConnection with the Application and the COMAddIn object.
    std::function<void(IDispatch* application, IDispatch* addInInst)> onConnection;
    // Objects the add-in holds on top of Application and AddInInst; dropped in OnDisconnection.
    std::vector<com::Ptr<IDispatch>> held;
    std::vector<std::wstring> calls;  // "OnConnection 1", "OnStartupComplete", ...
    int live = 0;                     // fake add-ins alive now
    bool customWasEmptyVariantArray = false;

    // The add-in answers IRibbonExtensibility: GetCustomUI gives the definition listed for the
    // ribbon id (empty for one not listed).
    bool ribbon = false;
    std::map<std::wstring, std::wstring> customUi;
    // Ribbon callbacks by name (as Office calls them: DISPATCH_METHOD, one VT_DISPATCH
    // argument); each answers its result (a VT_ERROR answer fails the call with that code). Any
    // other call by name fails the test.
    std::map<std::wstring, std::function<com::Variant(IDispatch* argument)>> callbacks;
    std::vector<std::wstring> ribbonCalls;  // "GetCustomUI <ribbon id>", "<callback name>"
};
AddInScript& Script();

class FakeAddIn : public com::Object<_IDTExtensibility2, IRibbonExtensibility> {
public:
    FakeAddIn() { ++Script().live; }
    ~FakeAddIn() override { --Script().live; }

    STDMETHODIMP OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch* addInInst,
                              SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnStartupComplete(SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnBeginShutdown(SAFEARRAY** custom) noexcept override;
    STDMETHODIMP GetCustomUI(BSTR ribbonId, BSTR* xml) noexcept override;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override;

private:
    com::Ptr<IDispatch> application_;
    com::Ptr<IDispatch> addInInst_;
};

// While it lives: the fake add-in's class object registered in this process, its ProgID
// mapped to its CLSID under HKLM\Software\Classes, and its entry in Outlook's add-in key with
// `loadBehavior`. `withClass` false registers only the add-in key entry (an add-in that is not
// installed). Everything it wrote, and the keys it had to create, go when it is destroyed.
class RegisteredAddIn {
public:
    explicit RegisteredAddIn(std::wstring progId, DWORD loadBehavior = 3, bool withClass = true);
    ~RegisteredAddIn();
    RegisteredAddIn(const RegisteredAddIn&) = delete;
    RegisteredAddIn& operator=(const RegisteredAddIn&) = delete;

private:
    std::wstring progId_;
    DWORD cookie_ = 0;
    std::vector<std::wstring> createdParents_;  // under HKCU, deepest last
};

}  // namespace vantrell::test
