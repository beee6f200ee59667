// Late-bound calls: argument order, property put, failures recorded, DISPIDs cached.
#include <gtest/gtest.h>

#include "platform/failure.h"
#include "tests/platform/fake_dispatch.h"
#include "platform/late_bound.h"

namespace vantrell::com {
namespace {

using test::FakeDispatch;

class LateBoundTest : public testing::Test {
protected:
    void SetUp() override {
        fake = Make<FakeDispatch>();
        fake->Member(L"Version", 1, Variant(L"11.0.8312"));
        fake->Member(L"Item", 2, Variant(7L));
        fake->Member(L"Caption", 3);
        fake->Member(L"Send", 4);
        fake->Member(L"Broken", 5);
        object = LateBound(Ptr<IDispatch>(fake.Get()));
        ClearFailure();
    }
    void TearDown() override { ClearFailure(); }

    Ptr<FakeDispatch> fake;
    LateBound object;
};

TEST_F(LateBoundTest, GetReturnsTheValueAsAPropertyGet) {
    EXPECT_EQ(L"11.0.8312", object.Get(L"Version").ToText());
    ASSERT_EQ(1u, fake->Calls().size());
    EXPECT_EQ(DISPATCH_PROPERTYGET, fake->Calls()[0].flags);
    EXPECT_TRUE(fake->Calls()[0].args.empty());
    EXPECT_FALSE(HasPendingFailure());
}

TEST_F(LateBoundTest, ArgumentsArriveInSourceOrder) {
    object.Call(L"Item", {1L, L"two", 3.5});
    ASSERT_EQ(1u, fake->Calls().size());
    const auto& args = fake->Calls()[0].args;
    ASSERT_EQ(3u, args.size());
    EXPECT_EQ(1, args[0].ToLong());
    EXPECT_EQ(L"two", args[1].ToText());
    EXPECT_DOUBLE_EQ(3.5, args[2].ToDouble());
    EXPECT_EQ(DISPATCH_METHOD | DISPATCH_PROPERTYGET, fake->Calls()[0].flags);
}

TEST_F(LateBoundTest, PutPassesTheValueLastAsTheNamedPropertyPutArgument) {
    EXPECT_TRUE(object.Put(L"Caption", Variant(L"Log Message"), {9L}));
    ASSERT_EQ(1u, fake->Calls().size());
    const test::RecordedCall& call = fake->Calls()[0];
    EXPECT_EQ(DISPATCH_PROPERTYPUT, call.flags);
    ASSERT_EQ(1u, call.named.size());
    EXPECT_EQ(DISPID_PROPERTYPUT, call.named[0]);
    ASSERT_EQ(2u, call.args.size());
    EXPECT_EQ(9, call.args[0].ToLong());
    EXPECT_EQ(L"Log Message", call.args[1].ToText());
}

TEST_F(LateBoundTest, PutRefUsesThePutRefFlag) {
    EXPECT_TRUE(object.PutRef(L"Caption", Variant(static_cast<IDispatch*>(fake.Get()))));
    ASSERT_EQ(1u, fake->Calls().size());
    EXPECT_EQ(DISPATCH_PROPERTYPUTREF, fake->Calls()[0].flags);
}

TEST_F(LateBoundTest, AnUnknownMemberRecordsTheFailureAndGivesEmpty) {
    Variant result = object.Get(L"NoSuchMember");
    EXPECT_TRUE(result.IsEmpty());
    EXPECT_EQ(static_cast<long>(DISP_E_UNKNOWNNAME), PendingFailure().number);
    EXPECT_EQ(L"NoSuchMember", PendingFailure().action);
    EXPECT_TRUE(fake->Calls().empty());
}

TEST_F(LateBoundTest, AFailingCallRecordsItsHResultWithTheSystemText) {
    fake->FailWith(L"Broken", E_ACCESSDENIED);
    EXPECT_TRUE(object.Call(L"Broken").IsEmpty());
    EXPECT_EQ(static_cast<long>(E_ACCESSDENIED), PendingFailure().number);
    EXPECT_FALSE(PendingFailure().description.empty());
    EXPECT_FALSE(object.Put(L"Broken", Variant(1L)));
}

TEST_F(LateBoundTest, AnExceptionRecordsItsOwnCodeAndDescriptionEvenWhenDeferred) {
    fake->RaiseException(L"Send", static_cast<HRESULT>(0x80040109), L"The operation cannot be performed", false);
    object.Call(L"Send");
    EXPECT_EQ(static_cast<long>(0x80040109), PendingFailure().number);
    EXPECT_EQ(L"The operation cannot be performed", PendingFailure().description);

    ClearFailure();
    fake->RaiseException(L"Broken", E_ABORT, L"Deferred text", true);
    object.Call(L"Broken");
    EXPECT_EQ(static_cast<long>(E_ABORT), PendingFailure().number);
    EXPECT_EQ(L"Deferred text", PendingFailure().description);
}

TEST_F(LateBoundTest, NamesAreLookedUpOnceThenTakenFromTheCache) {
    object.Get(L"Version");
    object.Get(L"Version");
    object.Call(L"Item", {1L});
    EXPECT_EQ(2, fake->NameLookups());
    EXPECT_EQ(3u, fake->Calls().size());
}

TEST_F(LateBoundTest, AnEmptyObjectFailsWithoutCrashing) {
    LateBound nothing;
    EXPECT_TRUE(nothing.Get(L"Version").IsEmpty());
    EXPECT_TRUE(HasPendingFailure());
}

TEST_F(LateBoundTest, HoldsExactlyOneReferenceAndReleasesItOnReset) {
    EXPECT_EQ(2u, test::RefCount(fake.Get()));
    object.Get(L"Version");
    EXPECT_EQ(2u, test::RefCount(fake.Get()));
    object.Reset();
    EXPECT_EQ(1u, test::RefCount(fake.Get()));
}

TEST_F(LateBoundTest, AnObjectResultCanBeCalledInTurn) {
    Ptr<FakeDispatch> inner = Make<FakeDispatch>();
    inner->Member(L"Count", 1, Variant(3L));
    fake->Member(L"Explorers", 10, Variant(static_cast<IDispatch*>(inner.Get())));
    {
        LateBound explorers(object.Get(L"Explorers"));
        ASSERT_TRUE(explorers);
        EXPECT_EQ(3, explorers.Get(L"Count").ToLong());
    }
    // The outer object goes, and with it the reference its stored result held.
    fake.Reset();
    object.Reset();
    EXPECT_EQ(1u, test::RefCount(inner.Get()));
}

}  // namespace
}  // namespace vantrell::com
