#include "archivers/common/progress.h"

#include "archivers/common/dostime.h"

#include <cstring>
#include <map>
#include <mutex>

namespace arc {

namespace {

std::mutex g_ownersMutex;
std::map<const LibraryDefinition*, HWND>& owners()
{
    static std::map<const LibraryDefinition*, HWND> map;
    return map;
}

void copyText(char* dest, size_t capacity, const std::string& text)
{
    size_t n = std::min(text.size(), capacity - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(dest, text.data(), n);
    dest[n] = 0;
}

}  // namespace

bool registerOwnerWindow(const LibraryDefinition& lib, HWND window, void* callback)
{
    if (!window || callback)
        return false;
    std::lock_guard lock(g_ownersMutex);
    owners()[&lib] = window;
    return true;
}

bool releaseOwnerWindow(const LibraryDefinition& lib, HWND window)
{
    std::lock_guard lock(g_ownersMutex);
    auto it = owners().find(&lib);
    if (it == owners().end() || it->second != window)
        return false;
    owners().erase(it);
    return true;
}

HWND ownerWindow(const LibraryDefinition& lib)
{
    std::lock_guard lock(g_ownersMutex);
    auto it = owners().find(&lib);
    return it == owners().end() ? nullptr : it->second;
}

Progress::Progress(HWND owner, const std::string& archiveName) : m_owner(owner)
{
    m_info.structSize = sizeof m_info;
    copyText(m_info.archiveName, sizeof m_info.archiveName, archiveName);
    if (m_owner)
        m_message = RegisterWindowMessageA("wm_arcextract");
}

bool Progress::begin(const Entry& entry, const std::string& destinationName)
{
    m_info.fileSize = entry.size;
    m_info.writtenSize = 0;
    m_info.crc = entry.crc;
    m_info.dosDate = dosDateOf(entry.dosDateTime);
    m_info.dosTime = dosTimeOf(entry.dosDateTime);
    m_info.attributes = entry.attributes;
    copyText(m_info.entryName, sizeof m_info.entryName, entry.name);
    copyText(m_info.destinationName, sizeof m_info.destinationName, destinationName);
    copyText(m_info.method, sizeof m_info.method, entry.method);
    m_lastSent = 0;
    m_sentWriting = false;
    return send(ArcStateBegin);
}

bool Progress::wrote(uint64_t bytes)
{
    m_info.writtenSize += bytes;
    constexpr uint64_t kStep = 64 * 1024;
    if (!m_sentWriting || m_info.writtenSize - m_lastSent >= kStep) {
        m_sentWriting = true;
        m_lastSent = m_info.writtenSize;
        return send(ArcStateWriting);
    }
    return !m_aborted;
}

bool Progress::end()
{
    return send(ArcStateEnd);
}

bool Progress::send(uint32_t state)
{
    if (m_aborted)
        return false;
    if (!m_owner || !m_message)
        return true;
    m_info.state = state;
    const LRESULT answer = SendMessageA(m_owner, m_message, state, reinterpret_cast<LPARAM>(&m_info));
    if (answer != 0)
        m_aborted = true;
    return !m_aborted;
}

}  // namespace arc
