// One press, one act: a media key held down, by its own repeat flag or, without key messages, by
// the keyboard's repeat timing.
#include "app/press_rule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kPlayPause = 14, kStop = 13; // APPCOMMAND_MEDIA_PLAY_PAUSE, _STOP

// The keys' own messages: the first acts, its repeats and the command Windows makes of each
// while it is handled do not; the next press does; a second key between acts.
TEST(PressRule, AKeyMessageSaysWhetherItRepeats) {
    PressRule rule;
    rule.SetKeyboard(250, 33);
    const struct {
        int command;
        bool repeat;
        uint32_t atMs;
        bool acts;
    } steps[] = {
        {kPlayPause, false, 0, true},    {kPlayPause, true, 250, false},
        {kPlayPause, true, 283, false},  {kStop, false, 290, true},
        {kPlayPause, false, 300, true},  {kPlayPause, true, 2000, false}, // held on and on
        {kPlayPause, false, 2010, true}, // released and pressed again at once
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.atMs);
        EXPECT_EQ(rule.KeyActs(step.command, step.repeat, step.atMs), step.acts);
        EXPECT_FALSE(rule.Acts(step.command, step.atMs)) << "its WM_APPCOMMAND";
        rule.KeyDone();
    }
}

// Without key messages: a held key's commands come after the repeat delay (250 ms to 1 s), then
// at the repeat rate; only the first acts, however long it is held. A press after the key was
// let go acts, as does another command between.
TEST(PressRule, WithoutKeyMessagesTheKeyboardsTimingDecides) {
    for (uint32_t delay : {250u, 500u, 750u, 1000u}) {
        for (uint32_t period : {33u, 400u}) {
            SCOPED_TRACE(std::to_string(delay) + " ms delay, " + std::to_string(period));
            PressRule rule;
            rule.SetKeyboard(delay, period);
            uint32_t now = 10000;
            EXPECT_TRUE(rule.Acts(kPlayPause, now));
            now += delay + 60; // late, on a busy machine
            int acted = 0;
            for (int i = 0; i < 40; ++i, now += period)
                acted += rule.Acts(kPlayPause, now);
            EXPECT_EQ(acted, 0) << "held";
            EXPECT_TRUE(rule.Acts(kStop, now)) << "another key between";
            EXPECT_TRUE(rule.Acts(kPlayPause, now + 10));
            now += rule.WindowMs() + 10;
            EXPECT_TRUE(rule.Acts(kPlayPause, now)) << "let go and pressed again";
            EXPECT_LE(rule.WindowMs(), 1200u) << "a second press within the next second acts";
        }
    }
}

} // namespace
