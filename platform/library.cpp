// LoadLibraryA and friends over the dynamic loader. "NAME.DLL" is the shared
// object "libname.so", looked for (without case) in the executable's folder,
// then in the installation's library folder (../lib/tidebell from the
// executable), then through the loader's own search.
#include <dlfcn.h>
#include <link.h>

#include <map>
#include <mutex>

#include "platform/internal.h"
#include "platform/platform.h"

using namespace platform;

namespace {

struct Loaded {
    std::string path;  // POSIX path of the file loaded
    int count = 0;
};

struct Libraries {
    std::mutex mutex;
    std::map<void*, Loaded> loaded;
};

Libraries& libraries()
{
    static Libraries l;
    return l;
}

// "NAME.DLL" and "NAME" (Windows adds ".DLL") become "libname.so"; a name
// with another extension ("libm.so.6") is a file name already.
std::string sharedObjectName(std::string_view name)
{
    std::string base(name);
    auto dot = base.rfind('.');
    std::string ext = dot == std::string::npos ? "" : detail::toLowerAscii(base.substr(dot));
    if (ext == ".dll" || ext == ".")
        base.resize(dot);
    else if (!ext.empty())
        return base;
    return "lib" + detail::toLowerAscii(base) + ".so";
}

std::vector<std::string> searchFolders()
{
    if (overrides().librarySearchFolders)
        return *overrides().librarySearchFolders;
    std::string exe = detail::executablePosixPath();
    if (exe.empty())
        return {};
    std::string folder = detail::posixParent(exe);
    return {folder, detail::posixParent(folder) + "/lib/tidebell"};
}

std::string loadedPath(void* handle, const std::string& fallback)
{
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name)
        return map->l_name;
    return fallback;
}

}  // namespace

extern "C" HMODULE LoadLibraryA(LPCSTR fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string_view name(fileName);
    void* handle = nullptr;
    std::string path;
    bool hasFolder = name.find_first_of("\\/") != std::string_view::npos;
    if (hasFolder) {
        // A path names the file itself; only the name part is mapped.
        std::string posix = toPosixPath(name);
        std::string folder = detail::posixParent(posix);
        std::string file = sharedObjectName(posix.substr(posix.rfind('/') + 1));
        std::string found = detail::findNameNoCase(folder, file);
        if (!found.empty()) {
            path = detail::posixJoin(folder, found);
            handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
    } else {
        std::string file = sharedObjectName(name);
        for (const auto& folder : searchFolders()) {
            std::string found = detail::findNameNoCase(folder, file);
            if (found.empty())
                continue;
            path = detail::posixJoin(folder, found);
            handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle)
                break;
        }
        if (!handle) {
            handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
            path = file;
        }
    }
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    Libraries& libs = libraries();
    std::lock_guard lock(libs.mutex);
    Loaded& entry = libs.loaded[handle];
    if (entry.count++ == 0)
        entry.path = loadedPath(handle, path);
    return static_cast<HMODULE>(handle);
}

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    {
        Libraries& libs = libraries();
        std::lock_guard lock(libs.mutex);
        if (!module || !libs.loaded.count(module)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* symbol = ::dlsym(module, name);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

extern "C" BOOL FreeLibrary(HMODULE module)
{
    Libraries& libs = libraries();
    std::lock_guard lock(libs.mutex);
    auto it = libs.loaded.find(module);
    if (it == libs.loaded.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--it->second.count == 0)
        libs.loaded.erase(it);
    ::dlclose(module);
    return TRUE;
}

extern "C" DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    std::string posix;
    if (!module) {
        posix = detail::executablePosixPath();
    } else {
        Libraries& libs = libraries();
        std::lock_guard lock(libs.mutex);
        auto it = libs.loaded.find(module);
        if (it == libs.loaded.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        posix = it->second.path;
    }
    std::string text = toWindowsPath(posix);
    if (text.empty()) {
        // A file that no Windows path can name: an error, never a
        // shortened or different path.
        if (posix.empty())
            SetLastError(ERROR_FILE_NOT_FOUND);
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    DWORD n = detail::copyOut(text, buffer, size);
    if (n < text.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return n;
}
