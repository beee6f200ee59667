// The command table as the host meets it: every record's ribbon callbacks answer by the names
// the record gives, its click reaches the action the commands' layer installed for it, and the
// records hold together (each ribbon place, tag, id and attribute once).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>

#include "connect/connect.h"
#include "session/command_table.h"
#include "tests/platform/fake_dispatch.h"

namespace vantrell {
namespace {

using com::LateBound;
using com::Variant;

// The last ribbon click a recording action saw.
ItemCommand clickedCommand{};
IDispatch* clickedControl = nullptr;
template <ItemCommand Command>
void RecordClick(const com::Ptr<IDispatch>& control, com::LateBound&) {
    clickedCommand = Command;
    clickedControl = control.Get();
}

class CommandTable : public testing::Test {
protected:
    void SetUp() override {
        for (const CommandDefinition& d : ItemCommands()) saved[static_cast<size_t>(d.command)] = ActionsOf(d.command);
    }
    void TearDown() override {
        for (const CommandDefinition& d : ItemCommands()) SetCommandActions(d.command, saved[static_cast<size_t>(d.command)]);
    }
    CommandActions saved[kItemCommandCount];
};

TEST_F(CommandTable, EveryRecordIsAnsweredByItsNamesAndRunsItsOwnAction) {
    SetCommandActions(ItemCommand::LogMessage, {nullptr, &RecordClick<ItemCommand::LogMessage>});
    SetCommandActions(ItemCommand::SendAndLog, {nullptr, &RecordClick<ItemCommand::SendAndLog>});
    auto connect = com::Make<Connect>();
    com::Ptr<IRibbonExtensibility> extensibility = connect.As<IRibbonExtensibility>();
    LateBound host(com::Ptr<IDispatch>(static_cast<IDispatch*>(extensibility.Get())));
    const std::wstring xml = Connect::BuildRibbonXml(L"TabReadMessage");

    for (const CommandDefinition& d : ItemCommands()) {
        SCOPED_TRACE(testing::Message() << "command " << static_cast<int>(d.command));
        EXPECT_EQ(&d, &Definition(d.command));
        EXPECT_NE(std::wstring::npos, xml.find(std::wstring(L"id = \"") + d.ribbonId + L"\""));
        for (bool sent : {false, true}) {
            auto item = com::Make<test::FakeDispatch>();
            item->Member(L"Sent", 0xF0A2, Variant::Boolean(sent));
            auto inspector = com::Make<test::FakeDispatch>();
            inspector->Member(L"CurrentItem", 0x2102, Variant(static_cast<IDispatch*>(item.Get())));
            auto control = com::Make<test::FakeDispatch>();
            control->Member(L"Context", 2, Variant(static_cast<IDispatch*>(inspector.Get())));
            const Variant argument(static_cast<IDispatch*>(control.Get()));
            EXPECT_EQ((d.shownFor == ShownFor::Sent) == sent, host.Call(d.getVisible, {argument}).ToBool()) << sent;

            clickedControl = nullptr;
            Variant ignored;
            ASSERT_TRUE(host.TryCall(d.onAction, {argument}, ignored));
            EXPECT_EQ(d.command, clickedCommand);
            EXPECT_EQ(static_cast<IDispatch*>(control.Get()), clickedControl);
        }
    }
}

TEST_F(CommandTable, TheCommandsLayerInstallsBothFormsOfEveryCommand) {
    for (const CommandDefinition& d : ItemCommands()) {
        EXPECT_NE(nullptr, saved[static_cast<size_t>(d.command)].fromButton) << d.tag;
        EXPECT_NE(nullptr, saved[static_cast<size_t>(d.command)].fromRibbon) << d.tag;
    }
}

TEST_F(CommandTable, RecordsHoldEachPlaceTagIdAndAttributeOnce) {
    std::set<int> places;
    std::set<std::wstring> names;
    for (const CommandDefinition& d : ItemCommands()) {
        places.insert(d.ribbonPosition);
        for (const wchar_t* name : {d.tag, d.ribbonId, d.getVisible, d.onAction}) EXPECT_TRUE(names.insert(name).second) << name;
        std::set<RibbonAttribute> attributes(d.attributes.begin(), d.attributes.end());
        EXPECT_EQ(d.attributes.size(), attributes.size()) << d.ribbonId;
        EXPECT_EQ(static_cast<size_t>(RibbonAttribute::ImageMso) + 1, attributes.size()) << d.ribbonId;
        std::set<ButtonProperty> properties(d.newButton.begin(), d.newButton.end());
        for (ButtonProperty needed : {ButtonProperty::Tag, ButtonProperty::Caption, ButtonProperty::Visible})
            EXPECT_EQ(1u, properties.count(needed)) << d.tag;
    }
    EXPECT_EQ(kItemCommandCount, places.size());
    EXPECT_EQ(0, *places.begin());
    EXPECT_EQ(static_cast<int>(kItemCommandCount) - 1, *places.rbegin());
    const auto order = InRibbonOrder();
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end(),
                               [](auto* a, auto* b) { return a->ribbonPosition < b->ribbonPosition; }));
}

}  // namespace
}  // namespace vantrell
