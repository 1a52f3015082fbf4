#include "platform/registry_tree.h"

#include <cctype>
#include <cstdio>

#include "platform/internal.h"

namespace platform {

std::string RegistryTree::upper(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        c = detail::upperAscii(c);
    return out;
}

const char* RegistryTree::rootName(int root)
{
    return root == CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_CLASSES_ROOT";
}

RegistryKey* RegistryKey::subKey(std::string_view n)
{
    auto it = subKeys.find(RegistryTree::upper(n));
    return it == subKeys.end() ? nullptr : &it->second;
}

const RegistryKey* RegistryKey::subKey(std::string_view n) const
{
    auto it = subKeys.find(RegistryTree::upper(n));
    return it == subKeys.end() ? nullptr : &it->second;
}

RegistryKey& RegistryKey::createSubKey(std::string_view n)
{
    auto [it, inserted] = subKeys.try_emplace(RegistryTree::upper(n));
    if (inserted)
        it->second.name = std::string(n);
    return it->second;
}

bool RegistryKey::removeSubKey(std::string_view n)
{
    return subKeys.erase(RegistryTree::upper(n)) > 0;
}

RegistryValue* RegistryKey::value(std::string_view n)
{
    auto it = values.find(RegistryTree::upper(n));
    return it == values.end() ? nullptr : &it->second;
}

const RegistryValue* RegistryKey::value(std::string_view n) const
{
    auto it = values.find(RegistryTree::upper(n));
    return it == values.end() ? nullptr : &it->second;
}

void RegistryKey::setValue(RegistryValue v)
{
    // A value keeps the spelling it was first given, as on Windows.
    if (RegistryValue* existing = value(v.name)) {
        existing->type = v.type;
        existing->data = std::move(v.data);
        return;
    }
    std::string key = RegistryTree::upper(v.name);
    values.emplace(std::move(key), std::move(v));
}

bool RegistryKey::removeValue(std::string_view n)
{
    return values.erase(RegistryTree::upper(n)) > 0;
}

RegistryTree::RegistryTree()
{
    m_roots[CurrentUser].name = rootName(CurrentUser);
    m_roots[ClassesRoot].name = rootName(ClassesRoot);
}

RegistryKey* RegistryTree::find(int r, const std::vector<std::string>& path)
{
    RegistryKey* key = &m_roots[r];
    for (const auto& part : path) {
        key = key->subKey(part);
        if (!key)
            return nullptr;
    }
    return key;
}

const RegistryKey* RegistryTree::find(int r, const std::vector<std::string>& path) const
{
    return const_cast<RegistryTree*>(this)->find(r, path);
}

// ---- text form ----

namespace {

constexpr std::string_view header = "Windows Registry Editor Version 5.00";

bool needsHex(const std::string& s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20)
            return true;
    return false;
}

std::string hexBytes(std::string_view data)
{
    std::string out;
    char buffer[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(data[i]));
        if (i)
            out += ',';
        out += buffer;
    }
    return out;
}

std::string quoted(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string valueText(const RegistryValue& v)
{
    if (v.type == REG_SZ && !needsHex(v.data))
        return quoted(v.data);
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<size_t>(i)]);
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", n);
        return buffer;
    }
    std::string data = v.data;
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ)
        data += '\0';
    if (v.type == REG_BINARY)
        return "hex:" + hexBytes(data);
    return "hex(" + std::to_string(v.type) + "):" + hexBytes(data);
}

void writeKey(std::string& out, const std::string& path, const RegistryKey& key)
{
    out += "[" + path + "]\n";
    for (const auto& [_, v] : key.values)
        out += (v.name.empty() ? std::string("@") : quoted(v.name)) + "=" + valueText(v) + "\n";
    out += "\n";
    for (const auto& [_, sub] : key.subKeys)
        writeKey(out, path + "\\" + sub.name, sub);
}

// Reads a quoted string at the start of s; answers the characters used, 0 on error.
size_t readQuoted(std::string_view s, std::string& out)
{
    if (s.empty() || s[0] != '"')
        return 0;
    out.clear();
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\') {
            if (++i >= s.size())
                return 0;
            out += s[i];
        } else if (s[i] == '"') {
            return i + 1;
        } else {
            out += s[i];
        }
    }
    return 0;
}

bool parseHex(std::string_view s, std::string& out)
{
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        if (i >= s.size())
            break;
        if (i + 1 >= s.size() || !std::isxdigit(static_cast<unsigned char>(s[i])) ||
            !std::isxdigit(static_cast<unsigned char>(s[i + 1])))
            return false;
        out += static_cast<char>(std::stoi(std::string(s.substr(i, 2)), nullptr, 16));
        i += 2;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        if (i < s.size()) {
            if (s[i] != ',')
                return false;
            ++i;
        }
    }
    return true;
}

bool parseValue(std::string_view s, RegistryValue& v)
{
    std::string text;
    if (!s.empty() && s[0] == '"') {
        size_t used = readQuoted(s, text);
        if (!used || used != s.size())
            return false;
        v.type = REG_SZ;
        v.data = text;
        return true;
    }
    if (s.substr(0, 6) == "dword:") {
        std::string_view digits = s.substr(6);
        if (digits.size() != 8)
            return false;
        uint32_t n = 0;
        for (char c : digits) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
            n = n * 16 + static_cast<uint32_t>(std::stoi(std::string(1, c), nullptr, 16));
        }
        v.type = REG_DWORD;
        v.data.assign(4, '\0');
        for (size_t i = 0; i < 4; ++i)
            v.data[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
        return true;
    }
    if (s.substr(0, 4) == "hex:") {
        v.type = REG_BINARY;
        return parseHex(s.substr(4), v.data);
    }
    if (s.substr(0, 4) == "hex(") {
        size_t close = s.find("):");
        if (close == std::string_view::npos || close <= 4)
            return false;
        std::string type(s.substr(4, close - 4));
        if (type.size() > 8)
            return false;
        for (char c : type)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        v.type = static_cast<DWORD>(std::stoul(type, nullptr, 16));
        if (!parseHex(s.substr(close + 2), v.data))
            return false;
        if ((v.type == REG_SZ || v.type == REG_EXPAND_SZ) && !v.data.empty() && v.data.back() == '\0')
            v.data.pop_back();
        return true;
    }
    return false;
}

}  // namespace

std::string RegistryTree::text() const
{
    std::string out = std::string(header) + "\n\n";
    for (int r = 0; r < rootCount; ++r)
        writeKey(out, rootName(r), m_roots[r]);
    return out;
}

std::optional<RegistryTree> RegistryTree::parse(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    RegistryTree tree;
    RegistryKey* current = nullptr;
    bool sawHeader = false;
    std::string pending;  // a value line continued with a final "\"
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find('\n', i);
        if (j == std::string_view::npos)
            j = text.size();
        std::string line(text.substr(i, j - i));
        i = j + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!pending.empty()) {
            size_t b = line.find_first_not_of(" \t");
            line = pending + (b == std::string::npos ? "" : line.substr(b));
            pending.clear();
        }
        if (!sawHeader) {
            if (line.empty())
                continue;
            if (line != header)
                return std::nullopt;
            sawHeader = true;
            continue;
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return std::nullopt;
            std::string path = line.substr(1, line.size() - 2);
            std::vector<std::string> parts;
            size_t p = 0;
            while (p <= path.size()) {
                size_t q = path.find('\\', p);
                if (q == std::string::npos)
                    q = path.size();
                parts.push_back(path.substr(p, q - p));
                p = q + 1;
            }
            int r = -1;
            for (int k = 0; k < rootCount; ++k)
                if (detail::equalsNoCase(parts[0], rootName(k)))
                    r = k;
            if (r < 0)
                return std::nullopt;
            current = &tree.m_roots[r];
            for (size_t k = 1; k < parts.size(); ++k) {
                if (parts[k].empty())
                    return std::nullopt;
                current = &current->createSubKey(parts[k]);
            }
            continue;
        }
        if (line.back() == '\\' && line.find("=hex") != std::string::npos) {
            line.pop_back();
            pending = line;
            continue;
        }
        if (!current)
            return std::nullopt;
        RegistryValue v;
        std::string_view rest;
        if (line[0] == '@') {
            rest = std::string_view(line).substr(1);
        } else {
            size_t used = readQuoted(line, v.name);
            if (!used)
                return std::nullopt;
            rest = std::string_view(line).substr(used);
        }
        if (rest.empty() || rest[0] != '=' || !parseValue(rest.substr(1), v))
            return std::nullopt;
        current->setValue(std::move(v));
    }
    if (!sawHeader || !pending.empty())
        return std::nullopt;
    return tree;
}

}  // namespace platform
