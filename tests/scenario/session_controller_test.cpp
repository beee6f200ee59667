// The session controller's start and stop inside the simulated Outlook.
#include <gtest/gtest.h>

#include <algorithm>

#include "session/insp_wrap.h"
#include "tests/common/program_files.h"
#include "tests/common/registered_helper.h"
#include "outlook.h"
#include "tests/scenario/addin_fixture.h"
#include "session/crm_addin.h"
#include "session/session_state.h"
#include "support/shared_state.h"

namespace vantrell::test {
namespace {

using sim::Outlook;
using sim::Start;

class SessionController : public LinkedAddinTest {
protected:
    void Start(Outlook& outlook, sim::Start how, std::int16_t level) {
        outlook.StartUp(how);
        ErrorLogSize = 1 << 20;
        ErrorLogLevel = level;
        controller = com::Make<CRMAddIn>();
        controller->InitHandler(com::Ptr<IDispatch>(outlook.Application()));
    }
    // The controller's own lines, without the module and procedure.
    std::vector<std::string> Lines(const std::string& procedure) const {
        std::vector<std::string> own;
        const std::string prefix = "CRMAddIn::" + procedure + ":";
        for (const std::string& line : TraceLines())
            if (line.rfind(prefix, 0) == 0) own.push_back(line.substr(prefix.size()));
        return own;
    }

    com::Ptr<CRMAddIn> controller;
};

TEST_F(SessionController, AtTheDefaultLevelAStartWritesTheEnvironmentReport) {
    Outlook outlook(L"11.0.8312");
    Start(outlook, Start::WithExplorer, 4);
    std::vector<std::string> lines = Lines("InitHandler");
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ("Add-in Version=1.0.7", lines[0]);
    EXPECT_EQ("Outlook Version=11.0.8312", lines[1]);
    EXPECT_EQ("Outlook Mode: Not Applicable", lines[2]);
    EXPECT_EQ("Connection Mode: No Exchange", lines[3]);
    EXPECT_EQ("Security(Attachment/Level/Trust):  Trust", lines[4]);
    EXPECT_EQ("Connected COM Add-ins:", lines[5]);
    EXPECT_EQ(0u, lines[6].find("Windows Version=Windows "));
    // The helper component is not installed here: the one failure start-up reports.
    EXPECT_EQ(0u, lines[7].find("Create mobjUtils err=-2147221005 desc=")) << lines[7];
    EXPECT_TRUE(controller->Initialized());
    EXPECT_FALSE(controller->Utils());
    EXPECT_NE(nullptr, gcolInspWrap);
    controller->UnInitHandler();
}

TEST_F(SessionController, AtLevelEightTheStepsShowAndAnInactiveMainWindowIsAssigned) {
    Outlook outlook;
    Start(outlook, Start::WithInactiveExplorer, 8);
    std::vector<std::string> lines = Lines("InitHandler");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "No ActiveExplorer"));
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "assigning Explorer.Item(1)"));
    EXPECT_EQ("exit InitHandler", lines.back());
    controller->UnInitHandler();
}

TEST_F(SessionController, WithoutAnyExplorerStartUpGoesOnWithAWarning) {
    Outlook outlook;
    Start(outlook, Start::Automation, 8);
    std::vector<std::string> lines = Lines("InitHandler");
    auto none = std::find(lines.begin(), lines.end(), "No ActiveExplorer");
    ASSERT_NE(lines.end(), none);
    EXPECT_EQ("Explorers.Count = 0", *(none + 1));
    EXPECT_EQ("exit InitHandler", lines.back());
    ErrorLogLevel = 1;  // only failures from here on
    controller->UnInitHandler();
    std::vector<std::string> stop = Lines("UnInitHandler");
    ASSERT_EQ(1u, stop.size());
    EXPECT_EQ(0u, stop[0].find("err="));
}

TEST_F(SessionController, StoppingReleasesEverythingInOrderAndTracesTheMissingHelper) {
    Outlook outlook;
    Start(outlook, Start::WithExplorer, 8);
    EXPECT_GT(outlook.ReferencesHeldOutside(), 0);
    controller->UnInitHandler();
    std::vector<std::string> lines = Lines("UnInitHandler");
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("starting cleanup", lines[0]);
    EXPECT_EQ("gcolInspWrap.Count=0", lines[1]);
    EXPECT_EQ("err=-2147467261 desc=Object variable not set", lines[2]);
    EXPECT_EQ("completing cleanup", lines[3]);
    EXPECT_FALSE(controller->Initialized());
    EXPECT_EQ(nullptr, gcolInspWrap);
    EXPECT_FALSE(gobjOutlook);
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

TEST_F(SessionController, WrappersAreRemovedFromTheLastToTheFirst) {
    Outlook outlook;
    Start(outlook, Start::WithExplorer, 8);
    com::Ptr<InspWrap> first = com::Make<InspWrap>();
    com::Ptr<InspWrap> second = com::Make<InspWrap>();
    gcolInspWrap->Add(L"A", first);
    gcolInspWrap->Add(L"B", second);
    controller->UnInitHandler();
    std::vector<std::string> lines = Lines("UnInitHandler");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ("gcolInspWrap.Count=2", lines[1]);
    EXPECT_EQ("removing gcolInspWrap.Item i=2", lines[2]);
    EXPECT_EQ("removing gcolInspWrap.Item i=1", lines[3]);
    // The collection let go of both.
    first->AddRef();
    EXPECT_EQ(1u, first->Release());
    second->AddRef();
    EXPECT_EQ(1u, second->Release());
}

TEST_F(SessionController, StoppingTwiceDoesNothingTheSecondTime) {
    Outlook outlook;
    Start(outlook, Start::WithExplorer, 12);
    controller->UnInitHandler();
    size_t after = TraceLines().size();
    controller->UnInitHandler();
    EXPECT_EQ(after, TraceLines().size());
}

TEST_F(SessionController, ItCanBeStartedAgainAfterStopping) {
    Outlook outlook;
    Start(outlook, Start::WithExplorer, 4);
    controller->UnInitHandler();
    controller->InitHandler(com::Ptr<IDispatch>(outlook.Application()));
    EXPECT_TRUE(controller->Initialized());
    std::vector<std::string> lines = TraceLines();
    EXPECT_EQ(2, std::count(lines.begin(), lines.end(), "CRMAddIn::InitHandler:Add-in Version=1.0.7"));
    controller->UnInitHandler();
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

// The helper's utilities object is cleaned up and let go by the stop itself, not later when the
// controller object goes: a controller kept for the next window holds nothing of the helper's.
TEST_F(SessionController, StoppingLetsGoOfTheHelpersUtilitiesAtOnce) {
    RegisteredHelper helper;
    Outlook outlook;
    Start(outlook, Start::WithExplorer, 8);  // no stored logon: the dialog is cancelled
    ASSERT_TRUE(controller->Utils());
    HMODULE module = GetModuleHandleW(L"OsbHelper.dll");
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(S_FALSE, CallEntryPoint(module, "DllCanUnloadNow"));  // the utilities object lives
    controller->UnInitHandler();
    EXPECT_FALSE(controller->Utils());
    EXPECT_EQ(S_OK, CallEntryPoint(module, "DllCanUnloadNow"));
    EXPECT_EQ(0, outlook.ReferencesHeldOutside());
}

// The wrappers' collection takes items 1 to Count by index, and nothing either side.
TEST(InspWrapCollection, RemovesByIndexFromOneToCountOnly) {
    InspWrapCollection wrappers;
    com::Ptr<InspWrap> first = com::Make<InspWrap>();
    com::Ptr<InspWrap> second = com::Make<InspWrap>();
    wrappers.Add(L"A", first);
    wrappers.Add(L"B", second);
    EXPECT_FALSE(wrappers.Remove(0L));
    EXPECT_FALSE(wrappers.Remove(3L));
    EXPECT_EQ(2, wrappers.Count());
    EXPECT_TRUE(wrappers.Remove(2L));  // the last
    second->AddRef();
    EXPECT_EQ(1u, second->Release());  // let go at once
    EXPECT_TRUE(wrappers.Remove(1L));  // the first
    EXPECT_EQ(0, wrappers.Count());
    EXPECT_FALSE(wrappers.Remove(1L));
}

}  // namespace
}  // namespace vantrell::test
