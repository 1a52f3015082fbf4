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
constexpr std::string_view utf16Bom = "\xFF\xFE";
constexpr char32_t replacement = 0xFFFD;

void appendUtf16(std::string& out, char32_t c)
{
    auto unit = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    if (c >= 0x10000) {
        unit(0xD800 + ((c - 0x10000) >> 10));
        unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        unit(c);
    }
}

// UTF-16LE (after its mark) to the ANSI code page, UTF-8; unpaired
// surrogates become U+FFFD, an odd last byte is dropped.
std::string fromUtf16(std::string_view bytes)
{
    std::string out;
    auto at = [&bytes](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = at(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && at(i + 2) >= 0xDC00 && at(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (at(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = replacement;
        }
        detail::appendUtf8(out, c);
    }
    return out;
}

// UTF-8 to UTF-16LE; a byte that starts no valid sequence becomes U+FFFD.
std::string toUtf16(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        auto byte = [&text](size_t k) { return static_cast<unsigned char>(text[k]); };
        unsigned char b = byte(i);
        size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t c = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            c = (c << 6) | (byte(i + k) & 0x3F);
        }
        static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)))
            valid = false;
        appendUtf16(out, valid ? c : replacement);
        i += valid ? length : 1;
    }
    return out;
}

}  // namespace

ProfileFile::ProfileFile(const std::string& contents)
{
    std::string decoded;
    std::string_view text(contents);
    if (text.substr(0, 2) == utf16Bom) {
        m_utf16 = true;
        decoded = fromUtf16(text.substr(2));
        text = decoded;
    } else if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        m_bom = "\xEF\xBB\xBF";
        text.remove_prefix(3);
    }
    // Lines end in CRLF, LF or a lone CR; the first end found sets the style.
    size_t firstEnd = text.find_first_of("\r\n");
    if (firstEnd != npos)
        m_newline = text[firstEnd] == '\n' ? "\n" : text.substr(firstEnd, 2) == "\r\n" ? "\r\n" : "\r";
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find_first_of("\r\n", i);
        if (j == npos)
            j = text.size();
        m_lines.push_back(parse(std::string(text.substr(i, j - i))));
        i = j + (text.substr(j, 2) == "\r\n" ? 2 : 1);
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
        std::string header(1, '[');
        header += trim(section);
        header += ']';
        m_lines.push_back(parse(header));
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
    return m_utf16 ? std::string(utf16Bom) + toUtf16(out) : out;
}

}  // namespace platform
