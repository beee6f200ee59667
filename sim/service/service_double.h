#pragma once
// The service double: a loopback HTTP/1.1 server that stands in for the CRM service's logon
// page. It records every request it receives and answers POSTs to the logon page with the
// reply the test chose; it can also stall (read a request and never answer) or refuse
// connections, so the add-in's failure paths can be driven. One server thread; every member
// may be called from the test's thread while it runs.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vantrell::sim {

struct RecordedRequest {
    std::string method, path, version;  // path as sent, query string included
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::string body;                                          // raw bytes
    // The first header of that name (case-insensitive), "" if absent.
    std::string Header(const std::string& name) const;
};

class ServiceDouble {
public:
    static constexpr const char* kLogonPath = "/outlook/default.asp";

    ServiceDouble();  // not yet listening
    ~ServiceDouble();
    ServiceDouble(const ServiceDouble&) = delete;
    ServiceDouble& operator=(const ServiceDouble&) = delete;

    // Listens on 127.0.0.1 (port 0: a free one) and returns the port; 0 when it cannot.
    // Starting again while running returns the current port.
    unsigned short Start(unsigned short port = 0);
    // Closes the listener and every connection (a stalled request's client sees the
    // connection drop) and joins the server thread.
    void Stop();
    unsigned short Port() const;

    // "http://127.0.0.1:<port><path>".
    std::string Url(const std::string& path = kLogonPath) const;

    // The reply to every POST to the logon page; any other path or method gets 404 "Not Found".
    // Until set: 200 "OK" with an empty body.
    void Reply(int status, const std::string& statusText, const std::string& body,
               const std::string& contentType = "text/html");
    // While stalled, requests are read and recorded but never answered; Stall(false) answers
    // the waiting ones with the reply in force.
    void Stall(bool stall);
    // Closes the listener, and the connections a client might reuse: a new connection to the
    // port is refused at once. Returns once the listener is closed.
    void RefuseConnections();

    // Every request received, in order.
    std::vector<RecordedRequest> Requests() const;
    // Waits (at most timeoutMs) until at least `count` requests have arrived.
    bool WaitForRequests(size_t count, unsigned timeoutMs) const;

private:
    struct Connection;
    void Serve();
    void Accept();
    bool ReadFrom(Connection& connection);
    void Dispatch(Connection& connection, bool& keep);
    bool Answer(Connection& connection, const RecordedRequest& request);
    void CloseAll();

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::thread thread_;
    // A Winsock SOCKET; kept as its integer type so users need not include winsock2.h first.
    std::uintptr_t listener_ = ~std::uintptr_t{0};
    unsigned short port_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    bool stalled_ = false;
    bool refuse_ = false;       // asked for, applied by the server thread
    bool refused_ = false;      // applied
    bool unstalled_ = false;    // Stall(false) came: answer the waiting requests
    int status_ = 200;
    std::string statusText_ = "OK", body_, contentType_ = "text/html";
    std::vector<RecordedRequest> requests_;
    std::vector<std::unique_ptr<Connection>> connections_;  // the server thread's only
    bool winsock_ = false;
};

}  // namespace vantrell::sim
