// Trace log throughput: lines per second while the file is below its cap, and once it is
// at the cap (every line then trims the file). Also times the least a trim can cost, one
// read of the kept tail and one write of it, to compare with.
//
// Run: build/wine-run.sh build/bin/trace_bench.exe
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/stopwatch.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace {

double Seconds() { return vantrell::bench::Milliseconds() / 1000.0; }

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// One read of `bytes` from the end of the file and one write of them to another file.
double ReadAndWriteOnce(const std::string& path, long long bytes) {
    double start = Seconds();
    std::string buffer(static_cast<size_t>(bytes), '\0');
    HANDLE in = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
    LARGE_INTEGER from;
    from.QuadPart = FileSize(path) - bytes;
    SetFilePointerEx(in, from, nullptr, FILE_BEGIN);
    DWORD got = 0;
    ReadFile(in, buffer.data(), static_cast<DWORD>(bytes), &got, nullptr);
    CloseHandle(in);
    std::string copy = path + ".copy";
    HANDLE out = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, buffer.data(), got, &written, nullptr);
    CloseHandle(out);
    MoveFileExA(copy.c_str(), (path + ".moved").c_str(), MOVEFILE_REPLACE_EXISTING);
    // Onto a file of the same size, as the trim replaces the log itself.
    return Seconds() - start;
}

}  // namespace

int main() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + "vantrell_trace_bench";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
    std::string path = folder + "\\VantrellTrace.log";
    DeleteFileA(path.c_str());

    vantrell::ErrorLogSize = 1024 * 1024;
    vantrell::ErrorLogLevel = 4;
    const std::wstring text = L"starting cleanup of 3 inspector wrappers";

    // Below the cap: from an empty file up to about 90% of it.
    int below = 0;
    double start = Seconds();
    while (FileSize(path) < vantrell::ErrorLogSize * 9 / 10) {
        vantrell::WriteTrace(L"CRMAddIn", L"UnInitHandler", text, 4);
        ++below;
    }
    double belowSeconds = Seconds() - start;
    long long belowBytes = FileSize(path);

    // At the cap: fill it, then every line trims.
    while (FileSize(path) < vantrell::ErrorLogSize - 200) vantrell::WriteTrace(L"CRMAddIn", L"UnInitHandler", text, 4);
    const int atCap = 300;
    start = Seconds();
    for (int i = 0; i < atCap; ++i) vantrell::WriteTrace(L"CRMAddIn", L"UnInitHandler", text, 4);
    double atCapSeconds = Seconds() - start;

    double floor = 0;
    const int floorRuns = 50;
    ReadAndWriteOnce(path, vantrell::ErrorLogSize);
    for (int i = 0; i < floorRuns; ++i) floor += ReadAndWriteOnce(path, vantrell::ErrorLogSize);

    DeleteFileA((path + ".moved").c_str());
    double belowRate = below / belowSeconds;
    double atCapRate = atCap / atCapSeconds;
    std::printf("cap %ld bytes, lines of about %lld bytes\n", static_cast<long>(vantrell::ErrorLogSize),
                belowBytes / below);
    std::printf("below the cap: %d lines in %.3f s = %.0f lines/s (%.1f us a line)\n", below, belowSeconds, belowRate,
                1e6 / belowRate);
    std::printf("at the cap:    %d lines in %.3f s = %.0f lines/s (%.1f us a line)\n", atCap, atCapSeconds, atCapRate,
                1e6 / atCapRate);
    std::printf("ratio below/at: %.1f\n", belowRate / atCapRate);
    double trim = atCapSeconds / atCap - belowSeconds / below;
    std::printf("the trim alone (a line at the cap less a line below it): %.1f us\n", 1e6 * trim);
    std::printf("one read of the kept tail and one write of it: %.1f us (the trim costs %.2f times that)\n",
                1e6 * floor / floorRuns, trim / (floor / floorRuns));
    std::printf("file after: %lld bytes\n", FileSize(path));
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
