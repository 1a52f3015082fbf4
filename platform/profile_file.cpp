#include "platform/profile_file.h"

#include "platform/internal.h"

namespace platform {
namespace {

std::string_view trim(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

constexpr size_t npos = std::string::npos;

}  // namespace

ProfileFile::ProfileFile(const std::string& contents)
{
    std::string_view text(contents);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        m_bom = "\xEF\xBB\xBF";
        text.remove_prefix(3);
    }
    size_t firstNewline = text.find('\n');
    if (firstNewline != npos)
        m_newline = (firstNewline > 0 && text[firstNewline - 1] == '\r') ? "\r\n" : "\n";
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find('\n', i);
        if (j == npos)
            j = text.size();
        std::string raw(text.substr(i, j - i));
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        m_lines.push_back(parse(raw));
        i = j + 1;
    }
}

ProfileFile::Line ProfileFile::parse(const std::string& raw)
{
    Line line;
    line.raw = raw;
    std::string_view t = trim(raw);
    if (!t.empty() && t.front() == '[') {
        size_t close = t.find(']');
        line.header = true;
        line.section = std::string(trim(t.substr(1, close == npos ? npos : close - 1)));
        return line;
    }
    if (t.empty() || t.front() == ';')
        return line;
    size_t eq = t.find('=');
    if (eq == npos)
        return line;
    line.isKey = true;
    line.key = std::string(trim(t.substr(0, eq)));
    return line;
}

std::pair<size_t, size_t> ProfileFile::sectionRange(std::string_view section) const
{
    size_t first = npos;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (!m_lines[i].header)
            continue;
        if (first != npos)
            return {first, i};
        if (detail::equalsNoCase(m_lines[i].section, trim(section)))
            first = i;
    }
    return {first, m_lines.size()};
}

std::optional<std::string> ProfileFile::value(std::string_view section, std::string_view key) const
{
    auto [first, end] = sectionRange(section);
    if (first == npos)
        return std::nullopt;
    for (size_t i = first + 1; i < end; ++i) {
        const Line& line = m_lines[i];
        if (!line.isKey || !detail::equalsNoCase(line.key, trim(key)))
            continue;
        std::string_view v = trim(std::string_view(line.raw).substr(line.raw.find('=') + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return std::string(v);
    }
    return std::nullopt;
}

std::vector<std::string> ProfileFile::keys(std::string_view section) const
{
    std::vector<std::string> out;
    auto [first, end] = sectionRange(section);
    if (first == npos)
        return out;
    for (size_t i = first + 1; i < end; ++i) {
        if (!m_lines[i].isKey)
            continue;
        bool seen = false;
        for (const auto& k : out)
            seen = seen || detail::equalsNoCase(k, m_lines[i].key);
        if (!seen)
            out.push_back(m_lines[i].key);
    }
    return out;
}

std::vector<std::string> ProfileFile::sections() const
{
    std::vector<std::string> out;
    for (const auto& line : m_lines) {
        if (!line.header)
            continue;
        bool seen = false;
        for (const auto& s : out)
            seen = seen || detail::equalsNoCase(s, line.section);
        if (!seen)
            out.push_back(line.section);
    }
    return out;
}

void ProfileFile::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    // A line break in a value would start new lines (even new sections) in
    // the file; a reader would see the value end there anyway.
    value = value.substr(0, value.find_first_of("\r\n"));
    std::string k(trim(key));
    auto [first, end] = sectionRange(section);
    if (first == npos) {
        m_lines.push_back(parse("[" + std::string(trim(section)) + "]"));
        m_lines.push_back(parse(k + "=" + std::string(value)));
        return;
    }
    size_t lastContent = first;
    for (size_t i = first + 1; i < end; ++i) {
        Line& line = m_lines[i];
        if (line.isKey && detail::equalsNoCase(line.key, k)) {
            // Keep the spelling the file already uses for the key.
            line = parse(line.key + "=" + std::string(value));
            return;
        }
        if (!trim(line.raw).empty())
            lastContent = i;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), parse(k + "=" + std::string(value)));
}

void ProfileFile::removeKey(std::string_view section, std::string_view key)
{
    auto [first, end] = sectionRange(section);
    if (first == npos)
        return;
    for (size_t i = first + 1; i < end; ++i) {
        if (m_lines[i].isKey && detail::equalsNoCase(m_lines[i].key, trim(key))) {
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void ProfileFile::removeSection(std::string_view section)
{
    auto [first, end] = sectionRange(section);
    if (first != npos)
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(first),
                      m_lines.begin() + static_cast<std::ptrdiff_t>(end));
}

std::string ProfileFile::text() const
{
    std::string out = m_bom;
    for (const auto& line : m_lines)
        out += line.raw + m_newline;
    return out;
}

}  // namespace platform
