#include "capture/playback_wave_input.h"
#include "capture/source_wave_input.h"
#include "capture/wasapi_playback_stream.h"
#include "capture/winmm_wave_input.h"

std::unique_ptr<IWaveInput> MakeSystemWaveInput() {
    return std::make_unique<SourceWaveInput>(
        MakeWinmmWaveInput(), std::make_unique<PlaybackWaveInput>(MakeWasapiPlaybackStream()));
}
