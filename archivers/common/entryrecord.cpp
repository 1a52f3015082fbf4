#include "archivers/common/entryrecord.h"

#include "archivers/common/dostime.h"

#include <cstring>
#include <string_view>

namespace arc {

namespace {

void put16(unsigned char* p, uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, uint32_t v)
{
    put16(p, static_cast<uint16_t>(v));
    put16(p + 2, static_cast<uint16_t>(v >> 16));
}

// Copies at most capacity-1 bytes, never cutting a UTF-8 sequence, and a 0.
void putText(unsigned char* p, size_t capacity, std::string_view text)
{
    size_t n = text.size();
    if (n > capacity - 1) {
        n = capacity - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(p, text.data(), n);
    p[n] = 0;
}

}  // namespace

void fillEntryRecord(const Entry& entry, unsigned char* record)
{
    using L = EntryRecordLayout;
    std::memset(record, 0, L::Size);
    put32(record + L::OriginalSize, static_cast<uint32_t>(entry.size));
    put32(record + L::OriginalSizeHigh, static_cast<uint32_t>(entry.size >> 32));
    put32(record + L::CompressedSize, static_cast<uint32_t>(entry.packedSize));
    put32(record + L::Crc, entry.crc);
    uint16_t ratio = 0;
    if (entry.size > 0 && entry.packedSize > 0) {
        // Per mille; stored data can exceed the original (ratio > 1000).
        const unsigned __int128 r = static_cast<unsigned __int128>(entry.packedSize) * 1000 / entry.size;
        ratio = r > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(r);
    }
    put16(record + L::Ratio, ratio);
    put16(record + L::DosDate, dosDateOf(entry.dosDateTime));
    put16(record + L::DosTime, dosTimeOf(entry.dosDateTime));
    uint8_t attributes = entry.attributes;
    if (entry.type == EntryType::Directory)
        attributes |= 0x10;
    record[L::Attributes] = attributes;
    record[L::CrcKindByte] = static_cast<unsigned char>(entry.crcKind);
    uint16_t flags = 0;
    if (entry.type == EntryType::Directory)
        flags |= EntryFlagFolder;
    if (entry.encrypted)
        flags |= EntryFlagEncrypted;
    if (entry.type == EntryType::Symlink || entry.type == EntryType::Other)
        flags |= EntryFlagSpecial;
    if (!entry.sizeKnown)
        flags |= EntryFlagSizeUnknown;
    put16(record + L::Flags, flags);
    putText(record + L::Name, L::NameCapacity, entry.name);
    char attrText[6] = "rhsda";
    const uint8_t bits[5] = {0x01, 0x02, 0x04, 0x10, 0x20};
    for (int i = 0; i < 5; ++i)
        if (!(attributes & bits[i]))
            attrText[i] = '-';
    putText(record + L::AttributeText, L::TextCapacity, attrText);
    putText(record + L::MethodText, L::TextCapacity, entry.method);
}

}  // namespace arc
