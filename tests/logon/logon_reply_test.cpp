// The logon page's reply read as text: its three forms and the fields of the identifiers.
#include <gtest/gtest.h>

#include "logon/logon_reply.h"
#include "platform/text.h"

namespace vantrell {
namespace {

struct ReplyRow {
    const wchar_t* reply;
    LogonReplyKind kind;
    std::wstring errorCode;
    std::vector<std::pair<LogonIdentifier, std::wstring>> fields;
};

constexpr auto kLogon = LogonIdentifier::LogonID;
constexpr auto kCompany = LogonIdentifier::CompanyID;

TEST(LogonReply, GivesTheFormOfEachReplyAndTheTextOfEachIdentifier) {
    const ReplyRow rows[] = {
        {L"logonid=4321;companyid=65", LogonReplyKind::Identifiers, L"", {{kLogon, L"4321"}, {kCompany, L"65"}}},
        {L"LogonID=7; CompanyID=x", LogonReplyKind::Identifiers, L"", {{kLogon, L"7"}, {kCompany, L" x"}}},
        {L"logonid=1;other=2;;logonid=3", LogonReplyKind::Identifiers, L"", {{kLogon, L"1"}, {kLogon, L"3"}}},
        // A field naming both is the LogonID's; removal looks again where it cut.
        {L"companyid=5logonid=6", LogonReplyKind::Identifiers, L"", {{kLogon, L"companyid=56"}}},
        {L"logonlogonid=id=9", LogonReplyKind::Identifiers, L"", {{kLogon, L"logonid=9"}}},
        {L"logonid=logonid=9", LogonReplyKind::Identifiers, L"", {{kLogon, L"9"}}},
        {L"logonid", LogonReplyKind::Identifiers, L"", {{kLogon, L"logonid"}}},
        {L"companyid=65", LogonReplyKind::Unrecognised, L"", {}},
        {L"", LogonReplyKind::Unrecognised, L"", {}},
        // "error" wins over the identifiers; only "error:" in lower case is cut from the code.
        {L"error:invalid username", LogonReplyKind::Error, L"invalid username", {}},
        {L"logonid=1;ERROR:Inactive User", LogonReplyKind::Error, L"logonid=1;ERROR:Inactive User", {}},
        {L"eerror:rror:x", LogonReplyKind::Error, L"error:x", {}},
        {L"error:error:x", LogonReplyKind::Error, L"x", {}},
    };
    for (const ReplyRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::string(row.reply, row.reply + wcslen(row.reply)));
        const LogonReply parsed = ParseLogonReply(row.reply, Lower(row.reply));
        EXPECT_EQ(row.kind, parsed.kind);
        EXPECT_EQ(row.errorCode, parsed.errorCode);
        ASSERT_EQ(row.fields.size(), parsed.fields.size());
        for (size_t i = 0; i < row.fields.size(); ++i) {
            EXPECT_EQ(row.fields[i].first, parsed.fields[i].identifier);
            EXPECT_EQ(row.fields[i].second, parsed.fields[i].value);
        }
    }
}

TEST(LogonReply, ALowerCaseFormOfAnotherLengthIsUnrecognised) {
    EXPECT_EQ(LogonReplyKind::Unrecognised, ParseLogonReply(L"logonid=1", L"logonid=").kind);
    EXPECT_EQ(LogonReplyKind::Unrecognised, ParseLogonReply(L"error", L"error!").kind);
}

TEST(LogonReply, EachIdentifierTakesTheLastOfItsFieldsThatIsANumber) {
    const struct {
        const wchar_t* reply;
        std::int32_t logonId, companyId;  // from 11 and 22
    } rows[] = {
        {L"logonid=4321;companyid=65", 4321, 65},
        {L"logonid=1;logonid=x;logonid= 3 ", 3, 22},
        {L"logonid=abc;companyid=", 11, 22},
        {L"logonid=-2147483648;companyid=2147483647", -2147483647 - 1, 2147483647},
        {L"logonid=2147483648", 11, 22},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::string(row.reply, row.reply + wcslen(row.reply)));
        std::int32_t logonId = 11, companyId = 22;
        SetLogonIdentifiers(ParseLogonReply(row.reply, Lower(row.reply)), logonId, companyId);
        EXPECT_EQ(row.logonId, logonId);
        EXPECT_EQ(row.companyId, companyId);
    }
}

}  // namespace
}  // namespace vantrell
