#include "archivers/common/errors.h"

namespace arc {

std::string_view errorText(int code)
{
    switch (code) {
    case ArcOk:
        return "OK";
    case ArcEndOfList:
        return "no more entries";
    case ArcNotSupported:
        return "command not supported by this library";
    case ArcBadCommand:
        return "bad command line";
    case ArcNoMatch:
        return "no entry matches the name";
    case ArcCannotOpen:
        return "cannot open the archive";
    case ArcNotArchive:
        return "not an archive of this format";
    case ArcCorrupt:
        return "archive is corrupt";
    case ArcCrcError:
        return "CRC or size error";
    case ArcUnsupportedMethod:
        return "unsupported method or encrypted entry";
    case ArcWriteError:
        return "cannot write the output (disk full?)";
    case ArcAborted:
        return "aborted";
    case ArcOutOfMemory:
        return "out of memory";
    case ArcBadHandle:
        return "invalid archive handle";
    case ArcBufferTooSmall:
        return "buffer too small";
    case ArcUnsafeEntry:
        return "entry not extracted (unsafe name, link or device)";
    case ArcBadArgument:
        return "invalid argument";
    case ArcOutputLimit:
        return "output too large (compression ratio or free disk space)";
    default:
        return "unknown error";
    }
}

int errorFromStatus(Status status)
{
    switch (status) {
    case Status::Ok:
        return ArcOk;
    case Status::NotArchive:
        return ArcNotArchive;
    case Status::Corrupt:
        return ArcCorrupt;
    case Status::CrcError:
        return ArcCrcError;
    case Status::Unsupported:
        return ArcUnsupportedMethod;
    case Status::ReadError:
        return ArcCannotOpen;
    case Status::WriteError:
        return ArcWriteError;
    case Status::Aborted:
        return ArcAborted;
    case Status::OutOfMemory:
        return ArcOutOfMemory;
    case Status::TooLarge:
        return ArcOutputLimit;
    }
    return ArcCorrupt;
}

}  // namespace arc
