// The service-backed Windows functions: message boxes, sounds, help and
// version data go to whichever service the program (or a test) installed.
#include <dlfcn.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/executable_version_service.h"
#include "platform/internal.h"
#include "platform/services.h"
#include "platform/terminal_message_box.h"
#include "platform/version_resource.h"

namespace platform {
namespace {

struct Services {
    std::mutex mutex;
    std::shared_ptr<MessageBoxService> messageBox;
    std::shared_ptr<SoundService> sound;
    bool soundChosen = false;  // the system's player is made on first use
    std::shared_ptr<HelpService> help;
    // Version data need nothing of the desktop: read from the file itself
    // for any caller, as on Windows.
    std::shared_ptr<VersionInfoService> version = std::make_shared<ExecutableVersionInfoService>();
};

Services& services()
{
    static Services s;
    return s;
}

// The system's player lives in a library of its own beside this one, loaded
// on the first sound: its decoders and sound-server clients would otherwise
// be loaded into every process that uses the platform, the archiver
// libraries' users among them. Without it no sound plays.
std::shared_ptr<SoundService> loadSystemSoundService()
{
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&loadSystemSoundService), &self) == 0 || !self.dli_fname)
        return nullptr;
    std::string folder = self.dli_fname;
    folder.erase(folder.find_last_of('/') + 1);
    void* library = ::dlopen((folder + "libtidebell-sound.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    using Make = void (*)(std::shared_ptr<SoundService>*);
    auto make = reinterpret_cast<Make>(::dlsym(library, "tidebellMakeSoundService"));
    std::shared_ptr<SoundService> service;
    if (make)
        make(&service);
    // The library stays loaded: its player runs until the process ends.
    return service;
}

// Sound plays without any set-up, as on Windows: until a program or a test
// installs another service, the system's player is the one in place. Called
// with the mutex held.
std::shared_ptr<SoundService>& soundSlot()
{
    auto& all = services();
    if (!all.soundChosen) {
        all.sound = loadSystemSoundService();
        all.soundChosen = true;
    }
    return all.sound;
}

template <typename T> std::shared_ptr<T> swap(std::shared_ptr<T>& slot, std::shared_ptr<T> next)
{
    std::lock_guard lock(services().mutex);
    std::swap(slot, next);
    return next;
}

template <typename T> std::shared_ptr<T> get(const std::shared_ptr<T>& slot)
{
    std::lock_guard lock(services().mutex);
    return slot;
}

}  // namespace

std::shared_ptr<MessageBoxService> setMessageBoxService(std::shared_ptr<MessageBoxService> s)
{
    return swap(services().messageBox, std::move(s));
}
void prepareSoundService()
{
    // The services are made before the preparation, so they outlive its
    // thread, which is joined at exit.
    services();
    struct Preparation {
        std::thread thread;
        ~Preparation()
        {
            if (thread.joinable())
                thread.join();
        }
    };
    static Preparation preparation;
    static std::once_flag once;
    std::call_once(once, [] {
        preparation.thread = std::thread([] {
            std::shared_ptr<SoundService> service;
            {
                std::lock_guard lock(services().mutex);
                service = soundSlot();
            }
            if (service)
                service->prepare();
        });
    });
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

// The block GetFileVersionInfoA fills: the resource, then a mark and the
// size of the room where VerQueryValueA puts the UTF-8 copies of the UTF-16
// strings it answers. A string of n code units at offset o of the resource
// gets the room from 3o/2, at most 3n + 1 bytes: the copies of two strings
// never overlap, as nodes lie at least a header apart.
constexpr char conversionMark[4] = {'T', 'B', 'A', '8'};
constexpr size_t markSize = 8;

size_t conversionRoom(size_t resourceLength)
{
    return resourceLength * 3 / 2 + 8;
}
size_t markOffset(size_t resourceLength)
{
    return (resourceLength + 3) & ~size_t(3);
}
size_t blockSizeFor(size_t resourceLength)
{
    return markOffset(resourceLength) + markSize + conversionRoom(resourceLength);
}

uint32_t readDword(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle)
{
    if (handle)
        *handle = 0;
    const size_t length = versionResourceLength(versionBlockOf(fileName));
    if (length == 0) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(blockSizeFor(length));
}

extern "C" BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD size, void* data)
{
    const std::string resource = versionBlockOf(fileName);
    const size_t length = versionResourceLength(resource);
    if (length == 0 || !data) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    if (size < blockSizeFor(length)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* out = static_cast<unsigned char*>(data);
    std::memset(out, 0, blockSizeFor(length));
    std::memcpy(out, resource.data(), length);
    unsigned char* mark = out + markOffset(length);
    std::memcpy(mark, conversionMark, 4);
    const auto room = static_cast<uint32_t>(conversionRoom(length));
    for (int i = 0; i < 4; ++i)
        mark[4 + i] = static_cast<unsigned char>(room >> (8 * i));
    return TRUE;
}

// Answers the fixed information for "\", a binary value with its size in
// bytes, and a string as UTF-8 with its length in bytes including the NUL
// (0 for a string node without a value), as Windows answers in characters.
// The block must come from GetFileVersionInfoA.
extern "C" BOOL VerQueryValueA(const void* block, LPCSTR subBlock, void** buffer, UINT* length)
{
    if (!block || !subBlock || !buffer || !length)
        return FALSE;
    auto* p = static_cast<unsigned char*>(const_cast<void*>(block));
    const size_t resourceLength = p[0] | (p[1] << 8);
    const std::string_view resource(reinterpret_cast<const char*>(p), resourceLength);
    const std::optional<VersionValue> value = findVersionValue(resource, subBlock);
    if (!value)
        return FALSE;
    if (!value->text) {
        *buffer = p + value->offset;
        *length = static_cast<UINT>(value->size);
        return TRUE;
    }
    unsigned char* mark = p + markOffset(resourceLength);
    if (std::memcmp(mark, conversionMark, 4) != 0 || readDword(mark + 4) != conversionRoom(resourceLength))
        return FALSE;
    std::u16string units;
    for (size_t at = value->offset; at + 1 < value->offset + value->size; at += 2) {
        const char16_t c = static_cast<char16_t>(p[at] | (p[at + 1] << 8));
        if (c == 0)
            break;
        units += c;
    }
    const std::string text = utf16ToUtf8(units);
    unsigned char* copy = mark + markSize + value->offset * 3 / 2;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = 0;
    *buffer = copy;
    *length = value->size == 0 ? 0 : static_cast<UINT>(text.size() + 1);
    return TRUE;
}
