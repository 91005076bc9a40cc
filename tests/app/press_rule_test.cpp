// One press, one act: a held media key, by its repeat flag or else the keyboard's timing (delays
// of 250 ms to 1 s, late on a busy machine); another key between, or a press again, acts.
#include "app/press_rule.h"

#include <gtest/gtest.h>

namespace {

constexpr int kPlayPause = 14, kStop = 13; // APPCOMMAND_MEDIA_PLAY_PAUSE, _STOP

TEST(PressRule, OnePressOneAct) {
    const struct {
        int command;
        bool repeat, acts;
    } keySteps[] = {{kPlayPause, false, true},
                    {kPlayPause, true, false},
                    {kStop, false, true},
                    {kPlayPause, false, true},
                    {kPlayPause, true, false}};
    PressRule keys; // the key's own messages: the command Windows makes of each acts no more
    for (const auto& step : keySteps) {
        EXPECT_EQ(keys.KeyActs(step.command, step.repeat, 0), step.acts);
        EXPECT_FALSE(keys.Acts(step.command, 0)) << "its WM_APPCOMMAND";
        keys.KeyDone();
    }
    for (uint32_t delay : {250u, 500u, 750u, 1000u}) {
        for (uint32_t period : {33u, 400u}) {
            SCOPED_TRACE(std::to_string(delay) + " ms, then every " + std::to_string(period));
            PressRule rule;
            rule.SetKeyboard(delay, period);
            uint32_t now = 10000;
            EXPECT_TRUE(rule.Acts(kPlayPause, now));
            now += delay + 60;
            for (int i = 0; i < 40; ++i, now += period)
                EXPECT_FALSE(rule.Acts(kPlayPause, now)) << "held";
            EXPECT_TRUE(rule.Acts(kStop, now)) << "another key between";
            EXPECT_TRUE(rule.Acts(kPlayPause, now + 10));
            EXPECT_TRUE(rule.Acts(kPlayPause, now + 10 + rule.WindowMs())) << "pressed again";
        }
    }
}

} // namespace
