// A failure as trace text, in each of the forms the trace lines use.
#include <gtest/gtest.h>

#include "platform/failure.h"

namespace vantrell {
namespace {

TEST(FailureText, WritesEachFormWithTheNumberInDecimal) {
    Failure access, bare;
    access.number = static_cast<long>(E_ACCESSDENIED);
    access.description = L"Access is denied.";
    bare.number = 5;
    const struct {
        const Failure& failure;
        FailureFormat format;
        const wchar_t* text;
    } rows[] = {
        {access, FailureFormat::Spaced, L"-2147024891 Access is denied."},
        {access, FailureFormat::Desc, L"-2147024891 desc=Access is denied."},
        {access, FailureFormat::ErrDesc, L"err=-2147024891 desc=Access is denied."},
        {access, FailureFormat::ErrorColon, L"error:-2147024891 Access is denied."},
        {bare, FailureFormat::Spaced, L"5 "},
        {bare, FailureFormat::Desc, L"5 desc="},
        {bare, FailureFormat::ErrDesc, L"err=5 desc="},
        {bare, FailureFormat::ErrorColon, L"error:5 "},
    };
    for (const auto& row : rows) EXPECT_EQ(row.text, FailureText(row.failure, row.format)) << row.text;
}

}  // namespace
}  // namespace vantrell
