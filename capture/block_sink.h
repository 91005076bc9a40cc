// Where the capture thread leaves every block it takes from the device: the first step of a
// block's way from the device to the disk (device -> capture thread -> the recording's queue ->
// its disk thread -> the file).
#pragma once

#include <cstdint>

class IBlockSink {
public:
    virtual ~IBlockSink() = default;
    // Called on the capture thread for every block with sound in it, before the block's buffer
    // goes back to the device: copies the bytes and returns at once. It never waits for a disk
    // or a window: winmm throws sound away, without a word, once all its buffers are out.
    // runningMs: the recording's clock (pauses left out) when the block came back.
    virtual void TakeBlock(const uint8_t* data, uint32_t bytes, uint32_t runningMs) = 0;
    // Called on the capture thread when no block will come for a while (a pause, an input that
    // is gone): what was taken is settled now rather than when the next block comes.
    virtual void Settle() = 0;
};
