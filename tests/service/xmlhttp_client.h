#pragma once
// Drives MSXML's XMLHTTP object late-bound, as the add-in's logon request does, and tells
// what each step did: its value, or the failure it recorded (the HRESULT and its text).
#include <string>
#include <string_view>

#include "platform/late_bound.h"
#include "platform/variant.h"

namespace vantrell::test {

struct Step {
    bool failed = false;
    long number = 0;  // the recorded failure's number (an HRESULT), 0 when the step worked
    std::wstring description;
    com::Variant value;
};

// A VT_ARRAY | VT_UI1 variant holding `bytes`, the form the add-in sends its body in.
com::Variant ByteArray(const std::string& bytes);

class XmlHttp {
public:
    explicit XmlHttp(std::wstring_view progId = L"Microsoft.XMLHTTP");
    explicit operator bool() const { return static_cast<bool>(object_); }
    com::LateBound& Object() { return object_; }

    Step Open(const std::string& method, const std::string& url, bool async);
    Step SetHeader(const std::wstring& name, const std::wstring& value);
    Step Send(const com::Variant& body);
    // The logon request: open a synchronous POST, set the form Content-Type, send the bytes.
    Step Post(const std::string& url, const std::string& body);
    Step Get(std::wstring_view property);
    Step Call(std::wstring_view method, std::initializer_list<com::Variant> args = {});

private:
    com::LateBound object_;
};

std::wstring Widen(const std::string& text);

}  // namespace vantrell::test
