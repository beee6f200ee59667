#pragma once
// The logging agent's mailbox at the service: what the service received, one RFC 822 file per
// delivered message (NNNN.eml in its folder: headers, a blank line, the body; CR LF line ends,
// UTF-8 text), and a reader that parses a file back into headers and body.
//
// The simulated Outlook's transport writes into it (Mailbox::ConnectAgent): every message it
// delivers with at least one recipient (To, Cc or Bcc) whose address is one of the agent's
// addresses (letter case ignored) becomes one file, however many of them it names.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrell::sim {

// One received message, parsed.
struct ReceivedMail {
    std::string raw;  // the file's bytes
    // The header fields in the order of the file, continuation lines unfolded, duplicates kept;
    // the value without the blank after the colon.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;  // everything after the blank line

    // The first field of that name (letter case ignored); "" when there is none.
    std::string Header(std::string_view name) const;
    size_t Count(std::string_view name) const;
    // The first field of that name with its RFC 2047 encoded words decoded (UTF-8 elsewhere).
    std::wstring Text(std::string_view name) const;
    // The body of the part of this content type ("text/plain", "text/html"): the body itself
    // for a message of that type, the matching part of a multipart one; "" when none matches.
    std::string Part(std::string_view contentType) const;
};

// Parses RFC 822 text (CR LF or LF line ends) into headers and body.
ReceivedMail ParseMail(std::string text);
// A header value with its RFC 2047 encoded words (UTF-8 or US-ASCII, B or Q) decoded; the
// blanks (and line breaks of a folded value) between two adjacent encoded words are dropped,
// the rest is read as UTF-8.
std::wstring DecodeHeaderText(std::string_view value);

class AgentMailbox {
public:
    // Receives the mail of `addresses` in `folder` (made when missing, kept afterwards); without
    // a folder, in a fresh one under the temporary directory that goes with this object.
    explicit AgentMailbox(std::vector<std::wstring> addresses, std::wstring folder = {});
    ~AgentMailbox();
    AgentMailbox(const AgentMailbox&) = delete;
    AgentMailbox& operator=(const AgentMailbox&) = delete;

    const std::wstring& Folder() const noexcept { return folder_; }  // without a trailing backslash
    const std::vector<std::wstring>& Addresses() const noexcept { return addresses_; }
    // Whether mail to `address` reaches this mailbox.
    bool Serves(std::wstring_view address) const;

    // Stores one message as the next file (0001.eml, 0002.eml, ...); std::runtime_error when
    // the file cannot be written.
    void Receive(const std::string& rfc822);

    // The .eml files in the folder, full paths, in the order they arrived.
    std::vector<std::wstring> Files() const;
    size_t Count() const { return Files().size(); }
    // Reads and parses one of them (0-based); std::out_of_range past the last.
    ReceivedMail Read(size_t index) const;

private:
    std::vector<std::wstring> addresses_;
    std::wstring folder_;
    bool ownsFolder_ = false;
    unsigned next_ = 1;
};

}  // namespace vantrell::sim
