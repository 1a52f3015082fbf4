// Writes RAR 1.5-4 archives for the tests: no free tool makes them, so the
// members are stored (method 0x30) with correct header CRCs and data
// CRC-32s, unless a member asks to be broken.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fixtures {

struct RarMember {
    RarMember() = default;
    RarMember(std::string name, std::string bytes, bool unicodeName = false)
        : rawName(std::move(name)), data(std::move(bytes)), unicode(unicodeName)
    {
    }
    std::string rawName;   // stored name bytes (see `unicode`)
    std::string data;      // original bytes
    bool unicode = false;  // sets the Unicode-name flag; rawName then holds
                           // "OEM\0encoded" or plain UTF-8
    bool directory = false;
    uint8_t hostOs = 2;  // 2 Windows, 3 Unix
    uint32_t attributes = 0x20;
    uint8_t method = 0x30;               // stored
    std::string packed;                  // bytes stored when method != 0x30 (empty: data)
    uint32_t declaredSize = UINT32_MAX;  // unpacked size written instead of data.size()
    bool badDataCrc = false;
    bool badHeaderCrc = false;
    bool encrypted = false;
    std::string linkTarget;      // RAR5: a Unix symbolic link to this (no data)
    std::string hardLinkTarget;  // RAR5: a hard link to this; its unpacked size is
                                 // data.size(), and no data is stored
};

struct RarOptions {
    bool solid = false;
    bool endBlock = true;
};

// The Unicode-name form RAR 2.x to 3.x write after the OEM name, using only
// whole UTF-16 units (the simplest of its four codes).
std::string rarUnicodeName(const std::u16string& name);

std::string buildRar(const std::vector<RarMember>& members, const RarOptions& options = {});

// `data` as RAR 2.9 compressed data (method 0x33) made of literals only:
// with `withTables`, a table block in which the bytes below 255 have 8-bit
// codes equal to themselves, then the bytes and the end mark; without, the bytes
// and the end mark alone, which is how a later member of a solid archive
// continues with the tables before.
std::string rar29Literals(const std::string& data, bool withTables = true);

// The same members in RAR5 form (stored, UTF-8 names, data CRC-32); only
// rawName, data, directory, hostOs, badDataCrc, linkTarget and
// hardLinkTarget are used.
std::string buildRar5(const std::vector<RarMember>& members);

}  // namespace fixtures
