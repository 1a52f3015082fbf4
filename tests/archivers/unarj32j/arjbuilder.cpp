#include "tests/archivers/unarj32j/arjbuilder.h"

#include <zlib.h>

#include "tests/support/bytes.h"

namespace arjtest {

namespace {

using tidebell_test::putLe16;
using tidebell_test::putLe32;

uint32_t crcOf(const std::string& s)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// id, size, basic header, its CRC, the extended headers and their end.
std::string header(const ArjMember& m, uint8_t fileType, uint32_t packedSize, const std::string& extended,
                   bool breakCrc)
{
    std::string basic;
    basic += static_cast<char>(30);  // size of the fixed part
    basic += static_cast<char>(11);  // made by version
    basic += static_cast<char>(1);   // needed version
    basic += static_cast<char>(m.hostOs);
    basic += static_cast<char>(m.flags);
    basic += static_cast<char>(m.method);
    basic += static_cast<char>(fileType);
    basic += '\0';
    putLe32(basic, m.modified);
    putLe32(basic, packedSize);
    putLe32(basic, m.originalSize.value_or(static_cast<uint32_t>(m.data.size())));
    putLe32(basic, m.crc.value_or(crcOf(m.data)));
    putLe16(basic, 0);  // where the bare name starts
    putLe16(basic, m.accessMode);
    putLe16(basic, 0);  // chapters
    basic += m.rawName;
    basic += '\0';
    basic += '\0';  // no comment

    std::string out = "\x60\xEA";
    putLe16(out, static_cast<uint32_t>(basic.size()));
    out += basic;
    putLe32(out, crcOf(basic) ^ (breakCrc ? 1u : 0u));
    if (!extended.empty()) {
        putLe16(out, static_cast<uint32_t>(extended.size()));
        out += extended;
        putLe32(out, crcOf(extended));
    }
    putLe16(out, 0);
    return out;
}

}  // namespace

std::string buildArj(const std::vector<ArjMember>& members, bool endMark)
{
    ArjMember main;
    main.rawName = "test.arj";
    std::string out = header(main, 2, 0, {}, false);
    for (const ArjMember& m : members) {
        const std::string& stored = m.packed.empty() ? m.data : m.packed;
        out += header(m, m.fileType, static_cast<uint32_t>(stored.size()), m.extendedHeader, m.breakHeaderCrc);
        out += stored;
    }
    if (endMark)
        out += std::string("\x60\xEA\0\0", 4);
    return out;
}

void BitWriter::put(uint32_t value, unsigned count)
{
    for (unsigned i = count; i-- > 0;) {
        m_acc = (m_acc << 1) | ((value >> i) & 1u);
        if (++m_count == 8) {
            m_bytes += static_cast<char>(m_acc);
            m_acc = 0;
            m_count = 0;
        }
    }
}

std::string BitWriter::bytes() const
{
    std::string out = m_bytes;
    if (m_count)
        out += static_cast<char>(m_acc << (8 - m_count));
    return out;
}

}  // namespace arjtest
