#include "service_double.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace vantrell::sim {

namespace {

constexpr size_t kMaxHead = 64 * 1024;
constexpr size_t kMaxBody = 16 * 1024 * 1024;
// How long the server thread waits in select before it looks at its orders again.
constexpr long kPollMicroseconds = 20 * 1000;
static_assert(sizeof(SOCKET) == sizeof(std::uintptr_t) && INVALID_SOCKET == ~std::uintptr_t{0});

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Lower(x) == Lower(y);
           });
}

bool ContainsText(const std::string& text, const std::string& word) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
    return lower.find(word) != std::string::npos;
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool SendAll(SOCKET s, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Parses the request line and headers of `head` (without the blank line).
bool ParseHead(const std::string& head, RecordedRequest& request) {
    size_t lineEnd = head.find("\r\n");
    std::string line = head.substr(0, lineEnd);
    size_t a = line.find(' ');
    size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    if (b == std::string::npos) return false;
    request.method = line.substr(0, a);
    request.path = line.substr(a + 1, b - a - 1);
    request.version = line.substr(b + 1);
    size_t at = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (at < head.size()) {
        size_t end = head.find("\r\n", at);
        if (end == std::string::npos) end = head.size();
        std::string field = head.substr(at, end - at);
        size_t colon = field.find(':');
        if (colon != std::string::npos) {
            request.headers.emplace_back(Trim(field.substr(0, colon)), Trim(field.substr(colon + 1)));
        }
        at = end + 2;
    }
    return true;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
    for (const auto& header : headers) {
        if (SameText(header.first, name)) return header.second;
    }
    return {};
}

struct ServiceDouble::Connection {
    SOCKET socket = INVALID_SOCKET;
    std::string input;
    bool continued = false;     // "100 Continue" sent for the request being read
    bool waiting = false;       // a stalled request waits for its answer
    RecordedRequest pending;
};

ServiceDouble::ServiceDouble() {
    WSADATA data;
    winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

ServiceDouble::~ServiceDouble() {
    Stop();
    if (winsock_) WSACleanup();
}

unsigned short ServiceDouble::Start(unsigned short port) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return port_;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int length = sizeof(address);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(s, SOMAXCONN) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return 0;
    }
    listener_ = s;
    port_ = ntohs(address.sin_port);
    running_ = true;
    stopping_ = refuse_ = refused_ = unstalled_ = false;
    thread_ = std::thread([this] { Serve(); });
    return port_;
}

void ServiceDouble::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) return;
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
}

unsigned short ServiceDouble::Port() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return port_;
}

std::string ServiceDouble::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(Port()) + path;
}

void ServiceDouble::Reply(int status, const std::string& statusText, const std::string& body,
                          const std::string& contentType) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
    statusText_ = statusText;
    body_ = body;
    contentType_ = contentType;
}

void ServiceDouble::Stall(bool stall) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stalled_ && !stall) unstalled_ = true;
    stalled_ = stall;
}

void ServiceDouble::RefuseConnections() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!running_) return;
    refuse_ = true;
    // The server thread closes the listener at its next look (within one poll interval).
    changed_.wait_for(lock, std::chrono::seconds(5), [this] { return refused_ || !running_; });
}

std::vector<RecordedRequest> ServiceDouble::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool ServiceDouble::WaitForRequests(size_t count, unsigned timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return requests_.size() >= count; });
}

void ServiceDouble::Serve() {
    for (;;) {
        bool unstall = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) break;
            if (refuse_ && !refused_) {
                if (listener_ != INVALID_SOCKET) closesocket(listener_);
                listener_ = INVALID_SOCKET;
                // A client would otherwise reuse a kept-alive connection and never meet the refusal.
                for (auto& connection : connections_) closesocket(connection->socket);
                connections_.clear();
                refused_ = true;
                changed_.notify_all();
            }
            unstall = std::exchange(unstalled_, false);
        }
        if (unstall) {
            for (auto it = connections_.begin(); it != connections_.end();) {
                Connection& connection = **it;
                bool keep = true;
                if (connection.waiting) {
                    connection.waiting = false;
                    keep = Answer(connection, connection.pending);
                    if (keep) Dispatch(connection, keep);
                }
                if (keep) {
                    ++it;
                } else {
                    closesocket(connection.socket);
                    it = connections_.erase(it);
                }
            }
        }

        fd_set readable;
        FD_ZERO(&readable);
        if (listener_ != INVALID_SOCKET) FD_SET(listener_, &readable);
        for (auto& connection : connections_) FD_SET(connection->socket, &readable);
        timeval wait{0, kPollMicroseconds};
        int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (ready == SOCKET_ERROR) {
            Sleep(kPollMicroseconds / 1000);
            continue;
        }
        if (ready == 0) continue;
        if (listener_ != INVALID_SOCKET && FD_ISSET(listener_, &readable)) Accept();
        for (auto it = connections_.begin(); it != connections_.end();) {
            bool keep = !FD_ISSET((*it)->socket, &readable) || ReadFrom(**it);
            if (keep) {
                ++it;
            } else {
                closesocket((*it)->socket);
                it = connections_.erase(it);
            }
        }
    }
    CloseAll();
}

void ServiceDouble::Accept() {
    SOCKET s = accept(listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;
    // select() takes at most FD_SETSIZE sockets; a test never needs that many.
    if (connections_.size() + 1 >= FD_SETSIZE) {
        closesocket(s);
        return;
    }
    auto connection = std::make_unique<Connection>();
    connection->socket = s;
    connections_.push_back(std::move(connection));
}

bool ServiceDouble::ReadFrom(Connection& connection) {
    char buffer[8192];
    int n = recv(connection.socket, buffer, sizeof(buffer), 0);
    if (n <= 0) return false;
    connection.input.append(buffer, static_cast<size_t>(n));
    bool keep = true;
    Dispatch(connection, keep);
    return keep;
}

// Takes every complete request from the connection's input, records it and answers it
// (unless stalled). `keep` turns false when the connection is to be closed.
void ServiceDouble::Dispatch(Connection& connection, bool& keep) {
    while (keep && !connection.waiting) {
        size_t headEnd = connection.input.find("\r\n\r\n");
        if (headEnd == std::string::npos) {
            if (connection.input.size() > kMaxHead) keep = false;
            return;
        }
        RecordedRequest request;
        if (!ParseHead(connection.input.substr(0, headEnd), request)) {
            keep = false;
            return;
        }
        size_t length = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
        if (length > kMaxBody) {
            keep = false;
            return;
        }
        size_t total = headEnd + 4 + length;
        if (connection.input.size() < total) {
            if (!connection.continued && SameText(request.Header("Expect"), "100-continue")) {
                connection.continued = true;
                keep = SendAll(connection.socket, "HTTP/1.1 100 Continue\r\n\r\n");
            }
            return;
        }
        request.body = connection.input.substr(headEnd + 4, length);
        connection.input.erase(0, total);
        connection.continued = false;
        bool stalled;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            stalled = stalled_;
        }
        changed_.notify_all();
        if (stalled) {
            connection.waiting = true;
            connection.pending = std::move(request);
            return;
        }
        keep = Answer(connection, request);
    }
}

// Sends the answer to one request; false when the connection is to be closed after it.
bool ServiceDouble::Answer(Connection& connection, const RecordedRequest& request) {
    int status = 404;
    std::string text = "Not Found", body = "<html><body>Not Found</body></html>", type = "text/html";
    std::string path = request.path.substr(0, request.path.find('?'));
    if (request.method == "POST" && SameText(path, kLogonPath)) {
        std::lock_guard<std::mutex> lock(mutex_);
        status = status_;
        text = statusText_;
        body = body_;
        type = contentType_;
    }
    std::string connectionHeader = request.Header("Connection");
    bool close = ContainsText(connectionHeader, "close") ||
                 (request.version == "HTTP/1.0" && !ContainsText(connectionHeader, "keep-alive"));
    std::string reply = "HTTP/1.1 " + std::to_string(status) + " " + text + "\r\n";
    if (!type.empty()) reply += "Content-Type: " + type + "\r\n";
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    reply += close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    reply += "\r\n";
    reply += body;
    return SendAll(connection.socket, reply) && !close;
}

void ServiceDouble::CloseAll() {
    for (auto& connection : connections_) closesocket(connection->socket);
    connections_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    listener_ = INVALID_SOCKET;
    changed_.notify_all();
}

}  // namespace vantrell::sim
