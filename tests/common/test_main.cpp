// Every test program runs its cases on one apartment-threaded COM thread, as Outlook does.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "commands/commands.h"

int main(int argc, char** argv) {
    // Tests that make the controller themselves, without the class factory, play the host:
    // the wrappers' buttons get their commands as the module gives them.
    vantrell::InstallCommandActions();
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
