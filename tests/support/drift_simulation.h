// Hours of two clocks simulated in moments: the follower's device brings 10 ms of sound at a time
// on its own clock, late by up to jitterMs; the leader's takes 40 ms at a time on its clock (the
// time line), late by up to as much. A click is played every minute of the follower's sound;
// each is looked for in what the leader took, and its offset from its place on the time line
// noted. No thread and no real clock: the same run gives the same figures on any machine.
#pragma once

#include "engine/drift_follower.h"

#include <cstdint>

struct DriftRun {
    uint32_t rate = 400;
    double ppm = 0;      // the follower's clock against the leader's, for the first half
    double laterPpm = 0; // ...and the second
    double hours = 10;
    uint32_t jitterMs = 15;
};

struct DriftResult {
    int clicksPlayed = 0, clicksFound = 0; // from minute 1 on
    double leastOffsetMs = 1e9, mostOffsetMs = -1e9;
    size_t mostFill = 0; // frames, from minute 1 on
    double mostSlewPerSecond = 0;
    // The ratio's most distance from the clocks' true one, from minute 1 on (and a minute after the
    // step); its most distance from 1.
    double mostWobble = 0, mostDeviation = 0;
    DriftFollower::Figures atMinute, figures; // at minute 1, and at the end
};

DriftResult SimulateDrift(const DriftRun& run);
