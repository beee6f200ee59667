// The logon request body: credentials as form values, packed as ANSI bytes.
#include <gtest/gtest.h>

#include "logon/logon_request.h"

namespace vantrell {
namespace {

std::string Bytes(const com::Variant& packed) {
    EXPECT_EQ(VT_ARRAY | VT_UI1, packed.Type());
    SAFEARRAY* array = V_ARRAY(packed.Get());
    LONG low = -1, high = -2;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    EXPECT_EQ(0, low);
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(high + 1));
    SafeArrayUnaccessData(array);
    return bytes;
}

std::wstring Field(const wchar_t* text) {
    std::wstring out;
    EXPECT_TRUE(FormValue(text, out));
    return out;
}

TEST(FormBody, PackBytesGivesOneAnsiBytePerCharacterWithSpacesAsPlus) {
    EXPECT_EQ("cmd=logon&username=a+b", Bytes(PackBytes(L"cmd=logon&username=a b")));
    EXPECT_EQ("caf\xE9", Bytes(PackBytes(L"caf\u00E9")));
    EXPECT_EQ("", Bytes(PackBytes(L"")));
}

TEST(FormBody, OrdinaryCredentialsGoOutAsTheyAre) {
    EXPECT_EQ(L"jsmith", Field(L"jsmith"));
    EXPECT_EQ(L"J.Smith@example.test", Field(L"J.Smith@example.test"));
    EXPECT_EQ(L"   ", Field(L"   "));  // spaces stay, to become "+"
}

TEST(FormBody, TheFormsOwnCharactersAndNonAsciiBytesAreEscaped) {
    EXPECT_EQ(L"a%26b%3Dc", Field(L"a&b=c"));
    EXPECT_EQ(L"50%25%2B1", Field(L"50%+1"));
    EXPECT_EQ(L"caf%E9", Field(L"caf\u00E9"));
    EXPECT_EQ(L"tab%09", Field(L"tab\t"));
    // Printable ASCII goes as it is up to "~"; DEL and the control characters are escaped.
    EXPECT_EQ(L"!~%7F%1F", Field(L"!~\x7F\x1F"));
    // The whole body of such a password, as the service receives it.
    EXPECT_EQ("cmd=logon&username=j+s&password=a%26b%3Dc&clientVersion=9.9.9",
              Bytes(PackBytes(L"cmd=logon&username=" + Field(L"j s") + L"&password=" + Field(L"a&b=c") +
                              L"&clientVersion=9.9.9")));
}

TEST(FormBody, ACharacterWithoutASingleByteCodeIsRefused) {
    std::wstring out;
    EXPECT_FALSE(FormValue(L"pass\u4E2D", out));
    EXPECT_FALSE(FormValue(L"\u0101", out));  // would only become a look-alike
}

}  // namespace
}  // namespace vantrell
