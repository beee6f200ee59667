#pragma once
// What the scenario tests share: a clean settings key, a temporary folder for the trace
// file, and the add-in either registered as a DLL or linked in with its state reset.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/common/registry_snapshot.h"
#include "tests/common/temp_folder.h"
#include "tests/common/window_script.h"

namespace vantrell::test {

inline const std::wstring kSettings = L"Software\\Quorvane\\Outlook\\History";

class AddinTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Trace() const { return ReadFileBytes(temp.File("VantrellTrace.log")); }
    bool Traced(const std::string& text) const { return Trace().find(text) != std::string::npos; }
    // Lines of the trace without their time stamps ("Connect::OnConnection:...").
    std::vector<std::string> TraceLines() const;
    void SetSetting(const char* name, DWORD value);
    void SetSetting(const char* name, const std::string& text);

private:
    std::wstring oldAppData_;
    bool hadAppData_ = false;

protected:

    // The user's application-data folder (where the journal of logged messages lives) as the
    // add-in finds it: a fresh one under `temp` while the test runs.
    std::string AppData() const { return temp.File("AppData\\"); }

    TempFolder temp;
    // A logon dialog nobody expects is cancelled, as a user without an account would.
    WindowScript windows;
};

// The add-in as a user installs it: Vantrell.dll registered, so that the simulated Outlook
// loads it by ProgID.
class RegisteredAddinTest : public AddinTest {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    HMODULE dll_ = nullptr;
};

// The add-in's code linked into the test, with its shared state as on a fresh load.
class LinkedAddinTest : public AddinTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace vantrell::test
