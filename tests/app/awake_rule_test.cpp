// What a recording asks of the power, on every kind of machine: the system always, the display
// where Modern Standby runs on battery, said once and again when the cord is pulled.
#include "app/awake_rule.h"

#include <gtest/gtest.h>

namespace {

TEST(AwakeRule, EveryMachineAndSourceAndState) {
    const struct {
        bool modernStandby;
        PowerSource source;
        bool recording;
        bool system, display;
    } cases[] = {
        {false, POWER_AC, true, true, false},        {false, POWER_BATTERY, true, true, false},
        {false, POWER_UNKNOWN, true, true, false},   {true, POWER_AC, true, true, false},
        {true, POWER_BATTERY, true, true, true},     {true, POWER_UNKNOWN, true, true, true},
        {false, POWER_BATTERY, false, false, false}, {true, POWER_BATTERY, false, false, false},
        {true, POWER_AC, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.modernStandby) + " " + std::to_string(c.source) + " " +
                     std::to_string(c.recording));
        AwakeRule rule;
        const AwakeRule::Needs needs = rule.Follow(c.recording, c.modernStandby, c.source);
        EXPECT_EQ(needs.system, c.system);
        EXPECT_EQ(needs.display, c.display);
        EXPECT_EQ(needs.tell, c.display) << "said at the start";
        EXPECT_FALSE(rule.Follow(c.recording, c.modernStandby, c.source).tell) << "once";
    }
}

// A Modern Standby laptop through a recording: plugged in, the cord pulled (said), plugged in
// again (let go), pulled again (said again), stopped (let go), a new recording on battery (said).
TEST(AwakeRule, TheCordPulledMidRecording) {
    AwakeRule rule;
    const struct {
        bool recording;
        PowerSource source;
        bool display, tell;
    } steps[] = {
        {true, POWER_AC, false, false},     {true, POWER_BATTERY, true, true},
        {true, POWER_BATTERY, true, false}, {true, POWER_AC, false, false},
        {true, POWER_BATTERY, true, true},  {false, POWER_BATTERY, false, false},
        {true, POWER_BATTERY, true, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        const AwakeRule::Needs needs = rule.Follow(step.recording, true, step.source);
        EXPECT_EQ(needs.display, step.display);
        EXPECT_EQ(needs.tell, step.tell);
    }
}

} // namespace
