#include "archive/wrappers/unitlibrary.h"

#include "archive/wrappers/entryslot.h"

namespace archives {

bool UnitLibrary::Load() {
    if (!m_module) m_module = LoadLibraryA(m_fileName);
    return m_module != nullptr;
}

void UnitLibrary::Free() {
    if (m_module) FreeLibrary(m_module);
    m_module = nullptr;
}

void LoadLibraries(std::initializer_list<UnitLibrary*> libraries, const char* missingMessage) {
    bool any = false;
    for (UnitLibrary* library : libraries) any = library->Load() || any;
    if (!any) throw EArchiver(missingMessage);
}

void FreeLibraries(EntryTable& entries, std::initializer_list<UnitLibrary*> libraries) {
    entries.Clear();
    for (UnitLibrary* library : libraries) library->Free();
}

}  // namespace archives
