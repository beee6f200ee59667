#include "agent_mailbox.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <sstream>
#include <stdexcept>

namespace vantrell::sim {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::wstring FromUtf8(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int Base64Digit(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

std::string FromBase64(std::string_view text) {
    std::string bytes;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const int digit = Base64Digit(c);
        if (digit < 0) continue;  // padding and anything else
        bits = (bits << 6) | static_cast<unsigned>(digit);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return bytes;
}

std::string FromQuoted(std::string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            bytes.push_back(' ');
        } else if (text[i] == '=' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            bytes.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
            i += 2;
        } else {
            bytes.push_back(text[i]);
        }
    }
    return bytes;
}

// One encoded word at the start of `text` ("=?charset?B?...?="): its length and decoded bytes.
bool EncodedWord(std::string_view text, size_t& length, std::string& bytes) {
    if (text.substr(0, 2) != "=?") return false;
    const size_t charsetEnd = text.find('?', 2);
    if (charsetEnd == std::string_view::npos || charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?')
        return false;
    const size_t end = text.find("?=", charsetEnd + 3);
    if (end == std::string_view::npos) return false;
    const std::string_view charset = text.substr(2, charsetEnd - 2);
    if (!SameAscii(charset, "utf-8") && !SameAscii(charset, "us-ascii")) return false;
    const std::string_view payload = text.substr(charsetEnd + 3, end - charsetEnd - 3);
    const char encoding = LowerAscii(text[charsetEnd + 1]);
    if (encoding == 'b')
        bytes = FromBase64(payload);
    else if (encoding == 'q')
        bytes = FromQuoted(payload);
    else
        return false;
    length = end + 2;
    return true;
}

// The value of parameter `name` of a header value such as `multipart/alternative; boundary="x"`.
std::string Parameter(std::string_view value, std::string_view name) {
    size_t at = 0;
    while ((at = value.find(';', at)) != std::string_view::npos) {
        ++at;
        const size_t equals = value.find('=', at);
        if (equals == std::string_view::npos) break;
        if (!SameAscii(Trim(value.substr(at, equals - at)), name)) continue;
        std::string found = Trim(value.substr(equals + 1, value.find(';', equals) - equals - 1));
        if (found.size() >= 2 && found.front() == '"' && found.back() == '"') found = found.substr(1, found.size() - 2);
        return found;
    }
    return {};
}

// The media type of a Content-Type value, without its parameters.
std::string MediaType(std::string_view value) { return Trim(value.substr(0, value.find(';'))); }

}  // namespace

// ---- parsing ----

ReceivedMail ParseMail(std::string text) {
    ReceivedMail mail;
    mail.raw = std::move(text);
    const std::string& raw = mail.raw;
    size_t headEnd = raw.find("\r\n\r\n");
    size_t bodyStart = headEnd == std::string::npos ? std::string::npos : headEnd + 4;
    if (const size_t lf = raw.find("\n\n"); lf != std::string::npos && (headEnd == std::string::npos || lf < headEnd)) {
        headEnd = lf;
        bodyStart = lf + 2;
    }
    if (raw.rfind("\r\n", 0) == 0) {  // no headers at all
        headEnd = 0;
        bodyStart = 2;
    }
    const std::string head = raw.substr(0, headEnd);
    mail.body = bodyStart == std::string::npos ? std::string() : raw.substr(bodyStart);

    // Unfolded first (a line that starts with a blank goes on the field before it, the line
    // break taken out), then split at the colon: a value folded onto the name's next line
    // loses its leading blanks as one on the name's line does.
    std::vector<std::string> fields;
    std::istringstream lines(head);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if ((line[0] == ' ' || line[0] == '\t') && !fields.empty())
            fields.back() += line;
        else
            fields.push_back(std::move(line));
    }
    for (const std::string& field : fields) {
        const size_t colon = field.find(':');
        if (colon == std::string::npos) continue;
        std::string value = field.substr(colon + 1);
        value.erase(0, std::min(value.find_first_not_of(" \t"), value.size()));
        mail.headers.emplace_back(field.substr(0, colon), std::move(value));
    }
    return mail;
}

std::wstring DecodeHeaderText(std::string_view value) {
    std::string bytes;
    std::string pendingBlanks;  // dropped when an encoded word follows an encoded word
    bool afterWord = false;
    for (size_t i = 0; i < value.size();) {
        size_t length = 0;
        std::string decoded;
        if (EncodedWord(value.substr(i), length, decoded)) {
            if (!afterWord) bytes += pendingBlanks;
            pendingBlanks.clear();
            bytes += decoded;
            afterWord = true;
            i += length;
        } else if (value[i] == ' ' || value[i] == '\t' || value[i] == '\r' || value[i] == '\n') {  // folding too
            pendingBlanks.push_back(value[i++]);
        } else {
            bytes += pendingBlanks;
            pendingBlanks.clear();
            bytes.push_back(value[i++]);
            afterWord = false;
        }
    }
    bytes += pendingBlanks;
    return FromUtf8(bytes);
}

std::string ReceivedMail::Header(std::string_view name) const {
    for (const auto& [field, value] : headers)
        if (SameAscii(field, name)) return value;
    return {};
}

size_t ReceivedMail::Count(std::string_view name) const {
    return static_cast<size_t>(
        std::count_if(headers.begin(), headers.end(), [&](const auto& field) { return SameAscii(field.first, name); }));
}

std::wstring ReceivedMail::Text(std::string_view name) const { return DecodeHeaderText(Header(name)); }

std::string ReceivedMail::Part(std::string_view contentType) const {
    const std::string type = Header("Content-Type");
    const std::string media = type.empty() ? std::string("text/plain") : MediaType(type);
    if (SameAscii(media, contentType)) return body;
    if (media.rfind("multipart/", 0) != 0) return {};
    const std::string boundary = "--" + Parameter(type, "boundary");
    if (boundary.size() == 2) return {};
    // Each part runs from the line after a boundary line to the line break before the next one.
    size_t at = body.find(boundary);
    while (at != std::string::npos) {
        size_t start = body.find('\n', at);
        if (start == std::string::npos || body.compare(at + boundary.size(), 2, "--") == 0) break;
        ++start;
        const size_t next = body.find("\n" + boundary, start);
        if (next == std::string::npos) break;
        size_t end = next;
        if (end > start && body[end - 1] == '\r') --end;
        ReceivedMail part = ParseMail(body.substr(start, end - start));
        const std::string partType = part.Header("Content-Type");
        if (SameAscii(partType.empty() ? std::string("text/plain") : MediaType(partType), contentType)) return part.body;
        at = next + 1;
    }
    return {};
}

// ---- the mailbox ----

AgentMailbox::AgentMailbox(std::vector<std::wstring> addresses, std::wstring folder)
    : addresses_(std::move(addresses)), folder_(std::move(folder)) {
    while (!folder_.empty() && (folder_.back() == L'\\' || folder_.back() == L'/')) folder_.pop_back();
    if (folder_.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, temp);
        static unsigned made = 0;
        wchar_t name[64];
        swprintf(name, 64, L"AgentMailbox-%lu-%u", GetCurrentProcessId(), ++made);
        folder_ = std::wstring(temp) + name;
        ownsFolder_ = true;
    }
    if (!CreateDirectoryW(folder_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw std::runtime_error("cannot make the agent mailbox's folder");
    // Mail already there stays; new mail comes after it.
    for (const std::wstring& file : Files()) {
        const size_t slash = file.find_last_of(L'\\');
        next_ = std::max(next_, static_cast<unsigned>(wcstoul(file.c_str() + slash + 1, nullptr, 10)) + 1);
    }
}

AgentMailbox::~AgentMailbox() {
    if (!ownsFolder_) return;
    for (const std::wstring& file : Files()) DeleteFileW(file.c_str());
    RemoveDirectoryW(folder_.c_str());
}

bool AgentMailbox::Serves(std::wstring_view address) const {
    for (const std::wstring& own : addresses_)
        if (own.size() == address.size() && _wcsnicmp(own.c_str(), address.data(), own.size()) == 0) return true;
    return false;
}

void AgentMailbox::Receive(const std::string& rfc822) {
    wchar_t name[16];
    swprintf(name, 16, L"%04u.eml", next_++);
    const std::wstring path = folder_ + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a file in the agent mailbox");
    DWORD written = 0;
    const BOOL ok = WriteFile(file, rfc822.data(), static_cast<DWORD>(rfc822.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != rfc822.size()) throw std::runtime_error("cannot write a file in the agent mailbox");
}

std::vector<std::wstring> AgentMailbox::Files() const {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder_ + L"\\*.eml").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder_ + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());  // the names are numbers of one width
    return files;
}

ReceivedMail AgentMailbox::Read(size_t index) const {
    const std::vector<std::wstring> files = Files();
    if (index >= files.size()) throw std::out_of_range("the agent mailbox has fewer messages");
    HANDLE file = CreateFileW(files[index].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot read a file of the agent mailbox");
    std::string bytes(static_cast<size_t>(GetFileSize(file, nullptr)), '\0');
    DWORD read = 0;
    const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok || read != bytes.size()) throw std::runtime_error("cannot read a file of the agent mailbox");
    return ParseMail(std::move(bytes));
}

}  // namespace vantrell::sim
