// Windows' audio endpoints, through its device enumerator (the MMDevice API): the inputs and
// outputs that are there now, the defaults, and their names as Windows shows them in its sound
// settings. Windows only.
//
// Any thread: COM is initialised for the calling thread where it is not yet (in the
// multithreaded apartment), and stays so until the thread ends.
#pragma once

#include "engine/capture_source.h"

#include <string>
#include <vector>

struct AudioEndpoint {
    std::wstring id;   // the endpoint's ID: opaque, the same across runs and plug-ins
    std::wstring name; // "マイク (USB Audio Device)"
};

// The active (plugged in, enabled) inputs or outputs, in the system's order.
std::vector<AudioEndpoint> ActiveEndpoints(SourceKind kind);
// Windows' default input or output, for its console or its communications role; false when
// there is none.
bool DefaultEndpointId(SourceKind kind, bool communications, std::wstring& id);
// The endpoint's friendly name; false when the system does not know the ID.
bool EndpointName(const std::wstring& id, std::wstring& name);
// Whether the endpoint is there and active; false for an ID the system does not know.
bool IsEndpointActive(const std::wstring& id);
// Initialises COM for the calling thread unless it is already (any apartment); false when COM
// cannot be had on it.
bool ComReadyForThisThread();
