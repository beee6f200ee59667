#include "session/session_state.h"

#include <windows.h>

#include "session/insp_wrap.h"
#include "platform/text.h"
#include "session/crm_addin.h"

namespace vantrell {

com::Ptr<CRMAddIn> gobjCRMAddIn;
std::unique_ptr<InspWrapCollection> gcolInspWrap;


InspWrapCollection::InspWrapCollection() = default;
InspWrapCollection::~InspWrapCollection() = default;

bool InspWrapCollection::Add(const std::wstring& key, const com::Ptr<InspWrap>& wrapper) {
    for (const auto& item : items_)
        if (SameText(item.first, key)) return false;
    items_.emplace_back(key, wrapper);
    return true;
}

bool InspWrapCollection::Remove(long index) {
    if (index < 1 || index > Count()) return false;
    // Take the wrapper out before it is released: its clean-up may look at the collection.
    auto leaving = std::move(items_[static_cast<size_t>(index - 1)].second);
    items_.erase(items_.begin() + (index - 1));
    leaving.Reset();
    return true;
}

bool InspWrapCollection::Remove(const std::wstring& key) {
    for (long i = 1; i <= Count(); ++i)
        if (SameText(items_[static_cast<size_t>(i - 1)].first, key)) return Remove(i);
    return false;
}

com::Ptr<InspWrap> InspWrapCollection::Item(long index) const {
    if (index < 1 || index > Count()) return {};
    return items_[static_cast<size_t>(index - 1)].second;
}

com::Ptr<InspWrap> InspWrapCollection::Item(const std::wstring& key) const {
    for (const auto& item : items_)
        if (SameText(item.first, key)) return item.second;
    return {};
}

}  // namespace vantrell
