#pragma once
// The stand-in helper component installed for one test: OsbHelper.dll (beside the test program)
// registered through its own DllRegisterServer while this lives, unregistered at the end, with a
// check that the registry is exactly as it was before. A test that leaves it out runs with the
// helper not installed.
#include <windows.h>

#include <string>

#include "tests/common/registry_snapshot.h"

namespace vantrell::test {

class RegisteredHelper {
public:
    RegisteredHelper();
    ~RegisteredHelper();
    RegisteredHelper(const RegisteredHelper&) = delete;
    RegisteredHelper& operator=(const RegisteredHelper&) = delete;

    static std::wstring DllPath();
    // Every key the helper's registration writes, in both classes hives, as it is now.
    static RegistryTree Keys();

private:
    HMODULE module_ = nullptr;
    RegistryTree before_;
};

}  // namespace vantrell::test
