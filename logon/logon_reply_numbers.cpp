// The logon reply's identifiers as numbers: each field's text converted to a Long as every
// late-bound conversion of the add-in converts it (com::Variant). Kept out of logon_reply.cpp,
// whose text logic the fuzz targets build without the system's headers.
#include "logon/logon_reply.h"

#include "platform/variant.h"

namespace vantrell {

void SetLogonIdentifiers(const LogonReply& reply, std::int32_t& logonId, std::int32_t& companyId) {
    for (const LogonReplyField& field : reply.fields) {
        long value = 0;
        if (!com::Variant(field.value).TryLong(value)) continue;
        (field.identifier == LogonIdentifier::LogonID ? logonId : companyId) = value;
    }
}

}  // namespace vantrell
