// The service-backed Windows functions: message boxes, sounds, help and
// version data go to whichever service the program (or a test) installed.
#include <cstring>
#include <mutex>

#include "platform/internal.h"
#include "platform/services.h"
#include "platform/sound/sound_player.h"
#include "platform/terminal_message_box.h"

namespace platform {
namespace {

struct Services {
    std::mutex mutex;
    std::shared_ptr<MessageBoxService> messageBox;
    std::shared_ptr<SoundService> sound;
    bool soundChosen = false;   // the system's player is made on first use
    std::shared_ptr<HelpService> help;
    std::shared_ptr<VersionInfoService> version;
};

Services& services()
{
    static Services s;
    return s;
}

// Sound plays without any set-up, as on Windows: until a program or a test
// installs another service, the system's player is the one in place. Called
// with the mutex held.
std::shared_ptr<SoundService>& soundSlot()
{
    auto& all = services();
    if (!all.soundChosen) {
        all.sound = makeSystemSoundService();
        all.soundChosen = true;
    }
    return all.sound;
}

template <typename T>
std::shared_ptr<T> swap(std::shared_ptr<T>& slot, std::shared_ptr<T> next)
{
    std::lock_guard lock(services().mutex);
    std::swap(slot, next);
    return next;
}

template <typename T>
std::shared_ptr<T> get(const std::shared_ptr<T>& slot)
{
    std::lock_guard lock(services().mutex);
    return slot;
}

void appendWord(std::string& out, uint32_t n)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((n >> (8 * i)) & 0xFF);
}

uint32_t readWord(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr char versionMagic[4] = {'T', 'B', 'V', '1'};

}  // namespace

std::shared_ptr<MessageBoxService> setMessageBoxService(std::shared_ptr<MessageBoxService> s)
{
    return swap(services().messageBox, std::move(s));
}
std::shared_ptr<SoundService> setSoundService(std::shared_ptr<SoundService> s)
{
    std::lock_guard lock(services().mutex);
    std::swap(soundSlot(), s);
    return s;
}
std::shared_ptr<HelpService> setHelpService(std::shared_ptr<HelpService> s)
{
    return swap(services().help, std::move(s));
}
std::shared_ptr<VersionInfoService> setVersionInfoService(std::shared_ptr<VersionInfoService> s)
{
    return swap(services().version, std::move(s));
}

// Layout: magic, total size, entry count, then per entry: flags (1 = text),
// path size, path, data size, data, NUL. Sizes are little-endian 32 bits.
std::string makeVersionBlock(const std::vector<VersionEntry>& entries)
{
    std::string body;
    for (const auto& e : entries) {
        appendWord(body, e.text ? 1 : 0);
        appendWord(body, static_cast<uint32_t>(e.path.size()));
        body += e.path;
        appendWord(body, static_cast<uint32_t>(e.data.size()));
        body += e.data;
        body += '\0';
    }
    std::string block(versionMagic, 4);
    appendWord(block, static_cast<uint32_t>(body.size() + 12));
    appendWord(block, static_cast<uint32_t>(entries.size()));
    return block + body;
}

}  // namespace platform

using namespace platform;

extern "C" int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    auto service = get(services().messageBox);
    if (!service)
        service = std::make_shared<TerminalMessageBoxService>();
    return service->show(owner, text ? text : "", caption ? caption : "エラー", type);
}

extern "C" BOOL sndPlaySoundA(LPCSTR soundPath, UINT flags)
{
    std::shared_ptr<SoundService> service;
    {
        std::lock_guard lock(services().mutex);
        service = soundSlot();
    }
    if (!service)
        return FALSE;
    return service->play(soundPath ? soundPath : "", flags) ? TRUE : FALSE;
}

extern "C" BOOL WinHelpA(HWND owner, LPCSTR helpFile, UINT command, uintptr_t data)
{
    auto service = get(services().help);
    if (!service)
        return FALSE;
    return service->show(owner, helpFile ? helpFile : "", command, data) ? TRUE : FALSE;
}

namespace {

std::string versionBlockOf(LPCSTR fileName)
{
    auto service = get(services().version);
    if (!service || !fileName)
        return {};
    return service->versionBlock(fileName);
}

}  // namespace

extern "C" DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle)
{
    if (handle)
        *handle = 0;
    std::string block = versionBlockOf(fileName);
    if (block.empty())
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return static_cast<DWORD>(block.size());
}

extern "C" BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD size, void* data)
{
    std::string block = versionBlockOf(fileName);
    if (block.empty() || !data) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    if (size < block.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

extern "C" BOOL VerQueryValueA(const void* block, LPCSTR subBlock, void** buffer, UINT* length)
{
    if (!block || !subBlock || !buffer || !length)
        return FALSE;
    auto* p = static_cast<const unsigned char*>(block);
    if (std::memcmp(p, versionMagic, 4) != 0)
        return FALSE;
    uint32_t total = readWord(p + 4);
    uint32_t count = readWord(p + 8);
    size_t at = 12;
    const std::string wanted = subBlock[0] == '\\' ? std::string(subBlock) : "\\" + std::string(subBlock);
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 8 > total)
            return FALSE;
        bool text = readWord(p + at) & 1;
        uint32_t pathSize = readWord(p + at + 4);
        at += 8;
        if (at + pathSize + 4 > total)
            return FALSE;
        std::string_view path(reinterpret_cast<const char*>(p + at), pathSize);
        at += pathSize;
        uint32_t dataSize = readWord(p + at);
        at += 4;
        if (at + dataSize + 1 > total)
            return FALSE;
        if (detail::equalsNoCase(path, wanted)) {
            *buffer = const_cast<unsigned char*>(p + at);
            *length = text ? dataSize + 1 : dataSize;
            return TRUE;
        }
        at += dataSize + 1;
    }
    return FALSE;
}
