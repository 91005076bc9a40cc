// Whether Windows would store a file under a typed name as typed.
#pragma once

#include <string>

// False for a name with a reserved device name as a component (NUL, CON, PRN, AUX, COM1..9,
// LPT1..9, with or without an extension), a component ending in a dot or a blank, a character
// from <>"|?* or a control character, a colon other than the drive's, or no file name at the
// end. A path with or without folders, relative or absolute, local or UNC.
bool IsStorableFileName(const std::wstring& path);

// Whether a sequential prefix makes, with the number and ".wav" after it, a plain file name in
// the folder: empty, or no separator, no colon (an NTFS stream), no character from <>"|?* or
// control character, no reserved device name (CON, NUL, COM1, ...), and no trailing dot or blank.
bool IsUsablePrefix(const std::wstring& prefix);
