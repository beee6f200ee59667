// The logon request's body: any ANSI bytes a credential may have become a field value of
// allowed bytes only, which a form decoder turns back into the same bytes.
#include "fuzz/fuzz_check.h"
#include "logon/form_body.h"

namespace vantrell {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // the encoder writes upper-case digits only
}

// Decodes a form field value as a server does: "+" is a space, "%XX" the byte XX. False when
// the value is malformed.
bool FormDecode(std::string_view value, std::string& out) {
    out.clear();
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '+') {
            out += ' ';
        } else if (value[i] == '%') {
            if (i + 2 >= value.size()) return false;
            int high = HexValue(value[i + 1]), low = HexValue(value[i + 2]);
            if (high < 0 || low < 0) return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += value[i];
        }
    }
    return true;
}

}  // namespace
}  // namespace vantrell

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrell;
    const std::string ansi(reinterpret_cast<const char*>(data), size);

    const std::wstring value = FormEscape(ansi);
    FUZZ_CHECK(value.size() >= ansi.size() && value.size() <= 3 * ansi.size());
    std::string narrow;
    for (wchar_t c : value) {
        // Printable ASCII or the space, and none of the form's separators.
        FUZZ_CHECK(c >= 0x20 && c < 0x7F && c != L'&' && c != L'=' && c != L'+');
        narrow += static_cast<char>(c);
    }

    // As sent: no space and no byte outside printable ASCII is left.
    const std::string sent = FormBytes(narrow);
    FUZZ_CHECK(sent.size() == narrow.size());
    for (char c : sent) FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '&' && c != '=');
    std::string decoded;
    FUZZ_CHECK(FormDecode(sent, decoded));
    FUZZ_CHECK(decoded == ansi);

    // The body as a whole only turns its spaces to "+".
    const std::string packed = FormBytes(ansi);
    FUZZ_CHECK(packed.size() == ansi.size());
    for (size_t i = 0; i < ansi.size(); ++i) FUZZ_CHECK(packed[i] == (ansi[i] == ' ' ? '+' : ansi[i]));
    return 0;
}
