#include "tests/sim/fake_addin.h"

#include <gtest/gtest.h>

#include "tests/common/registry_snapshot.h"

namespace vantrell::test {
namespace {

const CLSID kFakeClsid = {0x5E1C9B2A, 0x7D43, 0x4F8E, {0x9A, 0x61, 0x3C, 0x2B, 0x8D, 0x0E, 0x4F, 0x17}};
const wchar_t kFakeClsidText[] = L"{5E1C9B2A-7D43-4F8E-9A61-3C2B8D0E4F17}";
const std::wstring kAddInsKey = L"Software\\Microsoft\\Office\\Outlook\\Addins";

class Factory : public com::Object<IClassFactory> {
public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (FAILED(Script().createResult)) return Script().createResult;
        auto addIn = com::Make<FakeAddIn>();
        return addIn->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) noexcept override { return S_OK; }
};

bool IsEmptyVariantArray(SAFEARRAY** custom) {
    VARTYPE type = VT_EMPTY;
    return custom && *custom && SUCCEEDED(SafeArrayGetVartype(*custom, &type)) && type == VT_VARIANT &&
           SafeArrayGetDim(*custom) == 1 && (*custom)->rgsabound[0].cElements == 0;
}

}  // namespace

AddInScript& Script() {
    static AddInScript script;
    return script;
}

STDMETHODIMP FakeAddIn::OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch* addInInst,
                                     SAFEARRAY** custom) noexcept {
    Script().calls.push_back(L"OnConnection " + std::to_wstring(static_cast<int>(mode)));
    Script().customWasEmptyVariantArray = IsEmptyVariantArray(custom);
    if (FAILED(Script().connectResult)) return Script().connectResult;
    application_ = com::Ptr<IDispatch>(application);
    addInInst_ = com::Ptr<IDispatch>(addInInst);
    if (Script().onConnection) Script().onConnection(application, addInInst);
    return S_OK;
}

STDMETHODIMP FakeAddIn::OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) noexcept {
    Script().calls.push_back(L"OnDisconnection " + std::to_wstring(static_cast<int>(mode)));
    EXPECT_TRUE(IsEmptyVariantArray(custom));
    Script().held.clear();
    addInInst_.Reset();
    application_.Reset();
    return S_OK;
}

STDMETHODIMP FakeAddIn::OnAddInsUpdate(SAFEARRAY**) noexcept {
    Script().calls.push_back(L"OnAddInsUpdate");
    return S_OK;
}

STDMETHODIMP FakeAddIn::OnStartupComplete(SAFEARRAY** custom) noexcept {
    Script().calls.push_back(L"OnStartupComplete");
    EXPECT_TRUE(IsEmptyVariantArray(custom));
    return S_OK;
}

STDMETHODIMP FakeAddIn::OnBeginShutdown(SAFEARRAY**) noexcept {
    Script().calls.push_back(L"OnBeginShutdown");
    return S_OK;
}

STDMETHODIMP FakeAddIn::GetCustomUI(BSTR ribbonId, BSTR* xml) noexcept {
    const std::wstring id = ribbonId ? ribbonId : L"";
    Script().ribbonCalls.push_back(L"GetCustomUI " + id);
    auto found = Script().customUi.find(id);
    const std::wstring answer = found == Script().customUi.end() ? std::wstring() : found->second;
    *xml = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
    return S_OK;
}

STDMETHODIMP FakeAddIn::QueryInterface(REFIID iid, void** out) noexcept {
    if (IsEqualIID(iid, IID_IRibbonExtensibility) && !Script().ribbon) {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    return Object::QueryInterface(iid, out);
}

// Outlook calls the add-in through the vtable; only the ribbon's callbacks are reached by name.
STDMETHODIMP FakeAddIn::GetTypeInfoCount(UINT* count) noexcept {
    *count = 0;
    return S_OK;
}
STDMETHODIMP FakeAddIn::GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept {
    *out = nullptr;
    return DISP_E_BADINDEX;
}
STDMETHODIMP FakeAddIn::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    DISPID id = 1;
    for (const auto& [name, callback] : Script().callbacks) {
        if (count == 1 && name == names[0]) {
            ids[0] = id;
            return S_OK;
        }
        ++id;
    }
    if (!Script().ribbon) ADD_FAILURE() << "the add-in was called by name";
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}
STDMETHODIMP FakeAddIn::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                               UINT*) noexcept {
    auto callback = Script().callbacks.begin();
    for (DISPID i = 1; i < id && callback != Script().callbacks.end(); ++i) ++callback;
    if (id < 1 || callback == Script().callbacks.end()) {
        ADD_FAILURE() << "the add-in was called through IDispatch::Invoke";
        return DISP_E_MEMBERNOTFOUND;
    }
    // Office passes the one object as it is, with DISPATCH_METHOD.
    EXPECT_EQ(DISPATCH_METHOD, flags);
    if (!params || params->cArgs != 1 || params->cNamedArgs != 0 || V_VT(&params->rgvarg[0]) != VT_DISPATCH) {
        ADD_FAILURE() << "a ribbon callback was called without its one object";
        return DISP_E_BADPARAMCOUNT;
    }
    Script().ribbonCalls.push_back(callback->first);
    // The callback may change the script: call a copy.
    const auto body = callback->second;
    com::Variant answer = body(V_DISPATCH(&params->rgvarg[0]));
    if (answer.Type() == VT_ERROR) return V_ERROR(answer.Get());
    if (result) answer.DetachTo(result);
    return S_OK;
}

RegisteredAddIn::RegisteredAddIn(std::wstring progId, DWORD loadBehavior, bool withClass)
    : progId_(std::move(progId)) {
    std::wstring path;
    for (const wchar_t* part : {L"Software\\Microsoft\\Office", L"\\Outlook", L"\\Addins"}) {
        path += part;
        if (!KeyExists(HKEY_CURRENT_USER, path)) createdParents_.push_back(path);
    }
    const std::wstring entry = kAddInsKey + L"\\" + progId_;
    WriteRaw(HKEY_CURRENT_USER, entry, "LoadBehavior", REG_DWORD,
             std::string(reinterpret_cast<const char*>(&loadBehavior), sizeof loadBehavior));
    const std::string friendly = "Fake add-in";
    WriteRaw(HKEY_CURRENT_USER, entry, "FriendlyName", REG_SZ, friendly + '\0');
    if (!withClass) return;
    const std::wstring clsidKey = L"Software\\Classes\\" + progId_ + L"\\CLSID";
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, clsidKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kFakeClsidText), sizeof kFakeClsidText);
        RegCloseKey(key);
    }
    auto factory = com::Make<Factory>();
    EXPECT_EQ(S_OK, CoRegisterClassObject(kFakeClsid, static_cast<IUnknown*>(factory.Get()), CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookie_));
}

RegisteredAddIn::~RegisteredAddIn() {
    if (cookie_) {
        CoRevokeClassObject(cookie_);
        DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + progId_);
    }
    DeleteTree(HKEY_CURRENT_USER, kAddInsKey + L"\\" + progId_);
    for (auto it = createdParents_.rbegin(); it != createdParents_.rend(); ++it)
        RegDeleteKeyW(HKEY_CURRENT_USER, it->c_str());  // only when empty: another entry keeps it
}

}  // namespace vantrell::test
