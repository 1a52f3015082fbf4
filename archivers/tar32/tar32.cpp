// libtar32.so: tar, cpio and ar archives, plain or compressed (gzip, bzip2,
// compress, xz, lzma, zstd, rpm), and lone .gz/.bz2/.Z files listed as one
// entry named after the file. Entries: Tar, TarOpenArchive,
// TarCloseArchive, TarFindFirst, TarFindNext, TarCheckArchive,
// TarSetOwnerWindowEx, TarKillOwnerWindowEx, TarExtractMem
// (archivers/common/library.h) and TarGetArchiveType (tar_archive_type.h).
#include "archivers/common/library.h"
#include "archivers/libarchive/format_readers.h"
#include "archivers/tar32/tar_archive_type.h"

namespace {

const arc::LibraryDefinition kTar32 = {
    "tar32.dll",
    arc::Dialect::Tar,
    [](const std::string& posixPath) -> std::unique_ptr<arc::Reader> { return arc::makeTarFamilyReader(posixPath); },
    arc::tarArchiveType,
};

}  // namespace

ARC_DEFINE_LIBRARY(Tar, kTar32)
ARC_DEFINE_EXTRACTMEM(Tar, kTar32)
ARC_DEFINE_GETARCHIVETYPE(Tar, kTar32)
