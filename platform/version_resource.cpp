#include "platform/version_resource.h"

#include <charconv>
#include <fstream>

#include "platform/internal.h"

namespace platform {
namespace {

constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;
constexpr size_t kHeaderSize = 6;  // wLength, wValueLength, wType

size_t align4(size_t n)
{
    return (n + 3) & ~size_t(3);
}

uint16_t word(std::string_view bytes, size_t at)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

void putWord(std::string& out, uint16_t n)
{
    out += static_cast<char>(n & 0xFF);
    out += static_cast<char>(n >> 8);
}

void putDword(std::string& out, uint32_t n)
{
    putWord(out, static_cast<uint16_t>(n & 0xFFFF));
    putWord(out, static_cast<uint16_t>(n >> 16));
}

void padTo4(std::string& out)
{
    out.append(align4(out.size()) - out.size(), '\0');
}

std::string utf16Bytes(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text)
        putWord(out, c);
    putWord(out, 0);
    return out;
}

// One node: header, key, value and children, each child starting on a
// four-byte boundary. Nodes always start aligned, so aligning within the
// node aligns within the resource.
std::string encodeNode(std::string_view key, const std::string& value, uint16_t valueLength, uint16_t type,
                       const std::vector<std::string>& children)
{
    std::string out(kHeaderSize, '\0');
    out += utf16Bytes(utf8ToUtf16(key));
    padTo4(out);
    out += value;
    for (const std::string& child : children) {
        padTo4(out);
        out += child;
    }
    if (out.size() > 0xFFFF)
        throw std::length_error("version resource over 64 KiB");
    out[0] = static_cast<char>(out.size() & 0xFF);
    out[1] = static_cast<char>(out.size() >> 8);
    out[2] = static_cast<char>(valueLength & 0xFF);
    out[3] = static_cast<char>(valueLength >> 8);
    out[4] = static_cast<char>(type);
    out[5] = 0;
    return out;
}

std::string encodeString(const VersionString& s)
{
    std::u16string value = utf8ToUtf16(s.value);
    return encodeNode(s.key, utf16Bytes(value), static_cast<uint16_t>(value.size() + 1), kText, {});
}

struct Node {
    size_t end = 0;
    uint16_t valueLength = 0, type = 0;
    std::u16string key;
    size_t valueOffset = 0, valueSize = 0, childrenStart = 0;
};

// Reads the node at `start`, which must end by `limit`; nothing for a node
// that is cut short or whose key has no end.
std::optional<Node> readNode(std::string_view bytes, size_t start, size_t limit)
{
    if (start + kHeaderSize > limit)
        return std::nullopt;
    const size_t length = word(bytes, start);
    if (length < kHeaderSize || start + length > limit)
        return std::nullopt;
    Node node;
    node.end = start + length;
    node.valueLength = word(bytes, start + 2);
    node.type = word(bytes, start + 4);
    size_t at = start + kHeaderSize;
    for (;; at += 2) {
        if (at + 2 > node.end)
            return std::nullopt;
        const char16_t c = word(bytes, at);
        if (c == 0)
            break;
        node.key += c;
    }
    node.valueOffset = std::min(align4(at + 2), node.end);
    // Strings count their value in characters, everything else in bytes.
    const size_t valueBytes = node.type == kText ? size_t(node.valueLength) * 2 : node.valueLength;
    node.valueSize = std::min(valueBytes, node.end - node.valueOffset);
    node.childrenStart = std::min(align4(node.valueOffset + valueBytes), node.end);
    return node;
}

std::optional<Node> findChild(std::string_view bytes, const Node& parent, std::string_view key)
{
    for (size_t at = parent.childrenStart; at + kHeaderSize <= parent.end;) {
        std::optional<Node> child = readNode(bytes, at, parent.end);
        if (!child)
            return std::nullopt;
        if (detail::equalsNoCase(utf16ToUtf8(child->key), key))
            return child;
        at = align4(child->end);
    }
    return std::nullopt;
}

// ELF fields in the file's byte order.
struct ElfReader {
    std::ifstream& in;
    uint64_t fileSize;
    bool bigEndian;

    // Never allocates more than the file holds.
    std::optional<std::string> bytes(uint64_t offset, uint64_t size)
    {
        if (offset > fileSize || size > fileSize - offset)
            return std::nullopt;
        std::string out(size, '\0');
        in.clear();
        in.seekg(static_cast<std::streamoff>(offset));
        if (!in.read(out.data(), static_cast<std::streamsize>(size)))
            return std::nullopt;
        return out;
    }
    uint64_t number(std::string_view b, size_t at, size_t size) const
    {
        uint64_t n = 0;
        for (size_t i = 0; i < size; ++i) {
            const size_t index = bigEndian ? at + i : at + size - 1 - i;
            n = (n << 8) | static_cast<unsigned char>(b[index]);
        }
        return n;
    }
};

}  // namespace

std::optional<std::pair<uint32_t, uint32_t>> parseVersionNumber(std::string_view text)
{
    uint32_t parts[4] = {0, 0, 0, 0};
    size_t index = 0;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    while (p != end) {
        if (index == 4)
            return std::nullopt;
        unsigned value = 0;
        auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc() || value > 0xFFFF)
            return std::nullopt;
        parts[index++] = value;
        p = next;
        if (p != end && *p++ != '.')
            return std::nullopt;
        if (p == end && text.back() == '.')
            return std::nullopt;
    }
    if (index == 0)
        return std::nullopt;
    return std::pair{(parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]};
}

std::string encodeVersionResource(const VersionResource& resource)
{
    std::string fixed;
    if (resource.fixed) {
        const FixedFileInfo& f = *resource.fixed;
        for (uint32_t n : {0xFEEF04BDu, 0x00010000u, f.fileVersionMS, f.fileVersionLS, f.productVersionMS,
                           f.productVersionLS, f.flagsMask, f.flags, f.os, f.type, f.subtype, f.dateMS, f.dateLS})
            putDword(fixed, n);
    }
    std::vector<std::string> children;
    if (!resource.stringTables.empty()) {
        std::vector<std::string> tables;
        for (const VersionStringTable& table : resource.stringTables) {
            std::vector<std::string> strings;
            for (const VersionString& s : table.strings)
                strings.push_back(encodeString(s));
            tables.push_back(encodeNode(table.key, {}, 0, kText, strings));
        }
        children.push_back(encodeNode("StringFileInfo", {}, 0, kText, tables));
    }
    if (!resource.translations.empty()) {
        std::string list;
        for (uint32_t t : resource.translations)
            putDword(list, t);
        std::string var = encodeNode("Translation", list, static_cast<uint16_t>(list.size()), kBinary, {});
        children.push_back(encodeNode("VarFileInfo", {}, 0, kText, {var}));
    }
    return encodeNode("VS_VERSION_INFO", fixed, static_cast<uint16_t>(fixed.size()), kBinary, children);
}

size_t versionResourceLength(std::string_view bytes)
{
    if (bytes.size() < kHeaderSize)
        return 0;
    const size_t length = word(bytes, 0);
    return length < kHeaderSize || length > bytes.size() ? 0 : length;
}

std::optional<VersionValue> findVersionValue(std::string_view resource, std::string_view path)
{
    const size_t length = versionResourceLength(resource);
    if (length == 0)
        return std::nullopt;
    resource = resource.substr(0, length);
    std::optional<Node> node = readNode(resource, 0, length);
    if (!node)
        return std::nullopt;
    size_t at = 0;
    while (at < path.size()) {
        size_t next = path.find('\\', at);
        if (next == std::string_view::npos)
            next = path.size();
        if (next > at) {
            node = findChild(resource, *node, path.substr(at, next - at));
            if (!node)
                return std::nullopt;
        }
        at = next + 1;
    }
    // The root's value is the fixed information; a resource without it has
    // nothing to answer for "\".
    if (node->valueSize == 0 && node->type != kText)
        return std::nullopt;
    return VersionValue{node->valueOffset, node->valueSize, node->type == kText};
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        detail::appendUtf8(out, c);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : 4;
        char32_t c = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
        bool valid = extra < 4 && i + extra < text.size();
        for (size_t k = 1; valid && k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            valid = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        if (!valid || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += extra + 1;
    }
    return out;
}

std::string readVersionSection(const std::string& posixPath)
{
    std::ifstream in(posixPath, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    const auto fileSize = static_cast<uint64_t>(std::max<std::streamoff>(in.tellg(), 0));
    in.seekg(0);
    char ident[16];
    if (!in.read(ident, sizeof ident) || std::string_view(ident, 4) != "\x7F"
                                                                       "ELF")
        return {};
    const bool is64 = ident[4] == 2;
    if ((ident[4] != 1 && !is64) || (ident[5] != 1 && ident[5] != 2))
        return {};
    ElfReader elf{in, fileSize, ident[5] == 2};
    const std::optional<std::string> header = elf.bytes(0, is64 ? 64 : 52);
    if (!header)
        return {};
    const uint64_t tableOffset = is64 ? elf.number(*header, 0x28, 8) : elf.number(*header, 0x20, 4);
    const uint64_t entrySize = elf.number(*header, is64 ? 0x3A : 0x2E, 2);
    const uint64_t count = elf.number(*header, is64 ? 0x3C : 0x30, 2);
    const uint64_t namesIndex = elf.number(*header, is64 ? 0x3E : 0x32, 2);
    if (entrySize < (is64 ? 64u : 40u) || count == 0 || namesIndex >= count)
        return {};
    const std::optional<std::string> table = elf.bytes(tableOffset, entrySize * count);
    if (!table)
        return {};
    struct Section {
        uint64_t name, type, offset, size;
    };
    auto section = [&](uint64_t index) {
        const size_t at = index * entrySize;
        return is64 ? Section{elf.number(*table, at, 4), elf.number(*table, at + 4, 4), elf.number(*table, at + 24, 8),
                              elf.number(*table, at + 32, 8)}
                    : Section{elf.number(*table, at, 4), elf.number(*table, at + 4, 4), elf.number(*table, at + 16, 4),
                              elf.number(*table, at + 20, 4)};
    };
    constexpr uint64_t kNoBits = 8;
    constexpr uint64_t kLargestNames = 1 << 20;
    constexpr uint64_t kLargestResource = 0xFFFF;  // its length is a 16-bit number
    const Section names = section(namesIndex);
    if (names.type == kNoBits || names.size > kLargestNames)
        return {};
    const std::optional<std::string> nameTable = elf.bytes(names.offset, names.size);
    if (!nameTable)
        return {};
    const std::string_view wanted(kVersionSectionName, sizeof kVersionSectionName);  // with its NUL
    for (uint64_t i = 0; i < count; ++i) {
        const Section s = section(i);
        if (s.name >= nameTable->size() || nameTable->compare(s.name, wanted.size(), wanted) != 0)
            continue;
        if (s.type == kNoBits || s.size > kLargestResource)
            return {};
        return elf.bytes(s.offset, s.size).value_or(std::string());
    }
    return {};
}

}  // namespace platform
