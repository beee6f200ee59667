#pragma once
// The session's shared state: the one controller of the connection and the collection of
// inspector wrappers, keyed by text.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/com_ptr.h"

namespace vantrell {

class CRMAddIn;
class InspWrap;

// Wrappers in the order they were added; items are numbered from 1 and keys compare
// without regard to case, as in the collection the design names.
class InspWrapCollection {
public:
    InspWrapCollection();
    ~InspWrapCollection();
    InspWrapCollection(const InspWrapCollection&) = delete;
    InspWrapCollection& operator=(const InspWrapCollection&) = delete;

    long Count() const noexcept { return static_cast<long>(items_.size()); }
    bool Add(const std::wstring& key, const com::Ptr<InspWrap>& wrapper);
    // Removes item `index` (1-based); false when there is none.
    bool Remove(long index);
    bool Remove(const std::wstring& key);
    com::Ptr<InspWrap> Item(long index) const;
    com::Ptr<InspWrap> Item(const std::wstring& key) const;

    // The wrappers' buttons are hidden since the user signed out (a new session starts with
    // them shown).
    bool buttonsHidden = false;

private:
    std::vector<std::pair<std::wstring, com::Ptr<InspWrap>>> items_;
};

// Set by Connect when the add-in connects; released by its teardown.
extern com::Ptr<CRMAddIn> gobjCRMAddIn;
// Made anew by every start of the controller; emptied and released when it stops. Null
// outside a session.
extern std::unique_ptr<InspWrapCollection> gcolInspWrap;

}  // namespace vantrell
