#pragma once
// Registry entries of an in-process COM server: its classes with their ProgIDs, its type
// library and its dual interfaces (marshalled by the standard automation marshaller), written
// under a root's "Software\Classes" and removed again exactly.
#include <windows.h>

#include <string>
#include <vector>

namespace vantrell::com {

struct RegisteredClass {
    const CLSID* clsid;
    const wchar_t* progId;
};

struct DualInterface {
    const IID* iid;
    const wchar_t* name;
};

struct ServerEntries {
    std::vector<RegisteredClass> classes;
    const GUID* library;  // the type library embedded in the module (version 1.0)
    const wchar_t* libraryName;
    std::vector<DualInterface> interfaces;
};

// Writes every entry under root\Software\Classes; the first failure is returned.
LONG WriteServerEntries(HKEY root, const ServerEntries& server, const std::wstring& modulePath);
// Removes every entry, then the container keys (CLSID, TypeLib, Interface) left empty.
LONG DeleteServerEntries(HKEY root, const ServerEntries& server);

// The elevated process of an administrator registers for the machine; others for the user.
bool IsElevated() noexcept;

// Registry primitives the entries are made of.
LONG SetRegistryText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value);
LONG SetRegistryNumber(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value);
// Deletes a key with everything below it; a key that is not there counts as deleted.
LONG DeleteRegistryTree(HKEY root, const std::wstring& path);
// Removes a container key only when nothing is left in it.
void DeleteRegistryKeyIfEmpty(HKEY root, const std::wstring& path);

// "{XXXXXXXX-XXXX-...}" text of a GUID.
std::wstring GuidString(const GUID& guid);

}  // namespace vantrell::com
