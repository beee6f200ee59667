// The working day under faults: the registered add-in in each generation of Outlook, a user
// already logged on, who logs two received messages, sends two new ones with Send && Log, and
// logs two selections of the message list (a received message and an appointment each).
// A clean day first lists, step by step, the members of Outlook's, Office's and Word's objects
// (and the store methods the helper uses) that the add-in calls; then the day runs once per step
// and member, that member failing at its first call in that step. Every such day must end with
// nothing raised into Outlook or Word by the add-in, nothing of theirs still held, and the user's
// next action working again: the same command once more when the failure came with a command, a
// new start of Outlook when it came while Outlook started or shut down. The add-in keeps what it
// learnt of the Outlook version for the life of the process, as in Outlook itself: one day per
// process (ctest runs each case in its own).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "agent_mailbox.h"
#include "tests/common/logon_script.h"
#include "tests/common/registered_helper.h"
#include "mailbox.h"
#include "outlook.h"
#include "platform/late_bound.h"
#include "tests/scenario/addin_fixture.h"
#include "tests/scenario/working_days.h"
#include "sim/word/word.h"

namespace vantrell::test {
namespace {

using sim::MemberCall;
using sim::Outlook;

const wchar_t kAgentAddress[] = L"log@history.quorvane.com";
constexpr HRESULT kInjected = static_cast<HRESULT>(0x80040119);  // MAPI_E_CALL_FAILED

// The steps of the day, in order.
enum Phase { kStart, kFirstLog, kSecondLog, kFirstSend, kSecondSend, kFirstSelection, kSecondSelection, kShutDown, kPhases };
const char* const kPhaseNames[kPhases] = {"start-up",          "first Log Message", "second Log Message",
                                          "first Send & Log",  "second Send & Log", "first selection",
                                          "second selection",  "shut-down"};

// The steps whose calls are failed: the second command of each kind is the one that must work
// again afterwards.
bool Swept(int phase) {
    return phase == kStart || phase == kFirstLog || phase == kFirstSend || phase == kFirstSelection ||
           phase == kShutDown;
}

// A member the add-in calls in a step of the day, and whose object it belongs to.
struct Pair {
    MemberCall call;
    bool word = false;
    int phase = kStart;  // its fault is set as this step begins
    std::string Name() const {
        std::string text = std::string(kPhaseNames[phase]) + ": " + (word ? "Word " : "");
        for (wchar_t c : call.kind + L"." + call.member) text += static_cast<char>(c);
        return text;
    }
};

// What one day left behind.
struct Outcome {
    std::vector<std::wstring> addInCallsFailed;  // from Outlook's and Word's logs
    std::vector<std::wstring> ignoredClicks;     // the same: a command the user could not click
    long outlookHeld = 0, ribbonUiHeld = 0, wordHeld = 0;
    std::wstring held;
    int firedIn = -1;  // the phase in which the fault was met
    bool restarted = false;  // a new start afterwards logged and sent
    // The trace's lines (at level 1: the failures the add-in reports), keys as <key>.
    std::vector<std::string> failureLines;
    // What reached the service's logging agent, by subject.
    std::vector<std::string> delivered;
    std::string thrown;  // the simulator refused a step (a window gone, no such button)
    bool Delivered(const std::string& subject) const {
        for (const std::string& s : delivered)
            if (s == subject) return true;
        return false;
    }
};

class FaultSweep : public RegisteredAddinTest, public testing::WithParamInterface<Day> {
protected:
    void SetUp() override {
        RegisteredAddinTest::SetUp();
        // Only failures are traced: any line in the trace is one the add-in reports as a failure.
        SetSetting("ErrorLogLevel", 1);
        windows.Always(kMessageBoxTitle, WindowScript::ClickButton(IDOK));
    }

    // The fault was met during one of the commands.
    static bool DuringCommand(int phase) { return phase >= kFirstLog && phase <= kSecondSelection; }

    // One day on a fresh mailbox with the logon stored; `fault` fails once, set as its step
    // begins; `calls` receives what the add-in called in each swept step. When the fault was met
    // at start-up or shut-down, a second start on the same mailbox (without faults) logs and
    // sends once more.
    Outcome RunDay(const std::optional<Pair>& fault, std::vector<Pair>* calls) {
        const Day& day = GetParam();
        DeleteFileA(temp.File("VantrellTrace.log").c_str());
        auto mailbox = std::make_shared<sim::Mailbox>();
        auto agent = std::make_shared<sim::AgentMailbox>(std::vector<std::wstring>{kAgentAddress});
        mailbox->ConnectAgent(agent);
        mailbox->AddStoredLogon(4321, 65);
        const std::wstring first = Receive(*mailbox, L"Order 1");
        const std::wstring second = Receive(*mailbox, L"Order 2");
        const std::wstring third = Receive(*mailbox, L"Order 3");
        const std::vector<std::wstring> firstSelection = {Receive(*mailbox, L"Order 4"),
                                                          mailbox->AddItem(L"IPM.Appointment", L"Visit 4")};
        const std::vector<std::wstring> secondSelection = {Receive(*mailbox, L"Order 5"),
                                                           mailbox->AddItem(L"IPM.Appointment", L"Visit 5")};

        Outcome outcome;
        sim::Word word;
        if (day.wordMail) word.Start();
        {
            Outlook outlook(day.version, mailbox);
            if (day.wordMail) outlook.UseWordMail(&word);
            if (calls) {
                outlook.RecordCalls(true);
                word.RecordCalls(true);
            }
            try {
                for (int phase = kStart; phase < kPhases; ++phase) {
                    if (fault && fault->phase == phase) Arm(outlook, word, *fault);
                    outlook.ClearCalls();
                    word.ClearCalls();
                    switch (phase) {
                        case kStart: outlook.StartUp(); break;
                        case kFirstLog: LogMessage(outlook, first); break;
                        case kSecondLog: LogMessage(outlook, second); break;
                        case kFirstSend: SendNew(outlook, word, fault, L"Offer 1"); break;
                        case kSecondSend: SendNew(outlook, word, fault, L"Offer 2"); break;
                        case kFirstSelection: LogSelection(outlook, word, fault, firstSelection); break;
                        case kSecondSelection: LogSelection(outlook, word, fault, secondSelection); break;
                        case kShutDown: outlook.ShutDown(); break;
                    }
                    if (fault && outcome.firedIn < 0 && fault->phase <= phase && !Pending(outlook, word, *fault))
                        outcome.firedIn = phase;
                    if (calls && Swept(phase)) {
                        for (const MemberCall& call : outlook.Calls()) calls->push_back({call, false, phase});
                        for (const MemberCall& call : word.Calls()) calls->push_back({call, true, phase});
                    }
                }
            } catch (const std::exception& e) {
                outcome.thrown = e.what();
                outlook.ShutDown();
            }
            CollectFailures(outlook.Log(), outcome);
            outcome.outlookHeld = outlook.ReferencesHeldOutside();
            outcome.ribbonUiHeld = outlook.RibbonUIReferencesHeldOutside();
            outcome.held = outlook.DescribeHeldOutside();
        }
        CollectFailures(word.Log(), outcome);
        outcome.wordHeld = word.ReferencesHeldOutside();
        if (outcome.wordHeld) outcome.held += L" Word: " + word.DescribeHeldOutside();
        outcome.failureLines = FailureLines();
        for (size_t i = 0; i < agent->Count(); ++i) outcome.delivered.push_back(agent->Read(i).Header("Subject"));
        if (fault && !DuringCommand(outcome.firedIn) && outcome.thrown.empty()) {
            const size_t before = agent->Count();
            outcome.outlookHeld += Restart(mailbox, word, third);
            std::vector<std::string> later;
            for (size_t i = before; i < agent->Count(); ++i) later.push_back(agent->Read(i).Header("Subject"));
            outcome.restarted = later == std::vector<std::string>{"Order 3", "Offer 3"};
        }
        return outcome;
    }

private:
    static std::wstring Receive(sim::Mailbox& mailbox, const std::wstring& subject) {
        sim::MailFields mail;
        mail.subject = subject;
        mail.sender = {L"Ann Buyer", L"ann@customer.example"};
        mail.to = {{L"", L"owner@example.com"}};
        return mailbox.AddReceivedMail(mail);
    }

    static void Arm(Outlook& outlook, sim::Word& word, const Pair& pair) {
        const std::wstring description = L"Injected failure of " + pair.call.member;
        if (pair.word)
            word.FailOnce(pair.call.kind, pair.call.member, kInjected, description);
        else
            outlook.FailOnce(pair.call.kind, pair.call.member, kInjected, description);
    }
    static bool Pending(const Outlook& outlook, const sim::Word& word, const Pair& pair) {
        return pair.word ? word.FaultPending(pair.call.kind, pair.call.member)
                         : outlook.FaultPending(pair.call.kind, pair.call.member);
    }

    static bool IsOpen(const Outlook& outlook, int window) {
        try {
            outlook.Inspector(window);
            return true;
        } catch (const std::out_of_range&) {
            return false;
        }
    }

    // The user clicks the command, when the window shows it.
    void Click(Outlook& outlook, int window, const std::wstring& button, const std::wstring& tag) {
        if (GetParam().form == Form::Bars) {
            outlook.ClickButton(window, tag);
            return;
        }
        for (const sim::RibbonControlState& control : outlook.Ribbon(window))
            if (control.id == button && control.visible) outlook.ClickRibbon(window, button);
    }

    void LogMessage(Outlook& outlook, const std::wstring& entryId) {
        const int window = outlook.OpenItem(entryId);
        if (IsOpen(outlook, window)) Click(outlook, window, L"QuorvaneLogMessage", L"CRM.EmailLog");
        if (IsOpen(outlook, window)) outlook.CloseInspector(window);
    }

    // A new message to a customer, written by the test (its own calls are neither recorded nor
    // meet the fault), then sent with Send && Log; a window still open afterwards is closed.
    void SendNew(Outlook& outlook, sim::Word& word, const std::optional<Pair>& fault, const std::wstring& subject) {
        const int window = outlook.OpenInspector();
        if (!IsOpen(outlook, window)) return;
        const bool recording = outlook.RecordingCalls();
        const bool pending = fault && Pending(outlook, word, *fault);
        outlook.RecordCalls(false);
        if (pending) {
            outlook.ClearFaults();
            word.ClearFaults();
        }
        {
            com::LateBound item(com::Ptr<IDispatch>(outlook.CurrentItem(window)));
            item.Put(L"Subject", com::Variant(subject));
            com::LateBound recipients(item.Get(L"Recipients"));
            recipients.Call(L"Add", {com::Variant(L"ann@customer.example")});
            recipients.Call(L"ResolveAll");
        }
        if (pending) Arm(outlook, word, *fault);
        outlook.RecordCalls(recording);
        Click(outlook, window, L"QuorvaneSendAndLog", L"CRM.SendAndLog");
        if (IsOpen(outlook, window)) outlook.CloseInspector(window);
    }

    // The user selects the items in the main window (the test's own selection is neither recorded
    // nor meets the fault) and logs them from the add-in's menu.
    void LogSelection(Outlook& outlook, sim::Word& word, const std::optional<Pair>& fault,
                      const std::vector<std::wstring>& items) {
        const bool recording = outlook.RecordingCalls();
        const bool pending = fault && Pending(outlook, word, *fault);
        outlook.RecordCalls(false);
        if (pending) outlook.ClearFaults();
        outlook.SelectItems(outlook.MainExplorer(), items);
        if (pending) Arm(outlook, word, *fault);
        outlook.RecordCalls(recording);
        outlook.ClickMenuButton(outlook.MainExplorer(), L"CRM.Menu", L"CRM.LogSelected");
    }

    // A second start on the same mailbox, without faults: Log Message and Send && Log once each.
    // Answers what is still held of that Outlook afterwards.
    long Restart(const std::shared_ptr<sim::Mailbox>& mailbox, sim::Word& word, const std::wstring& entryId) {
        Outlook outlook(GetParam().version, mailbox);
        if (GetParam().wordMail) outlook.UseWordMail(&word);
        outlook.StartUp();
        LogMessage(outlook, entryId);
        SendNew(outlook, word, std::nullopt, L"Offer 3");
        outlook.ShutDown();
        return outlook.ReferencesHeldOutside();
    }

    static void CollectFailures(const std::vector<std::wstring>& log, Outcome& into) {
        for (const std::wstring& entry : log) {
            if (entry.rfind(L"Add-in call failed", 0) == 0) into.addInCallsFailed.push_back(entry);
            if (entry.rfind(L"Click ignored", 0) == 0) into.ignoredClicks.push_back(entry);
        }
    }

    // The lines of the trace but the connections' separators (the trace is at level 1), with
    // the wrappers' keys (32 hex digits, new in every run) written as <key>.
    std::vector<std::string> FailureLines() const {
        std::vector<std::string> lines;
        for (std::string line : TraceLines()) {
            if (line.empty() || line.find_first_not_of('=') == std::string::npos) continue;
            for (size_t at = 0; at + 32 <= line.size(); ++at) {
                if (line.find_first_not_of("0123456789ABCDEF", at) - at >= 32) line.replace(at, 32, "<key>");
            }
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    RegisteredHelper helper;
};

// What the days this process swept added up to (ctest runs one day per process).
struct Total {
    size_t days = 0, pairs = 0, traced = 0;
    ~Total() {
        if (days > 1)
            std::printf("[ sweep    ] %zu days: %zu members failed once per step, %zu traced a failure\n", days, pairs,
                        traced);
    }
};

Total& Totals() {
    static Total total;
    return total;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

std::string Join(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const std::wstring& line : lines) text += (text.empty() ? "" : "; ") + Narrow(line);
    return text;
}

TEST_P(FaultSweep, EveryMemberTheAddinCallsFailsOnceWithoutHarm) {
    const auto started = std::chrono::steady_clock::now();

    // The clean day: everything reaches the service, nothing is reported, and the list of what
    // the add-in calls.
    std::vector<Pair> pairs;
    const Outcome clean = RunDay(std::nullopt, &pairs);
    ASSERT_EQ("", clean.thrown);
    ASSERT_EQ((std::vector<std::string>{"Order 1", "Order 2", "Offer 1", "Offer 2", "Order 4", "Order 5"}),
              clean.delivered)
        << Join(clean.ignoredClicks);
    ASSERT_EQ("", Join(clean.addInCallsFailed));
    ASSERT_EQ(0, clean.outlookHeld + clean.ribbonUiHeld + clean.wordHeld) << Narrow(clean.held);
    // The helper's work on the store is among what fails: property reads and writes, and the
    // send (the helper submits the message; for Outlook 2007 it saves it and Outlook sends it).
    const auto called = [&pairs](const wchar_t* member) {
        return std::any_of(pairs.begin(), pairs.end(), [member](const Pair& pair) {
            return pair.call.kind == L"MailItem" && pair.call.member == member;
        });
    };
    EXPECT_TRUE(called(L"Store.GetProperty"));
    EXPECT_TRUE(called(L"Store.SetProperty"));
    EXPECT_TRUE(called(L"Store.Submit") || (called(L"Store.SaveChanges") && called(L"Send")));

    size_t traced = 0, sameSession = 0, restarts = 0, wordPairs = 0;
    std::set<std::string> members;  // (kind, member) whatever the step
    for (const Pair& pair : pairs) {
        const std::string name = pair.Name();
        std::printf("[ fault    ] %s\n", name.c_str());
        std::fflush(stdout);
        if (pair.word) ++wordPairs;
        members.insert(name.substr(name.find(": ") + 2));
        // A failure during a command is followed by the same command once more in the same
        // session; one at start-up or shut-down by a new start.
        const Outcome run = RunDay(pair, nullptr);
        const bool duringCommand = DuringCommand(run.firedIn);
        const std::string where = run.firedIn < 0 ? "never met" : kPhaseNames[run.firedIn];
        const std::string context = name + " (failed in " + where + ")";

        EXPECT_EQ("", run.thrown) << context;
        EXPECT_NE(-1, run.firedIn) << context;
        EXPECT_EQ("", Join(run.addInCallsFailed)) << context;
        EXPECT_EQ(0, run.outlookHeld) << context << ": " << Narrow(run.held);
        EXPECT_EQ(0, run.ribbonUiHeld) << context;
        EXPECT_EQ(0, run.wordHeld) << context << ": " << Narrow(run.held);
        // A failure line the clean day does not write (on hosts without the ribbon every closing
        // window writes one, as the wrapper's removal asks a ribbon that is not there).
        if (!std::includes(clean.failureLines.begin(), clean.failureLines.end(), run.failureLines.begin(),
                           run.failureLines.end()))
            ++traced;
        if (duringCommand) {
            ++sameSession;
            // The same command, once more, reaches the service.
            if (run.firedIn <= kSecondLog) {
                EXPECT_TRUE(run.Delivered("Order 2")) << context << " " << Join(run.ignoredClicks);
            }
            EXPECT_TRUE(run.Delivered("Offer 2")) << context << " " << Join(run.ignoredClicks);
            EXPECT_TRUE(run.Delivered("Order 5")) << context << " " << Join(run.ignoredClicks);
        } else {
            ++restarts;
            EXPECT_TRUE(run.restarted) << context << ": the next start does not log and send";
        }
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("[ sweep    ] %s: %zu members failed once per step (%zu of Outlook, %zu of Word; %zu members in "
                "all), %zu traced a failure, %zu checked in the same session, %zu by a new start, %.1f s\n",
                GetParam().name, pairs.size(), pairs.size() - wordPairs, wordPairs, members.size(), traced, sameSession,
                restarts, seconds);
    std::fflush(stdout);
    Totals().pairs += pairs.size();
    Totals().traced += traced;
    ++Totals().days;
}

INSTANTIATE_TEST_SUITE_P(Outlooks, FaultSweep, testing::ValuesIn(kWorkingDays), DayName);

}  // namespace
}  // namespace vantrell::test
