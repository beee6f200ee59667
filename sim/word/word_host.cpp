#include "sim/word/word_host.h"

#include <oleauto.h>

#include <algorithm>
#include <stdexcept>

namespace vantrell::sim::word {

const CLSID CLSID_WordApplication = {0x000209FF, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

const wchar_t kProgId[] = L"Word.Application";
const wchar_t kProgIdKey[] = L"Software\\Classes\\Word.Application";
const wchar_t kClsidText[] = L"{000209FF-0000-0000-C000-000000000046}";

int MajorOf(const std::wstring& version) { return static_cast<int>(wcstol(version.c_str(), nullptr, 10)); }

// The bars every Word window shows, with their built-in buttons.
std::vector<BarLayout> WordBars() {
    return {{L"Standard", true, {{2520, L"&New"}, {23, L"&Open..."}, {3, L"&Save"}, {2521, L"&Print"}}},
            {L"Formatting", true, {{113, L"&Bold"}, {114, L"&Italic"}, {115, L"&Underline"}}}};
}

// Maps the ProgID to Word's class under `root`'s classes; true when this created the key (an
// existing one is left alone).
bool CreateProgId(HKEY root) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, kProgIdKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    if (disposition != REG_CREATED_NEW_KEY) return false;
    const std::wstring clsidKey = std::wstring(kProgIdKey) + L"\\CLSID";
    if (RegCreateKeyExW(root, clsidKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kClsidText), sizeof kClsidText);
        RegCloseKey(key);
    }
    return true;
}

bool ProgIdFindsWord() {
    CLSID clsid;
    return SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)) && IsEqualCLSID(clsid, CLSID_WordApplication);
}

}  // namespace

WordHost::WordHost(std::wstring version) : ObjectHome(L"Microsoft Word"), version_(std::move(version)) {
    application_ = MakeOwned<ApplicationObject>(this, MajorOf(version_));
    bars_ = MakeOwned<CommandBarsObject>(this, WordBars(), [this] { templateSaved_ = false; });
    template_ = MakeOwned<TemplateObject>(this);
}

WordHost::~WordHost() {
    Withdraw();
    active_ = nullptr;
    for (const auto& document : documents_) document->MarkClosed();
    documents_.clear();
    bars_.Reset();
    template_.Reset();
    application_.Reset();
    OrphanAll();
}

void WordHost::RequireRunning() const {
    if (!running_) throw std::logic_error("the simulated Word is not running");
}

void WordHost::Start() {
    if (started_) throw std::logic_error("the simulated Word has already started");
    started_ = running_ = true;
    Register();
    Note(L"Start");
}

void WordHost::Quit() {
    if (!running_) return;
    Note(L"Quit");
    // Word tells its clients while it can still answer them.
    application_->Fire(kQuit);
    Stop(RPC_E_DISCONNECTED);
}

void WordHost::EndProcess() {
    if (!running_) return;
    Note(L"Process ended");
    Stop(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
}

void WordHost::Stop(HRESULT disconnectedWith) {
    if (!running_) return;
    Withdraw();
    active_ = nullptr;
    for (const auto& document : documents_) document->MarkClosed();
    documents_.clear();
    running_ = false;
    // Its objects are cut off from now on; those held elsewhere still count.
    Disconnect(disconnectedWith);
}

void WordHost::Register() {
    // The ProgID as Word maps it for the user. Wine's HKEY_CLASSES_ROOT does not show the user's
    // classes, so where the user's key is not seen the machine's gets it too.
    if (CreateProgId(HKEY_CURRENT_USER)) progIdRoots_.push_back(HKEY_CURRENT_USER);
    if (!ProgIdFindsWord() && CreateProgId(HKEY_LOCAL_MACHINE)) progIdRoots_.push_back(HKEY_LOCAL_MACHINE);
    // The running object table's references are the simulator's, not a client's.
    const long before = application_->ReferencesOutside();
    HRESULT hr = RegisterActiveObject(static_cast<IUnknown*>(application_->Dispatch()), CLSID_WordApplication,
                                      ACTIVEOBJECT_STRONG, &registration_);
    if (FAILED(hr)) {
        registration_ = 0;
        throw std::runtime_error("cannot register the simulated Word as the active object");
    }
    registrationRefs_ = application_->ReferencesOutside() - before;
    application_->CountAsOwn(registrationRefs_);
}

void WordHost::Withdraw() noexcept {
    if (registration_) {
        RevokeActiveObject(registration_, nullptr);
        registration_ = 0;
        application_->CountAsOwn(-registrationRefs_);
        registrationRefs_ = 0;
    }
    for (HKEY root : progIdRoots_) RegDeleteTreeW(root, kProgIdKey);
    progIdRoots_.clear();
}

// ---- documents ----

DocumentObject* WordHost::Find(int handle) const {
    for (const auto& document : documents_)
        if (document->Handle() == handle) return document.Get();
    throw std::out_of_range("no open document has this handle");
}

int WordHost::Open(std::wstring name, DocumentKind kind) {
    const int handle = Create(std::move(name), kind);
    Activate(Find(handle));
    return handle;
}

int WordHost::Create(std::wstring name, DocumentKind kind) {
    RequireRunning();
    auto document = MakeOwned<DocumentObject>(this, ++lastHandle_, name, kind);
    documents_.push_back(document);
    Note(L"Document.Open " + name);
    return document->Handle();
}

void WordHost::Activate(DocumentObject* document) {
    if (!document->IsOpen() || active_ == document) return;
    Owned<DocumentObject> keep(document);
    active_ = document;
    Note(L"WindowActivate " + document->Name());
    application_->Fire(kWindowActivate, {document->Dispatch(), document->Window()->Dispatch()});
}

void WordHost::Close(DocumentObject* document) {
    if (!document->IsOpen()) return;
    Owned<DocumentObject> keep(document);
    document->MarkClosed();
    documents_.erase(std::remove_if(documents_.begin(), documents_.end(),
                                    [document](const Owned<DocumentObject>& d) { return d.Get() == document; }),
                     documents_.end());
    Note(L"Document.Close " + document->Name());
    if (active_ != document) return;
    active_ = nullptr;
    if (!documents_.empty()) Activate(documents_.back().Get());
}

bool WordHost::Click(const std::wstring& tag) {
    RequireRunning();
    const bool clicked = ClickButton(*bars_.Get(), L"Standard", tag, {bars_.Get()});
    Note((clicked ? L"Click " : L"Click ignored ") + tag);
    return clicked;
}

}  // namespace vantrell::sim::word
