#include "session/command_table.h"

#include <algorithm>

#include "support/shared_state.h"

namespace vantrell {
namespace {

using BP = ButtonProperty;
using RA = RibbonAttribute;

constexpr BP kLogMessageButton[] = {BP::Tag, BP::Style, BP::BeginGroup, BP::FaceId,
                                    BP::Caption, BP::TooltipText, BP::Visible};
constexpr BP kSendAndLogButton[] = {BP::Tag, BP::Parameter, BP::Style, BP::FaceId,
                                    BP::BeginGroup, BP::Caption, BP::TooltipText, BP::Visible};
constexpr RA kLogMessageRibbon[] = {RA::Id, RA::Label, RA::Size, RA::GetVisible,
                                    RA::OnAction, RA::Screentip, RA::Supertip, RA::ImageMso};
constexpr RA kSendAndLogRibbon[] = {RA::Id, RA::Label, RA::Size, RA::Screentip,
                                    RA::Supertip, RA::GetVisible, RA::OnAction, RA::ImageMso};

const CommandDefinition kCommands[] = {
    {
        .command = ItemCommand::LogMessage,
        .shownFor = ShownFor::Sent,
        .spentWhenDone = true,
        .tag = L"CRM.EmailLog",
        .caption = L"Log Message",
        .faceId = 2039,
        .tooltip = L"Log a copy of this message in your Leads database",
        .beforeInOutlook = 1,
        .beforeInWord = 1,
        .newButton = kLogMessageButton,
        .hidingName = L"Log",
        .ribbonPosition = 1,
        .ribbonId = L"QuorvaneLogMessage",
        .label = L"Log Message ",
        .size = L"large",
        .screentip = L"Log Message",
        .supertip = L"Log a copy of this message in your Leads database",
        .getVisible = L"LogMessage_GetVisible",
        .onAction = L"LogMessage_OnClick",
        .imageMso = L"CreateMailRule",
        .attributes = kLogMessageRibbon,
    },
    {
        .command = ItemCommand::SendAndLog,
        .shownFor = ShownFor::Unsent,
        .spentWhenDone = false,
        .tag = L"CRM.SendAndLog",
        .caption = L"Send && Log",
        .faceId = 1677,
        .tooltip = L"Send this message and log a copy in your Leads database",
        // Word's bar is led by it; in Outlook's it follows the first two controls.
        .beforeInOutlook = 3,
        .beforeInWord = 1,
        .newButton = kSendAndLogButton,
        .hidingName = L"SendAndLog",
        .ribbonPosition = 0,
        .ribbonId = L"QuorvaneSendAndLog",
        .label = L"Send &amp;&amp; Log",
        .size = L"large",
        .screentip = L"Send &amp;&amp; Log",
        .supertip = L"Send this message and log a copy in your Leads database",
        .getVisible = L"SendAndLog_GetVisible",
        .onAction = L"SendAndLog_OnClick",
        .imageMso = L"SaveSentItemsMenu",
        .attributes = kSendAndLogRibbon,
    },
};
static_assert(std::size(kCommands) == kItemCommandCount);

CommandActions actions[kItemCommandCount];

std::size_t IndexOf(ItemCommand command) noexcept { return static_cast<std::size_t>(command); }

}  // namespace

std::span<const CommandDefinition> ItemCommands() noexcept { return kCommands; }

const CommandDefinition& Definition(ItemCommand command) noexcept { return kCommands[IndexOf(command)]; }

std::array<const CommandDefinition*, kItemCommandCount> InRibbonOrder() noexcept {
    std::array<const CommandDefinition*, kItemCommandCount> order{};
    for (std::size_t i = 0; i < kItemCommandCount; ++i) order[i] = &kCommands[i];
    std::sort(order.begin(), order.end(), [](const CommandDefinition* a, const CommandDefinition* b) {
        return a->ribbonPosition < b->ribbonPosition;
    });
    return order;
}

bool OfferedFor(const CommandDefinition& definition, bool sent) noexcept {
    return (definition.shownFor == ShownFor::Sent) == sent;
}

void InvalidateCommandButtons() {
    com::LateBound ribbon(gobjRibbon);
    for (const CommandDefinition* definition : InRibbonOrder())
        ribbon.Call(L"InvalidateControl", {com::Variant(definition->ribbonId)});
}

void SetCommandActions(ItemCommand command, const CommandActions& given) noexcept { actions[IndexOf(command)] = given; }

const CommandActions& ActionsOf(ItemCommand command) noexcept { return actions[IndexOf(command)]; }

}  // namespace vantrell
