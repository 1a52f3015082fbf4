// Result codes of the archiver libraries' entries. 0 is success everywhere;
// the program only tells 0 from non-zero, the texts go to the output buffer.
#pragma once

#include <string_view>

#include "archivers/common/reader.h"

namespace arc {

enum ErrorCode : int {
    ArcOk = 0,
    ArcEndOfList = -1,  // FindFirst/FindNext: no (more) matching entry

    ArcNotSupported = 0x100,  // command or feature this library does not offer (packing, deleting, SFX, ...)
    ArcBadCommand,            // command line cannot be parsed (no archive, unknown switch form)
    ArcNoMatch,               // a named file or pattern matches no entry
    ArcCannotOpen,            // the archive file cannot be found or read
    ArcNotArchive,            // the file is not in this library's format
    ArcCorrupt,               // broken headers or data
    ArcCrcError,              // decoded data does not match its checksum or declared size
    ArcUnsupportedMethod,     // encrypted entry or unknown compression method
    ArcWriteError,            // output cannot be created or written (disk full, permissions)
    ArcAborted,               // the owner window asked to stop
    ArcOutOfMemory,
    ArcBadHandle,       // unknown, closed or stale archive handle
    ArcBufferTooSmall,  // ExtractMem: the entry does not fit; the buffer holds its start
    ArcUnsafeEntry,     // entry skipped: unsafe name, link or device
    ArcBadArgument,     // null pointer where one is required
    ArcOutputLimit,     // an entry decodes to far more than it holds, or the disk would fill
};

// Short English text of a code ("CRC error"), for the output buffer.
std::string_view errorText(int code);

// The code that a Reader status stands for.
int errorFromStatus(Status status);

}  // namespace arc
