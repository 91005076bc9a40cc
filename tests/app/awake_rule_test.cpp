// What a recording asks of the power: the system always; the display where Modern Standby runs on
// battery (or cannot tell), said when kept on, again when the cord is pulled; nothing once stopped.
#include "app/awake_rule.h"

#include <gtest/gtest.h>

namespace {

TEST(AwakeRule, EveryMachineSourceAndState) {
    constexpr PowerSource AC = POWER_AC, BAT = POWER_BATTERY, UNKNOWN = POWER_UNKNOWN;
    const struct {
        bool modernStandby, recording;
        PowerSource source;
        bool display, tell;
    } steps[] = {
        {false, true, BAT, false, false},  {false, true, UNKNOWN, false, false},
        {false, false, BAT, false, false}, {true, true, AC, false, false},
        {true, true, BAT, true, true},     {true, true, BAT, true, false},
        {true, true, AC, false, false},    {true, true, UNKNOWN, true, true},
        {true, false, BAT, false, false},  {true, true, BAT, true, true},
    };
    AwakeRule rule; // one machine at a time would do; the rule keeps only what it last said
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        const AwakeRule::Needs needs = rule.Follow(step.recording, step.modernStandby, step.source);
        EXPECT_EQ(needs.system, step.recording);
        EXPECT_EQ(needs.display, step.display);
        EXPECT_EQ(needs.tell, step.tell);
    }
}

} // namespace
