// The logging agent's mailbox of the service double: one file per received message, in
// order, in a folder of its own or a given one, and the reader that parses a file back into
// headers (in order, unfolded, duplicates kept), body, parts and decoded header text.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

#include "agent_mailbox.h"

namespace vantrell::sim {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

bool FolderExists(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(AgentMailbox, ParsesHeadersInOrderUnfoldedWithDuplicatesKept) {
    struct Case {
        std::string raw;
        Headers headers;
        std::string body;
    };
    const Case cases[] = {
        {"From: a@example.com\r\nSubject: Hi\r\n\r\nBody\r\nline 2\r\n",
         {{"From", "a@example.com"}, {"Subject", "Hi"}},
         "Body\r\nline 2\r\n"},
        {"Subject: one\r\n two\r\n\tthree\r\nX-A: 1\r\nX-A: 2\r\n\r\n",
         {{"Subject", "one two\tthree"}, {"X-A", "1"}, {"X-A", "2"}},
         ""},
        {"To:   spaced   \nCc:\n\nLF only\n", {{"To", "spaced   "}, {"Cc", ""}}, "LF only\n"},
        {"Subject: no body at all\r\n", {{"Subject", "no body at all"}}, ""},
        {"\r\njust a body", {}, "just a body"},
        {"Subject: x\r\n\r\nA: not a header\r\n", {{"Subject", "x"}}, "A: not a header\r\n"},
        // Folded right after the name: the value starts on the next line, its blank dropped.
        {"X-Long-Name:\r\n  value\r\n again\r\n\r\n", {{"X-Long-Name", "value again"}}, ""},
    };
    for (const Case& c : cases) {
        const ReceivedMail mail = ParseMail(c.raw);
        EXPECT_EQ(c.headers, mail.headers) << c.raw;
        EXPECT_EQ(c.body, mail.body) << c.raw;
        EXPECT_EQ(c.raw, mail.raw);
    }
    const ReceivedMail mail = ParseMail("x-a: 1\r\nX-A: 2\r\n\r\n");
    EXPECT_EQ("1", mail.Header("X-A"));
    EXPECT_EQ(2u, mail.Count("x-a"));
    EXPECT_EQ("", mail.Header("X-B"));
    EXPECT_EQ(0u, mail.Count("X-B"));
}

TEST(AgentMailbox, DecodesEncodedWordsAndLeavesEverythingElseAsUtf8) {
    struct Case {
        std::string value;
        std::wstring text;
    };
    const Case cases[] = {
        {"plain text", L"plain text"},
        {"=?UTF-8?B?R3LDvMOfZQ==?=", L"Gr\u00FC\u00DFe"},
        {"=?utf-8?q?Gr=C3=BC=C3=9Fe_aus?=", L"Gr\u00FC\u00DFe aus"},
        {"=?UTF-8?B?w7w=?= =?UTF-8?B?w7w=?=", L"\u00FC\u00FC"},           // blanks between words go
        {"=?UTF-8?B?w7w=?=\r\n =?UTF-8?B?w7w=?=", L"\u00FC\u00FC"},        // folded between words too
        {"a =?UTF-8?B?w7w=?= b", L"a \u00FC b"},                           // blanks next to text stay
        {"=?US-ASCII?Q?plain?=", L"plain"},
        {"=?ISO-8859-1?Q?caf=E9?=", L"=?ISO-8859-1?Q?caf=E9?="},           // another charset: as it is
        {"=?UTF-8?B?R3LDvMOfZQ==", L"=?UTF-8?B?R3LDvMOfZQ=="},             // unfinished: as it is
        {"Gr\xC3\xBC\xC3\x9F" "e", L"Gr\u00FC\u00DFe"},                     // raw UTF-8
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, DecodeHeaderText(c.value)) << c.value;
}

TEST(AgentMailbox, PartFindsTheBodyOfEachContentType) {
    const std::string multipart =
        "Content-Type: multipart/alternative; boundary=\"=_b\"\r\n\r\n"
        "--=_b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nplain\r\ntext\r\n"
        "--=_b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>html</p>\r\n"
        "--=_b--\r\n";
    struct Case {
        std::string raw;
        const char* type;
        std::string part;
    };
    const Case cases[] = {
        {multipart, "text/plain", "plain\r\ntext"},
        {multipart, "TEXT/HTML", "<p>html</p>"},
        {multipart, "image/png", ""},
        {"Content-Type: text/plain; charset=utf-8\r\n\r\nonly", "text/plain", "only"},
        {"Subject: none given\r\n\r\nonly", "text/plain", "only"},
        {"Content-Type: text/plain\r\n\r\nonly", "text/html", ""},
        {"Content-Type: multipart/alternative\r\n\r\n--x\r\n\r\nno boundary\r\n--x--", "text/plain", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.part, ParseMail(c.raw).Part(c.type)) << c.raw << c.type;
}

TEST(AgentMailbox, KeepsEachMessageAsTheNextFileOfItsFolder) {
    std::wstring own;
    {
        AgentMailbox agent({L"Log@Agent.example.org", L"second@agent.example.org"});
        own = agent.Folder();
        ASSERT_TRUE(FolderExists(own));
        EXPECT_TRUE(agent.Serves(L"log@agent.example.org"));
        EXPECT_TRUE(agent.Serves(L"SECOND@agent.example.org"));
        EXPECT_FALSE(agent.Serves(L"log@agent.example.or"));
        EXPECT_FALSE(agent.Serves(L""));
        EXPECT_EQ(0u, agent.Count());
        EXPECT_THROW(agent.Read(0), std::out_of_range);
        agent.Receive("Subject: first\r\n\r\n1");
        agent.Receive("Subject: second\r\n\r\n2");
        ASSERT_EQ(2u, agent.Count());
        EXPECT_EQ(own + L"\\0001.eml", agent.Files()[0]);
        EXPECT_EQ(own + L"\\0002.eml", agent.Files()[1]);
        EXPECT_EQ("first", agent.Read(0).Header("Subject"));
        EXPECT_EQ("2", agent.Read(1).body);
        EXPECT_THROW(agent.Read(2), std::out_of_range);
    }
    EXPECT_FALSE(FolderExists(own));  // a folder of its own goes with it

    // A given folder stays, and what it holds already comes first.
    const std::wstring given = own + L"-given";
    {
        AgentMailbox first({L"log@agent.example.org"}, given + L"\\");
        EXPECT_EQ(given, first.Folder());
        first.Receive("Subject: kept\r\n\r\n");
    }
    {
        AgentMailbox second({L"log@agent.example.org"}, given);
        second.Receive("Subject: later\r\n\r\n");
        ASSERT_EQ(2u, second.Count());
        EXPECT_EQ("kept", second.Read(0).Header("Subject"));
        EXPECT_EQ("later", second.Read(1).Header("Subject"));
        for (const std::wstring& file : second.Files()) DeleteFileW(file.c_str());
    }
    EXPECT_TRUE(RemoveDirectoryW(given.c_str()));
}

}  // namespace
}  // namespace vantrell::sim
