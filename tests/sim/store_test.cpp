// The simulated message store: the Inbox through Outlook's object model, what a second Outlook
// on the same mailbox finds, fault injection on the folders, and the private interface the
// helper component works through.
#include <gtest/gtest.h>

#include <mapidefs.h>
#include <mapicode.h>
#include <mapitags.h>

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

const GUID kPublicStrings = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kInternetHeaders = {0x00020386, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

LateBound Session(Outlook& outlook) { return LateBound(LateBound(Ptr<IDispatch>(outlook.Application())).Get(L"Session")); }
LateBound Inbox(Outlook& outlook) { return LateBound(Session(outlook).Call(L"GetDefaultFolder", {6})); }

template <class I>
Ptr<I> Private(const LateBound& object) {
    return object.Pointer().As<I>();
}

TEST(SimStore, TheInboxAndItsItemsThroughTheObjectModel) {
    auto mailbox = std::make_shared<Mailbox>();
    const std::wstring first = mailbox->AddItem(L"IPM.Note", L"Quarterly figures");
    mailbox->AddItem(L"REPORT.IPM.Note.NDR", L"Undeliverable: hello");
    mailbox->AddHiddenItem(L"IPM.Configuration.Views", L"not an ordinary item");
    Outlook outlook(L"11.0.8312", mailbox);
    {
        LateBound inbox = Inbox(outlook);
        ASSERT_TRUE(inbox);
        EXPECT_EQ(L"Inbox", inbox.Get(L"Name").ToText());
        EXPECT_EQ(mailbox->FolderEntryId(kInbox), inbox.Get(L"EntryID").ToText());
        EXPECT_NE(mailbox->FolderEntryId(kInbox), mailbox->FolderEntryId(kSentMail));
        LateBound items(inbox.Get(L"Items"));
        EXPECT_EQ(2, items.Get(L"Count").ToLong());  // the hidden item is not among them
        LateBound item(items.Call(L"Item", {1}));
        EXPECT_EQ(L"Quarterly figures", item.Get(L"Subject").ToText());
        EXPECT_EQ(first, item.Get(L"EntryID").ToText());
        EXPECT_EQ(43, item.Get(L"Class").ToLong());
        EXPECT_EQ(46, LateBound(items.Call(L"Item", {L"undeliverable: HELLO"})).Get(L"Class").ToLong());
        EXPECT_EQ(DISP_E_BADINDEX, Invoke(items.Get(), L"Item", kMethod, {3}).scode);
        EXPECT_EQ(MAPI_E_NOT_FOUND, Invoke(items.Get(), L"Item", kMethod, {L"no such subject"}).scode);

        // Strict as the rest: GetDefaultFolder is a method, and not every number is a folder.
        LateBound session = Session(outlook);
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(session.Get(), L"GetDefaultFolder", kGet, {6}).hr);
        EXPECT_EQ(E_INVALIDARG, Invoke(session.Get(), L"GetDefaultFolder", kMethod, {99}).scode);
        EXPECT_EQ(L"Sent Items", LateBound(session.Call(L"GetDefaultFolder", {5})).Get(L"Name").ToText());
        EXPECT_EQ(0, LateBound(LateBound(session.Call(L"GetDefaultFolder", {4})).Get(L"Items")).Get(L"Count").ToLong());
        EXPECT_GT(outlook.ReferencesHeldOutside(), 0);
    }
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST(SimStore, WhatIsSavedIsThereForTheNextOutlookAndNothingBefore) {
    auto mailbox = std::make_shared<Mailbox>();
    mailbox->AddItem(L"IPM.Note", L"Draft");
    {
        Outlook outlook(L"12.0.6423.1000", mailbox);
        LateBound item(LateBound(Inbox(outlook).Get(L"Items")).Call(L"Item", {1}));
        EXPECT_TRUE(item.Put(L"Subject", Variant(L"Final")));
        EXPECT_EQ(L"Final", item.Get(L"Subject").ToText());  // the open item sees its own write
        EXPECT_FALSE(item.Get(L"Saved").ToBool());
        EXPECT_EQ(L"Draft", mailbox->Items()[0].subject);
        item.Call(L"Save");
        EXPECT_TRUE(item.Get(L"Saved").ToBool());
        EXPECT_EQ(L"Final", mailbox->Items()[0].subject);
    }
    Outlook second(L"12.0.6423.1000", mailbox);
    EXPECT_EQ(L"Final", LateBound(LateBound(Inbox(second).Get(L"Items")).Call(L"Item", {1})).Get(L"Subject").ToText());
    EXPECT_EQ(0, second.ReferencesHeldOutside());
    EXPECT_EQ(mailbox, second.UserMailbox());
}

TEST(SimStore, FaultsCanBeInjectedOnFoldersAndOnPropertyReadsAndWrites) {
    Outlook outlook;
    outlook.UserMailbox()->AddItem(L"IPM.Note", L"Hello");
    LateBound item(LateBound(Inbox(outlook).Get(L"Items")).Call(L"Item", {1}));
    ASSERT_TRUE(item);
    outlook.FailMember(L"NameSpace", L"GetDefaultFolder", MAPI_E_NOT_FOUND, L"The Inbox cannot be opened.");
    test::Raw failed = Invoke(Session(outlook).Get(), L"GetDefaultFolder", kMethod, {6});
    EXPECT_EQ(DISP_E_EXCEPTION, failed.hr);
    EXPECT_EQ(MAPI_E_NOT_FOUND, failed.scode);
    EXPECT_EQ(L"The Inbox cannot be opened.", failed.description);

    Outlook other;
    other.UserMailbox()->AddItem(L"IPM.Note", L"Hello");
    other.FailMember(L"MAPIFolder", L"Items", E_ACCESSDENIED, L"No access.");
    EXPECT_EQ(E_ACCESSDENIED, Invoke(Inbox(other).Get(), L"Items", kGet).scode);
    other.UserMailbox()->FailPropertyRead(PROP_TAG(PT_UNSPECIFIED, PROP_ID(PR_SUBJECT_W)), MAPI_E_CORRUPT_DATA);
    EXPECT_EQ(L"Hello", item.Get(L"Subject").ToText());  // another mailbox's fault
    outlook.UserMailbox()->FailPropertyRead(PR_SUBJECT_A, MAPI_E_CORRUPT_DATA);
    EXPECT_EQ(L"Hello", item.Get(L"Subject").ToText());  // read as PT_UNICODE: not this tag
    outlook.UserMailbox()->FailPropertyRead(PR_SUBJECT_W, MAPI_E_CORRUPT_DATA);
    EXPECT_EQ(MAPI_E_CORRUPT_DATA, Invoke(item.Get(), L"Subject", kGet).scode);
    EXPECT_TRUE(item.Put(L"Subject", Variant(L"Still writable")));
    outlook.UserMailbox()->FailPropertyWrite(PROP_TAG(PT_UNSPECIFIED, PROP_ID(PR_SUBJECT_W)), MAPI_E_NO_ACCESS);
    EXPECT_FALSE(item.Put(L"Subject", Variant(L"Refused")));
    EXPECT_EQ(MAPI_E_NO_ACCESS, PendingFailure().number);
}

TEST(SimStore, ThePrivateInterfaceIsReachedOnlyByItsIid) {
    Outlook outlook;
    Mailbox& mailbox = *outlook.UserMailbox();
    LateBound inbox = Inbox(outlook);
    ASSERT_TRUE(Private<ISimStoreFolder>(inbox));
    EXPECT_FALSE(Private<ISimStoreFolder>(Session(outlook)));
    EXPECT_FALSE(Private<ISimStoreItem>(inbox));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, Invoke(inbox.Get(), L"CreateHiddenItem", kMethod, {L"IPM.Note"}).hr);
    // One identity whichever interface is asked.
    Ptr<ISimStoreFolder> folder = Private<ISimStoreFolder>(inbox);
    EXPECT_TRUE(com::SameObject(folder.Get(), inbox.Get()));

    Ptr<ISimStoreItem> item;
    ASSERT_EQ(S_OK, folder->CreateHiddenItem(L"IPM.Note", item.ReleaseAndGetAddressOf()));
    ULONG id = 0, again = 0, header = 0, headerAgain = 0;
    EXPECT_EQ(MAPI_E_NOT_FOUND, item->GetIDFromName(kPublicStrings, L"LogonID", FALSE, &id));
    ASSERT_EQ(S_OK, item->GetIDFromName(kPublicStrings, L"LogonID", TRUE, &id));
    EXPECT_EQ(S_OK, item->GetIDFromName(kPublicStrings, L"LogonID", FALSE, &again));
    EXPECT_EQ(id, again);
    EXPECT_GE(id, 0x8000u);
    EXPECT_EQ(S_OK, item->GetIDFromName(kPublicStrings, L"logonid", TRUE, &again));  // another name
    EXPECT_NE(id, again);
    EXPECT_EQ(S_OK, item->GetIDFromName(kInternetHeaders, L"X-Log", TRUE, &header));
    EXPECT_EQ(S_OK, item->GetIDFromName(kInternetHeaders, L"x-log", FALSE, &headerAgain));  // headers ignore case
    EXPECT_EQ(header, headerAgain);
    EXPECT_EQ(id, mailbox.NamedId(kPublicStrings, L"LogonID"));
    EXPECT_EQ(3u, mailbox.NamedCount());

    Variant number(1234), text(L"5"), word(L"hello");
    EXPECT_EQ(S_OK, item->SetProperty(PROP_TAG(PT_LONG, id), text.Get()));  // converts as automation does
    EXPECT_EQ(MAPI_E_BAD_VALUE, item->SetProperty(PROP_TAG(PT_LONG, again), word.Get()));
    EXPECT_EQ(MAPI_E_INVALID_TYPE, item->SetProperty(PROP_TAG(PT_CLSID, again), number.Get()));
    EXPECT_EQ(S_OK, item->SetProperty(PR_SUBJECT_A, word.Get()));
    Variant read;
    ASSERT_EQ(S_OK, item->GetProperty(PR_SUBJECT_W, read.Out()));  // the two string types read each other
    EXPECT_EQ(L"hello", read.ToText());
    EXPECT_EQ(MAPI_E_NOT_FOUND, item->GetProperty(PROP_TAG(PT_BOOLEAN, id), read.Out()));
    EXPECT_TRUE(mailbox.HiddenItems().empty());  // not stored before it is saved
    ASSERT_EQ(S_OK, item->SaveChanges());
    ASSERT_EQ(1u, mailbox.HiddenItems().size());
    StoredItem stored = mailbox.HiddenItems()[0];
    EXPECT_EQ(L"IPM.Note", stored.messageClass);
    EXPECT_EQ(L"hello", stored.subject);
    ASSERT_NE(nullptr, stored.FindNamed(kPublicStrings, L"LogonID"));
    EXPECT_EQ(5, stored.FindNamed(kPublicStrings, L"LogonID")->ToLong());
    EXPECT_EQ(VT_I4, stored.Find(PROP_TAG(PT_LONG, id))->Type());
    EXPECT_TRUE(mailbox.Items().empty());

    // Another open instance sees only what was stored.
    LONG count = 0;
    ASSERT_EQ(S_OK, folder->GetHiddenItemCount(&count));
    ASSERT_EQ(1, count);
    Ptr<ISimStoreItem> reopened;
    ASSERT_EQ(S_OK, folder->OpenHiddenItem(0, reopened.ReleaseAndGetAddressOf()));
    EXPECT_EQ(E_INVALIDARG, folder->OpenHiddenItem(1, reopened.ReleaseAndGetAddressOf()));
    ASSERT_EQ(S_OK, folder->OpenHiddenItem(0, reopened.ReleaseAndGetAddressOf()));
    EXPECT_EQ(S_OK, item->SetProperty(PR_SUBJECT_W, Variant(L"changed").Get()));
    ASSERT_EQ(S_OK, reopened->GetProperty(PR_SUBJECT_W, read.Out()));
    EXPECT_EQ(L"hello", read.ToText());
    com::Bstr entryId;
    ASSERT_EQ(S_OK, reopened->GetEntryID(entryId.Out()));
    EXPECT_EQ(stored.entryId, entryId.Text());

    mailbox.FailPropertyRead(PROP_TAG(PT_LONG, id), MAPI_E_CORRUPT_DATA);
    EXPECT_EQ(MAPI_E_CORRUPT_DATA, reopened->GetProperty(PROP_TAG(PT_LONG, id), read.Out()));

    inbox.Reset();
    folder.Reset();
    EXPECT_EQ(2, outlook.ReferencesHeldOutside());  // the two open items
    item.Reset();
    reopened.Reset();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

// MAPI keeps a PT_STRING8 value in the ANSI code page, and gives a Unicode one read as
// PT_STRING8 in it too: what the code page lacks comes back as "?".
TEST(SimStore, AnEightBitStringKeepsWhatTheAnsiCodePageHoldsOnly) {
    Outlook outlook;
    Ptr<ISimStoreFolder> folder = Private<ISimStoreFolder>(Inbox(outlook));
    Ptr<ISimStoreItem> item;
    ASSERT_EQ(S_OK, folder->CreateHiddenItem(L"IPM.Note", item.ReleaseAndGetAddressOf()));
    const struct {
        const wchar_t* text;
        const wchar_t* kept;
    } rows[] = {{L"\u738B\u5C0F\u660E", L"???"}, {L"Ren\u00E9e M\u00FCller", L"Ren\u00E9e M\u00FCller"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "code page " << GetACP());
        Variant read;
        ASSERT_EQ(S_OK, item->SetProperty(PR_SUBJECT_A, Variant(row.text).Get()));
        ASSERT_EQ(S_OK, item->GetProperty(PR_SUBJECT_W, read.Out()));
        EXPECT_EQ(row.kept, read.ToText());
        ASSERT_EQ(S_OK, item->SetProperty(PR_BODY_W, Variant(row.text).Get()));
        ASSERT_EQ(S_OK, item->GetProperty(PR_BODY_W, read.Out()));
        EXPECT_EQ(row.text, read.ToText());
        ASSERT_EQ(S_OK, item->GetProperty(PR_BODY_A, read.Out()));
        EXPECT_EQ(row.kept, read.ToText());
    }
}

TEST(SimStore, AnItemHeldPastItsOutlookIsCutOff) {
    auto mailbox = std::make_shared<Mailbox>();
    Ptr<ISimStoreFolder> folder;
    {
        Outlook outlook(L"11.0.8312", mailbox);
        folder = Private<ISimStoreFolder>(Inbox(outlook));
        ASSERT_TRUE(folder);
    }
    LONG count = -1;
    EXPECT_EQ(RPC_E_DISCONNECTED, folder->GetHiddenItemCount(&count));
    Ptr<ISimStoreItem> item;
    EXPECT_EQ(RPC_E_DISCONNECTED, folder->CreateHiddenItem(L"IPM.Note", item.ReleaseAndGetAddressOf()));
    EXPECT_FALSE(item);
}

}  // namespace
}  // namespace vantrell::sim
