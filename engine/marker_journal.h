// The journal of a file's markers while it records: one line appended for each marker the file
// keeps (a marker whose label grows, a gap's, comes again under the same key), handed to the
// storage device with the sound, and removed once the file is complete. A crash or a power cut
// leaves it beside the file, and the next start completes the file with the markers it holds.
//
// A line is "key frame label\tcrc\n" (the crc a CRC-32 of what comes before the tab, in hex): a
// line cut short or damaged ends the reading, and everything before it is kept. A marker costs
// one append of its line, whatever the journal holds already.
#pragma once

#include "engine/raw_file.h"
#include "engine/wave_layout.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The journal beside a recording's file: its name with ".markers" after it.
std::filesystem::path MarkerJournalPath(const std::filesystem::path& file);

// The markers the journal of file holds, in the order written; a later line under a key other
// than 0 replaces the earlier one. None when there is no journal.
std::vector<WaveLayout::CueMarker> ReadMarkerJournal(const std::filesystem::path& file);

// One line of the journal (without what may damage it: tabs and line ends in the label become
// blanks).
std::string MarkerJournalLine(uint64_t key, uint64_t frame, const std::string& label);

// The disk thread's: the journal of the file being written.
class MarkerJournal {
public:
    // The journal of file; nothing is touched until the first marker.
    void Begin(const std::filesystem::path& file);
    // Appends a marker's line; the journal is made at the first (one an earlier file of the name
    // left is replaced). False when it could not be written: the journal is then given up for
    // this file (its markers still go into the file when it is completed).
    bool Append(uint64_t key, uint64_t frame, const std::string& label);
    // Hands what was appended to the storage device; true when there was nothing to hand.
    bool Flush();
    // The file is complete: its journal goes. Or it is not (its completion failed): the journal
    // stays for the next start.
    void End(bool complete);
    // The bytes and the appends of this file's journal so far.
    uint64_t Bytes() const { return m_bytes; }

private:
    RawFile m_file;
    std::filesystem::path m_path;
    bool m_failed = false, m_dirty = false;
    bool m_made = false; // this file's journal was made here
    uint64_t m_bytes = 0;
};
