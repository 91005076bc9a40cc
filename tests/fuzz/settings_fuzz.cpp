// libFuzzer target for the settings' reading rules: any text for any key must load without
// undefined behaviour, and the format values must come out recordable.
#include "app/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class FuzzStore : public ISettingsStore {
public:
    explicit FuzzStore(std::wstring text) : m_text(std::move(text)) {}
    std::wstring Read(const wchar_t*, const wchar_t*, const wchar_t*) override {
        return m_text.substr(0, 511);
    }
    bool Write(const wchar_t*, const wchar_t*, const std::wstring&) override { return true; }
    bool RemoveSection(const wchar_t*) override { return true; }

private:
    std::wstring m_text;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += wchar_t(data[i] | (data[i + 1] << 8));
    ParseFlag(text);
    ParseInteger(text, 16000);
    FuzzStore store(text);
    AppSettings settings;
    LoadSettings(settings, store);
    if (settings.SamplingChannel != 1 && settings.SamplingChannel != 2)
        std::abort();
    if (settings.SampleType < 0 || settings.SampleType > 3 || !IsOfferedRate(settings.SamplingRate))
        std::abort();
    if (settings.SeqRecFileCount < 0 || settings.SeqRecFileCount > 999999)
        std::abort();
    return 0;
}
