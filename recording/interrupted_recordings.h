// At start-up, what an earlier run of the program left unfinished: the files the settings still
// note as being recorded (a crash, a kill, a power cut, a completion that did not end in time).
// Each is completed with the markers noted for it, or found complete, gone, not ours, or
// without a sound (removed, its sequential number given back); one whose drive is not there, or
// that cannot be completed now (a card reader without its card), keeps its note, and the user
// hears of it once.
//
// Window thread, before the first recording starts.
#pragma once

#include "engine/sequential_naming.h"
#include "recording/recording_notes.h"
#include "recording/recording_report.h"

#include <vector>

// What the user is to hear, each file once; in kept the files that stay noted.
std::vector<RecordingReport> CompleteInterruptedRecordings(IRecordingNotes& notes,
                                                           SequentialNaming& naming,
                                                           std::vector<NotedFile>& kept);
