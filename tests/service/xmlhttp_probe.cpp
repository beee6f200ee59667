// Measures how MSXML's XMLHTTP behaves against a service that misbehaves. Not part of ctest
// (a stalled request can take minutes); run by hand after a build:
//   build/wine-run.sh build/bin/xmlhttp_probe.exe members
//   build/wine-run.sh build/bin/xmlhttp_probe.exe stall [ProgID] [limit-seconds]
//   build/wine-run.sh build/bin/xmlhttp_probe.exe stall-timeouts [ProgID] [timeout-ms] [limit-seconds]
//   build/wine-run.sh build/bin/xmlhttp_probe.exe stall-timer [ProgID] [limit-seconds]
//   build/wine-run.sh build/bin/xmlhttp_probe.exe wait-for-response [ProgID] [seconds] [limit-seconds]
//   build/wine-run.sh build/bin/xmlhttp_probe.exe async [ProgID]
//   build/wine-run.sh build/bin/xmlhttp_probe.exe refused [ProgID]
// "stall" posts synchronously to a double that reads the request and never answers; a watchdog
// thread stops the double after the limit (90 s unless told) if send is still blocked, so the
// probe always ends. NOTES.md beside this file has the figures measured under Wine 8.
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/failure.h"
#include "platform/message_loop.h"
#include "tests/service/xmlhttp_client.h"
#include "service_double.h"

namespace {

using vantrell::sim::ServiceDouble;
using vantrell::test::Step;
using vantrell::test::XmlHttp;
using Clock = std::chrono::steady_clock;

long Ms(Clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

void Report(const char* what, const Step& step) {
    if (step.failed) {
        std::printf("  %-14s failed 0x%08lX \"%ls\"\n", what, static_cast<unsigned long>(step.number),
                    step.description.c_str());
    } else {
        vantrell::com::Variant text(step.value);
        std::wstring shown = text.ChangeType(VT_BSTR) ? text.ToText() : L"<not text>";
        vantrell::ClearFailure();
        std::printf("  %-14s ok (vt %u) \"%ls\"\n", what, step.value.Type(), shown.c_str());
    }
}

void ReportState(XmlHttp& request) {
    Report("readyState", request.Get(L"readyState"));
    Report("status", request.Get(L"status"));
    Report("statusText", request.Get(L"statusText"));
    Report("responseText", request.Get(L"responseText"));
}

// Stops the double after `seconds` unless Disarm() comes first.
class Watchdog {
public:
    Watchdog(ServiceDouble& service, long seconds)
        : thread_([this, &service, seconds] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::seconds(seconds), [this] { return disarmed_; })) {
                  fired_ = true;
                  lock.unlock();
                  service.Stop();
              }
          }) {}
    ~Watchdog() {
        Disarm();
        thread_.join();
    }
    void Disarm() {
        std::lock_guard<std::mutex> lock(mutex_);
        disarmed_ = true;
        done_.notify_all();
    }
    bool Fired() {
        std::lock_guard<std::mutex> lock(mutex_);
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool disarmed_ = false, fired_ = false;
    std::thread thread_;
};

void Members() {
    for (const wchar_t* progId : {L"Microsoft.XMLHTTP", L"MSXML2.XMLHTTP", L"MSXML2.XMLHTTP.3.0",
                                  L"MSXML2.ServerXMLHTTP", L"MSXML2.ServerXMLHTTP.3.0"}) {
        XmlHttp request(progId);
        std::printf("%ls: %s\n", progId, request ? "created" : "cannot be created");
        if (!request) continue;
        for (const wchar_t* member : {L"setTimeouts", L"timeout", L"ontimeout", L"waitForResponse",
                                      L"setOption", L"getOption", L"onreadystatechange", L"abort"}) {
            DISPID id;
            vantrell::ClearFailure();
            bool known = request.Object().IdOf(member, id);
            std::printf("  %-20ls %s", member, known ? "known" : "unknown");
            if (!known) std::printf(" (0x%08lX)", static_cast<unsigned long>(vantrell::PendingFailure().number));
            std::printf("\n");
            vantrell::ClearFailure();
        }
    }
}

int Stall(const wchar_t* progId, long timeoutMs, long limit) {
    ServiceDouble service;
    service.Reply(200, "OK", "late");
    service.Stall(true);
    if (!service.Start()) return 1;
    XmlHttp request(progId);
    if (!request) {
        std::printf("%ls cannot be created\n", progId);
        return 1;
    }
    std::printf("%ls, synchronous POST to a stalled double, limit %ld s\n", progId, limit);
    if (timeoutMs >= 0) {
        vantrell::com::Variant t(timeoutMs);
        Report("setTimeouts", request.Call(L"setTimeouts", {t, t, t, t}));
    }
    Report("open", request.Open("POST", service.Url(), false));
    Report("setHeader", request.SetHeader(L"Content-Type", L"application/x-www-form-urlencoded"));
    Step sent;
    long elapsed;
    bool fired;
    {
        Watchdog watchdog(service, limit);
        auto start = Clock::now();
        sent = request.Send(vantrell::test::ByteArray("user=a&password=b"));
        elapsed = Ms(start);
        watchdog.Disarm();
        fired = watchdog.Fired();
    }
    std::printf("  send returned after %ld ms%s; the double saw %u request(s)\n", elapsed,
                fired ? " (only because the watchdog stopped the double)" : " on its own",
                static_cast<unsigned>(service.Requests().size()));
    Report("send", sent);
    ReportState(request);
    return 0;
}

// Waits for readyState 4 while pumping this thread's messages, at most `limitMs`.
long PollUntilDone(XmlHttp& request, long limitMs, long& state) {
    auto start = Clock::now();
    state = -1;
    while (Ms(start) < limitMs) {
        vantrell::ProcessPendingMessages();
        Step step = request.Get(L"readyState");
        state = step.failed ? -1 : step.value.ToLong();
        if (state == 4) break;
        Sleep(10);
    }
    return Ms(start);
}

int Async(const wchar_t* progId) {
    ServiceDouble service;
    service.Reply(200, "OK", "answered");
    if (!service.Start()) return 1;
    {
        XmlHttp request(progId);
        std::printf("%ls, asynchronous POST to an answering double\n", progId);
        Report("open", request.Open("POST", service.Url(), true));
        auto start = Clock::now();
        Report("send", request.Send(vantrell::test::ByteArray("user=a")));
        std::printf("  send returned after %ld ms\n", Ms(start));
        long state;
        long waited = PollUntilDone(request, 10000, state);
        std::printf("  readyState %ld after %ld ms of polling\n", state, waited);
        ReportState(request);
        for (const auto& seen : service.Requests()) {
            std::printf("  the double saw: %s %s %s\n", seen.method.c_str(), seen.path.c_str(), seen.version.c_str());
            for (const auto& header : seen.headers)
                std::printf("    %s: %s\n", header.first.c_str(), header.second.c_str());
        }
    }
    {
        service.Stall(true);
        XmlHttp request(progId);
        std::printf("%ls, asynchronous POST to a stalled double\n", progId);
        Report("open", request.Open("POST", service.Url(), true));
        auto start = Clock::now();
        Report("send", request.Send(vantrell::test::ByteArray("user=a")));
        std::printf("  send returned after %ld ms\n", Ms(start));
        long state;
        long waited = PollUntilDone(request, 3000, state);
        std::printf("  readyState %ld after %ld ms of polling; the double saw %u request(s)\n", state, waited,
                    static_cast<unsigned>(service.Requests().size()));
        start = Clock::now();
        Report("abort", request.Call(L"abort"));
        std::printf("  abort returned after %ld ms\n", Ms(start));
        ReportState(request);
        waited = PollUntilDone(request, 1000, state);
        std::printf("  readyState %ld after %ld more ms of polling\n", state, waited);
        // The same object once more, now that the double answers again.
        service.Stall(false);
        Report("open again", request.Open("POST", service.Url(), false));
        Report("send again", request.Send(vantrell::test::ByteArray("user=b")));
        ReportState(request);
    }
    return 0;
}

// A thread timer armed before a stalled synchronous send: does it fire inside send (does send
// dispatch this thread's messages), and does abort() called from it end the send?
XmlHttp* timerRequest = nullptr;
int timerFires = 0;
long abortAfterFires = 3;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    ++timerFires;
    if (timerFires == abortAfterFires && timerRequest) {
        std::printf("  timer fire %d inside send: calling abort\n", timerFires);
        Report("abort", timerRequest->Call(L"abort"));
    }
}

int StallTimer(const wchar_t* progId, long limit) {
    ServiceDouble service;
    service.Stall(true);
    if (!service.Start()) return 1;
    XmlHttp request(progId);
    std::printf("%ls, synchronous POST to a stalled double with a 1 s thread timer, limit %ld s\n", progId, limit);
    Report("open", request.Open("POST", service.Url(), false));
    timerRequest = &request;
    UINT_PTR timer = SetTimer(nullptr, 0, 1000, OnTimer);
    Step sent;
    long elapsed;
    bool fired;
    {
        Watchdog watchdog(service, limit);
        auto start = Clock::now();
        sent = request.Send(vantrell::test::ByteArray("user=a"));
        elapsed = Ms(start);
        watchdog.Disarm();
        fired = watchdog.Fired();
    }
    KillTimer(nullptr, timer);
    timerRequest = nullptr;
    std::printf("  send returned after %ld ms%s; the timer fired %d time(s) meanwhile\n", elapsed,
                fired ? " (only because the watchdog stopped the double)" : " on its own", timerFires);
    Report("send", sent);
    ReportState(request);
    return 0;
}

// ServerXMLHTTP's own way to bound a wait: an asynchronous send, then waitForResponse(seconds).
int WaitForResponse(const wchar_t* progId, long seconds, long limit) {
    ServiceDouble service;
    service.Stall(true);
    if (!service.Start()) return 1;
    XmlHttp request(progId);
    std::printf("%ls, asynchronous POST to a stalled double, then waitForResponse(%ld), limit %ld s\n", progId,
                seconds, limit);
    Report("open", request.Open("POST", service.Url(), true));
    Report("send", request.Send(vantrell::test::ByteArray("user=a")));
    Step waited;
    long elapsed;
    bool fired;
    {
        Watchdog watchdog(service, limit);
        auto start = Clock::now();
        waited = request.Call(L"waitForResponse", {vantrell::com::Variant(seconds)});
        elapsed = Ms(start);
        watchdog.Disarm();
        fired = watchdog.Fired();
    }
    std::printf("  waitForResponse returned after %ld ms%s\n", elapsed,
                fired ? " (only because the watchdog stopped the double)" : " on its own");
    Report("waitForResponse", waited);
    ReportState(request);
    return 0;
}

int Refused(const wchar_t* progId) {
    ServiceDouble service;
    if (!service.Start()) return 1;
    std::string url = service.Url();
    service.RefuseConnections();
    XmlHttp request(progId);
    std::printf("%ls, synchronous POST to a refusing port\n", progId);
    Report("open", request.Open("POST", url, false));
    auto start = Clock::now();
    Report("send", request.Send(vantrell::test::ByteArray("user=a")));
    std::printf("  send returned after %ld ms\n", Ms(start));
    ReportState(request);
    return 0;
}

std::wstring Wide(const char* text) { return vantrell::test::Widen(text); }

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string mode = argc > 1 ? argv[1] : "members";
    std::wstring progId = argc > 2 ? Wide(argv[2]) : L"Microsoft.XMLHTTP";
    int result = 2;
    if (mode == "members") {
        Members();
        result = 0;
    } else if (mode == "stall") {
        long limit = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 90;
        result = Stall(progId.c_str(), -1, limit > 0 && limit <= 600 ? limit : 90);
    } else if (mode == "stall-timeouts") {
        long timeoutMs = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 2000;
        long limit = argc > 4 ? std::strtol(argv[4], nullptr, 10) : 90;
        result = Stall(progId.c_str(), timeoutMs, limit > 0 && limit <= 600 ? limit : 90);
    } else if (mode == "stall-timer") {
        long limit = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 30;
        result = StallTimer(progId.c_str(), limit > 0 && limit <= 600 ? limit : 30);
    } else if (mode == "wait-for-response") {
        long seconds = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 2;
        long limit = argc > 4 ? std::strtol(argv[4], nullptr, 10) : 30;
        result = WaitForResponse(progId.c_str(), seconds, limit > 0 && limit <= 600 ? limit : 30);
    } else if (mode == "async") {
        result = Async(progId.c_str());
    } else if (mode == "refused") {
        result = Refused(progId.c_str());
    } else {
        std::fprintf(stderr, "usage: xmlhttp_probe members|stall|stall-timeouts|stall-timer|wait-for-response|async|refused "
                             "[ProgID] ...\n");
    }
    CoUninitialize();
    return result;
}
