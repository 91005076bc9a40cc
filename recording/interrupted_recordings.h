// At start-up, what an earlier run of the program left unfinished: the files the settings still
// note as being recorded (a crash, a kill, a power cut, a completion that did not end in time).
// Each is completed with the markers its journal holds (MarkerJournal; and those an earlier
// version noted in the settings), and the journal goes with the note; or it is found complete,
// gone, not ours, or without a sound (removed, its sequential number given back); one whose drive
// is not there, or that cannot be completed now (a card reader without its card), keeps its note,
// and the user hears of it once.
//
// The files are touched on a thread of their own (RepairNotedFiles): a note that names a file on
// a network share that does not answer costs that thread the share's time-out, never the window.
// The notes and the counter are the window thread's (SettleNotedFiles).
#pragma once

#include "engine/sequential_naming.h"
#include "recording/recording_notes.h"
#include "recording/recording_report.h"

#include <vector>

// Any thread: each file completed (its markers within the writer's RIFF size limit), or looked
// at; one without a sound removed. One result per file, in order.
std::vector<RepairResult> RepairNotedFiles(const std::vector<NotedFile>& files,
                                           uint64_t riffSizeLimit);

// Window thread, with the results of RepairNotedFiles for files: the numbers of the removed files
// given back (when the counter has not moved past them since), the notes of the files kept, and
// what the user is to hear, each file once.
std::vector<RecordingReport> SettleNotedFiles(IRecordingNotes& notes, SequentialNaming& naming,
                                              const std::vector<NotedFile>& files,
                                              const std::vector<RepairResult>& results,
                                              std::vector<NotedFile>& kept);
