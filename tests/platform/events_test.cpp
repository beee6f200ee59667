// The with-events field against a fake event source with real connection points.
#include <gtest/gtest.h>

#include <olectl.h>

#include <map>

#include "platform/events.h"
#include "tests/platform/fake_dispatch.h"

namespace vantrell::com {
namespace {

using test::RefCount;

const IID kOldEvents = {0x0006304F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kNewEvents = {0x0006300F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class FakePoint : public Object<IConnectionPoint> {
public:
    FakePoint(IConnectionPointContainer* container, const IID& iid) : container_(container), iid_(iid) {}

    STDMETHODIMP GetConnectionInterface(IID* iid) noexcept override {
        *iid = iid_;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override {
        *out = container_;
        container_->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override {
        IDispatch* events = nullptr;
        if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&events)))) return CONNECT_E_CANNOTCONNECT;
        *cookie = ++lastCookie_;
        sinks_[*cookie] = Ptr<IDispatch>::Attach(events);
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override {
        ++unadvises_;
        if (refuseUnadvise) return E_FAIL;
        auto it = sinks_.find(cookie);
        if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
        Ptr<IDispatch> leaving = std::move(it->second);
        sinks_.erase(it);
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) noexcept override { return E_NOTIMPL; }

    // Calls every sink, as a source fires an event; `args` in the event's own order.
    void Fire(DISPID id, std::vector<Variant> args = {}) {
        std::vector<Variant> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.front().GetMutable(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
        auto sinks = sinks_;  // a handler may unadvise while we call
        for (auto& [cookie, sink] : sinks) sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    size_t SinkCount() const { return sinks_.size(); }
    int Unadvises() const { return unadvises_; }
    bool refuseUnadvise = false;

private:
    IConnectionPointContainer* container_;  // the container owns the point
    IID iid_;
    DWORD lastCookie_ = 0;
    int unadvises_ = 0;
    std::map<DWORD, Ptr<IDispatch>> sinks_;
};

class FakeSource : public Object<IDispatch, IConnectionPointContainer> {
public:
    explicit FakeSource(std::vector<IID> offered) {
        for (const IID& iid : offered) points_.push_back(Make<FakePoint>(this, iid));
    }
    FakePoint* Point(const IID& iid) {
        for (auto& p : points_) {
            IID have;
            p->GetConnectionInterface(&have);
            if (IsEqualIID(have, iid)) return p.Get();
        }
        return nullptr;
    }

    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        *out = nullptr;
        FakePoint* point = Point(iid);
        if (!point) return CONNECT_E_NOCONNECTION;
        *out = point;
        point->AddRef();
        return S_OK;
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) noexcept override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override {
        *out = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    std::vector<Ptr<FakePoint>> points_;
};

Ptr<IDispatch> AsDispatch(const Ptr<FakeSource>& source) { return Ptr<IDispatch>(static_cast<IDispatch*>(source.Get())); }

int g_allActivations = 0;

// An owner with handlers, as the add-in's classes have them.
struct Watcher {
    explicit Watcher(const IID& primary = kOldEvents, const IID& fallback = kNewEvents) : field(primary, fallback) {
        field.On(0xF001, this, &Watcher::OnActivate);
        field.On(0xF008, this, &Watcher::OnClose);
    }
    void OnActivate(const EventArgs& args) {
        ++activations;
        ++g_allActivations;
        if (args.Count() > 0) lastText = args.Value(0).ToText();
    }
    void OnClose(const EventArgs& args) {
        ++closes;
        args.SetBool(0, true);
        if (dropOnClose) field.Reset();
    }
    WithEvents field;
    int activations = 0;
    int closes = 0;
    bool dropOnClose = false;
    std::wstring lastText;
};

TEST(WithEvents, SubscribesToTheOldInterfaceAndRoutesEventsByDispid) {
    Ptr<FakeSource> source = Make<FakeSource>(std::vector<IID>{kOldEvents, kNewEvents});
    Watcher watcher;
    ASSERT_EQ(S_OK, watcher.field.Set(AsDispatch(source)));
    EXPECT_TRUE(IsEqualIID(kOldEvents, watcher.field.Connected()));
    EXPECT_EQ(1u, source->Point(kOldEvents)->SinkCount());
    EXPECT_EQ(0u, source->Point(kNewEvents)->SinkCount());

    source->Point(kOldEvents)->Fire(0xF001, {Variant(L"hello")});
    source->Point(kOldEvents)->Fire(0x1234);  // an event nobody handles is ignored
    EXPECT_EQ(1, watcher.activations);
    EXPECT_EQ(L"hello", watcher.lastText);
}

TEST(WithEvents, FallsBackToTheNewInterfaceWhenTheOldOneIsRefused) {
    Ptr<FakeSource> source = Make<FakeSource>(std::vector<IID>{kNewEvents});
    Watcher watcher;
    ASSERT_EQ(S_OK, watcher.field.Set(AsDispatch(source)));
    EXPECT_TRUE(IsEqualIID(kNewEvents, watcher.field.Connected()));
    source->Point(kNewEvents)->Fire(0xF001);
    EXPECT_EQ(1, watcher.activations);
}

TEST(WithEvents, ASourceWithoutTheInterfaceIsHeldButNotHeard) {
    Ptr<FakeSource> source = Make<FakeSource>(std::vector<IID>{});
    Watcher watcher;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, watcher.field.Set(AsDispatch(source)));
    EXPECT_TRUE(watcher.field);
    EXPECT_FALSE(watcher.field.Subscribed());
}

TEST(WithEvents, AssigningAnotherObjectMovesTheSubscription) {
    Ptr<FakeSource> first = Make<FakeSource>(std::vector<IID>{kOldEvents});
    Ptr<FakeSource> second = Make<FakeSource>(std::vector<IID>{kOldEvents});
    Watcher watcher;
    watcher.field.Set(AsDispatch(first));
    watcher.field.Set(AsDispatch(second));
    EXPECT_EQ(0u, first->Point(kOldEvents)->SinkCount());
    EXPECT_EQ(1u, second->Point(kOldEvents)->SinkCount());
    first->Point(kOldEvents)->Fire(0xF001);
    EXPECT_EQ(0, watcher.activations);
    second->Point(kOldEvents)->Fire(0xF001);
    EXPECT_EQ(1, watcher.activations);
}

TEST(WithEvents, AssigningNothingDropsSubscriptionAndReference) {
    Ptr<FakeSource> source = Make<FakeSource>(std::vector<IID>{kOldEvents});
    ULONG before = RefCount(static_cast<IDispatch*>(source.Get()));
    Watcher watcher;
    watcher.field.Set(AsDispatch(source));
    EXPECT_GT(RefCount(static_cast<IDispatch*>(source.Get())), before);
    watcher.field.Set(nullptr);
    EXPECT_EQ(0u, source->Point(kOldEvents)->SinkCount());
    EXPECT_EQ(1, source->Point(kOldEvents)->Unadvises());
    EXPECT_EQ(before, RefCount(static_cast<IDispatch*>(source.Get())));
    EXPECT_FALSE(watcher.field);
}

TEST(WithEvents, AHandlerMayDropItsOwnSubscriptionDuringTheCall) {
    Ptr<FakeSource> source = Make<FakeSource>(std::vector<IID>{kOldEvents});
    Watcher watcher;
    watcher.dropOnClose = true;
    watcher.field.Set(AsDispatch(source));
    VARIANT_BOOL cancel = VARIANT_FALSE;
    source->Point(kOldEvents)->Fire(0xF008, {Variant::BoolRef(&cancel)});
    EXPECT_EQ(1, watcher.closes);
    EXPECT_EQ(VARIANT_TRUE, cancel);  // written through the by-reference argument
    EXPECT_EQ(0u, source->Point(kOldEvents)->SinkCount());
    EXPECT_FALSE(watcher.field);
}

TEST(WithEvents, DestroyingTheOwnerUnadvisesAndLeavesNoReference) {
    Ptr<FakeSource> source = Make<FakeSource>(std::vector<IID>{kOldEvents});
    ULONG before = RefCount(static_cast<IDispatch*>(source.Get()));
    {
        Watcher watcher;
        watcher.field.Set(AsDispatch(source));
    }
    EXPECT_EQ(0u, source->Point(kOldEvents)->SinkCount());
    EXPECT_EQ(before, RefCount(static_cast<IDispatch*>(source.Get())));
}

TEST(WithEvents, ASinkOutlivingItsOwnerCallsNothing) {
    Ptr<FakeSource> source = Make<FakeSource>(std::vector<IID>{kOldEvents});
    FakePoint* point = source->Point(kOldEvents);
    point->refuseUnadvise = true;  // the source keeps the sink after the owner has gone
    int before = g_allActivations;
    {
        Watcher watcher;
        watcher.field.Set(AsDispatch(source));
        point->Fire(0xF001);
    }
    EXPECT_EQ(before + 1, g_allActivations);
    ASSERT_EQ(1u, point->SinkCount());
    point->Fire(0xF001);
    EXPECT_EQ(before + 1, g_allActivations);
}

TEST(EventArgs, ReadsArgumentsInSignatureOrderAndRefusesToWriteANonReference) {
    std::vector<Variant> reversed = {Variant(2L), Variant(1L)};
    DISPPARAMS params{reversed.front().GetMutable(), nullptr, 2, 0};
    EventArgs args(params);
    EXPECT_EQ(1, args.Value(0).ToLong());
    EXPECT_EQ(2, args.Value(1).ToLong());
    EXPECT_TRUE(args.Value(2).IsEmpty());
    EXPECT_FALSE(args.SetBool(0, true));
}

}  // namespace
}  // namespace vantrell::com
