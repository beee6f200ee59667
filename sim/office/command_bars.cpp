#include "sim/office/command_bars.h"

#include <algorithm>
#include <type_traits>

#include "sim/outlook/members.h"

namespace vantrell::sim {

const IID IID_CommandBarButtonEvents = {0x000C0351, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

const wchar_t kDeleted[] = L"The object has been deleted.";
const wchar_t kInvalidCall[] = L"Invalid procedure call or argument.";

// The members' DISPIDs: stable numbers of the simulator's own (clients bind by name).
constexpr DISPID kCount = 0x60030001;
constexpr DISPID kFindControl = 0x60030002;
constexpr DISPID kName = 0x60030003;
constexpr DISPID kIndex = 0x60030004;
constexpr DISPID kVisible = 0x60030005;
constexpr DISPID kControls = 0x60030006;
constexpr DISPID kParent = 0x60030007;
constexpr DISPID kAdd = 0x60030008;
constexpr DISPID kTag = 0x60030009;
constexpr DISPID kParameter = 0x6003000A;
constexpr DISPID kStyle = 0x6003000B;
constexpr DISPID kFaceId = 0x6003000C;
constexpr DISPID kCaption = 0x6003000D;
constexpr DISPID kTooltipText = 0x6003000E;
constexpr DISPID kBeginGroup = 0x6003000F;
constexpr DISPID kEnabled = 0x60030010;
constexpr DISPID kType = 0x60030011;
constexpr DISPID kId = 0x60030012;
constexpr DISPID kBuiltIn = 0x60030013;
constexpr DISPID kDelete = 0x60030014;
constexpr DISPID kCommandBar = 0x60030015;

// Office's MsoControlType values of the controls the simulator does not make.
constexpr long kOtherControlTypes[] = {2, 3, 4, 12, 13, 14};

[[noreturn]] void InvalidCall() { throw Raised{E_INVALIDARG, kInvalidCall}; }

// FindControl's criteria; a missing one matches everything.
struct Criteria {
    const com::Variant& type;
    const com::Variant& id;
    const com::Variant& tag;
    const com::Variant& visible;

    bool Match(const ControlInfo& c) const {
        if (!IsMissing(type) && V_I4(type.Get()) != c.type) return false;
        if (!IsMissing(id) && V_I4(id.Get()) != c.id) return false;
        if (!IsMissing(tag) && tag.ToText() != c.tag) return false;
        if (!IsMissing(visible) && V_BOOL(visible.Get()) != VARIANT_FALSE && !c.visible) return false;
        return true;
    }
};

// The first control of `bar` that matches, each control before the controls of its menu (when
// `recursive`), or nullptr.
CommandBarButtonObject* FindIn(const CommandBarObject& bar, const Criteria& criteria, bool recursive) {
    for (const auto& control : bar.Controls()) {
        if (criteria.Match(control->Info())) return control.Get();
        if (recursive && control->Menu())
            if (CommandBarButtonObject* found = FindIn(*control->Menu(), criteria, true)) return found;
    }
    return nullptr;
}

// FindControl over `bars`; `recursive` answers whether the menus are searched too.
Member FindControl(std::vector<VARTYPE> params, std::function<std::vector<CommandBarObject*>()> bars,
                   std::function<bool(const Args&)> recursive) {
    const size_t count = params.size();
    Member m = Method(L"FindControl", kFindControl, std::move(params),
                      [bars = std::move(bars), recursive = std::move(recursive)](const Args& args) {
                          const Criteria criteria{args[0], args[1], args[2], args[3]};
                          // Only the open menus count as visible, and none is open.
                          const bool onlyVisible = !IsMissing(args[3]) && V_BOOL(args[3].Get()) != VARIANT_FALSE;
                          const bool deep = recursive(args) && !onlyVisible;
                          for (CommandBarObject* bar : bars())
                              if (CommandBarButtonObject* found = FindIn(*bar, criteria, deep)) return ObjectOf(found);
                          return Nothing();
                      });
    m.optional = count;
    return m;
}

// Office's captions mark their access key with '&': "&Send" reads "Send".
std::wstring Plain(const std::wstring& caption) {
    std::wstring plain;
    for (wchar_t c : caption)
        if (c != L'&') plain += c;
    return plain;
}

// The first visible and enabled control of `bar` tagged `name`, or captioned `name` (when
// `byCaption`), of the type asked.
Owned<CommandBarButtonObject> Clickable(const CommandBarObject& bar, const std::wstring& name, bool byCaption,
                                        long type) {
    for (const auto& control : bar.Controls()) {
        const ControlInfo& info = control->Info();
        const bool named =
            info.tag == name || (byCaption && _wcsicmp(Plain(info.caption).c_str(), Plain(name).c_str()) == 0);
        if (named && info.type == type && info.visible && info.enabled) return control;
    }
    return {};
}

void CollectTagged(const CommandBarObject& bar, const std::wstring& tag,
                   std::vector<Owned<CommandBarButtonObject>>& out) {
    for (const auto& control : bar.Controls()) {
        if (control->Info().type == kControlButton && control->Info().tag == tag) out.push_back(control);
        if (control->Menu()) CollectTagged(*control->Menu(), tag, out);
    }
}

// Click on `clicked`, heard by every live button of `application` with its tag (by itself only
// when it has none).
void FireClick(const Owned<CommandBarButtonObject>& clicked, const std::vector<CommandBarsObject*>& application) {
    const std::wstring tag = clicked->Info().tag;
    // Every button that hears the click, taken first: a handler may add or delete controls.
    std::vector<Owned<CommandBarButtonObject>> hearing;
    if (tag.empty()) {
        hearing.push_back(clicked);
    } else {
        for (CommandBarsObject* other : application) {
            if (other->Gone()) continue;
            for (const auto& otherBar : other->Bars()) CollectTagged(*otherBar.Get(), tag, hearing);
        }
    }
    VARIANT_BOOL cancelDefault = VARIANT_FALSE;
    VARIANT ctrl;
    VariantInit(&ctrl);
    V_VT(&ctrl) = VT_DISPATCH;
    V_DISPATCH(&ctrl) = clicked->Dispatch();
    VARIANT flag;
    VariantInit(&flag);
    V_VT(&flag) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&flag) = &cancelDefault;
    for (const auto& button : hearing)
        if (!button->Gone()) button->FireWith(kClick, {ctrl, flag});
}

}  // namespace

// ---- BarPart ----

void BarPart::AddLive(Member member) {
    auto get = std::move(member.get);
    member.get = [this, get = std::move(get)](const Args& args) {
        if (Gone()) throw Raised{E_FAIL, kDeleted};
        return get(args);
    };
    if (member.put) {
        auto put = std::move(member.put);
        member.put = [this, put = std::move(put)](const com::Variant& value) {
            if (Gone()) throw Raised{E_FAIL, kDeleted};
            put(value);
        };
    }
    Add(std::move(member));
}

// ---- CommandBars ----

CommandBarsObject::CommandBarsObject(ObjectHome* home, const std::vector<BarLayout>& layout,
                                     std::function<void()> customised)
    : BarPart(home, L"CommandBars"), customised_(std::move(customised)) {
    for (const BarLayout& bar : layout) {
        bars_.push_back(MakeOwned<CommandBarObject>(home, this, bar));
        for (const auto& control : bars_.back()->Controls()) builtIns_.push_back(control->Info());
    }
    AddLive(Property(L"Count", kCount, [this] { return com::Variant(static_cast<long>(bars_.size())); }));
    Member item = Method(L"Item", DISPID_VALUE, {VT_VARIANT}, [this](const Args& args) {
        const VARIANT* index = args[0].Get();
        if (V_VT(index) == VT_BSTR) {
            CommandBarObject* bar = Find(V_BSTR(index) ? V_BSTR(index) : L"");
            if (!bar) InvalidCall();
            return ObjectOf(bar);
        }
        return ObjectOf(bars_[ItemPosition(index, bars_.size())].Get());
    });
    item.access = Access::MethodOrGet;
    AddLive(std::move(item));
    AddLive(FindControl(
        {VT_I4, VT_I4, VT_BSTR, VT_BOOL},
        [this] {
            std::vector<CommandBarObject*> bars;
            for (const auto& bar : bars_) bars.push_back(bar.Get());
            return bars;
        },
        [](const Args&) { return true; }));
}

CommandBarsObject::~CommandBarsObject() { Close(); }

CommandBarObject* CommandBarsObject::Find(const std::wstring& name) const {
    for (const auto& bar : bars_)
        if (_wcsicmp(bar->Name().c_str(), name.c_str()) == 0) return bar.Get();
    return nullptr;
}

const ControlInfo* CommandBarsObject::BuiltIn(long id) const {
    for (const ControlInfo& control : builtIns_)
        if (control.id == id) return &control;
    return nullptr;
}

void CommandBarsObject::Customised() const {
    if (customised_) customised_();
}

void CommandBarsObject::Close() noexcept {
    if (closed_) return;
    closed_ = true;
    for (const auto& bar : bars_) bar->Close();
    bars_.clear();
}

// ---- CommandBar ----

CommandBarObject::CommandBarObject(ObjectHome* home, CommandBarsObject* set, const BarLayout& layout, bool menu)
    : BarPart(home, L"CommandBar"), set_(set), name_(layout.name), visible_(layout.visible), menu_(menu) {
    for (const BuiltInControl& builtIn : layout.builtIns) {
        ControlInfo info;
        info.type = builtIn.type;
        info.id = builtIn.id;
        info.caption = builtIn.caption;
        controls_.push_back(MakeOwned<CommandBarButtonObject>(home, this, std::move(info)));
    }
    AddLive(Property(L"Name", kName, [this] { return com::Variant(name_); }));
    AddLive(Property(L"Index", kIndex, [this] {
        if (menu_) return com::Variant(0L);
        const auto& bars = set_->Bars();
        for (size_t i = 0; i < bars.size(); ++i)
            if (bars[i].Get() == this) return com::Variant(static_cast<long>(i + 1));
        return com::Variant(0L);
    }));
    Member visible = Property(L"Visible", kVisible, [this] { return com::Variant::Boolean(visible_); });
    visible.access = Access::GetPut;
    visible.putType = VT_BOOL;
    visible.put = [this](const com::Variant& value) {
        visible_ = V_BOOL(value.Get()) != VARIANT_FALSE;
        set_->Customised();
    };
    AddLive(std::move(visible));
    AddLive(Property(L"Controls", kControls, [this] { return NewObject<CommandBarControlsObject>(home_, this); }));
    AddLive(Property(L"Parent", kParent, [this] { return ObjectOf(set_); }));
    AddLive(FindControl(
        {VT_I4, VT_I4, VT_BSTR, VT_BOOL, VT_BOOL}, [this] { return std::vector<CommandBarObject*>{this}; },
        [](const Args& args) { return !IsMissing(args[4]) && V_BOOL(args[4].Get()) != VARIANT_FALSE; }));
}

std::vector<ControlInfo> CommandBarObject::ControlInfos() const {
    std::vector<ControlInfo> infos;
    for (const auto& control : controls_) {
        infos.push_back(control->Info());
        if (control->Menu()) infos.back().controls = control->Menu()->ControlInfos();
    }
    return infos;
}

size_t CommandBarObject::PositionOf(const CommandBarButtonObject* control) const noexcept {
    size_t i = 0;
    while (i < controls_.size() && controls_[i].Get() != control) ++i;
    return i;
}

CommandBarButtonObject* CommandBarObject::Insert(size_t position, ControlInfo info) {
    auto control = MakeOwned<CommandBarButtonObject>(home_, this, std::move(info));
    controls_.insert(controls_.begin() + static_cast<long>(position), control);
    return control.Get();
}

void CommandBarObject::Remove(CommandBarButtonObject* control) {
    Owned<CommandBarButtonObject> keep(control);
    control->MarkGone();
    controls_.erase(controls_.begin() + static_cast<long>(PositionOf(control)));
}

void CommandBarObject::Close() noexcept {
    set_ = nullptr;
    for (const auto& control : controls_) control->MarkGone();
    controls_.clear();
}

// ---- CommandBarControls ----

CommandBarControlsObject::CommandBarControlsObject(ObjectHome* home, CommandBarObject* bar)
    : BarPart(home, L"CommandBarControls"), bar_(bar) {
    AddLive(Property(L"Count", kCount, [this] { return com::Variant(static_cast<long>(bar_->Controls().size())); }));
    Member item = Method(L"Item", DISPID_VALUE, {VT_VARIANT}, [this](const Args& args) {
        const auto& controls = bar_->Controls();
        const VARIANT* index = args[0].Get();
        if (V_VT(index) == VT_BSTR) {
            for (const auto& control : controls)
                if (_wcsicmp(control->Info().caption.c_str(), V_BSTR(index) ? V_BSTR(index) : L"") == 0)
                    return ObjectOf(control.Get());
            InvalidCall();
        }
        return ObjectOf(controls[ItemPosition(index, controls.size())].Get());
    });
    item.access = Access::MethodOrGet;
    AddLive(std::move(item));
    // Add([Type], [Id], [Parameter], [Before], [Temporary])
    Member add = Method(L"Add", kAdd, {VT_I4, VT_I4, VT_VARIANT, VT_I4, VT_BOOL}, [this](const Args& args) {
        const long type = IsMissing(args[0]) ? kControlButton : V_I4(args[0].Get());
        if (type != kControlButton && type != kControlPopup) {
            if (std::find(std::begin(kOtherControlTypes), std::end(kOtherControlTypes), type) !=
                std::end(kOtherControlTypes))
                throw Raised{E_NOTIMPL, L"The simulated command bars hold buttons and popups only."};
            InvalidCall();
        }
        ControlInfo info;
        info.type = type;
        if (!IsMissing(args[1]) && V_I4(args[1].Get()) != 1) {
            const ControlInfo* builtIn = bar_->Set()->BuiltIn(V_I4(args[1].Get()));
            if (!builtIn) InvalidCall();
            info = *builtIn;
        }
        if (!IsMissing(args[2])) info.parameter = args[2].ToText();
        const size_t count = bar_->Controls().size();
        size_t position = count;
        if (!IsMissing(args[3])) {
            const long before = V_I4(args[3].Get());
            if (before < 1 || static_cast<size_t>(before) > count + 1) InvalidCall();
            position = static_cast<size_t>(before - 1);
        }
        info.temporary = !IsMissing(args[4]) && V_BOOL(args[4].Get()) != VARIANT_FALSE;
        CommandBarButtonObject* control = bar_->Insert(position, std::move(info));
        bar_->Set()->Customised();
        return ObjectOf(control);
    });
    add.optional = 5;
    AddLive(std::move(add));
    AddLive(Property(L"Parent", kParent, [this] { return ObjectOf(bar_.Get()); }));
}

// ---- CommandBarButton ----

template <class T>
void CommandBarButtonObject::AddField(const wchar_t* name, DISPID id, VARTYPE type, T ControlInfo::*field,
                                      std::function<void(const com::Variant&)> check) {
    Member m = Property(name, id, [this, field] {
        if constexpr (std::is_same_v<T, bool>)
            return com::Variant::Boolean(info_.*field);
        else
            return com::Variant(info_.*field);
    });
    m.access = Access::GetPut;
    m.putType = type;
    m.put = [this, field, check = std::move(check)](const com::Variant& value) {
        if (check) check(value);
        if constexpr (std::is_same_v<T, bool>)
            info_.*field = V_BOOL(value.Get()) != VARIANT_FALSE;
        else if constexpr (std::is_same_v<T, long>)
            info_.*field = V_I4(value.Get());
        else
            info_.*field = value.ToText();
        bar_->Set()->Customised();
    };
    AddLive(std::move(m));
}

CommandBarButtonObject::CommandBarButtonObject(ObjectHome* home, CommandBarObject* bar, ControlInfo info)
    : BarPart(home, info.type == kControlPopup ? L"CommandBarPopup" : L"CommandBarButton"),
      bar_(bar),
      info_(std::move(info)) {
    const bool popup = info_.type == kControlPopup;
    info_.controls.clear();
    AddField(L"Tag", kTag, VT_BSTR, &ControlInfo::tag);
    AddField(L"Parameter", kParameter, VT_BSTR, &ControlInfo::parameter);
    if (!popup) {
        AddField(L"Style", kStyle, VT_I4, &ControlInfo::style, [](const com::Variant& value) {
            // MsoButtonStyle: automatic, icon, caption, icon and caption, and the wrapping ones.
            static const long kStyles[] = {0, 1, 2, 3, 7, 11, 14, 15};
            if (std::find(std::begin(kStyles), std::end(kStyles), V_I4(value.Get())) == std::end(kStyles))
                InvalidCall();
        });
        AddField(L"FaceId", kFaceId, VT_I4, &ControlInfo::faceId, [](const com::Variant& value) {
            if (V_I4(value.Get()) < 0) InvalidCall();
        });
    }
    AddField(L"Caption", kCaption, VT_BSTR, &ControlInfo::caption);
    AddField(L"TooltipText", kTooltipText, VT_BSTR, &ControlInfo::tooltip);
    AddField(L"BeginGroup", kBeginGroup, VT_BOOL, &ControlInfo::beginGroup);
    AddField(L"Visible", kVisible, VT_BOOL, &ControlInfo::visible);
    AddField(L"Enabled", kEnabled, VT_BOOL, &ControlInfo::enabled);
    AddLive(Property(L"Type", kType, [this] { return com::Variant(info_.type); }));
    AddLive(Property(L"Id", kId, [this] { return com::Variant(info_.id); }));
    AddLive(Property(L"BuiltIn", kBuiltIn, [this] { return com::Variant::Boolean(info_.id != 1); }));
    AddLive(Property(L"Index", kIndex, [this] { return com::Variant(static_cast<long>(bar_->PositionOf(this) + 1)); }));
    AddLive(Property(L"Parent", kParent, [this] { return ObjectOf(bar_); }));
    Member remove = Method(L"Delete", kDelete, {VT_BOOL}, [this](const Args&) {
        CommandBarsObject* set = bar_->Set();
        bar_->Remove(this);
        set->Customised();
        return com::Variant();
    });
    remove.optional = 1;
    AddLive(std::move(remove));
    if (!popup) {
        Offer(IID_CommandBarButtonEvents);
        return;
    }
    menu_ = MakeOwned<CommandBarObject>(home, bar_->Set(), BarLayout{info_.caption, true, {}}, true);
    AddLive(
        Property(L"Controls", kControls, [this] { return NewObject<CommandBarControlsObject>(home_, menu_.Get()); }));
    AddLive(Property(L"CommandBar", kCommandBar, [this] { return ObjectOf(menu_.Get()); }));
}

void CommandBarButtonObject::MarkGone() noexcept {
    bar_ = nullptr;
    if (menu_) menu_->Close();
}

// ---- clicks ----

bool ClickButton(CommandBarsObject& set, const std::wstring& barName, const std::wstring& tag,
                 const std::vector<CommandBarsObject*>& application) {
    CommandBarObject* bar = set.Gone() ? nullptr : set.Find(barName);
    if (!bar || !bar->Visible()) return false;
    Owned<CommandBarButtonObject> clicked = Clickable(*bar, tag, false, kControlButton);
    if (!clicked) return false;
    FireClick(clicked, application);
    return true;
}

bool ClickMenuButton(CommandBarsObject& set, const std::wstring& barName, const std::wstring& popup,
                     const std::wstring& button, const std::vector<CommandBarsObject*>& application,
                     std::wstring& tag) {
    CommandBarObject* bar = set.Gone() ? nullptr : set.Find(barName);
    if (!bar || !bar->Visible()) return false;
    Owned<CommandBarButtonObject> opened = Clickable(*bar, popup, true, kControlPopup);
    if (!opened) return false;
    Owned<CommandBarButtonObject> clicked = Clickable(*opened->Menu(), button, true, kControlButton);
    if (!clicked) return false;
    tag = clicked->Info().tag;
    FireClick(clicked, application);
    return true;
}

}  // namespace vantrell::sim
