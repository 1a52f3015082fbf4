#include "archive_viewer/working_copy.h"

#include <array>

#include "platform/win32.h"

namespace tidebell {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

bool isDriveLetter(char c)
{
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'z';
}

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
std::string cutAtCharacter(std::string text, std::size_t limit)
{
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text;
}

}  // namespace

std::optional<std::string> WorkingFolder()
{
    std::array<char, 256> buffer{};
    const DWORD length = GetTempPathA(255, buffer.data());
    if (length == 0 || length >= 255) {
        return std::nullopt;
    }
    std::string_view path(buffer.data(), length);
    while (!path.empty() && static_cast<unsigned char>(path.front()) <= 32) {
        path.remove_prefix(1);
    }
    while (!path.empty() && static_cast<unsigned char>(path.back()) <= 32) {
        path.remove_suffix(1);
    }
    if (path.empty()) {
        return std::nullopt;
    }
    std::string folder(path);
    if (folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

std::optional<std::string> BareEntryName(std::string_view entryName)
{
    const std::size_t separator = entryName.find_last_of("/\\");
    const bool hasFolder = separator != std::string_view::npos;
    std::string_view last = hasFolder ? entryName.substr(separator + 1) : entryName;
    // A drive prefix can only open the whole name ("C:x.wav"); further in,
    // a colon is part of the file name, as our libraries keep it.
    if (!hasFolder && last.size() >= 2 && last[1] == ':' && isDriveLetter(last[0])) {
        last.remove_prefix(2);
    }
    std::string name;
    name.reserve(last.size());
    for (char c : last) {
        const auto code = static_cast<unsigned char>(c);
        name += (code < 0x20 || code == 0x7F) ? '_' : c;
    }
    if (name.empty() || name.find_first_not_of(". ") == std::string::npos) {
        return std::nullopt;
    }
    return cutAtCharacter(std::move(name), kMaxNameBytes);
}

std::optional<std::string> workingCopyPath(std::string_view entryName)
{
    const auto folder = WorkingFolder();
    const auto name = BareEntryName(entryName);
    if (!folder || !name) {
        return std::nullopt;
    }
    return *folder + *name;
}

bool fileExists(const std::string& windowsPath)
{
    const DWORD attributes = GetFileAttributesA(windowsPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool hasWaveExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    std::string_view extension = name.substr(dot);
    if (extension.find_first_of("\\:") != std::string_view::npos) {
        return false;
    }
    if (extension.size() != 4) {
        return false;
    }
    std::string upper(extension);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper == ".WAV";
}

}  // namespace tidebell
