// Keeps a DLL loaded, as Outlook keeps its add-in loaded while it runs, so that the installer
// tests can install over a DLL in use.
// Usage: hold_dll.exe DLL READY RELEASE   loads DLL, creates the file READY, and unloads DLL
// and ends once the file RELEASE exists (or after two minutes).
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: hold_dll DLL READY RELEASE\n");
        return 2;
    }
    HMODULE dll = LoadLibraryW(argv[1]);
    if (!dll) {
        std::fprintf(stderr, "cannot load the DLL: error %lu\n", GetLastError());
        return 1;
    }
    HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(ready);
    for (int waited = 0; waited < 120000 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; waited += 50)
        Sleep(50);
    FreeLibrary(dll);
    return 0;
}
