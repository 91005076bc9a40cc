// The system's sound behind one wave input: an input device for a source of inputs, what an
// output plays for a source of playback, both at once (over the same two) for both sides; each
// Open takes the one its source names, and every other call goes to the one opened last.
#pragma once

#include "capture/both_sides_wave_input.h"
#include "capture/wave_input.h"

#include <atomic>
#include <memory>

class SourceWaveInput : public IWaveInput {
public:
    SourceWaveInput(std::unique_ptr<IWaveInput> input, std::unique_ptr<IWaveInput> playback)
        : m_input(std::move(input)), m_playback(std::move(playback)),
          m_both(std::make_unique<BothSidesWaveInput>(*m_input, *m_playback)) {}

    uint32_t Open(const WaveFormat& format, const CaptureSource& source) override {
        return Route(source)->Open(format, source);
    }
    uint32_t Reopen(const WaveFormat& format, const CaptureSource& source) override {
        return Route(source)->Reopen(format, source);
    }
    uint32_t Prepare(WaveHeader& header) override { return m_active.load()->Prepare(header); }
    uint32_t AddBuffer(WaveHeader& header) override { return m_active.load()->AddBuffer(header); }
    uint32_t Start() override { return m_active.load()->Start(); }
    uint32_t Stop() override { return m_active.load()->Stop(); }
    uint32_t Reset() override { return m_active.load()->Reset(); }
    uint32_t Unprepare(WaveHeader& header) override { return m_active.load()->Unprepare(header); }
    uint32_t Close() override { return m_active.load()->Close(); }
    bool TakeDone(WaveHeader& header) override { return m_active.load()->TakeDone(header); }
    void WaitForDone(uint32_t timeoutMs) override { m_active.load()->WaitForDone(timeoutMs); }
    void Wake() override { m_active.load()->Wake(); }
    bool DefaultInput(std::wstring& input) override { return m_active.load()->DefaultInput(input); }
    WaitingSide SideWaiting() const override { return m_active.load()->SideWaiting(); }
    uint32_t NearQuietMs() const override { return m_active.load()->NearQuietMs(); }

private:
    IWaveInput* Route(const CaptureSource& source) {
        m_active = source.kind == SOURCE_PLAYBACK ? m_playback.get()
                   : source.kind == SOURCE_BOTH   ? m_both.get()
                                                  : m_input.get();
        return m_active;
    }

    const std::unique_ptr<IWaveInput> m_input;
    const std::unique_ptr<IWaveInput> m_playback;
    const std::unique_ptr<BothSidesWaveInput> m_both; // over the two above, gone before them
    // Set by Open; read by any thread (a wake), each device living as long as this.
    std::atomic<IWaveInput*> m_active{m_input.get()};
};

#ifdef _WIN32
// Windows' own: winmm's inputs, and WASAPI's loopback of its outputs.
std::unique_ptr<IWaveInput> MakeSystemWaveInput();
#endif
