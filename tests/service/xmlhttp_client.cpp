#include "tests/service/xmlhttp_client.h"

#include <cstring>

#include "platform/failure.h"

namespace vantrell::test {

namespace {

template <typename Action>
Step Run(Action action) {
    ClearFailure();
    Step step;
    step.value = action();
    step.failed = HasPendingFailure();
    step.number = PendingFailure().number;
    step.description = PendingFailure().description;
    ClearFailure();
    return step;
}

}  // namespace

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

com::Variant ByteArray(const std::string& bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) return {};
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
    }
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ARRAY | VT_UI1;
    V_ARRAY(&v) = array;
    return com::Variant::Take(v);
}

XmlHttp::XmlHttp(std::wstring_view progId) {
    ClearFailure();
    object_ = com::CreateObject(progId);
    ClearFailure();
}

Step XmlHttp::Open(const std::string& method, const std::string& url, bool async) {
    return Run([&] {
        return object_.Call(L"open", {com::Variant(Widen(method)), com::Variant(Widen(url)),
                                      com::Variant::Boolean(async)});
    });
}

Step XmlHttp::SetHeader(const std::wstring& name, const std::wstring& value) {
    return Run([&] { return object_.Call(L"setRequestHeader", {com::Variant(name), com::Variant(value)}); });
}

Step XmlHttp::Send(const com::Variant& body) {
    return Run([&] { return object_.Call(L"send", {body}); });
}

Step XmlHttp::Post(const std::string& url, const std::string& body) {
    Step step = Open("POST", url, false);
    if (step.failed) return step;
    step = SetHeader(L"Content-Type", L"application/x-www-form-urlencoded");
    if (step.failed) return step;
    return Send(ByteArray(body));
}

Step XmlHttp::Get(std::wstring_view property) {
    return Run([&] { return object_.Get(property); });
}

Step XmlHttp::Call(std::wstring_view method, std::initializer_list<com::Variant> args) {
    return Run([&] { return object_.Call(method, args); });
}

}  // namespace vantrell::test
