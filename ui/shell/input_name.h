// The input being recorded, by the name Windows shows for it in its sound settings.
#pragma once

#include <string>

// input: what the capture tells of the input (CWaveIn::Input): an audio endpoint's ID is looked up
// for its friendly name ("マイク (USB Audio Device)"); anything else is the device's own name and
// is shown as it is. Empty when nothing is known. Window thread (COM initialised).
std::wstring InputDisplayName(const std::wstring& input);
