// The stand-in helper component (OsbHelper.dll) driven late-bound by ProgID, exactly as the
// add-in drives it, against the simulated store: registration, the configuration message in
// the Inbox's hidden items across two Outlook sessions, named tags, failures, the utilities,
// and the references it leaves.
#include <gtest/gtest.h>

#include <mapidefs.h>
#include <mapicode.h>

#include "platform/failure.h"
#include "platform/late_bound.h"
#include "sim/outlook/outlook.h"
#include "sim/raw_invoke.h"
#include "common/registered_helper.h"

namespace vantrell::sim {
namespace {

using com::LateBound;
using com::Ptr;
using com::Variant;
using test::Invoke;
using test::kMethod;

const wchar_t kPublicStrings[] = L"{00020329-0000-0000-C000-000000000046}";
const GUID kPublicStringsGuid = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

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
