#include "sim/word/word_objects.h"

#include "sim/outlook/members.h"
#include "sim/word/word_host.h"

namespace vantrell::sim::word {

const IID IID_ApplicationEvents2 = {0x000209FE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ApplicationEvents3 = {0x00020A00, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ApplicationEvents4 = {0x00020A01, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

// The members' DISPIDs: stable numbers of the simulator's own (clients bind by name).
constexpr DISPID kName = 0;
constexpr DISPID kActiveDocument = 3;
constexpr DISPID kActiveWindow = 4;
constexpr DISPID kVersion = 0x18;
constexpr DISPID kCommandBars = 0x39;
constexpr DISPID kNormalTemplate = 0x1E;
constexpr DISPID kEmail = 0x13D;
constexpr DISPID kAttachedTemplate = 0x43;
constexpr DISPID kActivate = 0x64;
constexpr DISPID kCaption = 0;
constexpr DISPID kDocument = 0x2;
constexpr DISPID kCurrentEmailAuthor = 0x69;
constexpr DISPID kFullName = 0x1;
constexpr DISPID kSaved = 0x5;

constexpr DISPID kSignature = 0x3;
constexpr DISPID kStyle = 0x1;

}  // namespace

WordObject::WordObject(WordHost* host, std::wstring kind) : SimObject(host, std::move(kind)), host_(host) {}

// ---- Application ----

ApplicationObject::ApplicationObject(WordHost* host, int major) : WordObject(host, L"Application") {
    Add(Property(L"Name", kName, [] { return com::Variant(L"Microsoft Word"); }));
    Add(Property(L"Version", kVersion, [this] { return com::Variant(host_->Version()); }));
    Add(Property(L"ActiveDocument", kActiveDocument, [this] {
        if (!host_->ActiveDocument())
            throw Raised{kNoDocumentOpen, L"This command is not available because no document is open."};
        return ObjectOf(host_->ActiveDocument());
    }));
    Add(Property(L"ActiveWindow", kActiveWindow, [this] {
        if (!host_->ActiveDocument())
            throw Raised{kNoDocumentOpen, L"This command is not available because no document is open."};
        return ObjectOf(host_->ActiveDocument()->Window());
    }));
    Add(Property(L"CommandBars", kCommandBars, [this] { return ObjectOf(host_->Bars()); }));
    Add(Property(L"NormalTemplate", kNormalTemplate, [this] { return ObjectOf(host_->NormalTemplate()); }));
    Offer(IID_ApplicationEvents2);
    if (major >= 10) Offer(IID_ApplicationEvents3);
    if (major >= 11) Offer(IID_ApplicationEvents4);
}

// ---- Document ----

DocumentObject::DocumentObject(WordHost* host, int handle, std::wstring name, DocumentKind kind)
    : WordObject(host, L"Document"), handle_(handle), name_(std::move(name)), kind_(kind),
      window_(MakeOwned<WindowObject>(host, handle)) {
    auto live = [this](Member member) {
        auto get = std::move(member.get);
        member.get = [this, get = std::move(get)](const Args& args) {
            RequireOpen();
            return get(args);
        };
        Add(std::move(member));
    };
    live(Property(L"Name", kName, [this] { return com::Variant(name_); }));
    live(Property(L"Email", kEmail, [this] { return NewObject<EmailObject>(host_, this); }));
    live(Property(L"CommandBars", kCommandBars, [this] { return ObjectOf(host_->Bars()); }));
    live(Property(L"AttachedTemplate", kAttachedTemplate, [this] { return ObjectOf(host_->NormalTemplate()); }));
    live(Property(L"ActiveWindow", kActiveWindow, [this] { return ObjectOf(window_.Get()); }));
    live(Method(L"Activate", kActivate, {}, [this](const Args&) {
        host_->Activate(this);
        return com::Variant();
    }));
}

void DocumentObject::MarkClosed() noexcept {
    open_ = false;
    window_->MarkClosed();
}

void DocumentObject::RequireOpen() const {
    if (!open_) throw Raised{kObjectDeleted, L"Object has been deleted."};
}

// ---- Window ----

WindowObject::WindowObject(WordHost* host, int document) : WordObject(host, L"Window"), document_(document) {
    Add(Property(L"Caption", kCaption, [this] { return com::Variant(Document()->Name()); }));
    Add(Property(L"Document", kDocument, [this] { return ObjectOf(Document()); }));
    Add(Method(L"Activate", kActivate, {}, [this](const Args&) {
        host_->Activate(Document());
        return com::Variant();
    }));
}

DocumentObject* WindowObject::Document() const {
    if (!open_) throw Raised{kObjectDeleted, L"Object has been deleted."};
    return host_->Find(document_);
}

// ---- Email ----

EmailObject::EmailObject(WordHost* host, DocumentObject* document) : WordObject(host, L"Email"), document_(document) {
    Add(Property(L"CurrentEmailAuthor", kCurrentEmailAuthor, [this] {
        document_->RequireOpen();
        if (document_->Kind() != DocumentKind::EmailBeingWritten)
            throw Raised{kNotAvailable,
                         L"This method or property is not available because the document is not an e-mail message."};
        return NewObject<EmailAuthorObject>(host_);
    }));
}

EmailAuthorObject::EmailAuthorObject(WordHost* host) : WordObject(host, L"EmailAuthor") {
    Add(Property(L"Signature", kSignature, [] { return com::Variant(L"Mailbox Owner"); }));
    Add(Property(L"Style", kStyle, [] { return com::Variant(L"E-mail Signature"); }));
}

// ---- the Normal template ----

TemplateObject::TemplateObject(WordHost* host) : WordObject(host, L"Template") {
    Add(Property(L"Name", kName, [] { return com::Variant(L"Normal.dot"); }));
    Add(Property(L"FullName", kFullName, [] {
        return com::Variant(L"C:\\Documents and Settings\\User\\Application Data\\Microsoft\\Templates\\Normal.dot");
    }));
    Member saved = Property(L"Saved", kSaved, [this] { return com::Variant::Boolean(host_->TemplateSaved()); });
    saved.access = Access::GetPut;
    saved.putType = VT_BOOL;
    saved.put = [this](const com::Variant& value) { host_->SetTemplateSaved(V_BOOL(value.Get()) != VARIANT_FALSE); };
    Add(std::move(saved));
}

}  // namespace vantrell::sim::word
