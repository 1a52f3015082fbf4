// The archive type enumeration and its detection from a file name or from
// the file's contents.
#pragma once

#include <cstdint>
#include <string>

namespace archives {

enum TArchiverType : std::uint8_t {
    atLha,
    atZip,
    atCab,
    atArj,
    atTar,
    atTgz,
    atBZ2,
    atRar,
    atBga,
    atYz1,
    atGCA,
    atBel,
    atNone,
    atAutoDetect,
};
static_assert(sizeof(TArchiverType) == 1, "stored in one byte");

// With byExtension: by the extension table (and the contents for ".exe");
// otherwise by asking every archiver library in priority order. Never
// throws; gives atNone when nothing matches.
TArchiverType DetectArchiverType(const std::string& fileName, bool byExtension);

// The extension of a Windows path: from the last "." after the last "\" or
// ":" to the end, the dot included; empty when there is none.
std::string ExtractFileExt(const std::string& fileName);

}  // namespace archives
