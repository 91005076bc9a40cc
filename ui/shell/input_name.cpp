#include "ui/shell/input_name.h"

#include "capture/audio_endpoints.h"

// The ID is not read into: whatever Windows knows by that ID is named by Windows' name for it.
std::wstring InputDisplayName(const std::wstring& input) {
    std::wstring name;
    if (!input.empty() && EndpointName(input, name))
        return name;
    return input;
}
