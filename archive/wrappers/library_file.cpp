#include "archive/wrappers/library_file.h"

#include "archive/wrappers/entryslot.h"

namespace archives {

bool LibraryFile::Load()
{
    if (!m_module)
        m_module = LoadLibraryA(m_fileName);
    return m_module != nullptr;
}

void LibraryFile::Free()
{
    if (m_module)
        FreeLibrary(m_module);
    m_module = nullptr;
}

void LoadLibraries(std::initializer_list<LibraryFile*> libraries, const char* missingMessage)
{
    bool any = false;
    for (LibraryFile* library : libraries)
        any = library->Load() || any;
    if (!any)
        throw EArchiver(missingMessage);
}

void FreeLibraries(EntryTable& entries, std::initializer_list<LibraryFile*> libraries)
{
    entries.Clear();
    for (LibraryFile* library : libraries)
        library->Free();
}

}  // namespace archives
