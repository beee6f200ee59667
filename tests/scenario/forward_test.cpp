// Logging a message: the forward to the service's logging agent, as the service receives it.
#include <gtest/gtest.h>

#include <windows.h>
#include <mapicode.h>
#include <mapidefs.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "tests/common/registered_helper.h"
#include "mailbox.h"
#include "mapi_tags.h"
#include "outlook.h"
#include "platform/ansi.h"
#include "platform/failure.h"
#include "tests/scenario/addin_fixture.h"
#include "session/crm_addin.h"
#include "support/shared_state.h"

namespace vantrell::test {
namespace {

using sim::AgentMailbox;
using sim::MailFields;
using sim::Outlook;
using sim::ReceivedMail;

using sim::tags::kInternetHeaders;
// What a source message may lack (the store leaves out the property whatever its type).
using sim::tags::kClientSubmitTime;
using sim::tags::kInternetMessageId;
using sim::tags::kMessageToMe;
using sim::tags::kSenderAddress;
using sim::tags::kSenderName;
using sim::tags::kTransportHeaders;

double Date(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    double date = 0;
    SystemTimeToVariantTime(&time, &date);
    return date;
}

// The user at work: the stand-in helper installed, logged on (the identifiers stored in the
// mailbox), the controller running in the simulated Outlook of one version, the service's
// logging agent receiving what is delivered to its address.
class Forwarding : public LinkedAddinTest {
protected:
    void SetUp() override {
        LinkedAddinTest::SetUp();
        Prepare();
    }
    void TearDown() override {
        Stop();
        LinkedAddinTest::TearDown();
    }
    void Prepare() {
        mailbox->AddStoredLogon(4321, 65);
        mailbox->ConnectAgent(agent);
        LoggingAddress = kDefaultLoggingAddress;
        ErrorLogSize = 1 << 20;
        ErrorLogLevel = 8;
    }
    void Stop() {
        if (controller) controller->UnInitHandler();
        if (outlook) {
            outlook->ShutDown();
            EXPECT_EQ(0, outlook->ReferencesHeldOutside());
        }
        controller.Reset();
        outlook.reset();
    }
    // Another day: a new mailbox and agent (faults stay with a mailbox), started again.
    void Fresh(const wchar_t* version = L"11.0.8312") {
        Stop();
        mailbox = std::make_shared<sim::Mailbox>();
        agent = std::make_shared<AgentMailbox>(std::vector<std::wstring>{kDefaultLoggingAddress});
        Prepare();
        Start(version);
    }
    size_t Lines(const std::string& text) const {
        size_t count = 0;
        for (size_t at = Trace().find(text); at != std::string::npos; at = Trace().find(text, at + 1)) ++count;
        return count;
    }
    void Start(const wchar_t* version = L"11.0.8312") {
        outlook = std::make_unique<Outlook>(version, mailbox);
        outlook->StartUp();
        IsOutlook12 = std::wstring(version).rfind(L"12.", 0) == 0;
        controller = com::Make<CRMAddIn>();
        controller->InitHandler(com::Ptr<IDispatch>(outlook->Application()));
        ASSERT_EQ(4321, LogonID);
    }
    // The item as the add-in meets it: an Outlook MailItem.
    com::LateBound Item(const std::wstring& entryId) {
        com::LateBound session(com::LateBound(com::Ptr<IDispatch>(outlook->Application())).Get(L"Session"));
        return com::LateBound(session.Call(L"GetItemFromID", {com::Variant(entryId)}));
    }
    // Logs one message and lets Outlook's own send/receive run (for Outlook 2007's path).
    bool Log(const std::wstring& entryId) {
        com::LateBound item = Item(entryId);
        const long before = outlook->ReferencesHeldOutside();
        bool logged = controller->ForwardToEmailAgent(item);
        // The forward and the helper's item are let go by the time it returns.
        EXPECT_EQ(before, outlook->ReferencesHeldOutside());
        outlook->SendAndReceive();
        return logged;
    }
    std::vector<std::string> XHeaders(const ReceivedMail& mail) const {
        std::vector<std::string> names;
        for (const auto& [name, value] : mail.headers)
            if (name.rfind("X-Quorvanes-", 0) == 0) names.push_back(name);
        return names;
    }
    bool Traced(const std::string& text) const { return Trace().find(text) != std::string::npos; }

    std::shared_ptr<sim::Mailbox> mailbox = std::make_shared<sim::Mailbox>();
    std::shared_ptr<AgentMailbox> agent = std::make_shared<AgentMailbox>(std::vector<std::wstring>{kDefaultLoggingAddress});
    RegisteredHelper helper;
    std::unique_ptr<Outlook> outlook;
    com::Ptr<CRMAddIn> controller;
};

MailFields Received() {
    MailFields mail;
    mail.subject = L"Quote for 40 units";
    mail.sender = {L"Dana Buyer", L"dana@customer.example"};
    mail.to = {{L"Mailbox Owner", L"owner@example.com"}};
    mail.cc = {{L"Pat Partner", L"pat@partner.example"}, {L"", L"office@partner.example"}};
    mail.body = L"Please send the quote.";
    mail.messageId = L"<abc.123@customer.example>";
    mail.submitTime = Date(2010, 1, 5, 14, 3, 9);
    return mail;
}

// A received and a sent message, through either send path: the service receives the forward
// with the agent as its recipient and the nine headers in order, each with its value.
struct Path {
    const char* name;
    const wchar_t* version;
    bool received;
};
void PrintTo(const Path& p, std::ostream* out) { *out << p.name; }
class ForwardingPaths : public Forwarding, public testing::WithParamInterface<Path> {};

TEST_P(ForwardingPaths, TheServiceReceivesTheForwardWithItsNineHeaders) {
    const Path path = GetParam();
    Start(path.version);
    MailFields mail = Received();
    if (!path.received) mail.sender = {};
    const std::wstring id = path.received ? mailbox->AddReceivedMail(mail) : mailbox->AddSentMail(mail);
    ASSERT_TRUE(Log(id));
    ASSERT_EQ(1u, agent->Count());
    const ReceivedMail got = agent->Read(0);
    EXPECT_EQ(L"Quote for 40 units", got.Text("Subject"));  // the original's, not "FW: ..."
    EXPECT_NE(std::string::npos, got.Header("To").find("log@history.quorvane.com"));
    EXPECT_NE(std::string::npos, got.Part("text/plain").find("Please send the quote."));
    const std::vector<std::string> order = {
        "X-Quorvanes-OriginalMessageID", "X-Quorvanes-Incoming", "X-Quorvanes-OriginalSender",
        "X-Quorvanes-OriginalTo",        "X-Quorvanes-OriginalCC", "X-Quorvanes-OriginalDateSent",
        "X-Quorvanes-LogonID",           "X-Quorvanes-CompanyID", "X-Quorvanes-Version"};
    EXPECT_EQ(order, XHeaders(got));
    EXPECT_EQ("<abc.123@customer.example>", got.Header("X-Quorvanes-OriginalMessageID"));
    EXPECT_EQ(path.received ? "True" : "False", got.Header("X-Quorvanes-Incoming"));
    EXPECT_EQ(path.received ? "Dana Buyer <dana@customer.example>" : "Mailbox Owner <owner@example.com>",
              got.Header("X-Quorvanes-OriginalSender"));
    EXPECT_EQ("Mailbox Owner", got.Header("X-Quorvanes-OriginalTo"));
    EXPECT_EQ("Pat Partner; office@partner.example", got.Header("X-Quorvanes-OriginalCC"));
    EXPECT_EQ("Tue, 5 Jan 2010 14:03:09 +0000", got.Header("X-Quorvanes-OriginalDateSent"));
    EXPECT_EQ("4321", got.Header("X-Quorvanes-LogonID"));
    EXPECT_EQ("65", got.Header("X-Quorvanes-CompanyID"));
    EXPECT_EQ("1.0.7", got.Header("X-Quorvanes-Version"));
    EXPECT_TRUE(Traced(path.received ? "CRMAddIn::ForwardToEmailAgent:logging existing received message 'Quote for 40 units'"
                                     : "CRMAddIn::ForwardToEmailAgent:logging existing sent message 'Quote for 40 units'"));
    EXPECT_TRUE(Traced("CRMAddIn::ForwardToEmailAgent:Subject=Quote for 40 units; OriginalMessageID=<abc.123@customer.example>; "
                       "Incoming=" + std::string(path.received ? "True" : "False")));
}

INSTANTIATE_TEST_SUITE_P(Forwarding, ForwardingPaths,
                         testing::Values(Path{"Received2003", L"11.0.8312", true}, Path{"Sent2003", L"11.0.8312", false},
                                         Path{"Received2007", L"12.0.6423.1000", true},
                                         Path{"Sent2007", L"12.0.6423.1000", false}),
                         [](const testing::TestParamInfo<Path>& info) { return info.param.name; });

// What the source message lacks still gives each header its defined value.
TEST_F(Forwarding, MissingPiecesOfTheSourceGiveTheirDefinedValues) {
    Start();
    struct Case {
        const char* name;
        std::function<void(MailFields&)> change;
        const char* header;
        std::string expected;  // "<entry id>" for the source's entry ID
    };
    const Case cases[] = {
        {"no message id", [](MailFields& m) { m.without = {kInternetMessageId}; }, "X-Quorvanes-OriginalMessageID",
         "<entry id>"},
        {"no sender name", [](MailFields& m) { m.without = {kSenderName}; }, "X-Quorvanes-OriginalSender",
         " <dana@customer.example>"},
        {"no sender address", [](MailFields& m) { m.without = {kSenderAddress}; }, "X-Quorvanes-OriginalSender",
         "Dana Buyer <>"},
        {"no submit time", [](MailFields& m) { m.without = {kClientSubmitTime}; }, "X-Quorvanes-OriginalDateSent",
         "Sat, 30 Dec 1899 00:00:00 +0000"},
        {"message-to-me False only", [](MailFields& m) {
             m.without = {kTransportHeaders};
             m.properties[kMessageToMe] = com::Variant::Boolean(false);
         }, "X-Quorvanes-Incoming", "True"},
        {"transport headers only", [](MailFields& m) { m.without = {kMessageToMe}; }, "X-Quorvanes-Incoming", "True"},
        {"neither", [](MailFields& m) { m.without = {kMessageToMe, kTransportHeaders}; }, "X-Quorvanes-Incoming",
         "False"},
        {"a line break in the sender's name", [](MailFields& m) { m.sender.name = L"Dana\r\nBcc: evil@example.test\r\n Buyer"; },
         "X-Quorvanes-OriginalSender", "Dana Bcc: evil@example.test  Buyer <dana@customer.example>"},
    };
    size_t delivered = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MailFields mail = Received();
        c.change(mail);
        const std::wstring id = mailbox->AddReceivedMail(mail);
        ASSERT_TRUE(Log(id));
        ASSERT_EQ(++delivered, agent->Count());
        const ReceivedMail got = agent->Read(delivered - 1);
        const std::string expected =
            c.expected == "<entry id>" ? std::string(id.begin(), id.end()) : c.expected;
        // The whole header line, leading blank of the value included, once unfolded (a fold
        // is a CR LF before a blank).
        std::string unfolded = got.raw;
        for (size_t at; (at = unfolded.find("\r\n ")) != std::string::npos;) unfolded.erase(at, 2);
        const std::string line = std::string(c.header) + ": " + expected + "\r\n";
        EXPECT_NE(std::string::npos, unfolded.find(line)) << got.raw;
        // As the add-in wrote it on the forward, now in Sent Items.
        const std::vector<sim::StoredItem> sent = mailbox->Items(sim::kSentMail);
        ASSERT_FALSE(sent.empty());
        const com::Variant* stored = sent.back().FindNamed(kInternetHeaders, std::wstring(c.header, c.header + strlen(c.header)));
        ASSERT_NE(nullptr, stored);
        EXPECT_EQ(std::wstring(expected.begin(), expected.end()), stored->ToText());
        EXPECT_EQ(0u, got.Count("Bcc"));
        EXPECT_EQ(9u, XHeaders(got).size());
    }
}

// MAPI's times carry fractions of a second: one in a day's last half second is written as the
// next day's midnight, with that day's name, in the header and in the forward's own Date.
TEST_F(Forwarding, ASubmitTimeInItsDaysLastHalfSecondIsTheNextDay) {
    mailbox->SetClock([] { return Date(2100, 2, 28, 23, 59, 59) + 0.6 / 86400; });
    Start();
    MailFields received = Received();
    received.submitTime = Date(1999, 12, 31, 23, 59, 59) + 0.5 / 86400;
    MailFields sent = Received();
    sent.submitTime = 0;  // the clock's
    ASSERT_TRUE(Log(mailbox->AddReceivedMail(received)));
    ASSERT_TRUE(Log(mailbox->AddSentMail(sent)));
    ASSERT_EQ(2u, agent->Count());
    EXPECT_EQ("Sat, 1 Jan 2000 00:00:00 +0000", agent->Read(0).Header("X-Quorvanes-OriginalDateSent"));
    EXPECT_EQ("Mon, 1 Mar 2100 00:00:00 +0000", agent->Read(1).Header("X-Quorvanes-OriginalDateSent"));
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ("Mon, 1 Mar 2100 00:00:00 +0000", agent->Read(i).Header("Date"));
}

// Text the ANSI code page cannot hold, a very long subject, an empty or HTML-only body: the
// message is logged whole, nothing cut or lost on the way.
TEST_F(Forwarding, UnusualMessagesAreLoggedWhole) {
    Start();
    const std::wstring longSubject(10000, L'x');
    struct Case {
        const char* name;
        std::function<void(MailFields&)> change;
    };
    const Case cases[] = {
        {"non-ANSI subject", [](MailFields& m) { m.subject = L"\u041F\u0440\u0438\u0432\u0435\u0442 \u4F60\u597D"; }},
        {"long subject", [&](MailFields& m) { m.subject = longSubject; }},
        {"empty body", [](MailFields& m) { m.body.clear(); }},
        {"HTML only", [](MailFields& m) {
             m.body.clear();
             m.htmlBody = L"<html><body><p>Only HTML</p></body></html>";
         }},
    };
    size_t delivered = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MailFields mail = Received();
        c.change(mail);
        ASSERT_TRUE(Log(mailbox->AddReceivedMail(mail)));
        ASSERT_EQ(++delivered, agent->Count());
        const ReceivedMail got = agent->Read(delivered - 1);
        EXPECT_EQ(mail.subject, got.Text("Subject"));
        if (!mail.htmlBody.empty()) {
            EXPECT_NE(std::string::npos, got.Part("text/html").find("Only HTML"));
        }
        EXPECT_EQ("4321", got.Header("X-Quorvanes-LogonID"));
    }
}

// Long values reach the service folded within RFC 5322's 998 characters a line and read back
// whole: at blanks where a value has them, as encoded words where it has none. A line break of
// any kind in a value the add-in writes is one space.
TEST_F(Forwarding, LongValuesAreFoldedWithinTheLineLimitAndReadBackWhole) {
    Start();
    std::wstring words;
    for (int i = 0; words.size() < 20000; ++i) words += L"word" + std::to_wstring(i) + (i % 7 ? L" " : L"  ");
    std::vector<sim::MailAddress> many;
    for (int i = 0; i < 400; ++i)
        many.push_back({L"Recipient " + std::to_wstring(i), L"r" + std::to_wstring(i) + L"@x.example"});
    const struct {
        const char* name;
        std::wstring subject, senderName;
        std::vector<sim::MailAddress> to;
        std::wstring shownSender;  // the header's text, as the add-in means it; "": the name as it is
    } cases[] = {
        {"blanks", words, L"Dana " + std::wstring(1500, L'd'), many, L""},
        {"none", std::wstring(20000, L'x'), std::wstring(3000, L'n'), many, L""},
        {"line breaks", L"Quote", L"Dana\vBuyer\x0c\u2028Bcc: evil@example.test\x85\x1e\u2029x",
         {{L"Mailbox Owner", L"owner@example.com"}}, L"Dana Buyer Bcc: evil@example.test x <dana@customer.example>"},
    };
    size_t delivered = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MailFields mail = Received();
        mail.subject = c.subject;
        mail.sender.name = c.senderName;
        mail.to = c.to;
        ASSERT_TRUE(Log(mailbox->AddReceivedMail(mail)));
        ASSERT_EQ(++delivered, agent->Count());
        const ReceivedMail got = agent->Read(delivered - 1);
        for (size_t at = 0, end; at < got.raw.size(); at = end + 2) {
            end = std::min(got.raw.find("\r\n", at), got.raw.size());
            ASSERT_LE(end - at, 998u) << got.raw.substr(at, 60);
        }
        std::wstring to;
        for (const auto& r : c.to) to += (to.empty() ? L"" : L"; ") + r.name;
        EXPECT_EQ(c.subject, got.Text("Subject"));
        EXPECT_EQ(c.shownSender.empty() ? c.senderName + L" <dana@customer.example>" : c.shownSender,
                  got.Text("X-Quorvanes-OriginalSender"));
        EXPECT_EQ(to, got.Text("X-Quorvanes-OriginalTo"));
        EXPECT_EQ(9u, XHeaders(got).size());
        EXPECT_EQ(0u, got.Count("Bcc"));
    }
}

// MAPI keeps an 8-bit string in the ANSI code page: a sender, To or Cc name in another script
// would reach the service as "?". Such a header goes as a Unicode string and arrives whole; text
// the code page holds goes as the 8-bit string it always was. A store that refuses the Unicode
// string still gets the header, as the code page keeps it.
TEST_F(Forwarding, NamesTheAnsiCodePageLacksReachTheServiceWhole) {
    Start();
    const std::wstring greek = L"\u0394\u03B1\u03BD\u03AC\u03B7 \u03A0\u03B1\u03C0\u03AC";
    const std::wstring chinese = L"\u738B\u5C0F\u660E";
    std::string ansi;
    ASSERT_FALSE(ToAnsiExact(greek, ansi) || ToAnsiExact(chinese, ansi)) << "the ANSI code page is " << GetACP();
    const std::wstring plain = L"Ren\u00E9e Dupont";  // within the code page
    const struct {
        const char* header;
        std::wstring expected;
        ULONG type;
    } headers[] = {
        {"X-Quorvanes-OriginalSender", greek + L" <dana@customer.example>", PT_UNICODE},
        {"X-Quorvanes-OriginalTo", chinese, PT_UNICODE},
        {"X-Quorvanes-OriginalCC", plain + L"; office@partner.example", PT_STRING8},
        {"X-Quorvanes-OriginalMessageID", L"<abc.123@customer.example>", PT_STRING8},
    };
    MailFields mail = Received();
    mail.sender.name = greek;
    mail.to = {{chinese, L"owner@example.com"}};
    mail.cc = {{plain, L"pat@partner.example"}, {L"", L"office@partner.example"}};
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "Unicode refused" : "Unicode taken");
        if (refused) {
            // The header's mapped id, from the forward logged before.
            ULONG id = 0;
            const sim::StoredItem before = mailbox->Items(sim::kSentMail).back();
            for (const auto& n : before.named)
                if (n.name == L"X-Quorvanes-OriginalSender") id = PROP_ID(n.tag);
            ASSERT_NE(0u, id);
            mailbox->FailPropertyWrite(PROP_TAG(PT_UNICODE, id), MAPI_E_INVALID_TYPE);
        }
        ASSERT_TRUE(Log(mailbox->AddReceivedMail(mail)));
        const ReceivedMail got = agent->Read(agent->Count() - 1);
        const sim::StoredItem sent = mailbox->Items(sim::kSentMail).back();
        for (const auto& h : headers) {
            SCOPED_TRACE(h.header);
            const bool lossy = refused && h.header == std::string("X-Quorvanes-OriginalSender");
            EXPECT_EQ(lossy ? FromAnsi(ToAnsi(h.expected)) : h.expected, got.Text(h.header));
            const std::wstring name(h.header, h.header + strlen(h.header));
            ULONG type = 0;
            for (const auto& n : sent.named)
                if (n.name == name) type = PROP_TYPE(n.tag);
            EXPECT_EQ(lossy ? PT_STRING8 : h.type, type);
        }
        EXPECT_EQ(9u, XHeaders(got).size());
    }
}

// A forward the service could not attribute is not sent, and the caller hears it failed;
// a send that fails is reported the same way. Nothing is left held either way.
TEST_F(Forwarding, AForwardThatCannotReachTheServiceAsTheUsersIsReportedAsFailed) {
    struct Case {
        const char* name;
        std::function<void()> fault;
        const char* traced;
    };
    const Case cases[] = {
        {"no agent recipient", [] { LoggingAddress.clear(); }, "No address was given."},
        {"LogonID header", [&] {
             mailbox->FailNameMapping(kInternetHeaders, L"X-Quorvanes-LogonID", static_cast<HRESULT>(0x80040102));
         }, "The header X-Quorvanes-LogonID could not be written"},
        {"CompanyID header", [&] {
             mailbox->FailNameMapping(kInternetHeaders, L"X-Quorvanes-CompanyID", static_cast<HRESULT>(0x80040102));
         }, "The header X-Quorvanes-CompanyID could not be written"},
    };
    size_t failures = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        c.fault();
        EXPECT_FALSE(Log(mailbox->AddReceivedMail(Received())));
        EXPECT_EQ(0u, agent->Count());
        EXPECT_EQ(++failures, Lines("CRMAddIn::ForwardToEmailAgent:error forwarding 'Quote for 40 units': "));
        EXPECT_EQ(1u, Lines(c.traced));
    }
}

// A send that fails is reported through either path, and nothing arrives.
TEST_F(Forwarding, AFailedSendIsReportedThroughEitherPath) {
    size_t failures = 0;
    for (const wchar_t* version : {L"11.0.8312", L"12.0.6423.1000"}) {
        SCOPED_TRACE(testing::Message() << (version[1] == L'1' ? "2003" : "2007"));
        Fresh(version);
        mailbox->FailSubmit(static_cast<HRESULT>(0x80040605));
        EXPECT_FALSE(Log(mailbox->AddReceivedMail(Received())));
        EXPECT_EQ(0u, agent->Count());
        EXPECT_EQ(++failures, Lines("CRMAddIn::ForwardToEmailAgent:error forwarding 'Quote for 40 units': -2147219963 "));
    }
}

// A forward that Outlook could not make stops the log at once, through either path: nothing
// is written onto the source message, which stays as it was received.
TEST_F(Forwarding, WithoutAForwardTheSourceMessageIsLeftUntouched) {
    size_t failures = 0;
    for (const wchar_t* version : {L"11.0.8312", L"12.0.6423.1000"}) {
        SCOPED_TRACE(testing::Message() << (version[1] == L'1' ? "2003" : "2007"));
        Fresh(version);
        const std::wstring id = mailbox->AddReceivedMail(Received());
        const sim::StoredItem before = mailbox->Item(id);
        outlook->FailMember(L"MailItem", L"Forward", E_FAIL, L"No forward today.");
        EXPECT_FALSE(Log(id));
        EXPECT_EQ(0u, agent->Count());
        const sim::StoredItem after = mailbox->Item(id);
        EXPECT_EQ(before.recipients.size(), after.recipients.size());
        EXPECT_EQ(before.named.size(), after.named.size());
        EXPECT_EQ(nullptr, after.FindNamed(kInternetHeaders, L"X-Quorvanes-LogonID"));
        EXPECT_EQ(++failures, Lines("CRMAddIn::ForwardToEmailAgent:error forwarding 'Quote for 40 units': -2147467259 No forward today."));
        EXPECT_EQ(0u, Lines("logging existing received message"));
    }
}

// Sent through the helper, the forward waits in the Outbox: a flush that fails does not make
// it a failed log (a retry would send a second copy); it is traced, and Outlook sends it later.
TEST_F(Forwarding, AFailedFlushAfterTheSendStillCountsAsLogged) {
    Start();
    outlook->FailMember(L"Session", L"Store.FlushOutbox", E_FAIL, L"Offline");
    EXPECT_TRUE(Log(mailbox->AddReceivedMail(Received())));
    EXPECT_EQ(1u, agent->Count());  // Outlook's own send/receive took it
    EXPECT_EQ(1u, Lines("CRMAddIn::ForwardToEmailAgent:error delivering 'Quote for 40 units': "));
    EXPECT_EQ(0u, Lines("error forwarding"));
}

}  // namespace
}  // namespace vantrell::test
