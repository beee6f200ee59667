// The service double seen through MSXML's XMLHTTP object (Wine's msxml3 here), driven
// late-bound the way the add-in's logon request drives it.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/message_loop.h"
#include "tests/service/xmlhttp_client.h"
#include "service_double.h"

namespace vantrell::sim {
namespace {

using test::Step;
using test::XmlHttp;

class XmlHttpTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(0, service.Start());
        ASSERT_TRUE(request) << "Microsoft.XMLHTTP cannot be created";
    }
    std::wstring Text(std::wstring_view property) {
        Step step = request.Get(property);
        EXPECT_FALSE(step.failed) << "reading " << std::string(property.begin(), property.end());
        return step.value.ToText();
    }
    ServiceDouble service;
    XmlHttp request;
};

TEST_F(XmlHttpTest, ByteArrayBodyArrivesByteForByteWithItsContentType) {
    // Every byte value but NUL, as the body of a form post in the ANSI code page might hold.
    std::string body = "user=J%F6rg&pass=";
    for (int c = 1; c < 256; ++c) body += static_cast<char>(c);
    service.Reply(200, "OK", "");
    Step sent = request.Post(service.Url(), body);
    ASSERT_FALSE(sent.failed) << std::hex << sent.number;
    auto requests = service.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].method);
    EXPECT_EQ("/outlook/default.asp", requests[0].path);
    EXPECT_EQ("application/x-www-form-urlencoded", requests[0].Header("Content-Type"));
    EXPECT_EQ(std::to_string(body.size()), requests[0].Header("Content-Length"));
    EXPECT_EQ(body, requests[0].body);
}

TEST_F(XmlHttpTest, ReplyBodyAndStatusTextComeBack) {
    service.Reply(200, "OK", "<html><body>LOGON OK;42</body></html>");
    ASSERT_FALSE(request.Post(service.Url(), "user=a&pass=b").failed);
    EXPECT_EQ(200, request.Get(L"status").value.ToLong());
    EXPECT_EQ(L"OK", Text(L"statusText"));
    EXPECT_EQ(L"<html><body>LOGON OK;42</body></html>", Text(L"responseText"));
}

TEST_F(XmlHttpTest, CustomStatusTextComesBackAsSent) {
    service.Reply(200, "ok", "x");
    ASSERT_FALSE(request.Post(service.Url(), "a=1").failed);
    EXPECT_EQ(L"ok", Text(L"statusText"));
    service.Reply(500, "Server Trouble Here", "y");
    ASSERT_FALSE(request.Post(service.Url(), "a=2").failed);
    EXPECT_EQ(500, request.Get(L"status").value.ToLong());
    EXPECT_EQ(L"Server Trouble Here", Text(L"statusText"));
    EXPECT_EQ(L"y", Text(L"responseText"));
}

TEST_F(XmlHttpTest, AnotherPageGivesNotFound) {
    service.Reply(200, "OK", "logon");
    ASSERT_FALSE(request.Post(service.Url("/outlook/missing.asp"), "a=1").failed);
    EXPECT_EQ(404, request.Get(L"status").value.ToLong());
    EXPECT_EQ(L"Not Found", Text(L"statusText"));
    EXPECT_EQ(1u, service.Requests().size());
}

// INET_E_DOWNLOAD_FAILURE: what msxml3's send fails with when the connection cannot be made.
constexpr long kDownloadFailure = static_cast<long>(0x800C0008);

TEST_F(XmlHttpTest, RefusedConnectionFailsTheSendAndLeavesNoStatus) {
    ASSERT_FALSE(request.Post(service.Url(), "a=1").failed);
    service.RefuseConnections();
    // The same object again: a connection kept alive from the first post must not serve it.
    Step sent = request.Post(service.Url(), "a=2");
    EXPECT_TRUE(sent.failed);
    EXPECT_EQ(kDownloadFailure, sent.number) << std::hex << sent.number;
    for (const wchar_t* property : {L"status", L"statusText", L"responseText"}) {
        Step read = request.Get(property);
        EXPECT_TRUE(read.failed) << "reading " << std::string(property, property + wcslen(property));
        EXPECT_EQ(static_cast<long>(E_FAIL), read.number);
    }
    EXPECT_EQ(1u, service.Requests().size());
}

// A synchronous send blocks this thread while the double stalls; a helper thread acts on the
// double once the request has arrived (or after ten seconds, so nothing hangs).
template <typename Action>
Step SendWhileStalled(XmlHttp& request, ServiceDouble& service, Action action) {
    service.Stall(true);
    std::thread helper([&] {
        service.WaitForRequests(1, 10000);
        action();
    });
    Step sent = request.Post(service.Url(), "user=a");
    helper.join();
    return sent;
}

TEST_F(XmlHttpTest, StalledSynchronousPostGetsTheReplyWhenTheStallEnds) {
    service.Reply(200, "Late", "answered");
    Step sent = SendWhileStalled(request, service, [&] { service.Stall(false); });
    ASSERT_FALSE(sent.failed) << std::hex << sent.number;
    EXPECT_EQ(L"Late", Text(L"statusText"));
    EXPECT_EQ(L"answered", Text(L"responseText"));
}

// A dropped connection is not a failed send: it reads as status 0 with empty texts.
TEST_F(XmlHttpTest, ConnectionDroppedWithoutAnAnswerGivesEmptyStatusText) {
    service.Reply(200, "OK", "never sent");
    Step sent = SendWhileStalled(request, service, [&] { service.Stop(); });
    EXPECT_FALSE(sent.failed) << std::hex << sent.number;
    EXPECT_EQ(4, request.Get(L"readyState").value.ToLong());
    EXPECT_EQ(0, request.Get(L"status").value.ToLong());
    EXPECT_EQ(L"", Text(L"statusText"));
    EXPECT_EQ(L"", Text(L"responseText"));
}

// Pumps this thread's messages until `done` or about five seconds have gone.
template <typename Condition>
bool PumpUntil(Condition done) {
    for (int round = 0; round < 500; ++round) {
        ProcessPendingMessages();
        if (done()) return true;
        Sleep(10);
    }
    return false;
}

long ReadyState(XmlHttp& request) { return request.Get(L"readyState").value.ToLong(); }

TEST_F(XmlHttpTest, AsynchronousPostCompletesWhileTheCallerPumpsMessages) {
    service.Reply(200, "OK", "answered");
    ASSERT_FALSE(request.Open("POST", service.Url(), true).failed);
    ASSERT_FALSE(request.Send(test::ByteArray("user=a")).failed);
    ASSERT_TRUE(PumpUntil([&] { return ReadyState(request) == 4; }));
    EXPECT_EQ(L"OK", Text(L"statusText"));
    EXPECT_EQ(L"answered", Text(L"responseText"));
}

TEST_F(XmlHttpTest, StalledAsynchronousPostCanBeAbortedAndTheObjectUsedAgain) {
    service.Stall(true);
    service.Reply(200, "OK", "answered");
    ASSERT_FALSE(request.Open("POST", service.Url(), true).failed);
    ASSERT_FALSE(request.Send(test::ByteArray("user=a")).failed);
    ASSERT_TRUE(PumpUntil([&] { return !service.Requests().empty(); }));
    EXPECT_LT(ReadyState(request), 4);
    EXPECT_FALSE(request.Call(L"abort").failed);
    EXPECT_EQ(0, ReadyState(request));
    EXPECT_TRUE(request.Get(L"statusText").failed);

    service.Stall(false);
    ASSERT_FALSE(request.Post(service.Url(), "user=b").failed);
    EXPECT_EQ(L"answered", Text(L"responseText"));
    auto requests = service.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("user=b", requests[1].body);
}

}  // namespace
}  // namespace vantrell::sim
