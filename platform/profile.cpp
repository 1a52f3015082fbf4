// GetPrivateProfileStringA, GetPrivateProfileIntA, WritePrivateProfileStringA.
//
// A file name without a folder is taken in the current directory. Writes keep
// the file's newline style (CRLF for a new file) and replace the file
// atomically, so a crash leaves either the old or the new settings.
#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/internal.h"
#include "platform/platform.h"
#include "platform/profile_file.h"

using namespace platform;

namespace {

// Reads the profile; false (last error set) only for a file that exists but
// cannot be read. A missing file reads as empty.
bool loadProfile(LPCSTR fileName, std::string& posixPath, ProfileFile& profile, bool& exists)
{
    exists = false;
    posixPath = fileName ? toPosixPath(fileName) : std::string();
    if (posixPath.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    std::string contents;
    if (!AtomicFile::read(posixPath, contents)) {
        if (errno == ENOENT || errno == ENOTDIR) {
            profile = ProfileFile();
            return true;
        }
        detail::setLastErrorFromErrno(errno, posixPath);
        return false;
    }
    exists = true;
    profile = ProfileFile(contents);
    return true;
}

// Names as a list of NUL-terminated strings ended by one more NUL; a list
// that does not fit is cut and answers size - 2, as Windows does.
DWORD copyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size)
{
    if (size < 2) {
        if (size == 1)
            buffer[0] = '\0';
        return 0;
    }
    std::string list;
    for (const auto& n : names) {
        list += n;
        list += '\0';
    }
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<DWORD>(list.size());
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

std::string withoutTrailingBlanks(LPCSTR text)
{
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

}  // namespace

extern "C" DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                          LPCSTR fileName)
{
    if (!buffer || size == 0)
        return 0;
    std::string posixPath;
    ProfileFile profile;
    bool exists = false;
    if (!loadProfile(fileName, posixPath, profile, exists)) {
        DWORD error = GetLastError();
        DWORD n = detail::copyOut(withoutTrailingBlanks(defaultValue), buffer, size);
        SetLastError(error);
        return n;
    }
    if (!section)
        return copyList(profile.sections(), buffer, size);
    if (!key)
        return copyList(profile.keys(section), buffer, size);
    auto value = profile.value(section, key);
    SetLastError(value ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return detail::copyOut(value ? *value : withoutTrailingBlanks(defaultValue), buffer, size);
}

extern "C" UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName)
{
    std::string posixPath;
    ProfileFile profile;
    bool exists = false;
    if (!section || !key || !loadProfile(fileName, posixPath, profile, exists))
        return static_cast<UINT>(defaultValue);
    auto value = profile.value(section, key);
    if (!value || value->empty())
        return static_cast<UINT>(defaultValue);
    const char* p = value->c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    uint32_t result = 0;  // wraps on overflow, as a 32-bit integer does
    while (*p >= '0' && *p <= '9')
        result = result * 10u + static_cast<uint32_t>(*p++ - '0');
    return negative ? 0u - result : result;
}

extern "C" BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName)
{
    if (!section || !fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string posixPath;
    ProfileFile profile;
    bool exists = false;
    if (!loadProfile(fileName, posixPath, profile, exists))
        return FALSE;
    if (!key) {
        if (!exists)
            return TRUE;
        profile.removeSection(section);
    } else if (!value) {
        if (!exists)
            return TRUE;
        profile.removeKey(section, key);
    } else {
        profile.setValue(section, key, value);
    }
    DWORD result = AtomicFile::write(posixPath, profile.text());
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
