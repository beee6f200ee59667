// The class table against what else describes the classes: the type library in the built DLL
// (its coclasses and their default interfaces) and the installer's registry rows.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "connect/classes.h"
#include "platform/com_registration.h"
#include "platform/variant.h"
#include "tests/common/program_files.h"

namespace vantrell {
namespace {

// CLSID, ProgID, default IID, its name.
using Row = std::tuple<std::string, std::string, std::string, std::string>;

std::string Narrow(std::wstring_view text) { return std::string(text.begin(), text.end()); }  // ASCII only
std::string Guid(const GUID& guid) { return Narrow(com::GuidString(guid)); }

std::set<Row> TableRows() {
    std::set<Row> rows;
    for (const ClassEntry& c : Classes())
        rows.insert({Guid(*c.clsid), Narrow(c.progId), Guid(*c.defaultInterface), Narrow(c.interfaceName)});
    return rows;
}

std::string NameOf(ITypeInfo* info) {
    com::Bstr name;
    EXPECT_EQ(S_OK, info->GetDocumentation(MEMBERID_NIL, name.Out(), nullptr, nullptr, nullptr));
    return Narrow(name.Text());
}

TEST(Classes, TheTypeLibraryHoldsExactlyTheTablesClassesWithTheirDefaultInterfaces) {
    com::Ptr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLibEx(test::BesideThisProgram(L"Vantrell.dll").c_str(), REGKIND_NONE,
                                  library.ReleaseAndGetAddressOf()));
    std::set<Row> coclasses;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        TYPEKIND kind;
        ASSERT_EQ(S_OK, library->GetTypeInfoType(i, &kind));
        if (kind != TKIND_COCLASS) continue;
        com::Ptr<ITypeInfo> coclass;
        ASSERT_EQ(S_OK, library->GetTypeInfo(i, coclass.ReleaseAndGetAddressOf()));
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attributes));
        const std::string clsid = Guid(attributes->guid);
        const WORD implemented = attributes->cImplTypes;
        coclass->ReleaseTypeAttr(attributes);
        for (UINT k = 0; k < implemented; ++k) {
            INT flags = 0;
            HREFTYPE ref = 0;
            com::Ptr<ITypeInfo> face;
            ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(k, &flags));
            if (!(flags & IMPLTYPEFLAG_FDEFAULT)) continue;
            ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(k, &ref));
            ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, face.ReleaseAndGetAddressOf()));
            ASSERT_EQ(S_OK, face->GetTypeAttr(&attributes));
            coclasses.insert({clsid, "Vantrell." + NameOf(coclass.Get()), Guid(attributes->guid), NameOf(face.Get())});
            face->ReleaseTypeAttr(attributes);
        }
    }
    EXPECT_EQ(TableRows(), coclasses);
}

// The installer's registry rows without a value name: key and value of each.
std::vector<std::pair<std::string, std::string>> InstallerRows() {
    std::ifstream file(std::filesystem::path(test::BesideThisProgram(L"Vantrell.wxs")));
    EXPECT_TRUE(file) << "Vantrell.wxs is not beside the test program";
    std::stringstream text;
    text << file.rdbuf();
    const std::string wxs = text.str();
    std::vector<std::pair<std::string, std::string>> rows;
    const std::regex element(R"(<RegistryValue\b[^>]*>)"), attribute(R"re((\w+)="([^"]*)")re");
    for (std::sregex_iterator e(wxs.begin(), wxs.end(), element), end; e != end; ++e) {
        std::map<std::string, std::string> a;
        const std::string row = e->str();
        for (std::sregex_iterator m(row.begin(), row.end(), attribute); m != end; ++m) a[(*m)[1]] = (*m)[2];
        if (!a.count("Name")) rows.emplace_back(a["Key"], a["Value"]);
    }
    return rows;
}

TEST(Classes, TheInstallerRegistersExactlyTheTablesClassesProgIdsAndInterfaces) {
    using Pairs = std::set<std::pair<std::string, std::string>>;
    Pairs expectedClasses, expectedInterfaces, progIdOfClsid, clsidOfProgId, servers, interfaces;
    for (const auto& [clsid, progId, iid, name] : TableRows()) {
        expectedClasses.insert({clsid, progId});
        expectedInterfaces.insert({iid, name});
    }
    const auto icase = std::regex::icase;
    const std::regex progIdOfKey(R"(Software\\Classes\\CLSID\\(\{[^}]+\})\\ProgID)", icase),
        serverKey(R"(Software\\Classes\\CLSID\\(\{[^}]+\})\\InprocServer32)", icase),
        progIdKey(R"(Software\\Classes\\([^\\]+)\\CLSID)", icase),
        interfaceKey(R"(Software\\Classes\\Interface\\(\{[^}]+\}))", icase);
    std::smatch m;
    for (const auto& [key, value] : InstallerRows()) {
        if (std::regex_match(key, m, progIdOfKey)) {
            progIdOfClsid.insert({m[1], value});
        } else if (std::regex_match(key, m, serverKey)) {
            servers.insert({m[1], value});
        } else if (std::regex_match(key, m, progIdKey)) {
            clsidOfProgId.insert({value, m[1]});
        } else if (std::regex_match(key, m, interfaceKey)) {
            interfaces.insert({m[1], value});
        }
    }
    EXPECT_EQ(expectedClasses, progIdOfClsid);
    EXPECT_EQ(expectedClasses, clsidOfProgId);
    Pairs expectedServers;
    for (const auto& [clsid, progId] : expectedClasses) expectedServers.insert({clsid, "[#VantrellDll]"});
    EXPECT_EQ(expectedServers, servers);
    EXPECT_EQ(expectedInterfaces, interfaces);
}

}  // namespace
}  // namespace vantrell
