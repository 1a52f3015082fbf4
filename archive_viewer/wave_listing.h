// The listing both the main window and the viewer run on an archive: open it,
// walk the entries matching "*.wav", close it again.
#pragma once

#include <functional>
#include <string>

#include "archive/archivefile.h"

namespace tidebell {

// Sets the component's file name, opens the archive (result not examined,
// as a refused archive simply lists nothing), and reports each entry the
// library finds to `onEntry` until it answers false or the library answers
// non-zero. The listing handle is closed on every way out, exceptions
// included. Answers FindFirst's result (0 = at least one entry).
int listWaveEntries(archives::TArchiveFile& archiveFile, const std::string& archivePath,
                    const std::function<bool(const archives::EntryRecord&)>& onEntry);

}  // namespace tidebell
