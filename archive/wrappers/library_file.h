// One archiver library file as a wrapper holds it: loaded by file name on
// first need and kept for the whole process.
#pragma once

#include <initializer_list>

#include "platform/win32.h"

namespace archives {

class LibraryFile {
public:
    explicit LibraryFile(const char* fileName) : m_fileName(fileName) {}
    // Deliberately no unload here: the libraries stay loaded until the
    // process ends, and unloading from a static destructor could run after
    // the platform's own module table is gone.
    ~LibraryFile() = default;
    LibraryFile(const LibraryFile&) = delete;
    LibraryFile& operator=(const LibraryFile&) = delete;

    // Loads the library when it is not loaded; true when it is afterwards.
    bool Load();
    // Unloads it (if loaded); the next Load loads afresh.
    void Free();
    bool Loaded() const { return m_module != nullptr; }
    HMODULE Module() const { return m_module; }
    const char* FileName() const { return m_fileName; }

private:
    const char* m_fileName;
    HMODULE m_module = nullptr;
};

class EntryTable;

// The one load and unload of every wrapper's libraries.
// Loads each library that is not loaded; throws EArchiver(missingMessage)
// when none of them is loaded afterwards.
void LoadLibraries(std::initializer_list<LibraryFile*> libraries, const char* missingMessage);
// Forgets every bound entry of the wrapper, then unloads its libraries.
void FreeLibraries(EntryTable& entries, std::initializer_list<LibraryFile*> libraries);

}  // namespace archives
