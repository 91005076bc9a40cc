// Files written by CWaveFile, read back by programs that share no code with it: SoX, FFmpeg,
// libsndfile and Python's wave module.
#include "engine/wave_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct CommandResult {
    int exitCode;
    std::string output;
};

CommandResult RunCommand(const std::string& command) {
    CommandResult result{-1, {}};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

// The first capture group of pattern in text, or "" when it does not occur.
std::string Find(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : std::string();
}

// A 1 kHz tone at half scale, interleaved, as 16-bit samples.
std::vector<int16_t> Tone(int rate, int channels, int frames) {
    std::vector<int16_t> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(int16_t(std::lround(16384 * std::sin(2 * M_PI * 1000.0 * i / rate))));
    return samples;
}

// The capture's bytes for a tone: unsigned bytes for 8-bit PCM, 16-bit samples otherwise.
std::vector<uint8_t> CaptureBytes(const std::vector<int16_t>& tone, int sampleType) {
    if (sampleType != SAMPLE_TYPE_PCM8)
        return SampleBytes(tone);
    std::vector<uint8_t> bytes;
    for (int16_t s : tone)
        bytes.push_back(uint8_t((s >> 8) + 128));
    return bytes;
}

// Writes the capture bytes in 40 ms blocks, as the capture hands them over.
void WriteBlocks(CWaveFile& wav, const std::vector<uint8_t>& bytes, size_t blockBytes) {
    for (size_t at = 0; at < bytes.size(); at += blockBytes) {
        const size_t n = std::min(blockBytes, bytes.size() - at);
        ASSERT_EQ(wav.Write(bytes.data() + at, uint32_t(n)), CWaveFile::WRITE_OK);
    }
}

// What a reader prints, one line for each match of the pattern: its groups joined by a blank.
std::vector<std::string> Matches(const std::string& command, const std::string& pattern) {
    std::vector<std::string> lines;
    const std::string output = RunCommand(command).output;
    const std::regex line(pattern);
    for (std::sregex_iterator m(output.begin(), output.end(), line), end; m != end; ++m)
        lines.push_back(m->size() > 2 ? (*m)[1].str() + " " + (*m)[2].str() : (*m)[1].str());
    return lines;
}

struct Expectation {
    int type;
    const char* soxEncoding;
    const char* ffmpegCodec;
};
const Expectation kTypes[] = {
    {SAMPLE_TYPE_PCM8, "8-bit Unsigned Integer PCM", "pcm_u8"},
    {SAMPLE_TYPE_PCM16, "16-bit Signed Integer PCM", "pcm_s16le"},
    {SAMPLE_TYPE_MULAW, "8-bit u-law", "pcm_mulaw"},
    {SAMPLE_TYPE_ALAW, "8-bit A-law", "pcm_alaw"},
};

// Every type, channel count and rate: soxi and ffprobe agree on encoding, channels, rate and
// the number of sample frames; ffprobe reads the markers as chapters at their frames with their
// labels as titles, and libsndfile as cue points with their labels.
TEST(WavReaders, EveryFormatIsReadBySoxAndFfprobe) {
    TempDir dir;
    for (const Expectation& e : kTypes) {
        for (int channels : {1, 2}) {
            for (const SamplingRate& offered : kSamplingRates) {
                const int rate = offered.hz;
                SCOPED_TRACE(testing::Message()
                             << "type " << e.type << ", " << channels << " ch, " << rate << " Hz");
                const int frames = rate / 5 + 1; // 0.2 s and one frame: an odd count
                const fs::path path =
                    dir / ("f" + std::to_string(e.type) + "_" + std::to_string(channels) + "_" +
                           std::to_string(rate) + ".wav");
                CWaveFile wav;
                ASSERT_EQ(wav.Open(path, channels, rate, e.type), 1);
                const size_t bytesPerSample = e.type == SAMPLE_TYPE_PCM8 ? 1 : 2;
                WriteBlocks(wav, CaptureBytes(Tone(rate, channels, frames), e.type),
                            bytesPerSample * channels * rate / 25);
                const std::vector<std::string> markers = {
                    "0 Marker 1 00:00:00.0",
                    std::to_string(frames / 2) + " Gap 1 00:00:00.1 (2.5 s)",
                    std::to_string(frames - 1) + " Marker 2 00:00:00.2"};
                for (const std::string& marker : markers) {
                    const size_t space = marker.find(' ');
                    ASSERT_EQ(wav.AddMarker(std::stoull(marker.substr(0, space)),
                                            marker.substr(space + 1)),
                              CWaveFile::MARKER_KEPT);
                }
                ASSERT_EQ(wav.Close(), 1);
                // FFmpeg's chapters, "frame title"; libsndfile's cue points and labels.
                EXPECT_EQ(Matches("ffprobe -v error -show_chapters -of csv=p=0 " + Quote(path),
                                  R"(\d+,1/\d+,(\d+),[^,]*,\d+,[^,]*,(.*))"),
                          markers);
                const std::string info = "sndfile-info " + Quote(path);
                std::vector<std::string> cues = Matches(info, R"(Pos :\s*(\d+))");
                const std::vector<std::string> labels = Matches(info, R"(labl : \d+ : (.*))");
                ASSERT_EQ(cues.size(), labels.size());
                for (size_t i = 0; i < cues.size(); ++i)
                    cues[i] += " " + labels[i];
                EXPECT_EQ(cues, markers);

                const CommandResult soxi = RunCommand("soxi " + Quote(path));
                ASSERT_EQ(soxi.exitCode, 0) << soxi.output;
                EXPECT_EQ(Find(soxi.output, R"(Channels\s*:\s*(\d+))"), std::to_string(channels));
                EXPECT_EQ(Find(soxi.output, R"(Sample Rate\s*:\s*(\d+))"), std::to_string(rate));
                EXPECT_EQ(Find(soxi.output, R"(= (\d+) samples)"), std::to_string(frames));
                EXPECT_EQ(Find(soxi.output, R"(Sample Encoding\s*:\s*(.+))"), e.soxEncoding);

                const CommandResult probe = RunCommand(
                    "ffprobe -v error -show_entries "
                    "stream=codec_name,channels,sample_rate,duration_ts -of default=nw=1 " +
                    Quote(path));
                ASSERT_EQ(probe.exitCode, 0) << probe.output;
                EXPECT_EQ(Find(probe.output, R"(codec_name=(\w+))"), e.ffmpegCodec);
                EXPECT_EQ(Find(probe.output, R"(channels=(\d+))"), std::to_string(channels));
                EXPECT_EQ(Find(probe.output, R"(sample_rate=(\d+))"), std::to_string(rate));
                EXPECT_EQ(Find(probe.output, R"(duration_ts=(\d+))"), std::to_string(frames));
            }
        }
    }
}

// SoX decodes µ-law and A-law files back to within one quantisation step of the source.
TEST(WavReaders, SoxDecodesG711WithinOneStep) {
    TempDir dir;
    std::vector<int16_t> source;
    for (int x = -32768; x < 32768; x += 7)
        source.push_back(int16_t(x));
    for (int type : {SAMPLE_TYPE_MULAW, SAMPLE_TYPE_ALAW}) {
        SCOPED_TRACE(type == SAMPLE_TYPE_MULAW ? "mu-law" : "A-law");
        const fs::path path = dir / "g711.wav";
        const fs::path raw = dir / "decoded.raw";
        CWaveFile wav;
        ASSERT_EQ(wav.Open(path, 1, 8000, type, RawFile::CREATE_REPLACE), 1);
        WriteBlocks(wav, SampleBytes(source), 640);
        ASSERT_EQ(wav.Close(), 1);
        const CommandResult sox =
            RunCommand("sox " + Quote(path) + " -t raw -e signed -b 16 -L " + Quote(raw));
        ASSERT_EQ(sox.exitCode, 0) << sox.output;
        const auto decoded = ReadFileBytes(raw);
        ASSERT_EQ(decoded.size(), source.size() * 2);
        for (size_t i = 0; i < source.size(); ++i) {
            const int d = int16_t(GetU16(decoded, 2 * i));
            const int s = source[i];
            if (type == SAMPLE_TYPE_MULAW && s <= -31612) {
                // The zero trap: these samples are written as code 0x02.
                ASSERT_EQ(d, -30076) << "sample " << s;
                continue;
            }
            // A segment's step is 1/16 of its range; µ-law clips above 32635.
            const int step = std::max(32, std::abs(s) / 16) + 8;
            ASSERT_LE(std::abs(d - s), s > 32635 ? step + 132 : step)
                << "sample " << s << " came back as " << d;
        }
    }
}

// A recording that never reached Close (the process killed): every reader still finds all the
// samples, thanks to the placeholder sizes.
TEST(WavReaders, UnclosedFileIsReadToTheEnd) {
    TempDir dir;
    const fs::path live = dir / "live.wav";
    CWaveFile wav;
    ASSERT_EQ(wav.Open(live, 2, 16000, SAMPLE_TYPE_PCM16), 1);
    const int frames = 16000 * 3 / 2;
    WriteBlocks(wav, SampleBytes(Tone(16000, 2, frames)), 2560);
    const fs::path killed = dir / "killed.wav";
    fs::copy_file(live, killed); // the file as a crash would leave it
    wav.Close();
    ASSERT_EQ(GetU32(ReadFileBytes(killed), 42), 0xFFFFFFFFu);

    // soxi only repeats the header's placeholder; sox itself reads to the end.
    const std::string count = std::to_string(frames);
    const CommandResult sox = RunCommand("sox " + Quote(killed) + " -n stat");
    EXPECT_EQ(Find(sox.output, R"(Samples read:\s*(\d+))"), std::to_string(2 * frames))
        << sox.output;
    const CommandResult probe = RunCommand("ffprobe -v error -count_packets -show_entries "
                                           "stream=nb_read_packets -of default=nw=1 " +
                                           Quote(killed));
    EXPECT_EQ(probe.exitCode, 0) << probe.output;
    const CommandResult ffmpeg =
        RunCommand("ffmpeg -v error -i " + Quote(killed) + " -f s16le -acodec pcm_s16le - | wc -c");
    EXPECT_EQ(Find(ffmpeg.output, R"((\d+))"), std::to_string(frames * 4)) << ffmpeg.output;
    const CommandResult sndfile = RunCommand("sndfile-info " + Quote(killed));
    EXPECT_EQ(Find(sndfile.output, R"(Frames\s*:\s*(\d+))"), count) << sndfile.output;
    const CommandResult python = RunCommand(
        "python3 -c \"import wave,sys; w=wave.open(sys.argv[1]); "
        "print('frames', len(w.readframes(1 << 30)) // w.getsampwidth() // w.getnchannels())\" " +
        Quote(killed));
    EXPECT_EQ(Find(python.output, R"(frames (\d+))"), count) << python.output;
}

} // namespace
