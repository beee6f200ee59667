#pragma once
// The Outlooks a working day runs in, shared by the tests that play a whole day: each generation
// the simulator can be, with WordMail in Outlook 2003 and both ways of clicking in Outlook 2010.
#include <gtest/gtest.h>

#include <string>

namespace vantrell::test {

enum class Form { Bars, Ribbon };

struct Day {
    const char* name;
    const wchar_t* version;
    bool wordMail;
    Form form;    // how the user clicks
    bool bars;    // the windows have the add-in's command-bar buttons
    bool ribbon;  // ... and its ribbon group
};

inline const Day kWorkingDays[] = {
    {"Outlook2000", L"9.0.0.2814", false, Form::Bars, true, false},
    {"Outlook2003", L"11.0.8312", false, Form::Bars, true, false},
    {"Outlook2003WithWordMail", L"11.0.8312", true, Form::Bars, true, false},
    {"Outlook2007", L"12.0.6423.1000", false, Form::Ribbon, false, true},
    {"Outlook2010WithTheRibbon", L"14.0.7015.1000", false, Form::Ribbon, true, true},
    {"Outlook2010WithTheButtons", L"14.0.7015.1000", false, Form::Bars, true, true},
};

inline std::string DayName(const testing::TestParamInfo<Day>& info) { return info.param.name; }

}  // namespace vantrell::test
