#include "platform/desktop_files.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/atomic_file.h"
#include "platform/internal.h"
#include "platform/platform.h"

namespace platform::desktop {
namespace {

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string xdgFolder(const char* variable, const char* fallback)
{
    // Relative values are ignored, as the XDG base-directory rules say.
    if (const char* v = std::getenv(variable); v && *v == '/')
        return v;
    return homeFolder() + fallback;
}

void appendList(std::vector<std::string>& out, const char* list)
{
    std::string text(list);
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(':', at);
        if (end == std::string::npos)
            end = text.size();
        // Relative entries are invalid in these lists and are ignored.
        if (end > at && text[at] == '/')
            out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
}

}  // namespace

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (passwd* pw = ::getpwuid(::getuid()))
        return pw->pw_dir;
    return "/";
}

std::string dataHome()
{
    return xdgFolder("XDG_DATA_HOME", "/.local/share");
}
std::string configHome()
{
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::vector<std::string> soundThemeFolders()
{
    std::vector<std::string> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome == '/')
        folders.push_back(dataHome);
    else if (home && *home == '/')
        folders.push_back(std::string(home) + "/.local/share");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    appendList(folders, dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share");
    return folders;
}

std::string errnoText(const std::string& path, int error)
{
    return path + ": " + systemErrorMessage(detail::errorFromErrno(error));
}

std::optional<KeyFileText> KeyFileText::parse(const std::string& text, int& badLine)
{
    KeyFileText file;
    size_t start = 0;
    bool inGroup = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        file.m_lines.push_back(line);
        std::string t = trim(line);
        if (t.empty() || t.front() == '#')
            continue;
        if (t.front() == '[') {
            if (t.back() != ']' || t.size() < 3) {
                badLine = static_cast<int>(file.m_lines.size());
                return std::nullopt;
            }
            inGroup = true;
            continue;
        }
        size_t eq = t.find('=');
        if (!inGroup || eq == std::string::npos || trim(t.substr(0, eq)).empty()) {
            badLine = static_cast<int>(file.m_lines.size());
            return std::nullopt;
        }
    }
    return file;
}

int KeyFileText::groupLine(const std::string& group) const
{
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (trim(m_lines[i]) == "[" + group + "]")
            return static_cast<int>(i);
    return -1;
}

size_t KeyFileText::groupEnd(int header) const
{
    size_t i = static_cast<size_t>(header) + 1;
    while (i < m_lines.size() && trim(m_lines[i]).rfind('[', 0) != 0)
        ++i;
    return i;
}

int KeyFileText::keyLine(const std::string& group, const std::string& key) const
{
    int header = groupLine(group);
    if (header < 0)
        return -1;
    size_t end = groupEnd(header);
    for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
        std::string t = trim(m_lines[i]);
        size_t eq = t.find('=');
        if (!t.empty() && t.front() != '#' && eq != std::string::npos && trim(t.substr(0, eq)) == key)
            return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> KeyFileText::get(const std::string& group, const std::string& key) const
{
    int line = keyLine(group, key);
    if (line < 0)
        return std::nullopt;
    const std::string& l = m_lines[static_cast<size_t>(line)];
    return trim(l.substr(l.find('=') + 1));
}

void KeyFileText::set(const std::string& group, const std::string& key, const std::string& value)
{
    std::string line = key + "=" + value;
    if (int at = keyLine(group, key); at >= 0) {
        m_lines[static_cast<size_t>(at)] = line;
        return;
    }
    int header = groupLine(group);
    if (header < 0) {
        // A file without a final newline gets one before the new group.
        while (!m_lines.empty() && trim(m_lines.back()).empty())
            m_lines.pop_back();
        if (!m_lines.empty())
            m_lines.push_back("");
        m_lines.push_back("[" + group + "]");
        m_lines.push_back(line);
        return;
    }
    // After the group's last non-blank line, so a blank separator stays.
    size_t end = groupEnd(header);
    while (end > static_cast<size_t>(header) + 1 && trim(m_lines[end - 1]).empty())
        --end;
    m_lines.insert(m_lines.begin() + static_cast<long>(end), line);
}

void KeyFileText::remove(const std::string& group, const std::string& key)
{
    if (int at = keyLine(group, key); at >= 0)
        m_lines.erase(m_lines.begin() + at);
}

std::string KeyFileText::text() const
{
    std::string out;
    for (const auto& l : m_lines)
        out += l + "\n";
    return out;
}

std::vector<std::string> splitList(const std::string& value)
{
    std::vector<std::string> items;
    size_t start = 0;
    while (start < value.size()) {
        size_t end = value.find(';', start);
        if (end == std::string::npos)
            end = value.size();
        std::string item = trim(value.substr(start, end - start));
        if (!item.empty())
            items.push_back(item);
        start = end + 1;
    }
    return items;
}

std::string joinList(const std::vector<std::string>& items)
{
    std::string out;
    for (const auto& i : items)
        out += i + ";";
    return out;
}

bool readIfExists(const std::string& path, std::string& text)
{
    text.clear();
    if (AtomicFile::read(path, text))
        return true;
    return errno == ENOENT;
}

std::optional<std::string> makeFolder(const std::string& path)
{
    if (detail::makeFolders(path, 0755))
        return std::nullopt;
    return errnoText(path, errno);
}

std::optional<std::string> writeFile(const std::string& path, const std::string& text)
{
    if (auto failed = makeFolder(detail::posixParent(path)))
        return failed;
    DWORD rc = AtomicFile::write(path, text);
    if (rc == ERROR_SUCCESS)
        return std::nullopt;
    return path + ": " + systemErrorMessage(rc);
}

}  // namespace platform::desktop

namespace platform {

std::string settingsFileBeside(const std::string& windowsFolder, const std::string& name)
{
    // Files of the package manager under /usr stay untouched even for root,
    // who could write there.
    std::string folder = toPosixPath(windowsFolder);
    if (!folder.empty() && folder.rfind("/usr/", 0) != 0 && ::access(folder.c_str(), W_OK) == 0)
        return windowsFolder + name;
    std::string config = desktop::configHome() + "/tidebell";
    detail::makeFolders(config, 0700);
    return toWindowsPath(config + "/" + name);
}

}  // namespace platform
