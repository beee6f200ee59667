#include "tests/common/registered_helper.h"

#include "tests/common/program_files.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace vantrell::test {
namespace {

// What the helper registers: its ProgIDs, classes, type library and dual interfaces.
const wchar_t* const kHelperKeys[] = {
    L"Ostrabin.OsbFolder",
    L"Ostrabin.OsbMailItem",
    L"Ostrabin.OsbUtils",
    L"CLSID\\{23199A84-6F60-4E73-BFD4-403047C6E71B}",
    L"CLSID\\{8F92FE71-6844-49D9-A5C2-A54815DF7DA2}",
    L"CLSID\\{B16A8DF1-FFC1-459B-8B47-61DF3AA088A3}",
    L"TypeLib\\{F1BDC363-8CBE-4049-ABC5-81040D683E71}",
    L"Interface\\{D3ACA2AE-2063-4B10-A1E8-78FEDBF1DFA7}",
    L"Interface\\{1BD89198-66DA-4497-BCB0-830C64FFC134}",
    L"Interface\\{64A5C9DC-AC17-440F-83C0-115F16D1B483}",
    L"Interface\\{BF83F60E-4E59-4AB3-9BDE-C8AB6F3A7C2E}",
    L"Interface\\{627C871F-6630-4552-9D95-972D96753DF9}",
};

}  // namespace

std::wstring RegisteredHelper::DllPath() { return BesideThisProgram(L"OsbHelper.dll"); }

RegistryTree RegisteredHelper::Keys() {
    RegistryTree all;
    for (auto [root, name] : {std::pair{HKEY_LOCAL_MACHINE, L"HKLM"}, std::pair{HKEY_CURRENT_USER, L"HKCU"}}) {
        for (const wchar_t* key : kHelperKeys) {
            const std::wstring path = std::wstring(L"Software\\Classes\\") + key;
            for (const auto& [entry, value] : Snapshot(root, path)) all[std::wstring(name) + L"\\" + path + L"\\" + entry] = value;
        }
    }
    return all;
}

RegisteredHelper::RegisteredHelper() {
    module_ = LoadLibraryW(DllPath().c_str());
    EXPECT_NE(nullptr, module_) << "OsbHelper.dll is not beside the test program";
    if (module_) {
        // A test process that died while the helper was registered leaves it so: start clean.
        CallEntryPoint(module_, "DllUnregisterServer");
        before_ = Keys();
        EXPECT_EQ(S_OK, CallEntryPoint(module_, "DllRegisterServer"));
    }
}

RegisteredHelper::~RegisteredHelper() {
    if (!module_) return;
    EXPECT_EQ(S_OK, CallEntryPoint(module_, "DllUnregisterServer"));
    EXPECT_EQ(before_, Keys()) << "unregistering left the registry changed";
    CoFreeUnusedLibraries();
    FreeLibrary(module_);
}

}  // namespace vantrell::test
