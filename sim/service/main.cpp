// The service double as a program of its own, for trying the add-in (or a browser under Wine)
// against a logon page by hand:
//   service_double.exe [--port N] [--status 200] [--status-text OK] [--body TEXT] [--stall]
//                      [--seconds S]
// Prints the logon page's URL, then each request as it arrives, and exits after S seconds
// (60 unless told; at most one day).
#include "service_double.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: service_double [--port N] [--status 200] [--status-text OK] [--body TEXT] "
                 "[--stall] [--seconds S]\n");
    return 2;
}

void Print(const vantrell::sim::RecordedRequest& request) {
    std::printf("%s %s %s\n", request.method.c_str(), request.path.c_str(), request.version.c_str());
    for (const auto& header : request.headers) std::printf("  %s: %s\n", header.first.c_str(), header.second.c_str());
    std::printf("  (%u bytes of body)\n", static_cast<unsigned>(request.body.size()));
    if (!request.body.empty()) std::printf("  %s\n", request.body.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    long port = 0, status = 200, seconds = 60;
    std::string statusText = "OK", body;
    bool stall = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool hasValue = i + 1 < argc;
        if (option == "--stall") {
            stall = true;
        } else if (option == "--port" && hasValue) {
            port = std::strtol(argv[++i], nullptr, 10);
        } else if (option == "--status" && hasValue) {
            status = std::strtol(argv[++i], nullptr, 10);
        } else if (option == "--status-text" && hasValue) {
            statusText = argv[++i];
        } else if (option == "--body" && hasValue) {
            body = argv[++i];
        } else if (option == "--seconds" && hasValue) {
            seconds = std::strtol(argv[++i], nullptr, 10);
        } else {
            return Usage();
        }
    }
    if (port < 0 || port > 65535 || status < 100 || status > 999 || seconds < 1 || seconds > 86400) return Usage();

    vantrell::sim::ServiceDouble service;
    service.Reply(static_cast<int>(status), statusText, body);
    service.Stall(stall);
    if (service.Start(static_cast<unsigned short>(port)) == 0) {
        std::fprintf(stderr, "service_double: cannot listen on 127.0.0.1:%ld\n", port);
        return 1;
    }
    std::printf("%s\n", service.Url().c_str());
    std::fflush(stdout);

    size_t printed = 0;
    for (long waited = 0; waited < seconds * 10; ++waited) {
        service.WaitForRequests(printed + 1, 100);
        auto requests = service.Requests();
        for (; printed < requests.size(); ++printed) Print(requests[printed]);
    }
    service.Stop();
    return 0;
}
