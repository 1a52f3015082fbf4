// libunlha32.so, the LZH library: the common entries over LzhReader. The
// quick probe (CheckArchive mode 16) is the reader's open(), which also
// finds the archive after a self-extractor's stub.
#include "archivers/common/library.h"
#include "archivers/unlha32/lzh_reader.h"

namespace {

const arc::LibraryDefinition kUnlha = {
    "UNLHA32.DLL",
    arc::Dialect::Lha,
    &arc::makeLzhReader,
};

}  // namespace

ARC_DEFINE_LIBRARY(Unlha, kUnlha)
ARC_DEFINE_EXTRACTMEM(Unlha, kUnlha)
