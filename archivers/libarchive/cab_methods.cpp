#include "archivers/libarchive/cab_methods.h"

#include "archivers/common/littleendian.h"

#include <cstdint>
#include <cstdio>
#include <memory>

namespace arc {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string methodText(uint16_t typeCompress)
{
    switch (typeCompress & 0x000F) {
    case 0:
        return "None";
    case 1:
        return "MSZIP";
    case 2:
        return "Quantum";
    case 3:
        return "LZX";
    default:
        return "CAB";
    }
}

constexpr uint16_t kReservePresent = 0x0004;
constexpr size_t kMaxFiles = 65535;  // the count is 16 bits

}  // namespace

std::vector<CabFileRecord> cabFileRecords(const std::string& posixPath)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(posixPath.c_str(), "rb"));
    if (!file)
        return {};
    auto readAt = [&](long offset, unsigned char* buf, size_t len) {
        return std::fseek(file.get(), offset, SEEK_SET) == 0 && std::fread(buf, 1, len, file.get()) == len;
    };
    unsigned char h[40];
    const LittleEndian fields(h);  // whichever record was read last into h
    if (!readAt(0, h, 36) || fields.u32(0) != 0x4643534D)
        return {};  // "MSCF"
    const uint32_t filesOffset = fields.u32(16);
    const uint16_t folderCount = fields.u16(26), fileCount = fields.u16(28), flags = fields.u16(30);
    long pos = 36;
    size_t folderReserve = 0;
    if (flags & kReservePresent) {
        if (!readAt(36, h, 4))
            return {};
        folderReserve = h[2];
        pos += 4 + fields.u16(0);
    }
    if (flags & 0x0001)
        return {};  // continued from a previous cabinet: names precede the folders
    std::vector<std::string> folders;
    for (uint16_t i = 0; i < folderCount; ++i, pos += static_cast<long>(8 + folderReserve)) {
        if (!readAt(pos, h, 8))
            return {};
        folders.push_back(methodText(fields.u16(6)));
    }
    std::vector<CabFileRecord> records;
    pos = static_cast<long>(filesOffset);
    for (size_t i = 0; i < fileCount && i < kMaxFiles; ++i) {
        if (!readAt(pos, h, 16))
            return {};
        const uint16_t folder = fields.u16(8);
        // 0xFFFD..0xFFFF: continued from or into a neighbouring cabinet,
        // which belongs to the first or last folder.
        const size_t index = folder >= 0xFFFD ? (folder == 0xFFFD ? 0 : folders.size() - 1) : folder;
        CabFileRecord record;
        record.recordOffset = static_cast<uint64_t>(pos);
        record.size = fields.u32(0);
        record.folderOffset = fields.u32(4);
        record.folder = folder;
        record.method = index < folders.size() ? folders[index] : "CAB";
        records.push_back(std::move(record));
        pos += 16;
        int c;
        std::fseek(file.get(), pos, SEEK_SET);
        size_t nameLen = 0;
        while ((c = std::fgetc(file.get())) != EOF && c != 0 && nameLen < 1024)
            ++nameLen;
        if (c != 0)
            return {};
        pos += static_cast<long>(nameLen + 1);
    }
    return records;
}

std::vector<std::string> cabFileMethods(const std::string& posixPath)
{
    std::vector<std::string> methods;
    for (CabFileRecord& r : cabFileRecords(posixPath))
        methods.push_back(std::move(r.method));
    return methods;
}

}  // namespace arc
