#pragma once
// The simulated mailbox's transport: what leaves the Outbox, and how a message looks on the
// wire (RFC 822 with MIME: headers, a blank line, the body; CR LF line ends).
//
// Headers, in this order: From (the sender), To and Cc (the recipients of that type, "name
// <address>"; a line only when there are any; blind copies never show), Subject, Date (the
// client submit time, "Tue, 5 Jan 2010 14:03:09 +0000"), Message-ID, then one header per
// string property of the PS_INTERNET_HEADERS set, named as the property, in the order the
// message first got them, then MIME-Version and Content-Type. A value's own line breaks never
// reach the wire: every run of CR and LF in it becomes one blank. A value (or a display name)
// with anything but printable ASCII, or with a piece between blanks too long for a line, is
// written as RFC 2047 encoded words (UTF-8, base64). Every field is folded as RFC 5322 folds
// (a CR LF before a blank, where the line would pass 78 characters), so that no line passes
// 998; unfolding (taking out each CR LF) gives the field back. A named header whose name alone
// does not fit on a line is left out.
// The body is UTF-8 (8bit): text/plain alone, or multipart/alternative with a text/plain and
// a text/html part when the message has an HTML body.
#include <windows.h>

#include <string>

#include "sim/outlook/store_data.h"

namespace vantrell::sim {

// Delivers what waits in the Outbox, oldest first. Each message moves to Sent Items (a new
// entry ID) as sent mail: read, PR_CLIENT_SUBMIT_TIME and PR_MESSAGE_DELIVERY_TIME now (the
// mailbox clock), a new PR_INTERNET_MESSAGE_ID unless it has one, the owner as sender, no
// transport headers, no message-to-me. The connected agent mailbox receives its RFC 822 text
// once when any recipient's address is one of the agent's.
void DeliverOutbox(StoreData& store);

// The message as RFC 822 text.
std::string RenderMessage(const StoreData& store, const MessageData& message);
// Its header block (everything before the blank line), as PR_TRANSPORT_MESSAGE_HEADERS keeps
// it for received mail.
std::wstring TransportHeaders(const StoreData& store, const MessageData& message);
// "ddd, d mmm yyyy hh:mm:ss +0000" with English names; the date is printed as it is (UTC).
std::string Rfc822Date(DATE date);

}  // namespace vantrell::sim
