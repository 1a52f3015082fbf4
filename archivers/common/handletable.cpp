#include "archivers/common/handletable.h"

namespace arc {

uint32_t HandleTable::add(std::shared_ptr<OpenArchive> archive)
{
    std::lock_guard lock(m_mutex);
    if (m_open.size() >= kMaxOpen)
        return 0;
    do {
        ++m_last;
    } while (m_last == 0 || m_open.count(m_last));
    m_open.emplace(m_last, std::move(archive));
    return m_last;
}

std::shared_ptr<OpenArchive> HandleTable::get(uint32_t handle, const LibraryDefinition& library) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_open.find(handle);
    if (it == m_open.end() || it->second->library != &library)
        return nullptr;
    return it->second;
}

bool HandleTable::remove(uint32_t handle, const LibraryDefinition& library)
{
    std::lock_guard lock(m_mutex);
    auto it = m_open.find(handle);
    if (it == m_open.end() || it->second->library != &library)
        return false;
    m_open.erase(it);
    return true;
}

size_t HandleTable::size() const
{
    std::lock_guard lock(m_mutex);
    return m_open.size();
}

HandleTable& HandleTable::instance()
{
    static HandleTable table;
    return table;
}

}  // namespace arc
