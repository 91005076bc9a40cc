// The peaks of the most recent block, per channel, in the unit of the capture (8-bit: the
// unsigned byte minus 127; 16-bit: the sample itself). Written by the monitor's peak
// measurement, read by the meters and the waveform view, all under the monitor's lock.
#pragma once

#include <cstdint>

struct BlockPeaks {
    int16_t maxCh0 = 0; // largest non-negative value of channel 0, or 0
    int16_t minCh0 = 0; // smallest negative value of channel 0, or 0
    int16_t maxCh1 = 0; // the same for channel 1, written only in stereo
    int16_t minCh1 = 0;
};

extern BlockPeaks g_blockPeaks;
