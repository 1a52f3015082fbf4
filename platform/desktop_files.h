// Helpers of the desktop mirroring: the XDG folders, a line-preserving
// editor for the desktop's key files (desktop entries, mimeapps.list,
// index.theme) and failure texts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::desktop {

std::string homeFolder();
std::string dataHome();    // $XDG_DATA_HOME or ~/.local/share
std::string configHome();  // $XDG_CONFIG_HOME or ~/.config
// The folders that may hold sound themes, most personal first
// ($XDG_DATA_HOME, then $XDG_DATA_DIRS, with their usual defaults).
std::vector<std::string> soundThemeFolders();

// "<path>: <the platform's text for errno>".
std::string errnoText(const std::string& path, int error);

// A key file kept as its lines, so that an edit changes only the lines it
// must and every comment, unknown key and group of the user stays as it was.
class KeyFileText {
public:
    // Nullopt when a line is neither blank, a comment, a [group] header nor
    // key=value inside a group; `badLine` gets its 1-based number.
    static std::optional<KeyFileText> parse(const std::string& text, int& badLine);

    std::optional<std::string> get(const std::string& group, const std::string& key) const;
    // Replaces the key's line in place, or adds it at the end of its group
    // (the group at the end of the file when missing).
    void set(const std::string& group, const std::string& key, const std::string& value);
    void remove(const std::string& group, const std::string& key);
    std::string text() const;

private:
    // Index of the group's header line; -1 when missing.
    int groupLine(const std::string& group) const;
    // One past the group's last line.
    size_t groupEnd(int header) const;
    int keyLine(const std::string& group, const std::string& key) const;

    std::vector<std::string> m_lines;
};

// A ";"-separated list value and back ("a;b;").
std::vector<std::string> splitList(const std::string& value);
std::string joinList(const std::vector<std::string>& items);

// Reads a file; true with empty text when it does not exist. False (with
// errno) when it exists but cannot be read.
bool readIfExists(const std::string& path, std::string& text);
// Creates the folder and its parents; the failure text when it cannot.
std::optional<std::string> makeFolder(const std::string& path);
// Replaces a file atomically (a symbolic link is followed); the failure
// text when it cannot.
std::optional<std::string> writeFile(const std::string& path, const std::string& text);

}  // namespace platform::desktop
