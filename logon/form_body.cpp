#include "logon/form_body.h"

namespace vantrell {
namespace {

bool IsPlainFormByte(unsigned char byte) {
    return byte == ' ' || (byte > 0x20 && byte < 0x7F && byte != '&' && byte != '=' && byte != '+' && byte != '%');
}

}  // namespace

std::wstring FormEscape(std::string_view ansi) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (IsPlainFormByte(byte)) {
            out += static_cast<wchar_t>(byte);
        } else {
            out += L'%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string FormBytes(std::string_view ansi) {
    std::string bytes(ansi);
    for (char& c : bytes) {
        if (c == ' ') c = '+';
    }
    return bytes;
}

}  // namespace vantrell
