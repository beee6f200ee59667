#include "tests/platform/fake_dispatch.h"

#include <gtest/gtest.h>

namespace vantrell::test {
namespace {
std::wstring g_deferredText;
HRESULT WINAPI FillIn(EXCEPINFO* info) {
    info->bstrDescription = SysAllocString(g_deferredText.c_str());
    return S_OK;
}
}  // namespace

void FakeDispatch::Member(const std::wstring& name, DISPID id, com::Variant result) {
    Entry entry;
    entry.name = name;
    entry.result = std::move(result);
    members_[id] = std::move(entry);
}

void FakeDispatch::FailWith(const std::wstring& name, HRESULT hr) {
    for (auto& [id, entry] : members_)
        if (entry.name == name) entry.failure = hr;
}

void FakeDispatch::RaiseException(const std::wstring& name, HRESULT code, const std::wstring& description,
                                  bool deferred) {
    for (auto& [id, entry] : members_) {
        if (entry.name != name) continue;
        entry.raise = true;
        entry.code = code;
        entry.description = description;
        entry.deferred = deferred;
    }
}

STDMETHODIMP FakeDispatch::GetTypeInfoCount(UINT* count) noexcept {
    *count = 0;
    return S_OK;
}

STDMETHODIMP FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept {
    *out = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    ++lookups_;
    if (count != 1) return E_INVALIDARG;
    for (const auto& [id, entry] : members_) {
        if (_wcsicmp(entry.name.c_str(), names[0]) == 0) {
            ids[0] = id;
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT*) noexcept {
    auto it = members_.find(id);
    if (it == members_.end()) {
        ADD_FAILURE() << "unexpected call of DISPID " << id;
        return DISP_E_MEMBERNOTFOUND;
    }
    RecordedCall call;
    call.name = it->second.name;
    call.flags = flags;
    for (UINT i = params->cArgs; i > 0; --i) call.args.emplace_back(params->rgvarg[i - 1]);
    for (UINT i = 0; i < params->cNamedArgs; ++i) call.named.push_back(params->rgdispidNamedArgs[i]);
    calls_.push_back(std::move(call));

    const Entry& entry = it->second;
    if (entry.raise) {
        ZeroMemory(exception, sizeof *exception);
        exception->scode = entry.code;
        if (entry.deferred) {
            g_deferredText = entry.description;
            exception->pfnDeferredFillIn = &FillIn;
        } else {
            exception->bstrDescription = SysAllocString(entry.description.c_str());
        }
        return DISP_E_EXCEPTION;
    }
    if (FAILED(entry.failure)) return entry.failure;
    if (result) VariantCopy(result, const_cast<VARIANT*>(entry.result.Get()));
    return S_OK;
}

}  // namespace vantrell::test
