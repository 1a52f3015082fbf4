// An INI file as the profile functions see it: lines kept as they were, with
// sections and keys found without case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProfileFile {
public:
    // Parses file contents; CRLF, LF, a lone CR and a last line without a
    // newline all read the same. A leading UTF-8 byte-order mark is kept but
    // ignored; a file with the UTF-16LE mark is read as UTF-16.
    explicit ProfileFile(const std::string& contents = {});

    // The value of a key in the first section of that name (the first of
    // duplicate keys), trimmed and with one pair of matching quotes removed.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Key names of a section, or the section names when section is empty.
    std::vector<std::string> keys(std::string_view section) const;
    std::vector<std::string> sections() const;

    // Replaces the key where it stands, or appends it at the end of its
    // section, or appends the section at the end of the file. A value is cut
    // at its first line break.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    void removeKey(std::string_view section, std::string_view key);
    void removeSection(std::string_view section);

    // The file's text; lines end in the file's own newline style (CRLF for a
    // file that had none), in the file's own encoding.
    std::string text() const;

private:
    struct Line {
        std::string raw;
        std::string section;  // section name when this is a header line
        std::string key;      // trimmed key when this is a key line
        bool header = false;
        bool isKey = false;
    };
    static Line parse(const std::string& raw);
    // Index range [first, end) of the lines of the first section of that name
    // (the header included); first == npos when absent.
    std::pair<size_t, size_t> sectionRange(std::string_view section) const;

    std::vector<Line> m_lines;
    std::string m_bom;
    std::string m_newline = "\r\n";
    bool m_utf16 = false;
};

}  // namespace platform
