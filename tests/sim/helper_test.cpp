// The stand-in helper component (OsbHelper.dll) driven late-bound by ProgID, exactly as the
// add-in drives it, against the simulated store: registration, the configuration message in
// the Inbox's hidden items across two Outlook sessions, named tags, failures, the utilities,
// the mail item on received, sent and composed mail (forwarded to the agent either way the
// add-in sends), and the references it leaves.
#include <gtest/gtest.h>

#include <algorithm>

#include <mapidefs.h>
#include <mapicode.h>

#include "agent_mailbox.h"
#include "platform/failure.h"
#include "platform/late_bound.h"
#include "sim/outlook/outlook.h"
#include "tests/sim/raw_invoke.h"
#include "tests/common/registered_helper.h"

namespace vantrell::sim {
namespace {

using com::LateBound;
using com::Ptr;
using com::Variant;
using test::Invoke;
using test::kMethod;

const wchar_t kPublicStrings[] = L"{00020329-0000-0000-C000-000000000046}";
const GUID kPublicStringsGuid = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const wchar_t kInternetHeaders[] = L"{00020386-0000-0000-C000-000000000046}";
const GUID kInternetHeadersGuid = {0x00020386, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// Published MAPI tags, as the add-in names them.
constexpr long kMessageIdTag = 0x1035001E;
constexpr long kSubmitTimeTag = 0x00390040;
constexpr long kTransportHeadersTag = 0x007D001E;
constexpr long kMessageToMeTag = 0x0057000B;
constexpr long kDisplayToTag = 0x0E04001E;
constexpr long kSenderNameTag = 0x0C1A001E;
const wchar_t kAgent[] = L"log@agent.example.org";

LateBound Inbox(Outlook& outlook) {
    LateBound session(LateBound(Ptr<IDispatch>(outlook.Application())).Get(L"Session"));
    return LateBound(session.Call(L"GetDefaultFolder", {6}));
}

// The Inbox's hidden items through the helper, as the add-in reaches them.
LateBound HiddenItems(Outlook& outlook) {
    LateBound folder = com::CreateObject(L"Ostrabin.OsbFolder");
    EXPECT_TRUE(folder);
    folder.Call(L"Attach", {Variant(Inbox(outlook).Get())});
    return LateBound(folder.Get(L"HiddenItems"));
}

class Helper : public testing::Test {
protected:
    test::RegisteredHelper helper;
};

TEST(HelperRegistration, RegistersItsClassesAndRemovesExactlyWhatItWrote) {
    const test::RegistryTree before = test::RegisteredHelper::Keys();
    {
        test::RegisteredHelper helper;
        const std::wstring clsid = L"Software\\Classes\\CLSID\\{23199A84-6F60-4E73-BFD4-403047C6E71B}";
        EXPECT_EQ(test::RegisteredHelper::DllPath(),
                  test::ReadText(HKEY_LOCAL_MACHINE, clsid + L"\\InprocServer32", nullptr).value_or(L""));
        EXPECT_EQ(L"Apartment",
                  test::ReadText(HKEY_LOCAL_MACHINE, clsid + L"\\InprocServer32", L"ThreadingModel").value_or(L""));
        EXPECT_EQ(clsid.substr(clsid.find(L'{')),
                  test::ReadText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Ostrabin.OsbFolder\\CLSID", nullptr).value_or(L""));
        const test::RegistryTree now = test::RegisteredHelper::Keys();
        for (const wchar_t* progId : {L"Ostrabin.OsbFolder", L"Ostrabin.OsbMailItem", L"Ostrabin.OsbUtils"}) {
            LateBound object = com::CreateObject(progId);
            EXPECT_TRUE(object) << progId;
        }
        EXPECT_GT(now.size(), before.size());
    }
    EXPECT_EQ(before, test::RegisteredHelper::Keys());
}

TEST(HelperRegistration, CreateObjectFailsWhileTheHelperIsNotInstalled) {
    FailureObserver observer;
    for (const wchar_t* progId : {L"Ostrabin.OsbFolder", L"Ostrabin.OsbMailItem", L"Ostrabin.OsbUtils"}) {
        EXPECT_FALSE(com::CreateObject(progId)) << progId;
        ASSERT_FALSE(observer.Seen().empty());
        EXPECT_EQ(static_cast<long>(CO_E_CLASSSTRING), observer.Seen().back().number);
    }
}

TEST_F(Helper, StoresTheConfigurationMessageForTheNextSession) {
    auto mailbox = std::make_shared<Mailbox>();
    long tag = 0;
    {
        Outlook outlook(L"11.0.8312", mailbox);
        outlook.StartUp(Start::WithExplorer);
        LateBound items = HiddenItems(outlook);
        ASSERT_TRUE(items);
        EXPECT_FALSE(items.Call(L"FindBySubject", {L"Vantrell Config"}).IsObject());
        LateBound config(items.Call(L"AddItem", {L"IPM.Note"}));
        ASSERT_TRUE(config);
        EXPECT_TRUE(config.Put(L"Subject", Variant(L"Vantrell Config")));
        tag = config.Call(L"NamedTag", {kPublicStrings, L"LogonID"}).ToLong() | PT_LONG;
        EXPECT_EQ(static_cast<long>(mailbox->NamedId(kPublicStringsGuid, L"LogonID") << 16 | PT_LONG), tag);
        EXPECT_EQ(tag, config.Call(L"NamedTag", {kPublicStrings, L"LogonID"}).ToLong() | PT_LONG);
        config.Call(L"SetProperty", {tag, 1234});
        EXPECT_TRUE(mailbox->HiddenItems().empty());  // not before Save
        config.Call(L"Save");
        EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;
        outlook.ShutDown();
    }
    ASSERT_EQ(1u, mailbox->HiddenItems().size());
    const StoredItem stored = mailbox->HiddenItems()[0];
    EXPECT_EQ(L"IPM.Note", stored.messageClass);
    EXPECT_EQ(L"Vantrell Config", stored.subject);
    ASSERT_NE(nullptr, stored.FindNamed(kPublicStringsGuid, L"LogonID"));
    EXPECT_EQ(1234, stored.FindNamed(kPublicStringsGuid, L"LogonID")->ToLong());
    EXPECT_TRUE(mailbox->Items().empty());

    Outlook second(L"11.0.8312", mailbox);
    second.StartUp(Start::WithExplorer);
    {
        LateBound found(HiddenItems(second).Call(L"FindBySubject", {L"vantrell config"}));
        ASSERT_TRUE(found);
        EXPECT_EQ(L"Vantrell Config", found.Get(L"subject").ToText());
        EXPECT_EQ(tag, found.Call(L"NamedTag", {kPublicStrings, L"LogonID"}).ToLong() | PT_LONG);
        Variant value = found.Call(L"GetProperty", {tag});
        EXPECT_EQ(VT_I4, value.Type());
        EXPECT_EQ(1234, value.ToLong());
        EXPECT_GT(second.ReferencesHeldOutside(), 0);
    }
    EXPECT_EQ(0, second.ReferencesHeldOutside());
}

TEST_F(Helper, FailuresAreAutomationExceptions) {
    Outlook outlook;
    outlook.UserMailbox()->AddHiddenItem(L"IPM.Note", L"Vantrell Config");
    LateBound folder = com::CreateObject(L"Ostrabin.OsbFolder");
    ASSERT_TRUE(folder);
    EXPECT_FALSE(folder.Get(L"HiddenItems").IsObject());  // Nothing before Attach
    test::Raw wrong = Invoke(folder.Get(), L"Attach", kMethod, {Variant(outlook.Application())});
    EXPECT_EQ(DISP_E_EXCEPTION, wrong.hr);
    EXPECT_EQ(E_INVALIDARG, wrong.scode);
    EXPECT_FALSE(wrong.description.empty());
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(folder.Get(), L"Attach", kMethod, {L"Inbox"}).hr);
    EXPECT_EQ(DISP_E_UNKNOWNNAME, Invoke(folder.Get(), L"NoSuchMember", kMethod).hr);

    EXPECT_EQ(S_OK, Invoke(folder.Get(), L"attach", kMethod, {Variant(Inbox(outlook).Get())}).hr);
    LateBound item(LateBound(folder.Get(L"HiddenItems")).Call(L"FindBySubject", {L"Vantrell Config"}));
    ASSERT_TRUE(item);
    const long tag = item.Call(L"NamedTag", {kPublicStrings, L"CompanyID"}).ToLong() | PT_LONG;
    test::Raw missing = Invoke(item.Get(), L"GetProperty", kMethod, {tag});
    EXPECT_EQ(DISP_E_EXCEPTION, missing.hr);
    EXPECT_EQ(MAPI_E_NOT_FOUND, missing.scode);
    EXPECT_EQ(E_INVALIDARG, Invoke(item.Get(), L"NamedTag", kMethod, {L"not a guid", L"LogonID"}).scode);
    EXPECT_EQ(MAPI_E_INVALID_TYPE, Invoke(item.Get(), L"SetProperty", kMethod, {tag & ~0xFFFF, 1}).scode);

    item.Call(L"SetProperty", {tag, 77});
    outlook.UserMailbox()->FailPropertyRead(static_cast<ULONG>(tag), MAPI_E_CORRUPT_DATA);
    EXPECT_EQ(MAPI_E_CORRUPT_DATA, Invoke(item.Get(), L"GetProperty", kMethod, {tag}).scode);
    outlook.UserMailbox()->FailPropertyWrite(static_cast<ULONG>(tag & ~0xFFFF), MAPI_E_NO_ACCESS);
    EXPECT_EQ(MAPI_E_NO_ACCESS, Invoke(item.Get(), L"SetProperty", kMethod, {tag, 78}).scode);
    outlook.UserMailbox()->FailNameMapping(kPublicStringsGuid, L"CompanyID", MAPI_E_NO_SUPPORT);
    test::Raw unmapped = Invoke(item.Get(), L"NamedTag", kMethod, {kPublicStrings, L"CompanyID"});
    EXPECT_EQ(DISP_E_EXCEPTION, unmapped.hr);
    EXPECT_EQ(MAPI_E_NO_SUPPORT, unmapped.scode);
    EXPECT_EQ(S_OK, Invoke(item.Get(), L"NamedTag", kMethod, {kPublicStrings, L"LogonID"}).hr);  // only that name
}

TEST_F(Helper, UnsavedWritesAreStoredWhenTheItemIsReleased) {
    Outlook outlook;
    Mailbox& mailbox = *outlook.UserMailbox();
    {
        LateBound item(HiddenItems(outlook).Call(L"AddItem", {L"IPM.Microsoft.Config"}));
        EXPECT_TRUE(item.Put(L"Subject", Variant(L"Written, never saved")));
        EXPECT_EQ(L"Written, never saved", item.Get(L"Subject").ToText());
        EXPECT_TRUE(mailbox.HiddenItems().empty());
    }
    ASSERT_EQ(1u, mailbox.HiddenItems().size());
    EXPECT_EQ(L"Written, never saved", mailbox.HiddenItems()[0].subject);
    EXPECT_EQ(L"IPM.Microsoft.Config", mailbox.HiddenItems()[0].messageClass);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(Helper, UtilsReachTheSessionOfTheRunningOutlook) {
    {
        // No Outlook runs: nothing to deliver through.
        LateBound utils = com::CreateObject(L"Ostrabin.OsbUtils");
        ASSERT_TRUE(utils);
        EXPECT_EQ(MAPI_E_NOT_INITIALIZED, Invoke(utils.Get(), L"DeliverNow", kMethod, {0, 0}).scode);
        EXPECT_EQ(S_OK, Invoke(utils.Get(), L"Cleanup", kMethod).hr);
    }
    Outlook outlook;
    outlook.StartUp(Start::WithExplorer);
    LateBound utils = com::CreateObject(L"Ostrabin.OsbUtils");
    ASSERT_TRUE(utils);
    EXPECT_EQ(1, outlook.ReferencesHeldOutside());  // its session
    utils.Call(L"DeliverNow", {0, 0});
    utils.Call(L"DeliverNow", {1, 4242});
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(utils.Get(), L"DeliverNow", kMethod, {0}).hr);
    utils.Call(L"Cleanup");
    EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;
    EXPECT_EQ((std::vector<std::wstring>{L"FlushOutbox 0 0", L"FlushOutbox 1 4242", L"Logoff"}),
              outlook.UserMailbox()->SessionCalls());
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

}  // namespace
}  // namespace vantrell::sim

// ---- the mail item ----

namespace vantrell::sim {
namespace {

DATE Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME t{year, month, 0, day, hour, minute, second, 0};
    DATE date = 0;
    SystemTimeToVariantTime(&t, &date);
    return date;
}

LateBound Session(Outlook& outlook) { return LateBound(LateBound(Ptr<IDispatch>(outlook.Application())).Get(L"Session")); }
LateBound ItemOf(Outlook& outlook, const std::wstring& entryId) {
    return LateBound(Session(outlook).Call(L"GetItemFromID", {entryId}));
}

MailFields Received() {
    MailFields fields;
    fields.subject = L"Quarterly figures";
    fields.sender = {L"Carla Diaz", L"carla@partner.example.com"};
    fields.to = {{L"Mailbox Owner", L"owner@example.com"}, {L"", L"bob@example.net"}};
    fields.cc = {{L"Dana Kim", L"dana@example.net"}, {L"Eve Li", L"eve@example.net"}};
    fields.body = L"The figures are attached.";
    fields.htmlBody = L"<p>The figures are attached.</p>";
    fields.messageId = L"<figures.42@partner.example.com>";
    fields.submitTime = Utc(2010, 1, 5, 14, 3, 9);
    return fields;
}

// The simulated Outlook with the helper installed and an agent mailbox for what is delivered.
class HelperMail : public Helper {
protected:
    void Start(const wchar_t* version) {
        outlook = std::make_unique<Outlook>(version);
        outlook->UserMailbox()->ConnectAgent(agent);
        outlook->StartUp(Start::WithExplorer);
    }
    std::shared_ptr<AgentMailbox> agent = std::make_shared<AgentMailbox>(std::vector<std::wstring>{kAgent});
    std::unique_ptr<Outlook> outlook;
};

TEST_F(HelperMail, ReadsReceivedAndSentMessagesAsTheStoreHoldsThem) {
    Start(L"11.0.8312");
    Mailbox& mailbox = *outlook->UserMailbox();
    MailFields sentFields = Received();
    sentFields.sender = {};
    sentFields.without = {static_cast<ULONG>(kMessageIdTag)};
    MailFields nameless = Received();
    nameless.without = {static_cast<ULONG>(kSenderNameTag)};
    struct Case {
        std::wstring id;
        const wchar_t* senderName;
        const wchar_t* senderAddress;
        bool incoming;
        const wchar_t* messageId;
    };
    const Case cases[] = {
        {mailbox.AddReceivedMail(Received()), L"Carla Diaz", L"carla@partner.example.com", true,
         L"<figures.42@partner.example.com>"},
        {mailbox.AddSentMail(sentFields), L"Mailbox Owner", L"owner@example.com", false, nullptr},
        {mailbox.AddReceivedMail(nameless), L"", L"carla@partner.example.com", true, L"<figures.42@partner.example.com>"},
    };
    LateBound mail = com::CreateObject(L"Ostrabin.OsbMailItem");
    ASSERT_TRUE(mail);
    for (const Case& c : cases) {
        mail.Call(L"Attach", {Variant(ItemOf(*outlook, c.id).Get())});  // the same helper item, attached again
        EXPECT_EQ(L"The figures are attached.", mail.Get(L"PlainBody").ToText());
        EXPECT_EQ(L"<p>The figures are attached.</p>", mail.Get(L"HtmlBody").ToText());
        EXPECT_EQ(c.senderName, mail.Get(L"SenderName").ToText());
        EXPECT_EQ(c.senderAddress, LateBound(mail.Get(L"SenderEntry")).Get(L"Address").ToText());
        EXPECT_EQ(L"Mailbox Owner; bob@example.net", mail.Get(L"ToText").ToText());
        EXPECT_EQ(L"Dana Kim; Eve Li", mail.Get(L"CcText").ToText());
        EXPECT_EQ(mail.Get(L"ToText").ToText(), mail.Call(L"GetProperty", {kDisplayToTag}).ToText());
        const Variant id = mail.Call(L"GetProperty", {kMessageIdTag});
        if (c.messageId) {
            EXPECT_EQ(c.messageId, id.ToText());
        } else {
            EXPECT_TRUE(id.IsEmpty());
        }
        const Variant submitted = mail.Call(L"GetProperty", {kSubmitTimeTag});
        ASSERT_EQ(VT_DATE, submitted.Type());
        EXPECT_EQ(Utc(2010, 1, 5, 14, 3, 9), V_DATE(submitted.Get()));  // UTC, as stored
        EXPECT_EQ(c.incoming, !mail.Call(L"GetProperty", {kTransportHeadersTag}).IsEmpty());
        EXPECT_EQ(c.incoming, !mail.Call(L"GetProperty", {kMessageToMeTag}).IsEmpty());
        EXPECT_TRUE(mail.Call(L"GetProperty", {0x6A01001E}).IsEmpty());  // missing: Empty, no failure
        EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;
    }
    // A message nobody has sent has no sender entry.
    LateBound draft(LateBound(Ptr<IDispatch>(outlook->Application())).Call(L"CreateItem", {0}));
    mail.Call(L"Attach", {Variant(draft.Get())});
    EXPECT_FALSE(mail.Get(L"SenderEntry").IsObject());
    EXPECT_EQ(L"", mail.Get(L"ToText").ToText());
    draft.Reset();
    mail.Reset();
    EXPECT_EQ(0, outlook->ReferencesHeldOutside());
}

TEST_F(HelperMail, FailuresAreAutomationExceptionsWithTheStoresCode) {
    Start(L"11.0.8312");
    Mailbox& mailbox = *outlook->UserMailbox();
    LateBound application(Ptr<IDispatch>(outlook->Application()));
    LateBound received = ItemOf(*outlook, mailbox.AddReceivedMail(Received()));
    LateBound draft(application.Call(L"CreateItem", {0}));
    LateBound unknown(application.Call(L"CreateItem", {0}));
    LateBound sent(application.Call(L"CreateItem", {0}));
    LateBound unattached = com::CreateObject(L"Ostrabin.OsbMailItem");
    auto attached = [](const LateBound& item) {
        LateBound mail = com::CreateObject(L"Ostrabin.OsbMailItem");
        mail.Call(L"Attach", {Variant(item.Get())});
        return mail;
    };
    LateBound onReceived = attached(received), onDraft = attached(draft), onUnknown = attached(unknown),
              onSent = attached(sent);
    const long header = onDraft.Call(L"NamedId", {kInternetHeaders, L"X-Refused"}).ToLong() | 0x1E;
    mailbox.FailPropertyWrite(static_cast<ULONG>(header), MAPI_E_NO_ACCESS);
    mailbox.FailPropertyRead(static_cast<ULONG>(kMessageIdTag), MAPI_E_CORRUPT_DATA);
    LateBound stranger(LateBound(onUnknown.Get(L"Recipients")).Call(L"Add", {L"Alice Smith"}));
    EXPECT_FALSE(stranger.Call(L"Resolve", {Variant::Boolean(false)}).ToBool());  // resolves to nobody: no failure
    LateBound someone(LateBound(onSent.Get(L"Recipients")).Call(L"Add", {L"someone@example.com"}));
    EXPECT_TRUE(someone.Call(L"Resolve", {Variant::Boolean(false)}).ToBool());
    onSent.Call(L"Send");
    EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;

    struct Case {
        const LateBound* object;
        const wchar_t* member;
        WORD flags;
        std::vector<Variant> args;
        HRESULT scode;
    };
    const Case cases[] = {
        {&unattached, L"GetProperty", kMethod, {kMessageIdTag}, MAPI_E_NOT_INITIALIZED},
        {&unattached, L"Send", kMethod, {}, MAPI_E_NOT_INITIALIZED},
        {&unattached, L"Attach", kMethod, {Variant(Inbox(*outlook).Get())}, E_INVALIDARG},
        {&onDraft, L"SetProperty", kMethod, {kDisplayToTag, L"someone"}, MAPI_E_COMPUTED},
        {&onDraft, L"SetProperty", kMethod, {0x68000048, L"x"}, MAPI_E_INVALID_TYPE},
        {&onDraft, L"SetProperty", kMethod, {header, L"x"}, MAPI_E_NO_ACCESS},
        {&onReceived, L"GetProperty", kMethod, {kMessageIdTag}, MAPI_E_CORRUPT_DATA},
        {&onDraft, L"NamedId", kMethod, {L"not a guid", L"X-Test"}, E_INVALIDARG},
        {&onDraft, L"NamedId", kMethod, {kInternetHeaders, L""}, E_INVALIDARG},
        {&onDraft, L"Send", kMethod, {}, MAPI_E_NO_RECIPIENTS},
        {&onUnknown, L"Send", kMethod, {}, MAPI_E_AMBIGUOUS_RECIP},
        {&stranger, L"RecipientType", DISPATCH_PROPERTYPUT, {0}, E_INVALIDARG},
        {&stranger, L"RecipientType", DISPATCH_PROPERTYPUT, {4}, E_INVALIDARG},
        {&onReceived, L"Send", kMethod, {}, MAPI_E_SUBMITTED},
        {&onSent, L"GetProperty", kMethod, {kSubmitTimeTag}, MAPI_E_OBJECT_DELETED},
        {&onSent, L"Send", kMethod, {}, MAPI_E_OBJECT_DELETED},
        {&someone, L"Name", test::kGet, {}, MAPI_E_OBJECT_DELETED},
    };
    for (const Case& c : cases) {
        test::Raw raw = Invoke(c.object->Get(), c.member, c.flags, c.args);
        EXPECT_EQ(DISP_E_EXCEPTION, raw.hr) << c.member;
        EXPECT_EQ(c.scode, raw.scode) << c.member;
        EXPECT_FALSE(raw.description.empty()) << c.member;
    }
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(unattached.Get(), L"Attach", kMethod, {L"an item"}).hr);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(onDraft.Get(), L"GetProperty", kMethod, {}).hr);
    EXPECT_EQ(DISP_E_EXCEPTION, Invoke(LateBound(onDraft.Get(L"Recipients")).Get(), L"Item", kMethod, {1}).hr);
    // Nothing was sent but the one message.
    EXPECT_EQ(1u, mailbox.Items(kOutbox).size());
}

// The forward that the add-in's "Log Message" makes, step by step as it calls Outlook and the
// helper: through the helper's Send and DeliverNow, or (Outlook 2007) through Outlook's Send of
// the item fetched again by EntryID after the helper has been dropped.
TEST_F(HelperMail, AForwardReachesTheAgentWithItsHeadersOnEitherWayOfSending) {
    for (const wchar_t* version : {L"11.0.8312", L"12.0.6423.1000"}) {
        Start(version);
        const bool throughOutlook = version[1] == L'2';
        Mailbox& mailbox = *outlook->UserMailbox();
        LateBound utils = com::CreateObject(L"Ostrabin.OsbUtils");
        {
            LateBound item = ItemOf(*outlook, mailbox.AddReceivedMail(Received()));
            LateBound forward(item.Call(L"Forward"));
            forward.Put(L"Subject", item.Get(L"Subject"));
            LateBound mail = com::CreateObject(L"Ostrabin.OsbMailItem");
            mail.Call(L"Attach", {Variant(item.Get())});
            forward.Put(L"Body", mail.Get(L"PlainBody"));
            forward.Put(L"HTMLBody", mail.Get(L"HtmlBody"));
            const std::vector<std::pair<std::wstring, std::wstring>> headers = {
                {L"OriginalMessageID", mail.Call(L"GetProperty", {kMessageIdTag}).ToText()},
                {L"Incoming", mail.Call(L"GetProperty", {kTransportHeadersTag}).IsEmpty() ? L"False" : L"True"},
                {L"OriginalSender",
                 mail.Get(L"SenderName").ToText() + L" <" + LateBound(mail.Get(L"SenderEntry")).Get(L"Address").ToText() + L">"},
                {L"OriginalTo", mail.Get(L"ToText").ToText()},
                {L"OriginalCC", mail.Get(L"CcText").ToText()},
                {L"OriginalDateSent", L"Tue, 5 Jan 2010 14:03:09 +0000"},
                {L"LogonID", L"4321"},
                {L"CompanyID", L"65"},
                {L"Version", L"1.0.7"},
            };
            forward.Call(L"Save");
            mail.Call(L"Attach", {Variant(forward.Get())});
            LateBound recipient(LateBound(mail.Get(L"Recipients")).Call(L"Add", {kAgent}));
            recipient.Call(L"Resolve", {Variant::Boolean(false)});
            for (const auto& [name, value] : headers) {
                const long tag = mail.Call(L"NamedId", {kInternetHeaders, L"X-Quorvanes-" + name}).ToLong() | 0x1E;
                mail.Call(L"SetProperty", {tag, value});
            }
            if (throughOutlook) {
                const std::wstring entryId = forward.Get(L"EntryID").ToText();
                mail.Reset();  // what it wrote is stored now, though the recipient object lives on
                const StoredItem stored = mailbox.Item(entryId);
                ASSERT_EQ(1u, stored.recipients.size()) << version;
                EXPECT_EQ(kAgent, stored.recipients[0].address);
                ASSERT_NE(nullptr, stored.FindNamed(kInternetHeadersGuid, L"X-Quorvanes-Version"));
                LateBound again = ItemOf(*outlook, entryId);
                again.Call(L"Send");
            } else {
                mail.Call(L"Send");
                forward.Reset();
                mail.Reset();
                utils.Call(L"DeliverNow", {0, 0});
            }
        }
        outlook->ProcessMessages();
        EXPECT_FALSE(HasPendingFailure()) << version << L": " << PendingFailure().description;
        EXPECT_TRUE(mailbox.Items(kOutbox).empty());
        ASSERT_EQ(1u, mailbox.Items(kSentMail).size()) << version;
        EXPECT_EQ(L"Quarterly figures", mailbox.Items(kSentMail)[0].subject);

        ASSERT_EQ(1u, agent->Count()) << version;
        const ReceivedMail received = agent->Read(0);
        EXPECT_EQ("Mailbox Owner <owner@example.com>", received.Header("From"));
        EXPECT_EQ("log@agent.example.org", received.Header("To"));
        EXPECT_EQ(0u, received.Count("Cc"));
        EXPECT_EQ("Quarterly figures", received.Header("Subject"));
        std::vector<std::pair<std::string, std::string>> stamped;
        for (const auto& header : received.headers)
            if (header.first.rfind("X-Quorvanes-", 0) == 0) stamped.push_back(header);
        const std::vector<std::pair<std::string, std::string>> expected = {
            {"X-Quorvanes-OriginalMessageID", "<figures.42@partner.example.com>"},
            {"X-Quorvanes-Incoming", "True"},
            {"X-Quorvanes-OriginalSender", "Carla Diaz <carla@partner.example.com>"},
            {"X-Quorvanes-OriginalTo", "Mailbox Owner; bob@example.net"},
            {"X-Quorvanes-OriginalCC", "Dana Kim; Eve Li"},
            {"X-Quorvanes-OriginalDateSent", "Tue, 5 Jan 2010 14:03:09 +0000"},
            {"X-Quorvanes-LogonID", "4321"},
            {"X-Quorvanes-CompanyID", "65"},
            {"X-Quorvanes-Version", "1.0.7"},
        };
        EXPECT_EQ(expected, stamped) << version;
        EXPECT_EQ("The figures are attached.", received.Part("text/plain"));
        EXPECT_EQ("<p>The figures are attached.</p>", received.Part("text/html"));

        utils.Call(L"Cleanup");
        utils.Reset();
        EXPECT_EQ(0, outlook->ReferencesHeldOutside()) << version;
        outlook.reset();
        agent = std::make_shared<AgentMailbox>(std::vector<std::wstring>{kAgent});
    }
}

// "Send && Log" on a message being composed: the agent as a blind copy, three headers, the
// helper's Send and DeliverNow, then the window closed without saving.
TEST_F(HelperMail, TheAgentAsABlindCopyReceivesTheComposedMessageWithoutShowing) {
    Start(L"11.0.8312");
    int window = outlook->OpenInspector();
    LateBound inspector(Ptr<IDispatch>(outlook->Inspector(window)));
    {
        LateBound item(inspector.Get(L"CurrentItem"));
        item.Put(L"Subject", Variant(L"Deal closed"));
        item.Put(L"Body", Variant(L"Signed today."));
        LateBound(LateBound(item.Get(L"Recipients")).Call(L"Add", {L"client@example.com"})).Call(L"Resolve");
        item.Call(L"Save");
        LateBound mail = com::CreateObject(L"Ostrabin.OsbMailItem");
        mail.Call(L"Attach", {Variant(item.Get())});
        EXPECT_EQ(L"client@example.com", mail.Get(L"ToText").ToText());
        EXPECT_EQ(L"", mail.Get(L"CcText").ToText());
        LateBound recipient(LateBound(mail.Get(L"Recipients")).Call(L"Add", {kAgent}));
        recipient.Put(L"RecipientType", Variant(3));
        recipient.Call(L"Resolve", {Variant::Boolean(false)});
        EXPECT_EQ(3, recipient.Get(L"RecipientType").ToLong());
        EXPECT_EQ(L"client@example.com", item.Get(L"To").ToText());  // the same open item
        EXPECT_EQ(kAgent, item.Get(L"BCC").ToText());
        for (const wchar_t* name : {L"LogonID", L"CompanyID", L"Version"}) {
            const long tag = mail.Call(L"NamedId", {kInternetHeaders, std::wstring(L"X-Quorvanes-") + name}).ToLong() | 0x1E;
            mail.Call(L"SetProperty", {tag, name});
        }
        mail.Call(L"Send");
        EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;
    }
    LateBound utils = com::CreateObject(L"Ostrabin.OsbUtils");
    utils.Call(L"DeliverNow", {0, 0});
    inspector.Call(L"Close", {1});
    EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;
    EXPECT_EQ(0, LateBound(LateBound(Ptr<IDispatch>(outlook->Application())).Get(L"Inspectors")).Get(L"Count").ToLong());

    ASSERT_EQ(1u, agent->Count());
    const ReceivedMail received = agent->Read(0);
    EXPECT_EQ("client@example.com", received.Header("To"));
    EXPECT_EQ(std::string::npos, received.raw.find("log@agent.example.org"));
    std::vector<std::string> stamped;
    for (const auto& header : received.headers)
        if (header.first.rfind("X-Quorvanes-", 0) == 0) stamped.push_back(header.first + "=" + header.second);
    EXPECT_EQ((std::vector<std::string>{"X-Quorvanes-LogonID=LogonID", "X-Quorvanes-CompanyID=CompanyID",
                                        "X-Quorvanes-Version=Version"}),
              stamped);
    ASSERT_EQ(1u, outlook->UserMailbox()->Items(kSentMail).size());
    EXPECT_EQ(2u, outlook->UserMailbox()->Items(kSentMail)[0].recipients.size());
    EXPECT_TRUE(outlook->UserMailbox()->Items(kDrafts).empty());
    utils.Call(L"Cleanup");
    utils.Reset();
    inspector.Reset();
    EXPECT_EQ(0, outlook->ReferencesHeldOutside());
}

// The window of a message the helper sent beneath it still counts its copy as changed: each
// close mode does what Outlook's does with a changed item whose message has gone.
TEST_F(HelperMail, AWindowWhoseMessageTheHelperSentClosesAsItsModeSays) {
    struct Case {
        long mode;
        bool closes;
        bool prompts;
    };
    for (const Case c : {Case{0, false, false}, Case{1, true, false}, Case{2, true, true}}) {
        SCOPED_TRACE(c.mode);
        Start(L"11.0.8312");
        const int window = outlook->OpenInspector();
        LateBound inspector(Ptr<IDispatch>(outlook->Inspector(window)));
        LateBound item(inspector.Get(L"CurrentItem"));
        LateBound(LateBound(item.Get(L"Recipients")).Call(L"Add", {L"client@example.com"})).Call(L"Resolve");
        item.Call(L"Save");
        LateBound mail = com::CreateObject(L"Ostrabin.OsbMailItem");
        mail.Call(L"Attach", {Variant(item.Get())});
        mail.Call(L"Send");
        mail.Reset();
        item.Reset();
        ClearFailure();
        inspector.Call(L"Close", {c.mode});
        EXPECT_EQ(!c.closes, HasPendingFailure());
        if (!c.closes) {
            EXPECT_EQ(MAPI_E_OBJECT_DELETED, PendingFailure().number);
        }
        const auto& log = outlook->Log();
        EXPECT_EQ(c.prompts, std::find(log.begin(), log.end(), L"Save prompt") != log.end());
        EXPECT_EQ(c.closes ? 0 : 1, LateBound(LateBound(Ptr<IDispatch>(outlook->Application())).Get(L"Inspectors")).Get(L"Count").ToLong());
        inspector.Reset();
        outlook->ShutDown();
        EXPECT_EQ(0, outlook->ReferencesHeldOutside());
    }
}

// DeleteProperty takes a written or a stored property off (stored: at the next save); a
// missing one is no failure.
TEST_F(HelperMail, DeletePropertyRemovesWrittenAndStoredProperties) {
    Start(L"11.0.8312");
    const int window = outlook->OpenInspector();
    LateBound item(Ptr<IDispatch>(outlook->CurrentItem(window)));
    item.Call(L"Save");
    LateBound mail = com::CreateObject(L"Ostrabin.OsbMailItem");
    mail.Call(L"Attach", {Variant(item.Get())});
    const long stored = mail.Call(L"NamedId", {kInternetHeaders, L"X-Stored"}).ToLong() | 0x1E;
    const long written = mail.Call(L"NamedId", {kInternetHeaders, L"X-Written"}).ToLong() | 0x1E;
    mail.Call(L"SetProperty", {stored, L"kept"});
    mail.Call(L"Save");
    mail.Call(L"SetProperty", {written, L"new"});
    for (long tag : {stored, written, static_cast<long>(0x7FF0001E)}) mail.Call(L"DeleteProperty", {tag});
    EXPECT_FALSE(HasPendingFailure()) << PendingFailure().description;
    EXPECT_TRUE(mail.Call(L"GetProperty", {stored}).IsEmpty());
    const std::wstring entryId = item.Get(L"EntryID").ToText();
    EXPECT_NE(nullptr, outlook->UserMailbox()->Item(entryId).FindNamed(kInternetHeadersGuid, L"X-Stored"));
    mail.Call(L"Save");
    EXPECT_EQ(nullptr, outlook->UserMailbox()->Item(entryId).FindNamed(kInternetHeadersGuid, L"X-Stored"));
    EXPECT_EQ(nullptr, outlook->UserMailbox()->Item(entryId).FindNamed(kInternetHeadersGuid, L"X-Written"));
    mail.Reset();
    item.Reset();
}

}  // namespace
}  // namespace vantrell::sim
