#include "sim/outlook/ribbon.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>

#include "sim/outlook/host.h"
#include "sim/outlook/members.h"

namespace vantrell::sim {
namespace {

// A member of a simulated object called through the vtable of a dual interface: the same call
// as by name, an automation exception answered as its scode.
HRESULT CallMember(SimObject& object, DISPID id, WORD flags, std::vector<VARIANT> arguments, VARIANT* result) {
    DISPPARAMS params{arguments.empty() ? nullptr : arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    com::ExcepInfo exception;
    UINT argError = 0;
    HRESULT hr = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, exception.Out(), &argError);
    return hr == DISP_E_EXCEPTION ? exception.Code(hr) : hr;
}

// Calls a ribbon callback as Office does: by name through the add-in's IRibbonExtensibility,
// with DISPATCH_METHOD and one object, lent for the call.
HRESULT CallByName(IRibbonExtensibility* target, const std::wstring& name, IDispatch* argument, com::Variant& result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    VARIANT object;
    VariantInit(&object);
    V_VT(&object) = VT_DISPATCH;
    V_DISPATCH(&object) = argument;
    DISPPARAMS params{&object, nullptr, 1, 0};
    com::ExcepInfo exception;
    UINT argError = 0;
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Out(), exception.Out(),
                          &argError);
}

// The vtable of a dual interface of a simulated object: one identity and one count with the
// object, IDispatch its table of members.
template <class I>
class DualFace : public I {
public:
    explicit DualFace(SimObject& owner) noexcept : owner_(owner) {}
    DualFace(const DualFace&) = delete;
    DualFace& operator=(const DualFace&) = delete;
    virtual ~DualFace() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override { return owner_.QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return owner_.Release(); }
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override { return owner_.GetTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** out) noexcept override {
        return owner_.GetTypeInfo(index, locale, out);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept override {
        return owner_.GetIDsOfNames(iid, names, count, locale, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override {
        return owner_.Invoke(id, iid, locale, flags, params, result, exception, argError);
    }

protected:
    SimObject& owner_;
};

// What a callback gets: Id, Context (the window, or what a test chose) and Tag.
class RibbonControlObject : public SimObject {
public:
    RibbonControlObject(ObjectHome* home, std::wstring id, std::wstring tag, IDispatch* context)
        : SimObject(home, L"RibbonControl"), face_(*this), id_(std::move(id)), tag_(std::move(tag)), context_(context) {
        Add(Property(L"Id", 1, [this] { return com::Variant(id_); }));
        Add(Property(L"Context", 2, [this] { return com::Variant(context_.Get()); }));
        Add(Property(L"Tag", 3, [this] { return com::Variant(tag_); }));
    }

protected:
    void* QueryOther(REFIID iid) noexcept override {
        return IsEqualIID(iid, IID_IRibbonControl) ? static_cast<IRibbonControl*>(&face_) : nullptr;
    }

private:
    class Face final : public DualFace<IRibbonControl> {
    public:
        using DualFace::DualFace;
        STDMETHODIMP get_Id(BSTR* out) noexcept override { return Text(1, out); }
        STDMETHODIMP get_Context(IDispatch** out) noexcept override {
            if (!out) return E_POINTER;
            *out = nullptr;
            com::Variant value;
            HRESULT hr = CallMember(owner_, 2, DISPATCH_PROPERTYGET, {}, value.Out());
            if (SUCCEEDED(hr)) *out = value.ToDispatch().Detach();
            return hr;
        }
        STDMETHODIMP get_Tag(BSTR* out) noexcept override { return Text(3, out); }

    private:
        HRESULT Text(DISPID id, BSTR* out) noexcept {
            if (!out) return E_POINTER;
            *out = nullptr;
            com::Variant value;
            HRESULT hr = CallMember(owner_, id, DISPATCH_PROPERTYGET, {}, value.Out());
            if (SUCCEEDED(hr) && value.Type() == VT_BSTR)
                *out = SysAllocStringLen(V_BSTR(value.Get()), SysStringLen(V_BSTR(value.Get())));
            return hr;
        }
    };

    Face face_;
    std::wstring id_, tag_;
    com::Ptr<IDispatch> context_;
};

}  // namespace

// ---- the add-in's IRibbonUI ----

// One per add-in load. Invalidate() and InvalidateControl(ControlID) make the ribbon ask again;
// once the add-in has been disconnected they do nothing, once Outlook has gone they fail
// (RPC_E_DISCONNECTED).
class RibbonUiObject : public SimObject {
public:
    RibbonUiObject(ObjectHome* home, Ribbons& ribbons, Ribbons::AddInRibbon& addIn)
        : SimObject(home, L"RibbonUI"), face_(*this), ribbons_(&ribbons), addIn_(&addIn) {
        Add(Method(L"Invalidate", 1, {}, [this](const Args&) {
            if (addIn_) ribbons_->Invalidate(*addIn_, std::nullopt);
            return com::Variant();
        }));
        Add(Method(L"InvalidateControl", 2, {VT_BSTR}, [this](const Args& args) {
            if (addIn_) ribbons_->Invalidate(*addIn_, args[0].ToText());
            return com::Variant();
        }));
    }
    // The add-in has gone: calls change nothing from now on.
    void Cut() noexcept { addIn_ = nullptr; }

protected:
    void* QueryOther(REFIID iid) noexcept override {
        return IsEqualIID(iid, IID_IRibbonUI) ? static_cast<IRibbonUI*>(&face_) : nullptr;
    }

private:
    class Face final : public DualFace<IRibbonUI> {
    public:
        using DualFace::DualFace;
        STDMETHODIMP Invalidate() noexcept override { return CallMember(owner_, 1, DISPATCH_METHOD, {}, nullptr); }
        STDMETHODIMP InvalidateControl(BSTR id) noexcept override {
            VARIANT argument;
            VariantInit(&argument);
            V_VT(&argument) = VT_BSTR;
            V_BSTR(&argument) = id;  // lent for the call
            return CallMember(owner_, 2, DISPATCH_METHOD, {argument}, nullptr);
        }
    };

    Face face_;
    Ribbons* ribbons_;
    Ribbons::AddInRibbon* addIn_;
};

// ---- the state ----

struct Ribbons::AddInRibbon {
    AddInObject* entry;
    com::Ptr<IRibbonExtensibility> extensibility;
    std::map<std::wstring, Definition> definitions;  // by ribbon id, as asked
    Owned<RibbonUiObject> ui;
    bool connected = true;
    std::set<std::wstring> stale;
    bool allStale = false;
    bool refreshQueued = false;
};

struct Ribbons::WindowRibbon {
    WindowObject* window;
    std::wstring ribbonId;
    bool open = true;
    // Per add-in that shows a definition here: each control's own answer (true without getVisible).
    std::map<const AddInRibbon*, std::vector<bool>> answers;
};

Ribbons::Ribbons(Host& host, int major) : host_(host), major_(major), uiHome_(L"Microsoft Office") {}

Ribbons::~Ribbons() {
    for (const auto& addIn : addIns_) {
        addIn->connected = false;
        if (addIn->ui) addIn->ui->Cut();
    }
}

void Ribbons::Note(std::wstring entry, bool alsoOutlook) {
    if (alsoOutlook) host_.Note(entry);
    log_.push_back(std::move(entry));
}

std::wstring Ribbons::RibbonIdOf(const WindowObject* window) const {
    if (major_ < 12) return {};
    const auto* inspector = dynamic_cast<const InspectorObject*>(window);
    if (!inspector) return major_ >= 14 ? L"Microsoft.Outlook.Explorer" : L"";
    const ItemObject* item = inspector->Item();
    if (!item) return {};
    switch (item->ObjectClass()) {
        case 43: return item->Sent() ? L"Microsoft.Outlook.Mail.Read" : L"Microsoft.Outlook.Mail.Compose";
        case 45: return item->Sent() ? L"Microsoft.Outlook.Post.Read" : L"Microsoft.Outlook.Post.Compose";
        case 26: return L"Microsoft.Outlook.Appointment";
        case 40: return L"Microsoft.Outlook.Contact";
        case 42: return L"Microsoft.Outlook.Journal";
        case 46: return L"Microsoft.Outlook.Report";
        case 48: return L"Microsoft.Outlook.Task";
        case 53: return L"Microsoft.Outlook.MeetingRequest.Read";
        default: return {};
    }
}

// ---- add-ins ----

void Ribbons::Connected(AddInObject* addIn) {
    if (major_ < 12 || !addIn->Instance()) return;
    auto extensibility = addIn->Instance().As<IRibbonExtensibility>();
    if (!extensibility) return;
    auto state = std::make_shared<AddInRibbon>();
    state->entry = addIn;
    state->extensibility = std::move(extensibility);
    addIns_.push_back(state);
    for (const auto& window : std::vector<std::shared_ptr<WindowRibbon>>(windows_)) Show(state, window);
}

void Ribbons::Disconnected(AddInObject* addIn) {
    auto it = std::find_if(addIns_.begin(), addIns_.end(), [addIn](const auto& state) { return state->entry == addIn; });
    if (it == addIns_.end()) return;
    std::shared_ptr<AddInRibbon> state = *it;
    addIns_.erase(it);
    state->connected = false;
    for (const auto& window : windows_) window->answers.erase(state.get());
    if (state->ui) state->ui->Cut();
    state->ui.Reset();
    state->extensibility.Reset();
}

// ---- windows ----

void Ribbons::Opened(WindowObject* window) {
    std::wstring ribbonId = RibbonIdOf(window);
    if (ribbonId.empty()) return;
    auto state = std::make_shared<WindowRibbon>();
    state->window = window;
    state->ribbonId = std::move(ribbonId);
    windows_.push_back(state);
    for (const auto& addIn : std::vector<std::shared_ptr<AddInRibbon>>(addIns_)) Show(addIn, state);
}

void Ribbons::Closed(WindowObject* window) {
    auto it = std::find_if(windows_.begin(), windows_.end(), [window](const auto& state) { return state->window == window; });
    if (it == windows_.end()) return;
    (*it)->open = false;
    windows_.erase(it);
}

std::shared_ptr<Ribbons::WindowRibbon> Ribbons::WindowOf(const WindowObject* window) const {
    for (const auto& state : windows_)
        if (state->window == window) return state;
    return nullptr;
}

const CustomUi* Ribbons::Load(const std::shared_ptr<AddInRibbon>& addIn, const std::wstring& ribbonId) {
    if (auto known = addIn->definitions.find(ribbonId); known != addIn->definitions.end())
        return known->second.ui ? &*known->second.ui : nullptr;
    Note(L"GetCustomUI " + ribbonId);
    com::Ptr<IRibbonExtensibility> extensibility = addIn->extensibility;
    com::Bstr id(ribbonId);
    com::Bstr answer;
    HRESULT hr = extensibility->GetCustomUI(id.Get(), answer.Out());
    if (!addIn->connected) return nullptr;
    Definition& definition = addIn->definitions[ribbonId];
    if (FAILED(hr)) {
        Note(L"GetCustomUI failed " + ribbonId + L" " + Hex(hr));
        host_.NoteAddInCall(L"GetCustomUI " + ribbonId, hr);
        return nullptr;
    }
    definition.xml = answer.Text();
    if (definition.xml.empty()) return nullptr;
    std::wstring reason;
    definition.ui = ParseCustomUi(definition.xml, reason);
    if (!definition.ui) {
        Note(L"Ribbon refused " + ribbonId + L": " + reason);
        return nullptr;
    }
    const CustomUi* ui = &*definition.ui;
    if (!ui->onLoad.empty()) {
        if (!addIn->ui) addIn->ui = MakeOwned<RibbonUiObject>(&uiHome_, *this, *addIn);
        Note(L"onLoad");
        Owned<RibbonUiObject> lent = addIn->ui;
        com::Variant ignored;
        HRESULT loaded = CallByName(extensibility.Get(), ui->onLoad, lent->Dispatch(), ignored);
        if (FAILED(loaded)) {
            Note(L"onLoad failed " + ui->onLoad + L" " + Hex(loaded));
            host_.NoteAddInCall(L"onLoad " + ui->onLoad, loaded);
        }
    }
    return ui;
}

void Ribbons::Show(const std::shared_ptr<AddInRibbon>& addIn, const std::shared_ptr<WindowRibbon>& window) {
    if (!addIn->connected || !window->open || window->answers.count(addIn.get())) return;
    const CustomUi* ui = Load(addIn, window->ribbonId);
    if (!ui || !addIn->connected || !window->open) return;
    window->answers[addIn.get()] = std::vector<bool>(ui->controls.size(), true);
    const std::vector<RibbonControlDef> controls = ui->controls;
    for (size_t i = 0; i < controls.size(); ++i)
        if (!controls[i].getVisible.empty()) AskVisible(addIn, window, controls[i], i);
}

void Ribbons::AskVisible(const std::shared_ptr<AddInRibbon>& addIn, const std::shared_ptr<WindowRibbon>& window,
                         const RibbonControlDef& control, size_t index) {
    if (!addIn->connected || !window->open) return;
    Note(L"getVisible " + control.getVisible + L" " + control.id);
    com::Variant answer;
    HRESULT hr = Call(*addIn, control.getVisible, control.id, control.tag, window->window->Dispatch(), answer);
    // Office shows a control whose callback fails or answers no Boolean.
    bool visible = true;
    if (FAILED(hr)) {
        Note(L"getVisible failed " + control.getVisible + L" " + control.id + L" " + Hex(hr));
        host_.NoteAddInCall(L"getVisible " + control.getVisible + L" " + control.id, hr);
    } else if (answer.Type() != VT_BOOL)
        Note(L"getVisible answered no Boolean " + control.getVisible + L" " + control.id);
    else
        visible = V_BOOL(answer.Get()) != VARIANT_FALSE;
    auto answers = window->answers.find(addIn.get());
    if (addIn->connected && window->open && answers != window->answers.end() && index < answers->second.size())
        answers->second[index] = visible;
}

HRESULT Ribbons::Call(const AddInRibbon& addIn, const std::wstring& name, const std::wstring& controlId,
                      const std::wstring& tag, IDispatch* context, com::Variant& result) {
    com::Ptr<IRibbonExtensibility> extensibility = addIn.extensibility;
    if (!extensibility) return E_FAIL;
    // The control is the host's only while the call lasts.
    com::Ptr<RibbonControlObject> control = com::Make<RibbonControlObject>(&host_, controlId, tag, context);
    return CallByName(extensibility.Get(), name, control->Dispatch(), result);
}

std::vector<RibbonControlState> Ribbons::Shown(const WindowObject* window) const {
    std::vector<RibbonControlState> shown;
    auto state = WindowOf(window);
    if (!state) return shown;
    for (const auto& addIn : addIns_) {
        auto answers = state->answers.find(addIn.get());
        auto definition = addIn->definitions.find(state->ribbonId);
        if (answers == state->answers.end() || definition == addIn->definitions.end() || !definition->second.ui)
            continue;
        const auto& controls = definition->second.ui->controls;
        for (size_t i = 0; i < controls.size(); ++i) {
            // A button of a hidden group is not shown, whatever its own answer.
            const bool visible = answers->second[i] && (controls[i].group || answers->second[controls[i].groupIndex]);
            shown.push_back({controls[i].id, controls[i].label, visible});
        }
    }
    return shown;
}

void Ribbons::Click(WindowObject* window, const std::wstring& controlId) {
    auto state = WindowOf(window);
    if (!state) throw std::logic_error("the window shows no ribbon");
    for (const auto& addIn : std::vector<std::shared_ptr<AddInRibbon>>(addIns_)) {
        auto answers = state->answers.find(addIn.get());
        auto definition = addIn->definitions.find(state->ribbonId);
        if (answers == state->answers.end() || definition == addIn->definitions.end() || !definition->second.ui)
            continue;
        const auto& controls = definition->second.ui->controls;
        for (size_t i = 0; i < controls.size(); ++i) {
            if (controls[i].group || controls[i].id != controlId) continue;
            if (!answers->second[i] || !answers->second[controls[i].groupIndex]) break;
            const RibbonControlDef button = controls[i];
            if (button.onAction.empty()) return;  // a button without an action does nothing
            Note(L"onAction " + button.onAction + L" " + button.id);
            com::Variant ignored;
            HRESULT hr = Call(*addIn, button.onAction, button.id, button.tag, window->Dispatch(), ignored);
            if (FAILED(hr)) {
                Note(L"onAction failed " + button.onAction + L" " + button.id + L" " + Hex(hr));
                host_.NoteAddInCall(L"onAction " + button.onAction + L" " + button.id, hr);
            }
            return;
        }
    }
    throw std::logic_error("the window's ribbon shows no such button");
}

com::Variant Ribbons::CallCallback(const std::wstring& name, IDispatch* context, const std::wstring& controlId) {
    if (addIns_.empty()) throw std::logic_error("no add-in has a ribbon");
    const std::shared_ptr<AddInRibbon> addIn = addIns_.front();
    std::wstring tag;
    for (const auto& [ribbonId, definition] : addIn->definitions) {
        if (!definition.ui) continue;
        for (const RibbonControlDef& control : definition.ui->controls)
            if (control.id == controlId) tag = control.tag;
    }
    com::Variant result;
    HRESULT hr = Call(*addIn, name, controlId, tag, context, result);
    if (FAILED(hr)) throw std::runtime_error("the ribbon callback failed");
    return result;
}

std::wstring Ribbons::Xml(const std::wstring& ribbonId) const {
    if (addIns_.empty()) return {};
    auto definition = addIns_.front()->definitions.find(ribbonId);
    return definition == addIns_.front()->definitions.end() ? std::wstring() : definition->second.xml;
}

IDispatch* Ribbons::Ui() const {
    return addIns_.empty() || !addIns_.front()->ui ? nullptr : addIns_.front()->ui->Dispatch();
}

// ---- invalidation ----

void Ribbons::Invalidate(AddInRibbon& addIn, const std::optional<std::wstring>& controlId) {
    if (controlId) {
        Note(L"InvalidateControl " + *controlId, true);
        addIn.stale.insert(*controlId);
    } else {
        Note(L"Invalidate", true);
        addIn.allStale = true;
    }
    if (addIn.refreshQueued) return;
    addIn.refreshQueued = true;
    // Office redraws when it next gets to its messages, not inside the add-in's call.
    for (const auto& state : addIns_) {
        if (state.get() != &addIn) continue;
        host_.Queue([this, weak = std::weak_ptr<AddInRibbon>(state)] {
            if (auto addIn = weak.lock()) Refresh(addIn);
        });
        return;
    }
}

void Ribbons::Refresh(const std::shared_ptr<AddInRibbon>& addIn) {
    addIn->refreshQueued = false;
    if (!addIn->connected) return;
    const std::set<std::wstring> stale = std::move(addIn->stale);
    const bool all = std::exchange(addIn->allStale, false);
    addIn->stale.clear();
    for (const auto& window : std::vector<std::shared_ptr<WindowRibbon>>(windows_)) {
        if (!window->answers.count(addIn.get())) continue;
        auto definition = addIn->definitions.find(window->ribbonId);
        if (definition == addIn->definitions.end() || !definition->second.ui) continue;
        const std::vector<RibbonControlDef> controls = definition->second.ui->controls;
        for (size_t i = 0; i < controls.size(); ++i)
            if (!controls[i].getVisible.empty() && (all || stale.count(controls[i].id)))
                AskVisible(addIn, window, controls[i], i);
    }
}

}  // namespace vantrell::sim
