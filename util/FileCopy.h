#pragma once

#include "util/FileAttributes.h"

#include <string>

class TFolderCache;
struct TLanding;

// Whole-file copy that replaces Target safely, as the platform's copy does. The copy is faithful:
// it carries Source's permission bits, owner and group where allowed, and modification time. It
// is made as a new file in the folder of the file Target finally names (links followed, the links
// stay) and put in place in one step only when complete: on failure Target is exactly as it was,
// and nothing else is left, not even after a kill. An existing Target must be a plain file that
// is not read-only (IsReadOnlyFile); its bytes reach the disk before the replacement. Returns
// false on any failure.
bool CopyFileReplace(const std::string& Source, const std::string& Target);
// The same from the start of a file open as Source, into a target already located in the run's
// folders, with Source's ACL and extended attributes given by Keep; AttributesKept tells whether
// they all could be kept.
bool CopyFileReplace(int Source, const TLanding& Target, bool* AttributesKept = nullptr,
                     const TAttributeCopy& Keep = CopyAttributes);

// Copies from the current offsets to the end of In: copy_file_range, else sendfile, else read
// and write. False on any failure.
bool CopyContent(int In, int Out);

// Whether a located target may be replaced or newly made: nothing there, a plain file that is
// not read-only, or a link (which the new file replaces), in a folder that is open.
bool MayPlaceAt(const TLanding& Target);
