#pragma once
// The simulated Word's object model: Application, Document, Window, Email and the Normal
// template, each a view on the Word host's state (word_host.h). Word's errors are automation
// exceptions whose scode is 0x800A0000 plus Word's error number.
#include <windows.h>

#include <string>

#include "sim/outlook/sim_object.h"

namespace vantrell::sim::word {

class WordHost;

// The published event interfaces of Word's Application and their DISPIDs.
extern const IID IID_ApplicationEvents2;  // Word 2000 and later
extern const IID IID_ApplicationEvents3;  // Word 2002 and later
extern const IID IID_ApplicationEvents4;  // Word 2003 and later
constexpr DISPID kQuit = 2;               // Quit()
constexpr DISPID kWindowActivate = 10;    // WindowActivate(Doc, Wn)

// Word's errors.
constexpr HRESULT kNoDocumentOpen = static_cast<HRESULT>(0x800A1098);  // 4248
constexpr HRESULT kNotAvailable = static_cast<HRESULT>(0x800A11FD);    // 4605
constexpr HRESULT kObjectDeleted = static_cast<HRESULT>(0x800A16C1);   // 5825

// The base of Word's objects: a simulated object that knows its Word host until the host goes.
class WordObject : public SimObject {
public:
    WordObject(WordHost* host, std::wstring kind);
    void Orphan() noexcept override {
        SimObject::Orphan();
        host_ = nullptr;
    }

protected:
    WordHost* host_;
};

// Name, Version, ActiveDocument, ActiveWindow, CommandBars (the shared set), NormalTemplate;
// the connection points of the ApplicationEvents interfaces of its version.
class ApplicationObject : public WordObject {
public:
    ApplicationObject(WordHost* host, int major);
};

class WindowObject;

// What a document holds: a plain document, an e-mail message being written (a new message, a
// reply or a forward), or a received or sent message read in Word.
enum class DocumentKind { Plain, EmailBeingWritten, EmailRead };

// An open document: Name, Email, CommandBars (the shared set), AttachedTemplate (the Normal
// template), ActiveWindow, Activate. Once closed, every member raises Word's 5825 "Object has
// been deleted."
class DocumentObject : public WordObject {
public:
    DocumentObject(WordHost* host, int handle, std::wstring name, DocumentKind kind);
    int Handle() const noexcept { return handle_; }
    const std::wstring& Name() const noexcept { return name_; }
    DocumentKind Kind() const noexcept { return kind_; }
    bool IsOpen() const noexcept { return open_; }
    void MarkClosed() noexcept;
    WindowObject* Window() const noexcept { return window_.Get(); }
    // Raises Word's error for a closed document.
    void RequireOpen() const;

private:
    int handle_;
    std::wstring name_;
    DocumentKind kind_;
    bool open_ = true;
    Owned<WindowObject> window_;
};

// A document's window: Caption, Document, Activate; fails as its document once closed.
class WindowObject : public WordObject {
public:
    WindowObject(WordHost* host, int document);
    void MarkClosed() noexcept { open_ = false; }

private:
    DocumentObject* Document() const;
    int document_;
    bool open_ = true;
};

// Document.Email: CurrentEmailAuthor is valid only for a message being written, where it answers
// an EmailAuthor object; for any other document, a received message read in Word among them,
// it raises Word's 4605.
class EmailObject : public WordObject {
public:
    EmailObject(WordHost* host, DocumentObject* document);

private:
    Owned<DocumentObject> document_;
};

// The author of a message being written: Signature (its name), Style (its name).
class EmailAuthorObject : public WordObject {
public:
    explicit EmailAuthorObject(WordHost* host);
};

// The Normal template: Name "Normal.dot", FullName, Saved (get/put).
class TemplateObject : public WordObject {
public:
    explicit TemplateObject(WordHost* host);
};

}  // namespace vantrell::sim::word
