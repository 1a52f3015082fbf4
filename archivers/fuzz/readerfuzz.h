// The factory a reader fuzz target is built around; tidebell_add_reader_fuzzer()
// (archivers/common/CMakeLists.txt) generates its definition.
#pragma once

#include <memory>
#include <string>

#include "archivers/common/reader.h"

std::unique_ptr<arc::Reader> arcFuzzMakeReader(const std::string& posixPath);
