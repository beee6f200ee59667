// Mail in the simulated Outlook, as the add-in meets it through the object model by name: mail
// items and their recipients, Forward, Send through the Outbox to Sent Items and to the agent's
// mailbox (what the service receives, as RFC 822 files), GetItemFromID, item windows and their
// events, the other item classes, and the references left behind.
#include <gtest/gtest.h>

#include <mapidefs.h>
#include <mapicode.h>
#include <olectl.h>

#include <algorithm>

#include "agent_mailbox.h"
#include "platform/events.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "sim/outlook/outlook.h"
#include "tests/sim/raw_invoke.h"
#include "sim_store.h"

namespace vantrell::sim {
namespace {

using com::LateBound;
using com::Ptr;
using com::Variant;
using test::Invoke;
using test::kGet;
using test::kMethod;
using Log = std::vector<std::wstring>;

constexpr WORD kPut = DISPATCH_PROPERTYPUT;
// Published MAPI tags, as the add-in names them.
constexpr ULONG kMessageId = 0x1035001E;
constexpr ULONG kSubmitTime = 0x00390040;
constexpr ULONG kTransportHeaders = 0x007D001E;
constexpr ULONG kMessageToMe = 0x0057000B;
const GUID kInternetHeaders = {0x00020386, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kPublicStrings = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kItemEvents = {0x0006303A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kItemEvents10 = {0x0006302B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kInspectorsEvents = {0x00063079, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const wchar_t kAgent[] = L"log@agent.example.org";

DATE Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME t{year, month, 0, day, hour, minute, second, 0};
    DATE date = 0;
    SystemTimeToVariantTime(&t, &date);
    return date;
}

std::string Utf8(const std::wstring& text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                         bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

LateBound Application(Outlook& outlook) { return LateBound(Ptr<IDispatch>(outlook.Application())); }
LateBound Session(Outlook& outlook) { return LateBound(Application(outlook).Get(L"Session")); }
LateBound ItemOf(Outlook& outlook, const std::wstring& entryId) {
    return LateBound(Session(outlook).Call(L"GetItemFromID", {entryId}));
}
LateBound NewMail(Outlook& outlook) { return LateBound(Application(outlook).Call(L"CreateItem", {0})); }

MailFields Received() {
    MailFields fields;
    fields.subject = L"Quarterly figures";
    fields.sender = {L"Carla Diaz", L"carla@partner.example.com"};
    fields.to = {{L"Mailbox Owner", L"owner@example.com"}, {L"", L"bob@example.net"}};
    fields.cc = {{L"Dana Kim", L"dana@example.net"}};
    fields.bcc = {{L"Hidden Person", L"hidden@example.net"}};
    fields.body = L"The figures are attached.";
    fields.htmlBody = L"<p>The figures are attached.</p>";
    fields.messageId = L"<figures.42@partner.example.com>";
    fields.submitTime = Utc(2010, 1, 5, 14, 3, 9);
    return fields;
}

// A mailbox whose mail for the agent lands in a fresh folder, sent on a fixed clock.
struct MailWorld {
    MailWorld() : agent(std::make_shared<AgentMailbox>(std::vector<std::wstring>{kAgent})) {
        outlook.UserMailbox()->ConnectAgent(agent);
        outlook.UserMailbox()->SetClock([] { return Utc(2011, 2, 28, 23, 59, 58); });
        outlook.StartUp(Start::WithExplorer);
    }
    Outlook outlook{L"11.0.8312"};
    std::shared_ptr<AgentMailbox> agent;
};

// A new message addressed through the object model, subject and body set.
LateBound Compose(Outlook& outlook, const std::wstring& subject,
                  const std::vector<std::pair<std::wstring, long>>& recipients) {
    LateBound mail = NewMail(outlook);
    mail.Put(L"Subject", Variant(subject));
    mail.Put(L"Body", Variant(L"Hello.\nSecond line."));
    LateBound list(mail.Get(L"Recipients"));
    for (const auto& [name, type] : recipients) LateBound(list.Call(L"Add", {name})).Put(L"Type", Variant(type));
    return mail;
}

// ---- members ----

TEST(SimMail, MembersAnswerByNameAsStrictlyAsOutlooksTypeLibrary) {
    Outlook outlook;
    const std::wstring id = outlook.UserMailbox()->AddReceivedMail(Received());
    LateBound item = ItemOf(outlook, id);
    ASSERT_TRUE(item);
    LateBound recipients(item.Get(L"Recipients"));
    LateBound recipient(recipients.Call(L"Item", {1}));
    LateBound session = Session(outlook);
    struct Case {
        IDispatch* object;
        const wchar_t* member;
        WORD flags;
        std::vector<Variant> args;
        HRESULT hr;
        HRESULT scode;
    };
    const Case cases[] = {
        {item.Get(), L"Subject", kGet, {}, S_OK, S_OK},
        {item.Get(), L"subject", kPut, {L"Renamed"}, S_OK, S_OK},
        {item.Get(), L"To", kPut, {L"someone@example.com"}, DISP_E_MEMBERNOTFOUND, S_OK},
        {item.Get(), L"CC", kPut, {L"someone@example.com"}, DISP_E_MEMBERNOTFOUND, S_OK},
        {item.Get(), L"Sent", kPut, {Variant::Boolean(false)}, DISP_E_MEMBERNOTFOUND, S_OK},
        {item.Get(), L"EntryID", kPut, {L"00"}, DISP_E_MEMBERNOTFOUND, S_OK},
        {item.Get(), L"Send", kGet, {}, DISP_E_MEMBERNOTFOUND, S_OK},
        {item.Get(), L"Forward", kMethod, {1}, DISP_E_BADPARAMCOUNT, S_OK},
        {item.Get(), L"Recipients", kMethod, {}, DISP_E_MEMBERNOTFOUND, S_OK},
        {item.Get(), L"Send", kMethod, {}, DISP_E_EXCEPTION, MAPI_E_SUBMITTED},  // received mail
        {item.Get(), L"Reply", kMethod, {}, DISP_E_UNKNOWNNAME, S_OK},
        {recipients.Get(), L"Add", kMethod, {}, DISP_E_BADPARAMCOUNT, S_OK},
        {recipients.Get(), L"Item", kMethod, {0}, DISP_E_EXCEPTION, DISP_E_BADINDEX},
        {recipients.Get(), L"Item", kMethod, {5}, DISP_E_EXCEPTION, DISP_E_BADINDEX},
        {recipients.Get(), L"Item", kMethod, {4}, S_OK, S_OK},
        {recipients.Get(), L"Item", kMethod, {L"nobody"}, DISP_E_EXCEPTION, MAPI_E_NOT_FOUND},
        {recipient.Get(), L"Type", kPut, {L"not a number"}, DISP_E_TYPEMISMATCH, S_OK},
        {recipient.Get(), L"Type", kPut, {0}, DISP_E_EXCEPTION, E_INVALIDARG},
        {recipient.Get(), L"Type", kPut, {4}, DISP_E_EXCEPTION, E_INVALIDARG},
        {recipient.Get(), L"Type", kPut, {L"3"}, S_OK, S_OK},
        {recipient.Get(), L"Address", kPut, {L"x@example.com"}, DISP_E_MEMBERNOTFOUND, S_OK},
        {session.Get(), L"GetItemFromID", kMethod, {}, DISP_E_BADPARAMCOUNT, S_OK},
        {session.Get(), L"GetItemFromID", kMethod, {id}, S_OK, S_OK},
        {session.Get(), L"GetItemFromID", kMethod, {id, Variant::Missing()}, S_OK, S_OK},
        {session.Get(), L"GetItemFromID", kMethod, {id, L"", L""}, DISP_E_BADPARAMCOUNT, S_OK},
        {session.Get(), L"GetItemFromID", kGet, {id}, DISP_E_MEMBERNOTFOUND, S_OK},
    };
    for (const Case& c : cases) {
        test::Raw raw = Invoke(c.object, c.member, c.flags, c.args);
        EXPECT_EQ(c.hr, raw.hr) << c.member;
        EXPECT_EQ(c.scode, raw.scode) << c.member;
    }
    EXPECT_EQ(L"Renamed", item.Get(L"Subject").ToText());
    EXPECT_EQ(kBcc, recipient.Get(L"Type").ToLong());
    EXPECT_EQ(L"Carla Diaz", item.Get(L"SenderName").ToText());
}

TEST(SimMail, ReceivedAndSentMailCarryWhatARealStoreGivesThem) {
    Outlook outlook;
    Mailbox& mailbox = *outlook.UserMailbox();
    MailFields sentFields = Received();
    sentFields.sender = {};
    sentFields.without = {kMessageId};
    const std::wstring received = mailbox.AddReceivedMail(Received());
    const std::wstring sent = mailbox.AddSentMail(sentFields);
    MailFields notToMe = Received();
    notToMe.to = {{L"", L"bob@example.net"}};
    const std::wstring other = mailbox.AddReceivedMail(notToMe);
    EXPECT_EQ(2u, mailbox.Items(kInbox).size());
    EXPECT_EQ(1u, mailbox.Items(kSentMail).size());

    struct Case {
        std::wstring id;
        const wchar_t* sender;
        bool transportHeaders;
        const Variant* toMe;
        bool messageId;
        size_t recipients;
    };
    const Variant yes = Variant::Boolean(true), no = Variant::Boolean(false);
    for (const Case& c : {Case{received, L"Carla Diaz", true, &yes, true, 4}, Case{sent, L"Mailbox Owner", false, nullptr, false, 4},
                          Case{other, L"Carla Diaz", true, &no, true, 3}}) {
        LateBound item = ItemOf(outlook, c.id);
        ASSERT_TRUE(item);
        EXPECT_EQ(43, item.Get(L"Class").ToLong());
        EXPECT_EQ(L"IPM.Note", item.Get(L"MessageClass").ToText());
        EXPECT_EQ(c.id, item.Get(L"EntryID").ToText());
        EXPECT_TRUE(item.Get(L"Sent").ToBool());
        EXPECT_EQ(L"Quarterly figures", item.Get(L"Subject").ToText());
        EXPECT_EQ(L"The figures are attached.", item.Get(L"Body").ToText());
        EXPECT_EQ(L"<p>The figures are attached.</p>", item.Get(L"HTMLBody").ToText());
        EXPECT_EQ(c.sender, item.Get(L"SenderName").ToText());
        EXPECT_EQ(L"Dana Kim", item.Get(L"CC").ToText());
        EXPECT_EQ(L"Hidden Person", item.Get(L"BCC").ToText());
        LateBound recipients(item.Get(L"Recipients"));
        LateBound last(recipients.Call(L"Item", {recipients.Get(L"Count").ToLong()}));
        EXPECT_EQ(L"hidden@example.net", last.Get(L"Address").ToText());
        EXPECT_EQ(kBcc, last.Get(L"Type").ToLong());
        EXPECT_TRUE(last.Get(L"Resolved").ToBool());

        const StoredItem stored = mailbox.Item(c.id);
        ASSERT_NE(nullptr, stored.Find(kSubmitTime));
        EXPECT_EQ(VT_DATE, stored.Find(kSubmitTime)->Type());
        EXPECT_EQ(Utc(2010, 1, 5, 14, 3, 9), V_DATE(stored.Find(kSubmitTime)->Get()));
        EXPECT_EQ(c.transportHeaders, stored.Find(kTransportHeaders) != nullptr);
        EXPECT_EQ(c.messageId, stored.Find(kMessageId) != nullptr);
        ASSERT_EQ(c.toMe != nullptr, stored.Find(kMessageToMe) != nullptr);
        if (c.toMe) {
            EXPECT_EQ(c.toMe->ToBool(), stored.Find(kMessageToMe)->ToBool());
        }
        EXPECT_EQ(c.recipients, stored.recipients.size());
    }
    EXPECT_EQ(L"Mailbox Owner; bob@example.net", ItemOf(outlook, received).Get(L"To").ToText());
    const std::wstring headers = mailbox.Item(received).Find(kTransportHeaders)->ToText();
    EXPECT_NE(std::wstring::npos, headers.find(L"\r\nSubject: Quarterly figures\r\n"));
    EXPECT_NE(std::wstring::npos, headers.find(L"Message-ID: <figures.42@partner.example.com>\r\n"));
    EXPECT_EQ(std::wstring::npos, headers.find(L"hidden@example.net"));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST(SimMail, ForwardIsANewUnsentItemWithTheBodiesThatGetsItsEntryIdWhenSaved) {
    Outlook outlook;
    const std::wstring id = outlook.UserMailbox()->AddReceivedMail(Received());
    LateBound original = ItemOf(outlook, id);
    LateBound forward(original.Call(L"Forward"));
    ASSERT_TRUE(forward);
    EXPECT_EQ(L"FW: Quarterly figures", forward.Get(L"Subject").ToText());
    EXPECT_EQ(L"The figures are attached.", forward.Get(L"Body").ToText());
    EXPECT_EQ(L"<p>The figures are attached.</p>", forward.Get(L"HTMLBody").ToText());
    EXPECT_FALSE(forward.Get(L"Sent").ToBool());
    EXPECT_EQ(L"", forward.Get(L"To").ToText());
    EXPECT_EQ(0, LateBound(forward.Get(L"Recipients")).Get(L"Count").ToLong());
    EXPECT_EQ(L"", forward.Get(L"SenderName").ToText());
    EXPECT_EQ(L"", forward.Get(L"EntryID").ToText());
    EXPECT_TRUE(outlook.UserMailbox()->Items(kDrafts).empty());

    forward.Put(L"Subject", Variant(L"Quarterly figures"));
    forward.Call(L"Save");
    const std::wstring saved = forward.Get(L"EntryID").ToText();
    EXPECT_FALSE(saved.empty());
    EXPECT_NE(id, saved);
    ASSERT_EQ(1u, outlook.UserMailbox()->Items(kDrafts).size());
    EXPECT_EQ(saved, outlook.UserMailbox()->Items(kDrafts)[0].entryId);
    EXPECT_EQ(L"Quarterly figures", outlook.UserMailbox()->Items(kDrafts)[0].subject);
    EXPECT_EQ(L"Quarterly figures", original.Get(L"Subject").ToText());
    EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;
    original.Reset();
    forward.Reset();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST(SimMail, GetItemFromIdFindsWhatIsStoredAndFailsAsOutlookForAnythingElse) {
    MailWorld world;
    Mailbox& mailbox = *world.outlook.UserMailbox();
    const std::wstring inbox = mailbox.AddReceivedMail(Received());
    const std::wstring hidden = mailbox.AddHiddenItem(L"IPM.Note", L"Vantrell Config");
    LateBound sent = Compose(world.outlook, L"Gone", {{L"a@example.com", kTo}});
    sent.Call(L"Save");
    const std::wstring moved = sent.Get(L"EntryID").ToText();
    sent.Call(L"Send");
    std::wstring lower = inbox;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
    struct Case {
        std::vector<Variant> args;
        long objectClass;  // 0: not found
    };
    const Case cases[] = {
        {{inbox}, 43},
        {{lower}, 43},
        {{inbox, mailbox.StoreId()}, 43},
        {{inbox, Variant::Missing()}, 43},
        {{inbox, L"0000000038A1BB10"}, 0},
        {{hidden}, 113},
        {{moved}, 0},
        {{L"00000000DEADBEEF"}, 0},
        {{L""}, 0},
    };
    LateBound session = Session(world.outlook);
    for (const Case& c : cases) {
        test::Raw raw = Invoke(session.Get(), L"GetItemFromID", kMethod, c.args);
        if (c.objectClass) {
            ASSERT_EQ(S_OK, raw.hr) << c.args[0].ToText();
            EXPECT_EQ(c.objectClass, LateBound(raw.result).Get(L"Class").ToLong());
        } else {
            EXPECT_EQ(DISP_E_EXCEPTION, raw.hr) << c.args[0].ToText();
            EXPECT_EQ(MAPI_E_NOT_FOUND, raw.scode);
            EXPECT_FALSE(raw.description.empty());
        }
    }
}

TEST(SimMail, OtherItemClassesAnswerTheirClassAndKind) {
    Outlook outlook;
    struct Case {
        const wchar_t* messageClass;
        long objectClass;
        const wchar_t* kind;
    };
    const Case cases[] = {
        {L"IPM.Note", 43, L"MailItem"},          {L"IPM.Post", 45, L"PostItem"},
        {L"IPM.Appointment", 26, L"AppointmentItem"}, {L"IPM.Contact", 40, L"ContactItem"},
        {L"IPM.Task", 48, L"TaskItem"},          {L"IPM.Activity", 42, L"JournalItem"},
        {L"REPORT.IPM.Note.NDR", 46, L"ReportItem"}, {L"IPM.Schedule.Meeting.Request", 53, L"MeetingItem"},
        {L"IPM.Note.Custom", 43, L"MailItem"},
    };
    for (const Case& c : cases) {
        LateBound item = ItemOf(outlook, outlook.UserMailbox()->AddItem(c.messageClass, L"An item"));
        EXPECT_EQ(c.objectClass, item.Get(L"Class").ToLong()) << c.messageClass;
        EXPECT_EQ(L"An item", item.Get(L"Subject").ToText());
        const bool mail = c.objectClass == 43;
        EXPECT_EQ(mail ? S_OK : DISP_E_UNKNOWNNAME, Invoke(item.Get(), L"Recipients", kGet).hr) << c.messageClass;
        EXPECT_TRUE(item.Pointer().As<IConnectionPointContainer>()) << c.messageClass;
    }
    // A member set to fail fails on the items of that kind only.
    outlook.FailMember(L"PostItem", L"Subject", E_ACCESSDENIED, L"No access.");
    LateBound post = ItemOf(outlook, outlook.UserMailbox()->AddItem(L"IPM.Post", L"Post"));
    LateBound mail = ItemOf(outlook, outlook.UserMailbox()->AddItem(L"IPM.Note", L"Mail"));
    EXPECT_EQ(E_ACCESSDENIED, Invoke(post.Get(), L"Subject", kGet).scode);
    EXPECT_EQ(L"Mail", mail.Get(L"Subject").ToText());
}

TEST(SimMail, FailMemberReachesMailItemsRecipientsAndRecipient) {
    struct Case {
        const wchar_t* kind;
        const wchar_t* member;
    };
    for (const Case& c : {Case{L"MailItem", L"Send"}, Case{L"Recipients", L"Add"}, Case{L"Recipient", L"Resolve"}}) {
        Outlook outlook;
        outlook.FailMember(c.kind, c.member, MAPI_E_NO_ACCESS, L"Refused here.");
        LateBound mail = NewMail(outlook);
        LateBound recipients(mail.Get(L"Recipients"));
        test::Raw add = Invoke(recipients.Get(), L"Add", kMethod, {L"a@example.com"});
        test::Raw resolve = add.hr == S_OK ? Invoke(add.result.ToDispatch().Get(), L"Resolve", kMethod) : test::Raw{};
        test::Raw send = Invoke(mail.Get(), L"Send", kMethod);
        const test::Raw& failed = std::wstring(c.member) == L"Send" ? send : std::wstring(c.member) == L"Add" ? add : resolve;
        EXPECT_EQ(DISP_E_EXCEPTION, failed.hr) << c.kind;
        EXPECT_EQ(MAPI_E_NO_ACCESS, failed.scode) << c.kind;
        EXPECT_EQ(L"Refused here.", failed.description) << c.kind;
    }
}

// ---- sending ----

TEST(SimMail, SendNeedsAnUnsentItemWithRecipientsThatResolve) {
    MailWorld world;
    struct Case {
        std::vector<std::pair<std::wstring, long>> recipients;
        HRESULT scode;
        const wchar_t* description;
    };
    const Case cases[] = {
        {{}, E_FAIL, L"There must be at least one name or contact group in the To, Cc, or Bcc box."},
        {{{L"Alice Smith", kTo}}, E_FAIL, L"Outlook does not recognize one or more names. "},
        {{{L"ok@example.com", kTo}, {L"not an address", kCc}}, E_FAIL, L"Outlook does not recognize one or more names. "},
    };
    for (const Case& c : cases) {
        LateBound mail = Compose(world.outlook, L"Refused", c.recipients);
        test::Raw raw = Invoke(mail.Get(), L"Send", kMethod);
        EXPECT_EQ(DISP_E_EXCEPTION, raw.hr);
        EXPECT_EQ(c.scode, raw.scode);
        EXPECT_EQ(c.description, raw.description);
        EXPECT_EQ(L"Refused", mail.Get(L"Subject").ToText());  // still there, unsent
        EXPECT_FALSE(mail.Get(L"Sent").ToBool());
    }
    world.outlook.UserMailbox()->FailSubmit(MAPI_E_NETWORK_ERROR);
    EXPECT_EQ(MAPI_E_NETWORK_ERROR,
              Invoke(Compose(world.outlook, L"Offline", {{kAgent, kTo}}).Get(), L"Send", kMethod).scode);
    world.outlook.ProcessMessages();
    EXPECT_TRUE(world.outlook.UserMailbox()->Items(kOutbox).empty());
    EXPECT_TRUE(world.outlook.UserMailbox()->Items(kSentMail).empty());
    EXPECT_EQ(0u, world.agent->Count());
}

TEST(SimMail, SentMailWaitsInTheOutboxUntilSendReceiveThenReachesSentItemsAndTheAgent) {
    MailWorld world;
    Mailbox& mailbox = *world.outlook.UserMailbox();
    LateBound mail = Compose(world.outlook, L"Status report",
                             {{kAgent, kTo}, {L"Bob@Example.net", kCc}, {L"Secret@example.net", kBcc}});
    mail.Call(L"Send");
    EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;
    // The item has gone from the user's view.
    test::Raw gone = Invoke(mail.Get(), L"Subject", kGet);
    EXPECT_EQ(DISP_E_EXCEPTION, gone.hr);
    EXPECT_EQ(MAPI_E_OBJECT_DELETED, gone.scode);
    EXPECT_EQ(L"The item has been moved or deleted.", gone.description);
    ASSERT_EQ(1u, mailbox.Items(kOutbox).size());
    EXPECT_TRUE(mailbox.Items(kSentMail).empty());
    EXPECT_EQ(0u, world.agent->Count());

    world.outlook.ProcessMessages();  // Outlook's own send/receive runs from its message queue
    EXPECT_TRUE(mailbox.Items(kOutbox).empty());
    ASSERT_EQ(1u, mailbox.Items(kSentMail).size());
    const StoredItem sent = mailbox.Items(kSentMail)[0];
    EXPECT_EQ(L"Status report", sent.subject);
    EXPECT_EQ(Utc(2011, 2, 28, 23, 59, 58), V_DATE(sent.Find(kSubmitTime)->Get()));
    ASSERT_NE(nullptr, sent.Find(kMessageId));
    EXPECT_EQ(nullptr, sent.Find(kTransportHeaders));
    EXPECT_EQ(nullptr, sent.Find(kMessageToMe));
    EXPECT_TRUE(ItemOf(world.outlook, sent.entryId).Get(L"Sent").ToBool());
    EXPECT_EQ(L"Mailbox Owner", ItemOf(world.outlook, sent.entryId).Get(L"SenderName").ToText());

    ASSERT_EQ(1u, world.agent->Count());
    const ReceivedMail received = world.agent->Read(0);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"From", "Mailbox Owner <owner@example.com>"},
        {"To", "log@agent.example.org"},
        {"Cc", "Bob@Example.net"},
        {"Subject", "Status report"},
        {"Date", "Mon, 28 Feb 2011 23:59:58 +0000"},
        {"Message-ID", Utf8(sent.Find(kMessageId)->ToText())},
        {"MIME-Version", "1.0"},
        {"Content-Type", "text/plain; charset=utf-8"},
        {"Content-Transfer-Encoding", "8bit"},
    };
    EXPECT_EQ(expected, received.headers);
    EXPECT_EQ("Hello.\r\nSecond line.", received.body);  // CR LF line ends
    EXPECT_EQ(std::string::npos, received.raw.find("Secret@example.net"));  // a blind copy never shows

    // Mail that names none of the agent's addresses does not reach it.
    Compose(world.outlook, L"Private", {{L"bob@example.net", kTo}}).Call(L"Send");
    world.outlook.SendAndReceive();
    EXPECT_EQ(2u, mailbox.Items(kSentMail).size());
    EXPECT_EQ(1u, world.agent->Count());
    mail.Reset();
    EXPECT_EQ(0, world.outlook.ReferencesHeldOutside());
}

TEST(SimMail, ABlindCopyToTheAgentIsDeliveredButNotShown) {
    MailWorld world;
    LateBound mail = Compose(world.outlook, L"Deal closed", {{L"client@example.com", kTo}});
    LateBound recipients(mail.Get(L"Recipients"));
    LateBound agent(recipients.Call(L"Add", {kAgent}));
    EXPECT_FALSE(agent.Get(L"Resolved").ToBool());
    agent.Put(L"Type", Variant(kBcc));
    EXPECT_TRUE(agent.Call(L"Resolve").ToBool());
    EXPECT_EQ(kAgent, agent.Get(L"Address").ToText());
    EXPECT_EQ(L"client@example.com", mail.Get(L"To").ToText());
    EXPECT_EQ(L"", mail.Get(L"CC").ToText());
    EXPECT_EQ(kAgent, mail.Get(L"BCC").ToText());
    mail.Call(L"Send");
    world.outlook.ShutDown();  // a queued send/receive runs before Outlook goes
    ASSERT_EQ(1u, world.agent->Count());
    const ReceivedMail received = world.agent->Read(0);
    EXPECT_EQ("client@example.com", received.Header("To"));
    EXPECT_EQ(0u, received.Count("Cc"));
    EXPECT_EQ(0u, received.Count("Bcc"));
    EXPECT_EQ(std::string::npos, received.raw.find("log@agent"));
}

TEST(SimMail, InternetHeaderPropertiesBecomeHeadersInTheOrderFirstSetOnOneLineEach) {
    MailWorld world;
    LateBound mail = Compose(world.outlook, L"Headers", {{kAgent, kTo}});
    Ptr<ISimStoreItem> item = mail.Pointer().As<ISimStoreItem>();
    ASSERT_TRUE(item);
    auto set = [&](const GUID& propertySet, const wchar_t* name, ULONG type, const Variant& value) {
        ULONG id = 0;
        ASSERT_EQ(S_OK, item->GetIDFromName(propertySet, name, TRUE, &id));
        ASSERT_EQ(S_OK, item->SetProperty(id << 16 | type, value.Get()));
    };
    set(kInternetHeaders, L"X-Second-Mapped", PT_STRING8, L"first set");
    set(kInternetHeaders, L"X-First-Mapped", PT_STRING8, L"second set");
    set(kInternetHeaders, L"X-Second-Mapped", PT_STRING8, L"first set, written again");
    set(kInternetHeaders, L"X-Lines", PT_UNICODE, L"one\r\n\r\ntwo\nthree\rfour");
    set(kInternetHeaders, L"X-Number", PT_LONG, 42);             // not a string: no header
    set(kPublicStrings, L"X-Public", PT_STRING8, L"not a header");  // another property set
    set(kInternetHeaders, L"Not A Name", PT_STRING8, L"refused");  // blanks: no header name
    set(kInternetHeaders, L"Injected", PT_STRING8, L"x\r\nBcc: everyone@example.com");
    mail.Call(L"Send");
    world.outlook.SendAndReceive();
    ASSERT_EQ(1u, world.agent->Count());
    const ReceivedMail received = world.agent->Read(0);
    std::vector<std::pair<std::string, std::string>> custom;
    for (const auto& header : received.headers)
        if (header.first.rfind("X-", 0) == 0 || header.first == "Injected" || header.first == "Bcc") custom.push_back(header);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"X-Second-Mapped", "first set, written again"},
        {"X-First-Mapped", "second set"},
        {"X-Lines", "one two three four"},
        {"Injected", "x Bcc: everyone@example.com"},
    };
    EXPECT_EQ(expected, custom);
    EXPECT_EQ(std::string::npos, received.raw.find("not a header"));
    EXPECT_EQ(std::string::npos, received.raw.find("refused"));
}

// RFC 5322 allows 998 characters a line: every field is folded at blanks to stay within it, a
// piece between blanks that would not fit is sent as encoded words, and a name that alone
// does not fit is left out. The reader unfolds each back to what was written.
TEST(SimMail, EveryFieldIsFoldedWithinTheLineLimitAndReadsBackWhole) {
    MailWorld world;
    const std::wstring longName(1200, L'n');
    world.outlook.UserMailbox()->SetOwner({longName, L"long@example.com"});
    LateBound mail = Compose(world.outlook, L"Folded", {{kAgent, kTo}});
    Ptr<ISimStoreItem> item = mail.Pointer().As<ISimStoreItem>();
    ASSERT_TRUE(item);
    const struct {
        std::wstring name, value;
        bool plain;  // as it is, folded at blanks only
    } rows[] = {
        {L"X-Fits", std::wstring(997, L'w'), true},  // " " and 997: one line of 998
        {L"X-Too-Long", std::wstring(998, L'w'), false},
        {L"X-Words", L"a " + std::wstring(996, L'w') + L" b  c", true},
        {std::wstring(997, L'N'), L"name at the edge", true},
        {std::wstring(998, L'O'), L"never sent", true},
    };
    for (const auto& row : rows) {
        ULONG id = 0;
        ASSERT_EQ(S_OK, item->GetIDFromName(kInternetHeaders, row.name.c_str(), TRUE, &id));
        ASSERT_EQ(S_OK, item->SetProperty(id << 16 | PT_UNICODE, Variant(row.value).Get()));
    }
    mail.Call(L"Send");
    world.outlook.SendAndReceive();
    ASSERT_EQ(1u, world.agent->Count());
    const ReceivedMail received = world.agent->Read(0);
    for (size_t at = 0, end; at < received.raw.size(); at = end + 2) {
        end = std::min(received.raw.find("\r\n", at), received.raw.size());
        ASSERT_LE(end - at, 998u) << received.raw.substr(at, 60);
        if (end > at) {
            EXPECT_NE(std::string::npos, received.raw.substr(at, end - at).find_first_not_of(" \t"));  // no blank line
        }
    }
    for (const auto& row : rows) {
        const std::string name = Utf8(row.name);
        if (row.name.size() == 998) {
            EXPECT_EQ(0u, received.Count(name));
            continue;
        }
        EXPECT_EQ(row.value, received.Text(name)) << name.substr(0, 10);
        EXPECT_EQ(row.plain, received.Header(name) == Utf8(row.value)) << name.substr(0, 10);
    }
    EXPECT_EQ(longName + L" <long@example.com>", received.Text("From"));
}

TEST(SimMail, NonAsciiTextTravelsAsEncodedWordsAndUtf8) {
    MailWorld world;
    const std::wstring subject = L"Gr\u00FC\u00DFe aus K\u00F6ln \u2013 \u65E5\u672C\u8A9E\u306E\u4EF6\u540D\u3082"
                                 L" \u3068\u3066\u3082\u9577\u3044\u3067\u3059";
    const std::wstring body = L"Sch\u00F6ne Gr\u00FC\u00DFe\n\u65E5\u672C";
    const std::wstring html = L"<p>Sch\u00F6ne Gr\u00FC\u00DFe</p>";
    world.outlook.UserMailbox()->SetOwner({L"J\u00FCrgen M\u00FCller", L"juergen@example.com"});
    LateBound mail = Compose(world.outlook, subject, {{kAgent, kTo}});
    mail.Put(L"Body", Variant(body));
    mail.Put(L"HTMLBody", Variant(html));
    mail.Call(L"Send");
    world.outlook.SendAndReceive();
    ASSERT_EQ(1u, world.agent->Count());
    const ReceivedMail received = world.agent->Read(0);
    for (unsigned char c : received.raw.substr(0, received.raw.find("\r\n\r\n"))) EXPECT_LT(c, 0x80);
    EXPECT_EQ(0u, received.Header("Subject").rfind("=?UTF-8?B?", 0));
    EXPECT_NE(std::string::npos, received.raw.find("?=\r\n =?UTF-8?B?"));  // folded between words
    EXPECT_EQ(subject, received.Text("Subject"));
    EXPECT_EQ(L"J\u00FCrgen M\u00FCller <juergen@example.com>", received.Text("From"));
    EXPECT_EQ(0u, received.Header("Content-Type").rfind("multipart/alternative; boundary=", 0));
    EXPECT_EQ(Utf8(L"Sch\u00F6ne Gr\u00FC\u00DFe\r\n\u65E5\u672C"), received.Part("text/plain"));
    EXPECT_EQ(Utf8(html), received.Part("text/html"));
}

// ---- windows and item events ----

// Follows new inspectors and the events of their items, cancelling Open or Close on request.
struct ItemWatcher {
    explicit ItemWatcher(const IID& itemEvents) : inspectors(kInspectorsEvents), item(itemEvents) {
        inspectors.On(0xF001, this, &ItemWatcher::OnNewInspector);
        item.On(0xF003, this, &ItemWatcher::OnOpen);
        item.On(0xF004, this, &ItemWatcher::OnClose);
    }
    void OnNewInspector(const com::EventArgs& args) {
        LateBound inspector(args.Object(0));
        heard.push_back(L"NewInspector " + LateBound(inspector.Get(L"CurrentItem")).Get(L"Subject").ToText());
        subscribed = item.Set(inspector.Get(L"CurrentItem").ToDispatch());
    }
    void OnOpen(const com::EventArgs& args) {
        heard.push_back(L"Open");
        args.SetBool(0, cancelOpen);
    }
    void OnClose(const com::EventArgs& args) {
        heard.push_back(L"Close");
        args.SetBool(0, cancelClose);
    }
    com::WithEvents inspectors, item;
    HRESULT subscribed = E_FAIL;
    bool cancelOpen = false, cancelClose = false;
    Log heard;
};

TEST(SimMail, OpeningAndClosingAnItemFiresItsEventsInOutlooksOrder) {
    for (const wchar_t* version : {L"9.0.0.2814", L"11.0.8312"}) {
        Outlook outlook(version);
        outlook.StartUp(Start::WithExplorer);
        const std::wstring id = outlook.UserMailbox()->AddReceivedMail(Received());
        const bool outlook2000 = version[0] == L'9';
        ItemWatcher watcher(outlook2000 ? kItemEvents : kItemEvents10);
        ASSERT_EQ(S_OK, watcher.inspectors.Set(Application(outlook).Get(L"Inspectors").ToDispatch()));
        const size_t before = outlook.Log().size();
        int window = outlook.OpenItem(id);
        EXPECT_EQ(S_OK, watcher.subscribed) << version;
        EXPECT_EQ(L"Quarterly figures - Message", LateBound(Ptr<IDispatch>(outlook.Inspector(window))).Get(L"Caption").ToText());
        EXPECT_EQ(id, LateBound(Ptr<IDispatch>(outlook.CurrentItem(window))).Get(L"EntryID").ToText());
        watcher.cancelClose = true;
        outlook.CloseInspector(window);  // cancelled: the window stays
        watcher.cancelClose = false;
        outlook.CloseInspector(window);
        EXPECT_EQ((Log{L"NewInspector Quarterly figures", L"Open", L"Close", L"Close"}), watcher.heard);
        EXPECT_EQ((Log{L"NewInspector", L"Item.Open", L"Inspector.Activate", L"Item.Close", L"Item.Close cancelled",
                       L"Item.Close", L"Inspector.Close"}),
                  Log(outlook.Log().begin() + static_cast<long>(before), outlook.Log().end()));
        Ptr<IConnectionPoint> point;
        Ptr<IConnectionPointContainer> itemPoints = watcher.item.Object().As<IConnectionPointContainer>();
        ASSERT_TRUE(itemPoints);
        EXPECT_EQ(outlook2000 ? CONNECT_E_NOCONNECTION : S_OK,
                  itemPoints->FindConnectionPoint(kItemEvents10, point.ReleaseAndGetAddressOf()));
        EXPECT_EQ(S_OK, itemPoints->FindConnectionPoint(kItemEvents, point.ReleaseAndGetAddressOf()));
        point.Reset();
        itemPoints.Reset();
        watcher.item.Reset();
        watcher.inspectors.Reset();
        EXPECT_EQ(0, outlook.ReferencesHeldOutside()) << version;
        EXPECT_THROW(outlook.OpenItem(L"00000000DEADBEEF"), std::out_of_range);
    }
}

TEST(SimMail, AnOpenThatAHandlerCancelsClosesTheWindowAgain) {
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    ItemWatcher watcher(kItemEvents10);
    ASSERT_EQ(S_OK, watcher.inspectors.Set(Application(outlook).Get(L"Inspectors").ToDispatch()));
    watcher.cancelOpen = true;
    const size_t before = outlook.Log().size();
    int window = outlook.OpenInspector();
    EXPECT_EQ((Log{L"NewInspector", L"Item.Open", L"Item.Open cancelled", L"Inspector.Close"}),
              Log(outlook.Log().begin() + static_cast<long>(before), outlook.Log().end()));
    EXPECT_THROW(outlook.Inspector(window), std::out_of_range);
    EXPECT_EQ(0, LateBound(Application(outlook).Get(L"Inspectors")).Get(L"Count").ToLong());
    // A compose window's item is a new unsent message.
    watcher.cancelOpen = false;
    window = outlook.OpenInspector();
    LateBound item(Ptr<IDispatch>(outlook.CurrentItem(window)));
    EXPECT_FALSE(item.Get(L"Sent").ToBool());
    EXPECT_EQ(L"", item.Get(L"EntryID").ToText());
    item.Reset();
    watcher.item.Reset();
    watcher.inspectors.Reset();
    outlook.ShutDown();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

}  // namespace
}  // namespace vantrell::sim
