// The Windows version resource (VS_VERSIONINFO): a tree of nodes, each a
// length, a value length, a type, a UTF-16 key and a value, children aligned
// to four bytes. The program carries one in its executable (an ELF section
// written at build time) and the version functions read it from there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The section of an ELF file that holds its version resource.
inline constexpr char kVersionSectionName[] = ".rsrc.version";

struct FixedFileInfo {
    uint32_t fileVersionMS = 0, fileVersionLS = 0;
    uint32_t productVersionMS = 0, productVersionLS = 0;
    uint32_t flagsMask = 0x3F, flags = 0;
    uint32_t os = 0x00040004;  // VOS_NT_WINDOWS32
    uint32_t type = 1;         // VFT_APP
    uint32_t subtype = 0, dateMS = 0, dateLS = 0;
};

struct VersionString {
    std::string key, value;  // UTF-8
};

struct VersionStringTable {
    std::string key;  // language and code page as eight hex digits, "041103a4"
    std::vector<VersionString> strings;
};

struct VersionResource {
    std::optional<FixedFileInfo> fixed;
    std::vector<VersionStringTable> stringTables;
    std::vector<uint32_t> translations;  // language | code page << 16
};

// "1.20.2001.610" -> {0x00010014, 0x07D10262}; missing parts count as 0,
// nothing when a part is not a number below 65536.
std::optional<std::pair<uint32_t, uint32_t>> parseVersionNumber(std::string_view text);

// The VS_VERSIONINFO bytes of a resource, strings in UTF-16LE.
std::string encodeVersionResource(const VersionResource& resource);

// Where a query path's value lies in a version resource. Keys compare without
// regard to ASCII case; "\" (or "") names the fixed file information.
struct VersionValue {
    size_t offset = 0;  // from the start of the resource
    size_t size = 0;    // bytes the value may occupy inside its node
    bool text = false;  // a string value (UTF-16, up to its first NUL)
};
std::optional<VersionValue> findVersionValue(std::string_view resource, std::string_view path);

// The length a well-formed resource starts with, or 0 when the bytes cannot
// be a version resource (too short, or a length beyond the bytes given).
size_t versionResourceLength(std::string_view bytes);

// UTF-16LE code units <-> UTF-8. Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
std::u16string utf8ToUtf16(std::string_view text);

// The contents of the version section of the ELF file at a POSIX path; empty
// when the file is not ELF, has no such section or cannot be read.
std::string readVersionSection(const std::string& posixPath);

}  // namespace platform
