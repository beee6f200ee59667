// The built Vantrell.dll as another program sees it: its exports, version and type library,
// registration, and the public classes created by ProgID and driven only through IDispatch.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/common/array_values.h"
#include "tests/common/program_files.h"
#include "tests/common/registry_snapshot.h"
#include "platform/com_registration.h"
#include "connect/registration.h"
#include "platform/type_library.h"
#include "platform/failure.h"
#include "platform/late_bound.h"

namespace vantrell {
namespace {

using com::LateBound;
using com::Variant;

std::wstring DllPath() { return test::BesideThisProgram(L"Vantrell.dll"); }

class Component : public testing::Test {
protected:
    static void SetUpTestSuite() {}
    void SetUp() override {
        module = LoadLibraryW(DllPath().c_str());
        ASSERT_NE(nullptr, module);
    }
    void TearDown() override {
        if (registered) Call("DllUnregisterServer");
        CoFreeUnusedLibraries();
        FreeLibrary(module);
    }
    HRESULT Call(const char* name) { return test::CallEntryPoint(module, name); }
    void Register() {
        ASSERT_EQ(S_OK, Call("DllRegisterServer"));
        registered = true;
    }
    // Creates a class exactly as a script's CreateObject does.
    LateBound Create(const wchar_t* progId) {
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(progId, &clsid);
        EXPECT_EQ(S_OK, hr) << "ProgID not found";
        com::Ptr<IDispatch> object;
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
        EXPECT_EQ(S_OK, hr);
        return LateBound(object);
    }

    HMODULE module = nullptr;
    bool registered = false;
    test::ScratchKey scratch{L"Component"};
};

TEST_F(Component, ExportsTheFourEntryPointsUndecorated) {
    for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(module, name))) << name;
}

TEST_F(Component, CarriesVersion1007) {
    std::wstring path = DllPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(MAKELONG(0, 1), info->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(7, 0), info->dwFileVersionLS);
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\ProductName", reinterpret_cast<void**>(&product),
                               &length));
    EXPECT_STREQ(L"Quorvane Email History", product);
}

TEST_F(Component, EmbedsItsTypeLibrary) {
    com::Ptr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, library.ReleaseAndGetAddressOf()));
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(LIBID_Vantrell, attributes->guid));
    library->ReleaseTLibAttr(attributes);
    com::Ptr<ITypeInfo> info;
    EXPECT_EQ(S_OK, library->GetTypeInfoOfGuid(CLSID_RegOp, info.ReleaseAndGetAddressOf()));
    EXPECT_EQ(S_OK, library->GetTypeInfoOfGuid(IID__COpSysInfo, info.ReleaseAndGetAddressOf()));
}

TEST_F(Component, RegistersAllFiveClassesAndTheAddinForOutlook) {
    Register();
    for (const wchar_t* progId :
         {L"Vantrell.Connect", L"Vantrell.CRMAddIn", L"Vantrell.InspWrap", L"Vantrell.RegOp", L"Vantrell.COpSysInfo"}) {
        LateBound object = Create(progId);
        EXPECT_TRUE(object) << progId;
    }
    EXPECT_EQ(3u, test::ReadNumber(HKEY_CURRENT_USER, kAddinKey, L"LoadBehavior"));
    EXPECT_EQ(L"Quorvane Email History", test::ReadText(HKEY_CURRENT_USER, kAddinKey, L"FriendlyName"));
}

// On 64-bit Windows each DLL registers in the registry view of its own bitness, so the 32-bit
// and the 64-bit Outlook each find the add-in that matches them; the add-in key is shared.
TEST_F(Component, RegistersInTheRegistryViewOfItsOwnBitness) {
    Register();
    const std::wstring clsid = L"Software\\Classes\\CLSID\\" + com::GuidString(CLSID_Connect);
    auto inView = [&](REGSAM view) {
        HKEY key = nullptr;
        LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, clsid.c_str(), 0, KEY_READ | view, &key);
        if (key) RegCloseKey(key);
        return result == ERROR_SUCCESS;
    };
#ifdef _WIN64
    EXPECT_TRUE(inView(KEY_WOW64_64KEY));
    EXPECT_FALSE(inView(KEY_WOW64_32KEY));
#else
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    EXPECT_TRUE(inView(0));
    if (wow64) {
        EXPECT_FALSE(inView(KEY_WOW64_64KEY));
    }
#endif
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kAddinKey));
}

TEST_F(Component, UnregisteringMakesTheProgIdsUnknownAgain) {
    Register();
    ASSERT_EQ(S_OK, Call("DllUnregisterServer"));
    registered = false;
    CLSID clsid;
    EXPECT_NE(S_OK, CLSIDFromProgID(L"Vantrell.RegOp", &clsid));
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kAddinKey));
}

TEST_F(Component, RegOpWorksByNameAsAScriptUsesIt) {
    Register();
    LateBound reg = Create(L"Vantrell.RegOp");
    ASSERT_TRUE(reg);
    EXPECT_TRUE(reg.Put(L"Root", Variant(static_cast<long>(REGOP_HKEY_CURRENT_USER))));
    EXPECT_TRUE(reg.Put(L"key", Variant(scratch.Path())));  // names are case-insensitive
    EXPECT_TRUE(reg.Put(L"Value", Variant(5L), {Variant(L"Count")}));
    EXPECT_TRUE(reg.Put(L"Value", Variant(L"default text")));  // ValueName left out: the default value
    EXPECT_EQ(5, reg.Get(L"Value", {Variant(L"count")}).ToLong());
    EXPECT_EQ(L"default text", reg.Get(L"Value").ToText());
    EXPECT_EQ(2, reg.Get(L"ValueCount").ToLong());
    EXPECT_EQ(std::optional<DWORD>(5), test::ReadNumber(HKEY_CURRENT_USER, scratch.Path(), L"Count"));

    Variant all = reg.Get(L"AllValues");
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, all.Type());
    EXPECT_TRUE(reg.Call(L"DeleteValue", {Variant(L"Count")}).ToBool());
    EXPECT_FALSE(reg.Call(L"DeleteValue", {Variant(L"Count")}).ToBool());
    EXPECT_TRUE(reg.Put(L"Options", Variant(1L)));
    EXPECT_EQ(0, reg.Get(L"KeyCount").ToLong());
    EXPECT_TRUE(reg.Get(L"AllKeys").IsEmpty());

    EXPECT_TRUE(reg.Put(L"Key", Variant(scratch.Path() + L"\\Child")));
    EXPECT_EQ(0, reg.Get(L"ValueCount").ToLong());  // creates the child
    EXPECT_TRUE(reg.Call(L"DeleteKey").ToBool());
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, scratch.Path() + L"\\Child"));
}

TEST_F(Component, RegOpTakesArgumentsByReferenceAsScriptsPassThem) {
    Register();
    LateBound reg = Create(L"Vantrell.RegOp");
    reg.Put(L"Key", Variant(scratch.Path()));
    DISPID value = 0;
    ASSERT_TRUE(reg.IdOf(L"Value", value));
    Variant name(L"ByRef");
    Variant number(9L);
    VARIANT args[2];
    V_VT(&args[0]) = VT_VARIANT | VT_BYREF;  // the new value, last
    V_VARIANTREF(&args[0]) = number.GetMutable();
    V_VT(&args[1]) = VT_VARIANT | VT_BYREF;  // the value's name
    V_VARIANTREF(&args[1]) = name.GetMutable();
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, &put, 2, 1};
    EXPECT_EQ(S_OK, reg.Get()->Invoke(value, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr));
    EXPECT_EQ(std::optional<DWORD>(9), test::ReadNumber(HKEY_CURRENT_USER, scratch.Path(), L"ByRef"));
}

// What a .NET program hands over for decimal[] and for an array of structures.
TEST_F(Component, RegOpStoresADecimalArrayAndRefusesARecordArray) {
    Register();
    LateBound reg = Create(L"Vantrell.RegOp");
    reg.Put(L"Key", Variant(scratch.Path()));
    Variant amountsArray = test::ArrayOf(VT_DECIMAL, {Variant(L"1.25"), Variant(L"-7")});
    EXPECT_TRUE(reg.Put(L"Value", amountsArray, {Variant(L"Amounts")}));
    auto amounts = test::ReadRaw(HKEY_CURRENT_USER, scratch.Path(), "Amounts");
    ASSERT_TRUE(amounts);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), amounts->type);
    EXPECT_EQ(std::string("1.25\0-7\0\0", 9), amounts->bytes);

    com::Ptr<test::FakeRecordInfo> record = com::Make<test::FakeRecordInfo>(64);
    EXPECT_TRUE(reg.Put(L"Value", test::RecordArray(record.Get(), 4), {Variant(L"Records")}));
    EXPECT_FALSE(test::ReadRaw(HKEY_CURRENT_USER, scratch.Path(), "Records"));
    EXPECT_EQ(1, reg.Get(L"ValueCount").ToLong());
    record->AddRef();
    EXPECT_EQ(1u, record->Release());  // nothing of the refused array is kept
}

TEST_F(Component, RegOpAnswersTheStandardDispatchErrors) {
    Register();
    LateBound reg = Create(L"Vantrell.RegOp");
    DISPID id = 0;
    EXPECT_FALSE(reg.IdOf(L"NoSuchMember", id));
    ASSERT_TRUE(reg.IdOf(L"DeleteKey", id));
    Variant extra[3] = {Variant(1L), Variant(2L), Variant(3L)};
    DISPPARAMS tooMany{extra[0].GetMutable(), nullptr, 3, 0};
    Variant result;
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, reg.Get()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &tooMany, result.Out(),
                                                       nullptr, nullptr));
    com::Ptr<ITypeInfo> info;
    EXPECT_EQ(S_OK, reg.Get()->GetTypeInfo(0, 0, info.ReleaseAndGetAddressOf()));
    EXPECT_TRUE(info);
    EXPECT_EQ(DISP_E_BADINDEX, reg.Get()->GetTypeInfo(1, 0, info.ReleaseAndGetAddressOf()));
}

TEST_F(Component, COpSysInfoAnswersEveryPropertyByName) {
    Register();
    LateBound info = Create(L"Vantrell.COpSysInfo");
    ASSERT_TRUE(info);
    for (const wchar_t* name :
         {L"BuildNumber", L"CSDVersion", L"MajorVersion", L"MinorVersion", L"PlatformID", L"ProductType",
          L"ServicePackMajor", L"ServicePackMinor", L"SuiteMask", L"HasAS", L"HasBO", L"HasDC", L"HasSBS", L"HasSBSr",
          L"HasTS", L"IsWinXP", L"IsWin2K", L"IsWinNT", L"IsWin9x", L"IsWin95", L"IsWin98", L"IsWinME", L"Platform",
          L"Version", L"ProductTypeName"}) {
        ClearFailure();
        Variant value = info.Get(name);
        EXPECT_FALSE(HasPendingFailure()) << "COpSysInfo." << std::string(name, name + wcslen(name));
        EXPECT_FALSE(value.IsEmpty());
    }
    OSVERSIONINFOA os{};
    os.dwOSVersionInfoSize = sizeof os;
    GetVersionExA(&os);
    EXPECT_EQ(static_cast<long>(os.dwMajorVersion), info.Get(L"MajorVersion").ToLong());
    EXPECT_EQ(VT_BOOL, info.Get(L"IsWinNT").Type());
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(info.Get(L"IsWinNT").Get()));
    std::wstring version = info.Get(L"Version").ToText();
    EXPECT_EQ(0u, version.find(info.Get(L"Platform").ToText() + L" v"));
    // Read-only: a put is refused.
    EXPECT_FALSE(info.Put(L"MajorVersion", Variant(1L)));
}

// The DLL keeps its type library loaded while it answers IDispatch, and lets go of it when it
// is unloaded: oleaut32 hands every loader of the same file the same library object, so its
// reference count shows what the DLL holds.
TEST(ComponentUnload, ReleasesItsTypeLibraryWhenUnloaded) {
    const std::wstring path = DllPath();
    com::Ptr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.ReleaseAndGetAddressOf()));
    auto references = [&] {
        library->AddRef();
        return library->Release();
    };
    const ULONG alone = references();
    HMODULE module = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, module);
    {
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        ASSERT_NE(nullptr, get);
        com::Ptr<IClassFactory> factory;
        ASSERT_EQ(S_OK, get(CLSID_RegOp, IID_IClassFactory, reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf())));
        com::Ptr<IDispatch> reg;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(reg.ReleaseAndGetAddressOf())));
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(L"ValueCount");
        ASSERT_EQ(S_OK, reg->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
    }
    EXPECT_EQ(alone + 1, references());  // the DLL holds it while loaded
    ASSERT_EQ(S_OK, test::CallEntryPoint(module, "DllCanUnloadNow"));
    FreeLibrary(module);
    EXPECT_EQ(alone, references());
}

TEST_F(Component, CanUnloadOnlyWhenNoObjectIsAlive) {
    Register();
    {
        LateBound info = Create(L"Vantrell.COpSysInfo");
        EXPECT_EQ(S_FALSE, Call("DllCanUnloadNow"));
    }
    EXPECT_EQ(S_OK, Call("DllCanUnloadNow"));
}

TEST_F(Component, RefusesAggregationAndUnknownClasses) {
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_NE(nullptr, get);
    com::Ptr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              get(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf())));
    ASSERT_EQ(S_OK, get(CLSID_RegOp, IID_IClassFactory, reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf())));
    IUnknown* outer = reinterpret_cast<IUnknown*>(factory.Get());
    void* out = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    factory.Reset();
    EXPECT_EQ(S_OK, Call("DllCanUnloadNow"));
}

}  // namespace
}  // namespace vantrell
