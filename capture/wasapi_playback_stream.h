// What an output device plays, read back through WASAPI's loopback (Windows Vista on): shared
// mode, the output's own mix format, a second's buffer. Loopback gives no packets while nothing
// plays, so beside it runs a silent stream of the program's own into the same output (its session
// hidden from the volume mixer): the output's engine keeps running, and silence is read as
// silence on the output's clock. Windows only.
//
// For tests, the environment variable SONARIX_LOOPBACK_ENDPOINT, set to the endpoint ID of an
// input (a capture endpoint), has that input read through the same path in place of an output's
// loopback; any other value is ignored.
#pragma once

#include "capture/playback_stream.h"

#include <memory>

std::unique_ptr<IPlaybackStream> MakeWasapiPlaybackStream();
