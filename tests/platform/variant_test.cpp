// RAII holders and the language-like conversions, including the failures they record.
#include <gtest/gtest.h>

#include "platform/failure.h"
#include "tests/platform/fake_dispatch.h"
#include "platform/variant.h"

namespace vantrell::com {
namespace {

TEST(Variant, ConvertsTextToNumbersAsTheLanguageDoes) {
    ClearFailure();
    EXPECT_EQ(123, Variant(L"123").ToLong());
    EXPECT_EQ(-7, Variant(L" -7 ").ToInt());
    EXPECT_EQ(4, Variant(4.4).ToLong());
    EXPECT_FALSE(HasPendingFailure());
}

TEST(Variant, AFailedConversionRecordsTypeMismatchAndGivesTheNeutralValue) {
    ClearFailure();
    EXPECT_EQ(0, Variant(L"abc").ToLong());
    EXPECT_EQ(static_cast<long>(DISP_E_TYPEMISMATCH), PendingFailure().number);
    EXPECT_FALSE(PendingFailure().description.empty());
    ClearFailure();
    EXPECT_EQ(0, Variant(L"70000").ToInt());
    EXPECT_EQ(static_cast<long>(DISP_E_OVERFLOW), PendingFailure().number);
    ClearFailure();
}

TEST(Variant, BooleansAreMinusOneAndReadFromNumbersOrText) {
    Variant yes = Variant::Boolean(true);
    EXPECT_EQ(VT_BOOL, yes.Type());
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(yes.Get()));
    EXPECT_EQ(-1, yes.ToLong());
    EXPECT_TRUE(Variant(1L).ToBool());
    EXPECT_FALSE(Variant(0L).ToBool());
    EXPECT_TRUE(Variant(L"True").ToBool());
    EXPECT_FALSE(Variant(L"False").ToBool());
    EXPECT_TRUE(Variant(L"-1").ToBool());
    EXPECT_FALSE(Variant().ToBool());  // Empty converts to False
    EXPECT_EQ(L"True", yes.ToText());
}

TEST(Variant, IsNumericFollowsTheLanguage) {
    EXPECT_TRUE(Variant(5L).IsNumeric());
    EXPECT_TRUE(Variant(L"12.5").IsNumeric());
    EXPECT_FALSE(Variant(L"12abc").IsNumeric());
    EXPECT_FALSE(Variant(L"").IsNumeric());
    EXPECT_TRUE(Variant::Boolean(true).IsNumeric());
}

TEST(Variant, CopiesAreDeepAndObjectsAreCounted) {
    Ptr<test::FakeDispatch> object = Make<test::FakeDispatch>();
    {
        Variant held(static_cast<IDispatch*>(object.Get()));
        EXPECT_EQ(2u, test::RefCount(object.Get()));
        Variant copy = held;
        EXPECT_EQ(3u, test::RefCount(object.Get()));
        EXPECT_TRUE(copy.IsObject());
        Ptr<IDispatch> back = copy.ToDispatch();
        EXPECT_EQ(static_cast<IDispatch*>(object.Get()), back.Get());
    }
    EXPECT_EQ(1u, test::RefCount(object.Get()));

    Variant text(L"abc");
    Variant other = text;
    EXPECT_NE(V_BSTR(text.Get()), V_BSTR(other.Get()));
    EXPECT_EQ(L"abc", other.ToText());
}

TEST(Variant, OutClearsTheOldValueFirst) {
    Ptr<test::FakeDispatch> object = Make<test::FakeDispatch>();
    Variant held(static_cast<IDispatch*>(object.Get()));
    VARIANT* slot = held.Out();
    EXPECT_EQ(VT_EMPTY, V_VT(slot));
    EXPECT_EQ(1u, test::RefCount(object.Get()));
}

TEST(Variant, NothingIsNotAnObjectAndConvertsToAnEmptyPointerWithoutFailure) {
    ClearFailure();
    Variant nothing(static_cast<IDispatch*>(nullptr));
    EXPECT_FALSE(nothing.IsObject());
    EXPECT_FALSE(nothing.ToDispatch());
    EXPECT_FALSE(HasPendingFailure());
    EXPECT_FALSE(Variant(5L).ToDispatch());
    EXPECT_EQ(static_cast<long>(DISP_E_TYPEMISMATCH), PendingFailure().number);
    ClearFailure();
}

TEST(Bstr, OwnsItsStringAndKeepsEmbeddedNuls) {
    Bstr text(std::wstring_view(L"a\0b", 3));
    EXPECT_EQ(3u, text.Length());
    Bstr copy = text;
    EXPECT_NE(text.Get(), copy.Get());
    EXPECT_EQ(text.View(), copy.View());
    BSTR* slot = copy.Out();
    EXPECT_EQ(nullptr, *slot);
    EXPECT_EQ(0u, copy.Length());
}

HRESULT WINAPI FillDescription(EXCEPINFO* info) {
    info->bstrDescription = SysAllocString(L"filled later");
    info->scode = E_ACCESSDENIED;
    return S_OK;
}

TEST(ExcepInfo, RunsTheDeferredFillInOnceAndReadsCodeAndText) {
    ExcepInfo info;
    EXCEPINFO* raw = info.Out();
    raw->pfnDeferredFillIn = &FillDescription;
    EXPECT_EQ(E_ACCESSDENIED, info.Code(E_FAIL));
    EXPECT_EQ(L"filled later", info.Description());
    EXPECT_EQ(nullptr, info.Raw().pfnDeferredFillIn);
}

TEST(ExcepInfo, AWordCodeBecomesAnHResultAndNoCodeGivesTheFallback) {
    ExcepInfo info;
    info.Out()->wCode = 1004;
    EXPECT_EQ(static_cast<HRESULT>(0x800A03EC), info.Code(E_FAIL));
    info.Out();
    EXPECT_EQ(DISP_E_EXCEPTION, info.Code(DISP_E_EXCEPTION));
}

TEST(FailureRecord, ProcedureScopeClearsOnEntryAndReturnAndObserverSeesEverything) {
    FailureObserver observer;
    RecordHResult(E_ACCESSDENIED, L"before");
    {
        ProcedureScope scope;
        EXPECT_FALSE(HasPendingFailure());
        RecordFailure(42, L"inside", L"step");
        EXPECT_EQ(42, PendingFailure().number);
        EXPECT_EQ(L"inside", PendingFailure().description);
        EXPECT_EQ(L"step", PendingFailure().action);
        EXPECT_NE(0u, PendingFailure().line);
    }
    EXPECT_FALSE(HasPendingFailure());
    ASSERT_EQ(2u, observer.Seen().size());
    EXPECT_EQ(static_cast<long>(E_ACCESSDENIED), observer.Seen()[0].number);
    EXPECT_FALSE(observer.Seen()[0].description.empty());  // the system's text
    EXPECT_EQ(42, observer.Seen()[1].number);
}

}  // namespace
}  // namespace vantrell::com
