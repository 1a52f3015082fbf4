// libunzip32.so: ZIP archives (stored, deflate, deflate64, bzip2, lzma, xz,
// zstd, PPMd, ZIP64), listed from the central directory and extracted by
// going straight to each entry's local header (arc::ZipReader).
// Entries: UnZip, UnZipOpenArchive, UnZipCloseArchive, UnZipFindFirst,
// UnZipFindNext, UnZipCheckArchive, UnZipSetOwnerWindowEx,
// UnZipKillOwnerWindowEx, UnZipExtractMem (archivers/common/library.h).
#include "archivers/common/library.h"
#include "archivers/libarchive/format_readers.h"

namespace {

const arc::LibraryDefinition kUnzip32 = {
    "UNZIP32.DLL",
    arc::Dialect::Zip,
    [](const std::string& posixPath) -> std::unique_ptr<arc::Reader> { return arc::makeZipReader(posixPath); },
};

}  // namespace

ARC_DEFINE_LIBRARY(UnZip, kUnzip32)
ARC_DEFINE_EXTRACTMEM(UnZip, kUnzip32)
