// libunarj32j.so: the ARJ library. The program drives it with the LHA
// command lines of its LHA wrapper and never asks it for ExtractMem.
#include "archivers/common/library.h"
#include "archivers/unarj32j/arjreader.h"

namespace {

const arc::LibraryDefinition kUnarj = {
    "UNARJ32J.DLL",
    arc::Dialect::Lha,
    &arj::makeArjReader,
};

}  // namespace

ARC_DEFINE_LIBRARY(Unarj, kUnarj)
