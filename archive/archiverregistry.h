// What the archive core knows of the wrappers: each wrapper unit registers
// its archive type, how to create its archiver and, for content detection,
// how to probe a file. The core itself names no wrapper.
#pragma once

#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/archivertype.h"

namespace archives {

// Creates the wrapper; throws EArchiver when its library cannot be loaded.
using ArchiverFactory = std::unique_ptr<TArchiver> (*)();
// The type a file's contents show to the wrapper's library, or atNone. Any
// exception counts as atNone.
using ArchiverProbe = TArchiverType (*)(const std::string& fileName);

struct ArchiverRegistration {
    TArchiverType type = atNone;
    ArchiverFactory create = nullptr;
    ArchiverProbe probe = nullptr;  // null: the type is found by name only
};

// Registers (or replaces) the wrapper of a type; called while the program
// starts. Answers true so that a unit can keep the result in a constant.
bool RegisterArchiver(const ArchiverRegistration& registration);
// The registration of a type; null when no wrapper serves it.
const ArchiverRegistration* RegisteredArchiver(TArchiverType type);

}  // namespace archives
