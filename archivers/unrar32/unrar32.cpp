// libunrar32.so, the RAR library: the common entries over RarReader.
#include "archivers/common/library.h"
#include "archivers/unrar32/rar_reader.h"

namespace {

const arc::LibraryDefinition kUnrar = {
    "UNRAR32.DLL",
    arc::Dialect::Rar,
    &arc::makeRarReader,
};

}  // namespace

ARC_DEFINE_LIBRARY(Unrar, kUnrar)
ARC_DEFINE_EXTRACTMEM(Unrar, kUnrar)
