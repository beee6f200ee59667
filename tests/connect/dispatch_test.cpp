// Connect's IDispatch as a late-bound caller meets it through each interface it hands out:
// every member of the three by name, then invoked by the DISPID answered (the overlapping
// DISPIDs of OnConnection and GetCustomUI reach each its own member), and the DISP_E_* codes.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "connect/connect.h"
#include "platform/com_registration.h"

namespace vantrell {
namespace {

// Connect with every member of its interfaces recording that it was reached.
class Spy : public Connect {
public:
    std::wstring reached;
    STDMETHODIMP OnConnection(IDispatch*, ext_ConnectMode, IDispatch*, SAFEARRAY**) noexcept override {
        return Reach(L"OnConnection");
    }
    STDMETHODIMP OnDisconnection(ext_DisconnectMode, SAFEARRAY**) noexcept override {
        return Reach(L"OnDisconnection");
    }
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY**) noexcept override { return Reach(L"OnAddInsUpdate"); }
    STDMETHODIMP OnStartupComplete(SAFEARRAY**) noexcept override { return Reach(L"OnStartupComplete"); }
    STDMETHODIMP OnBeginShutdown(SAFEARRAY**) noexcept override { return Reach(L"OnBeginShutdown"); }
    STDMETHODIMP GetCustomUI(BSTR, BSTR* xml) noexcept override {
        *xml = SysAllocString(L"<customUI/>");
        return Reach(L"GetCustomUI");
    }
    STDMETHODIMP Ribbon_OnLoad(IDispatch*) noexcept override { return Reach(L"Ribbon_OnLoad"); }
    STDMETHODIMP QuorvaneGroup_GetVisible(IDispatch*, VARIANT_BOOL* v) noexcept override {
        return Visible(L"QuorvaneGroup_GetVisible", v);
    }
    STDMETHODIMP SendAndLog_GetVisible(IDispatch*, VARIANT_BOOL* v) noexcept override {
        return Visible(L"SendAndLog_GetVisible", v);
    }
    STDMETHODIMP LogMessage_GetVisible(IDispatch*, VARIANT_BOOL* v) noexcept override {
        return Visible(L"LogMessage_GetVisible", v);
    }
    STDMETHODIMP SendAndLog_OnClick(IDispatch*) noexcept override { return Reach(L"SendAndLog_OnClick"); }
    STDMETHODIMP LogMessage_OnClick(IDispatch*) noexcept override { return Reach(L"LogMessage_OnClick"); }

private:
    HRESULT Reach(const wchar_t* name) {
        reached = name;
        return S_OK;
    }
    HRESULT Visible(const wchar_t* name, VARIANT_BOOL* visible) {
        *visible = VARIANT_TRUE;
        return Reach(name);
    }
};

struct Member {
    const wchar_t* name;  // as a caller may spell it
    const wchar_t* reached;
    DISPID id;
    const char* args;  // d: an object, i: a number, a: an array by reference, b: a text
};

// _Connect's and IDTExtensibility2's members keep their published DISPIDs; IRibbonExtensibility,
// whose GetCustomUI shares OnConnection's 1, answers in the first bank above them.
const Member kMembers[] = {
    {L"onconnection", L"OnConnection", 1, "dida"},
    {L"OnDisconnection", L"OnDisconnection", 2, "ia"},
    {L"ONADDINSUPDATE", L"OnAddInsUpdate", 3, "a"},
    {L"OnStartupComplete", L"OnStartupComplete", 4, "a"},
    {L"OnBeginShutdown", L"OnBeginShutdown", 5, "a"},
    {L"ribbon_onload", L"Ribbon_OnLoad", 101, "d"},
    {L"QuorvaneGroup_GetVisible", L"QuorvaneGroup_GetVisible", 102, "d"},
    {L"SendAndLog_GetVisible", L"SendAndLog_GetVisible", 103, "d"},
    {L"LogMessage_GetVisible", L"LogMessage_GetVisible", 104, "d"},
    {L"SENDANDLOG_ONCLICK", L"SendAndLog_OnClick", 105, "d"},
    {L"LogMessage_OnClick", L"LogMessage_OnClick", 106, "d"},
    {L"getcustomui", L"GetCustomUI", com::dispatch::kDispidBank + 1, "b"},
};

class ConnectDispatch : public testing::Test {
protected:
    void SetUp() override {
        for (const IID* iid : {&IID_IDispatch, &IID__Connect, &IID__IDTExtensibility2, &IID_IRibbonExtensibility}) {
            com::Ptr<IDispatch> face;
            ASSERT_EQ(S_OK, spy->QueryInterface(*iid, reinterpret_cast<void**>(face.ReleaseAndGetAddressOf())));
            faces.push_back(face);
        }
    }
    HRESULT Call(IDispatch* face, DISPID id, const char* kinds, VARIANT* result, const IID& iid = IID_NULL) {
        SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
        std::vector<VARIANT> args(std::strlen(kinds));
        for (size_t i = 0; i < args.size(); ++i) {  // DISPPARAMS holds the arguments last first
            VARIANT& v = args[args.size() - 1 - i];
            VariantInit(&v);
            switch (kinds[i]) {
                case 'd':
                    V_VT(&v) = VT_DISPATCH, V_DISPATCH(&v) = nullptr;
                    break;
                case 'i':
                    V_VT(&v) = VT_I4, V_I4(&v) = 1;
                    break;
                case 'a':
                    V_VT(&v) = VT_ARRAY | VT_VARIANT | VT_BYREF, V_ARRAYREF(&v) = &custom;
                    break;
                case 'b':
                    V_VT(&v) = VT_BSTR, V_BSTR(&v) = ribbonId.Get();
                    break;
            }
        }
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        HRESULT hr = face->Invoke(id, iid, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
        SafeArrayDestroy(custom);
        return hr;
    }
    com::Ptr<Spy> spy = com::Make<Spy>();
    std::vector<com::Ptr<IDispatch>> faces;
    com::Bstr ribbonId{L"Microsoft.Outlook.Mail.Read"};
};

TEST_F(ConnectDispatch, EveryInterfaceAnswersEveryMemberByNameAndReachesItByTheDispidAnswered) {
    for (const com::Ptr<IDispatch>& face : faces) {
        for (const Member& m : kMembers) {
            SCOPED_TRACE(testing::Message() << "member " << std::string(m.reached, m.reached + wcslen(m.reached))
                                            << " through face " << (&face - faces.data()));
            LPOLESTR name = const_cast<LPOLESTR>(m.name);
            DISPID id = DISPID_UNKNOWN;
            ASSERT_EQ(S_OK, face->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
            EXPECT_EQ(m.id, id);
            spy->reached.clear();
            VARIANT result;
            VariantInit(&result);
            EXPECT_EQ(S_OK, Call(face.Get(), id, m.args, &result));
            EXPECT_EQ(m.reached, spy->reached);
            VariantClear(&result);
        }
    }
}

TEST_F(ConnectDispatch, ArgumentNamesKeepTheirPositionsAndOnlyTheMemberMovesToItsBank) {
    LPOLESTR connection[] = {const_cast<LPOLESTR>(L"OnConnection"), const_cast<LPOLESTR>(L"connectmode")};
    LPOLESTR ribbon[] = {const_cast<LPOLESTR>(L"GetCustomUI"), const_cast<LPOLESTR>(L"RibbonID")};
    DISPID ids[2] = {};
    ASSERT_EQ(S_OK, faces[0]->GetIDsOfNames(IID_NULL, connection, 2, 0, ids));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(1, ids[1]);
    ASSERT_EQ(S_OK, faces[0]->GetIDsOfNames(IID_NULL, ribbon, 2, 0, ids));
    EXPECT_EQ(com::dispatch::kDispidBank + 1, ids[0]);
    EXPECT_EQ(0, ids[1]);
}

TEST_F(ConnectDispatch, AnswersTheStandardCodesAndTheTypeInformationOfConnect) {
    for (const com::Ptr<IDispatch>& face : faces) {
        UINT count = 0;
        EXPECT_EQ(S_OK, face->GetTypeInfoCount(&count));
        EXPECT_EQ(1u, count);
        com::Ptr<ITypeInfo> info;
        ASSERT_EQ(S_OK, face->GetTypeInfo(0, 0, info.ReleaseAndGetAddressOf()));
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
        EXPECT_EQ(com::GuidString(IID__Connect), com::GuidString(attributes->guid));
        info->ReleaseTypeAttr(attributes);
        EXPECT_EQ(DISP_E_BADINDEX, face->GetTypeInfo(1, 0, info.ReleaseAndGetAddressOf()));

        LPOLESTR name = const_cast<LPOLESTR>(L"GetCustomUI");
        DISPID id = 0;
        EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, face->GetIDsOfNames(IID__Connect, &name, 1, 0, &id));
        LPOLESTR unknown = const_cast<LPOLESTR>(L"GetCustomUIs");
        EXPECT_EQ(DISP_E_UNKNOWNNAME, face->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id));
        EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, Call(face.Get(), 101, "d", nullptr, IID__Connect));
        // Each range of DISPIDs at both edges: IDTExtensibility2's, _Connect's, the ribbon's bank.
        for (DISPID outside : std::initializer_list<DISPID>{0, 6, 100, 107, com::dispatch::kDispidBank,
                                                            com::dispatch::kDispidBank + 2, -1})
            EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(face.Get(), outside, "d", nullptr)) << outside;
        // GetCustomUI's arguments under OnConnection's DISPID are refused, not passed on to it.
        EXPECT_TRUE(FAILED(Call(face.Get(), 1, "b", nullptr)));
    }
    EXPECT_TRUE(spy->reached.empty());
}

}  // namespace
}  // namespace vantrell
