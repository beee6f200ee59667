// The service double seen from a raw Winsock client: what it records, how it answers, and
// how it stalls and refuses.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>

#include "service_double.h"

namespace vantrell::sim {
namespace {

struct RawResponse {
    std::string statusLine, head, body;
    bool complete = false;
};

// One loopback connection; every read gives up after two seconds.
class RawClient {
public:
    RawClient() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~RawClient() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        WSACleanup();
    }

    // 0 when connected, else the Winsock error.
    int Connect(unsigned short port) {
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        DWORD timeout = 2000;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return 0;
        return WSAGetLastError();
    }
    bool Send(const std::string& bytes) {
        return send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
    }
    RawResponse Read() {
        RawResponse response;
        size_t headEnd;
        while ((headEnd = input_.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill()) return response;
        }
        response.head = input_.substr(0, headEnd);
        response.statusLine = response.head.substr(0, response.head.find("\r\n"));
        size_t length = 0;
        size_t at = response.head.find("\r\nContent-Length: ");
        if (at != std::string::npos) length = std::stoul(response.head.substr(at + 18));
        while (input_.size() < headEnd + 4 + length) {
            if (!Fill()) return response;
        }
        response.body = input_.substr(headEnd + 4, length);
        input_.erase(0, headEnd + 4 + length);
        response.complete = true;
        return response;
    }
    // True when the peer closed the connection (rather than the read timing out).
    bool ClosedByPeer() {
        char c;
        return recv(socket_, &c, 1, 0) == 0;
    }
    // Whether anything arrives within `ms`.
    bool AnythingWithin(long ms) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval wait{0, ms * 1000};
        return select(0, &readable, nullptr, nullptr, &wait) > 0;
    }

private:
    bool Fill() {
        char buffer[4096];
        int n = recv(socket_, buffer, sizeof(buffer), 0);
        if (n <= 0) return false;
        input_.append(buffer, static_cast<size_t>(n));
        return true;
    }
    SOCKET socket_ = INVALID_SOCKET;
    std::string input_;
};

std::string Post(const std::string& path, const std::string& body, const std::string& extra = {}) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n" +
           extra + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class ServiceDoubleTest : public testing::Test {
protected:
    void SetUp() override {
        port = service.Start();
        ASSERT_NE(0, port);
        ASSERT_EQ(0, client.Connect(port));
    }
    ServiceDouble service;
    RawClient client;
    unsigned short port = 0;
};

TEST_F(ServiceDoubleTest, ListensOnLoopbackAndNamesItsUrl) {
    EXPECT_EQ("http://127.0.0.1:" + std::to_string(port) + "/outlook/default.asp", service.Url());
    EXPECT_EQ("http://127.0.0.1:" + std::to_string(port) + "/other", service.Url("/other"));
}

TEST_F(ServiceDoubleTest, PostToTheLogonPageIsRecordedByteForByteAndGetsTheReply) {
    static const char raw[] = "user=J%F6rg&pass=a+b\0\xff\r\n\r\nend";
    const std::string body(raw, sizeof(raw) - 1);
    service.Reply(200, "Welcome", "<html>ok</html>", "text/html; charset=utf-8");
    ASSERT_TRUE(client.Send(Post("/outlook/default.asp?x=1", body, "X-Extra: one\r\n")));
    RawResponse response = client.Read();
    ASSERT_TRUE(response.complete);
    EXPECT_EQ("HTTP/1.1 200 Welcome", response.statusLine);
    EXPECT_NE(std::string::npos, response.head.find("\r\nContent-Type: text/html; charset=utf-8"));
    EXPECT_NE(std::string::npos, response.head.find("\r\nContent-Length: 15"));
    EXPECT_EQ("<html>ok</html>", response.body);

    auto requests = service.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].method);
    EXPECT_EQ("/outlook/default.asp?x=1", requests[0].path);
    EXPECT_EQ("HTTP/1.1", requests[0].version);
    EXPECT_EQ(body, requests[0].body);
    EXPECT_EQ("application/x-www-form-urlencoded", requests[0].Header("content-TYPE"));
    EXPECT_EQ("one", requests[0].Header("X-Extra"));
    EXPECT_EQ("", requests[0].Header("Cookie"));
}

TEST_F(ServiceDoubleTest, OtherPathsAndMethodsGetNotFound) {
    service.Reply(200, "OK", "logon");
    ASSERT_TRUE(client.Send("GET /outlook/default.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    RawResponse get = client.Read();
    ASSERT_TRUE(client.Send(Post("/outlook/other.asp", "a=1")));
    RawResponse other = client.Read();
    EXPECT_EQ("HTTP/1.1 404 Not Found", get.statusLine);
    EXPECT_EQ("HTTP/1.1 404 Not Found", other.statusLine);
    EXPECT_EQ(std::string::npos, other.body.find("logon"));
    auto requests = service.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("GET", requests[0].method);
    EXPECT_EQ("a=1", requests[1].body);
}

TEST_F(ServiceDoubleTest, KeptAliveConnectionServesRequestsInTurnUntilAskedToClose) {
    service.Reply(201, "Made", "x");
    // Two requests in one write: the first body's length must be honoured to find the second.
    ASSERT_TRUE(client.Send(Post("/outlook/default.asp", "first") + Post("/outlook/default.asp", "second")));
    RawResponse first = client.Read();
    RawResponse second = client.Read();
    EXPECT_EQ("HTTP/1.1 201 Made", first.statusLine);
    EXPECT_NE(std::string::npos, first.head.find("\r\nConnection: keep-alive"));
    EXPECT_EQ("HTTP/1.1 201 Made", second.statusLine);
    ASSERT_TRUE(client.Send(Post("/outlook/default.asp", "third", "Connection: close\r\n")));
    RawResponse third = client.Read();
    EXPECT_TRUE(third.complete);
    EXPECT_NE(std::string::npos, third.head.find("\r\nConnection: close"));
    EXPECT_TRUE(client.ClosedByPeer());
    auto requests = service.Requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("first", requests[0].body);
    EXPECT_EQ("second", requests[1].body);
    EXPECT_EQ("third", requests[2].body);
}

TEST_F(ServiceDoubleTest, BodyIsReadByContentLengthWhenItArrivesInPieces) {
    std::string request = Post("/outlook/default.asp", "user=someone");
    ASSERT_TRUE(client.Send(request.substr(0, request.size() - 4)));
    EXPECT_FALSE(service.WaitForRequests(1, 200)) << "recorded before its body was complete";
    ASSERT_TRUE(client.Send(request.substr(request.size() - 4)));
    EXPECT_TRUE(client.Read().complete);
    auto requests = service.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("user=someone", requests[0].body);
}

TEST_F(ServiceDoubleTest, StalledRequestIsRecordedAndAnsweredOnlyWhenTheStallEnds) {
    service.Stall(true);
    service.Reply(200, "OK", "late");
    ASSERT_TRUE(client.Send(Post("/outlook/default.asp", "a=1")));
    ASSERT_TRUE(service.WaitForRequests(1, 2000));
    EXPECT_FALSE(client.AnythingWithin(300));
    service.Stall(false);
    RawResponse response = client.Read();
    ASSERT_TRUE(response.complete);
    EXPECT_EQ("late", response.body);
}

TEST_F(ServiceDoubleTest, StopDropsAStalledConnection) {
    service.Stall(true);
    ASSERT_TRUE(client.Send(Post("/outlook/default.asp", "a=1")));
    ASSERT_TRUE(service.WaitForRequests(1, 2000));
    service.Stop();
    EXPECT_TRUE(client.ClosedByPeer());
    EXPECT_EQ(1u, service.Requests().size());
}

TEST_F(ServiceDoubleTest, RefusedConnectionsFailAtOnceAndKeptAliveOnesAreClosed) {
    ASSERT_TRUE(client.Send(Post("/outlook/default.asp", "a=1")));
    ASSERT_TRUE(client.Read().complete);
    service.RefuseConnections();
    EXPECT_TRUE(client.ClosedByPeer());
    RawClient late;
    EXPECT_EQ(WSAECONNREFUSED, late.Connect(port));
}

}  // namespace
}  // namespace vantrell::sim
