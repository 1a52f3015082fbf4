// Writes an archive's entries below a destination folder, safely:
// - names go through safeComponents(): nothing lands outside the folder;
// - folders are created and entered one at a time relative to the folder's
//   descriptor (mkdirat, openat with O_NOFOLLOW | O_DIRECTORY), so an
//   existing symbolic link is never followed;
// - links, devices and other special entries are never created;
// - each file is written to an unnamed (or, where the file system cannot,
//   a hidden temporary) file and renamed into place only after its size
//   and CRC checked out; a failed or aborted file leaves nothing behind and
//   an existing file of that name stays untouched.
#pragma once

#include <cstdint>
#include <string>

#include "archivers/common/commandline.h"
#include "archivers/common/outputtext.h"
#include "archivers/common/progress.h"
#include "archivers/common/reader.h"

namespace arc {

struct ExtractTarget {
    std::string posixFolder;    // destination, created when missing
    std::string windowsFolder;  // the same as the command named it (for messages)
    uint64_t archiveSize = 0;   // of the archive file, bounding each entry's compressed size (0: unknown)
};

// Extracts the entries of `reader` that `request` selects. Per-entry
// failures (corrupt, CRC, unsafe) are reported and the others still
// extracted; a write error, an abort or passing the limits of
// outputlimits.h stops at once, and the entry's partial file is removed. Returns 0 or the first
// error's code (errors.h); ArcNoMatch when a pattern matched no entry.
int extractEntries(Reader& reader, const CommandRequest& request, const ExtractTarget& target, Progress& progress,
                   OutputText& output);

// Decodes every selected file entry and checks it (the test command and
// CheckArchive's full mode), held to the same ratio as extraction.
int testEntries(Reader& reader, const CommandRequest& request, OutputText& output, uint64_t archiveSize = 0);

}  // namespace arc
