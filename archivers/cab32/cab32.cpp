// libcab32.so: cabinet files (none, MSZIP, LZX, Quantum) through libarchive.
// Entries: Cab, CabOpenArchive, CabCloseArchive, CabFindFirst, CabFindNext,
// CabCheckArchive, CabSetOwnerWindowEx, CabKillOwnerWindowEx, CabExtractMem
// (archivers/common/library.h).
#include "archivers/common/library.h"
#include "archivers/libarchive/format_readers.h"

namespace {

const arc::LibraryDefinition kCab32 = {
    "CAB32.DLL",
    arc::Dialect::Cab,
    [](const std::string& posixPath) -> std::unique_ptr<arc::Reader> { return arc::makeCabReader(posixPath); },
};

}  // namespace

ARC_DEFINE_LIBRARY(Cab, kCab32)
ARC_DEFINE_EXTRACTMEM(Cab, kCab32)
