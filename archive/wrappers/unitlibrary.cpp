#include "archive/wrappers/unitlibrary.h"

namespace archives {

bool UnitLibrary::Load() {
    if (!m_module) m_module = LoadLibraryA(m_fileName);
    return m_module != nullptr;
}

void UnitLibrary::Free() {
    if (m_module) FreeLibrary(m_module);
    m_module = nullptr;
}

}  // namespace archives
