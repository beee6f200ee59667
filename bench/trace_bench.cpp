// Trace log throughput: lines per second while the file is below its cap, and once it is at
// the cap (every line then trims the file), each beside its ceiling: a bare loop in this
// program doing the same file operations per line on a file of its own, with nothing else
// (open, append, close; at the cap then open, read the kept tail into a buffer made once,
// write it to a temporary file, and put that in the file's place). The add-in and the bare
// loop run in alternating rounds, so both figures and their ratio come from the same run.
//
// Run: build/x64/wine-run.sh build/x64/bin/trace_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/report.h"
#include "bench/stopwatch.h"
#include "platform/ansi.h"
#include "support/shared_state.h"
#include "support/trace.h"

namespace {

double Seconds() { return vantrell::bench::Milliseconds() / 1000.0; }

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

const std::wstring kText = L"starting cleanup of 3 inspector wrappers";

void TraceLine() { vantrell::WriteTrace(L"CRMAddIn", L"UnInitHandler", kText, 4); }

// The ceiling: the file operations of a trace line and nothing else.
class Bare {
public:
    Bare(std::string path, long long cap) : path_(std::move(path)), temporary_(path_ + ".tmp"), cap_(cap) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        line_ = vantrell::ToAnsi(vantrell::GeneralDate(now) + L" CRMAddIn::UnInitHandler:" + kText + L"\r\n");
        buffer_.resize(static_cast<size_t>(cap + 1));
    }

    void Line() {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER zero{}, end{};
        SetFilePointerEx(file, zero, &end, FILE_END);
        DWORD written = 0;
        WriteFile(file, line_.data(), static_cast<DWORD>(line_.size()), &written, nullptr);
        CloseHandle(file);
        long long length = end.QuadPart + written;
        if (length > cap_) Trim(length);
    }

private:
    void Trim(long long length) {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER from;
        from.QuadPart = length - cap_ - 1;
        SetFilePointerEx(file, from, nullptr, FILE_BEGIN);
        DWORD got = 0;
        ReadFile(file, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr);
        CloseHandle(file);
        // From the first line boundary on, so that the file keeps the add-in's size.
        const char* start = buffer_.data();
        const char* end = start + got;
        const char* boundary = std::search(start, end, "\r\n", "\r\n" + 2);
        if (boundary != end) start = boundary + 2;
        HANDLE temporary = CreateFileA(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(temporary, start, static_cast<DWORD>(end - start), &written, nullptr);
        CloseHandle(temporary);
        MoveFileExA(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }

    std::string path_, temporary_, line_;
    long long cap_;
    std::vector<char> buffer_;
};

struct Rates {
    double addin = 0, bare = 0;                // lines per second over all rounds
    std::vector<double> ratios;                // add-in / bare, one per round
    std::vector<double> addinLine, bareLine;   // milliseconds per line, one per round
};

// `rounds` rounds of `lines` lines each for the add-in and for the bare loop, which goes
// first in every other round so that neither always has the warmer disk cache.
Rates Alternate(Bare& bare, int rounds, int lines) {
    Rates rates;
    double addinSeconds = 0, bareSeconds = 0;
    for (int round = 0; round < rounds; ++round) {
        double addin = 0, plain = 0;
        for (int turn = 0; turn < 2; ++turn) {
            bool addinNow = (turn == 0) == (round % 2 == 0);
            double start = Seconds();
            for (int i = 0; i < lines; ++i) addinNow ? TraceLine() : bare.Line();
            (addinNow ? addin : plain) = Seconds() - start;
        }
        addinSeconds += addin;
        bareSeconds += plain;
        rates.ratios.push_back(plain / addin);
        rates.addinLine.push_back(1000 * addin / lines);
        rates.bareLine.push_back(1000 * plain / lines);
    }
    rates.addin = rounds * lines / addinSeconds;
    rates.bare = rounds * lines / bareSeconds;
    std::sort(rates.ratios.begin(), rates.ratios.end());
    return rates;
}

void Report(const char* what, const Rates& rates) {
    const std::vector<double>& r = rates.ratios;
    std::printf("%s add-in %5.0f lines/s, bare %5.0f lines/s: %3.0f%% of the ceiling (rounds: median %.0f%%, %.0f%% to %.0f%%)\n",
                what, rates.addin, rates.bare, 100 * rates.addin / rates.bare, 100 * r[r.size() / 2], 100 * r.front(),
                100 * r.back());
}

// The report's row: the add-in's time per line against the bare loop's median time per line.
void Row(const char* measure, const char* ceiling, const Rates& rates) {
    vantrell::bench::ReportRow(measure, vantrell::bench::Summarise(rates.addinLine), "ceiling",
                               vantrell::bench::Summarise(rates.bareLine).median, ceiling);
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
    std::string barePath = folder + "\\bare.log";
    DeleteFileA(path.c_str());
    DeleteFileA(barePath.c_str());

    vantrell::ErrorLogSize = 1024 * 1024;
    vantrell::ErrorLogLevel = 4;
    const long long cap = vantrell::ErrorLogSize;
    Bare bare(barePath, cap);

    // Below the cap: from an empty file up to about 90% of it.
    const int belowLines = 250;
    TraceLine();
    const long long line = FileSize(path);
    DeleteFileA(path.c_str());
    const int belowRounds = static_cast<int>(cap * 9 / 10 / line / belowLines);
    Rates below = Alternate(bare, belowRounds, belowLines);

    // At the cap: fill both files, then every line trims.
    while (FileSize(path) < cap - 200) TraceLine();
    while (FileSize(barePath) < cap - 200) bare.Line();
    const int atCapRounds = 30, atCapLines = 20;
    Rates atCap = Alternate(bare, atCapRounds, atCapLines);

    std::printf("cap %lld bytes, lines of %lld bytes\n", cap, line);
    char what[64];
    std::snprintf(what, sizeof what, "below the cap (%2d rounds of %d lines):", belowRounds, belowLines);
    Report(what, below);
    std::snprintf(what, sizeof what, "at the cap    (%2d rounds of %d lines):", atCapRounds, atCapLines);
    Report(what, atCap);
    Row("a trace line below the cap", "a bare append-and-close", below);
    Row("a trace line at the cap", "a bare append, read tail, write, replace", atCap);
    std::printf("files after: add-in %lld bytes, bare %lld bytes\n", FileSize(path), FileSize(barePath));
    DeleteFileA(path.c_str());
    DeleteFileA(barePath.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
