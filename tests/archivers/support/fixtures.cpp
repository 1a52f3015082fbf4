#include "tests/archivers/support/fixtures.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fixtures {

bool haveTool(const std::string& name)
{
    return run("command -v " + name);
}

bool run(const std::string& shellCommand)
{
    std::string line = "( " + shellCommand + " ) >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

std::string quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, std::string_view data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

uint32_t crc32Of(std::string_view data)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string makeWave(const std::string& path, double seconds, int frequency)
{
    if (!run("sox -n -r 22050 -c 1 -b 16 " + quote(path) + " synth " + std::to_string(seconds) + " sine " +
             std::to_string(frequency)))
        return {};
    return readFile(path);
}

bool compressFile(const std::string& filter, const std::string& in, const std::string& out)
{
    const std::filesystem::path p(in);
    return run("bsdtar -c --format raw " + filter + " -f " + quote(out) + " -C " + quote(p.parent_path().string()) +
               " " + quote(p.filename().string()));
}

std::string compressWith(const std::string& filter, std::string_view data, const TempDir& dir)
{
    std::string in = dir.file("compress-in"), out = dir.file("compress-out");
    writeFile(in, data);
    if (!compressFile(filter, in, out))
        return {};
    return readFile(out);
}

namespace {

void put64(std::string& s, uint64_t v)
{
    putLe32(s, static_cast<uint32_t>(v));
    putLe32(s, static_cast<uint32_t>(v >> 32));
}

}  // namespace

namespace {

// One CFDATA block: no checksum, the stored and the original length.
void putCabBlock(std::string& out, const std::string& chunk, const CabLayout& layout)
{
    std::string stored = chunk;
    if (layout.mszip && layout.damaged) {
        stored = std::string("CK\x07\xFF\xFF", 5);  // a deflate block of the reserved type
    } else if (layout.mszip) {
        z_stream zs{};
        deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        std::string packed(deflateBound(&zs, static_cast<uLong>(chunk.size())), '\0');
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
        zs.avail_in = static_cast<uInt>(chunk.size());
        zs.next_out = reinterpret_cast<Bytef*>(packed.data());
        zs.avail_out = static_cast<uInt>(packed.size());
        deflate(&zs, Z_FINISH);
        packed.resize(zs.total_out);
        deflateEnd(&zs);
        stored = "CK" + packed;
    }
    putLe32(out, 0);
    putLe16(out, static_cast<uint32_t>(stored.size()));
    putLe16(out, static_cast<uint32_t>(chunk.size()));
    out += stored;
}

}  // namespace

std::string buildCab(const std::vector<std::pair<std::string, std::string>>& files, CabLayout layout)
{
    // Folder contents first: each folder's data and its blocks.
    std::vector<std::string> folderData(layout.folderPerFile ? files.size() : 1);
    std::string fileRecords;
    for (size_t i = 0; i < files.size(); ++i) {
        const auto& [name, data] = files[i];
        std::string& folder = folderData[layout.folderPerFile ? i : 0];
        putLe32(fileRecords, static_cast<uint32_t>(data.size()));
        putLe32(fileRecords, static_cast<uint32_t>(folder.size()));
        putLe16(fileRecords, static_cast<uint32_t>(layout.folderPerFile ? i : 0));
        putLe16(fileRecords, 0x5891);  // 2024-04-17
        putLe16(fileRecords, 0x6000);  // 12:00:00
        putLe16(fileRecords, 0x20);
        fileRecords += name;
        fileRecords += '\0';
        folder += data;
    }
    const uint32_t filesOffset = 36 + 8 * static_cast<uint32_t>(folderData.size());
    uint32_t dataOffset = filesOffset + static_cast<uint32_t>(fileRecords.size());
    std::string folders, blocks;
    for (const std::string& data : folderData) {
        uint32_t blockCount = 0;
        putLe32(folders, dataOffset + static_cast<uint32_t>(blocks.size()));
        if (layout.invalidBlock) {
            putLe32(blocks, 0);
            putLe16(blocks, 8);
            putLe16(blocks, 16);
            blocks += std::string(8, '\0');
            blockCount = 1;
        }
        for (size_t at = 0; at < data.size() && !layout.invalidBlock; at += 32768, ++blockCount)
            putCabBlock(blocks, data.substr(at, 32768), layout);
        putLe16(folders, blockCount);
        putLe16(folders, layout.mszip ? 1 : 0);
    }
    std::string cab = "MSCF";
    putLe32(cab, 0);
    putLe32(cab, dataOffset + static_cast<uint32_t>(blocks.size()));
    putLe32(cab, 0);
    putLe32(cab, filesOffset);
    putLe32(cab, 0);
    cab += '\x03';
    cab += '\x01';
    putLe16(cab, static_cast<uint32_t>(folderData.size()));
    putLe16(cab, static_cast<uint32_t>(files.size()));
    putLe16(cab, 0);
    putLe16(cab, 0);
    putLe16(cab, 0);
    return cab + folders + fileRecords + blocks;
}

std::string buildZip(const std::vector<ZipMember>& members, bool reverseDirectory)
{
    constexpr uint32_t kDosTime =
        (44u << 25) | (5u << 21) | (17u << 16) | (12u << 11) | (34u << 5) | 28u;  // 2024-05-17 12:34:56
    std::string out;
    std::vector<std::string> centrals;
    bool anyZip64 = false;
    for (const ZipMember& m : members) {
        std::string central;
        const std::string& data = m.packed.empty() ? m.original : m.packed;
        uint64_t offset = out.size();
        uint32_t crc = crc32Of(m.original);
        std::string extra;
        if (!m.unicodePath.empty()) {
            putLe16(extra, 0x7075);
            putLe16(extra, static_cast<uint32_t>(5 + m.unicodePath.size()));
            extra += '\x01';
            putLe32(extra, crc32Of(m.rawName));
            extra += m.unicodePath;
        }
        const std::string unicodeExtra = extra;
        if (m.zip64) {
            anyZip64 = true;
            putLe16(extra, 1);
            putLe16(extra, 16);
            put64(extra, m.original.size());
            put64(extra, data.size());
        }
        uint16_t need = m.zip64 ? 45 : 20;
        putLe32(out, 0x04034b50);
        putLe16(out, need);
        putLe16(out, m.flags);
        putLe16(out, m.method);
        putLe32(out, kDosTime);
        putLe32(out, crc);
        putLe32(out, m.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(data.size()));
        putLe32(out, m.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(m.original.size()));
        const std::string& localName = m.localName.empty() ? m.rawName : m.localName;
        putLe16(out, static_cast<uint32_t>(localName.size()));
        putLe16(out, static_cast<uint32_t>(extra.size()));
        out += localName;
        out += extra;
        out += data;

        std::string cextra = m.unicodePathLocalOnly ? std::string() : unicodeExtra;
        if (m.zip64) {
            putLe16(cextra, 1);
            putLe16(cextra, 24);
            put64(cextra, m.original.size());
            put64(cextra, data.size());
            put64(cextra, offset);
        }
        putLe32(central, 0x02014b50);
        putLe16(central, m.madeBy);
        putLe16(central, need);
        putLe16(central, m.flags);
        putLe16(central, m.method);
        putLe32(central, kDosTime);
        putLe32(central, crc);
        putLe32(central, m.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(data.size()));
        putLe32(central, m.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(m.original.size()));
        putLe16(central, static_cast<uint32_t>(m.rawName.size()));
        putLe16(central, static_cast<uint32_t>(cextra.size()));
        putLe16(central, 0);  // comment
        putLe16(central, 0);  // disk
        putLe16(central, 0);  // internal attributes
        putLe32(central, m.rawName.ends_with("/") ? 0x10 : 0x20);
        putLe32(central, m.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(offset));
        central += m.rawName;
        central += cextra;
        centrals.push_back(std::move(central));
    }
    if (reverseDirectory)
        std::reverse(centrals.begin(), centrals.end());
    std::string central;
    for (const auto& c : centrals)
        central += c;
    uint64_t cdOffset = out.size();
    out += central;
    if (anyZip64) {
        uint64_t end64 = out.size();
        putLe32(out, 0x06064b50);
        put64(out, 44);
        putLe16(out, 45);
        putLe16(out, 45);
        putLe32(out, 0);
        putLe32(out, 0);
        put64(out, members.size());
        put64(out, members.size());
        put64(out, central.size());
        put64(out, cdOffset);
        putLe32(out, 0x07064b50);
        putLe32(out, 0);
        put64(out, end64);
        putLe32(out, 1);
    }
    putLe32(out, 0x06054b50);
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, anyZip64 ? 0xFFFF : static_cast<uint32_t>(members.size()));
    putLe16(out, anyZip64 ? 0xFFFF : static_cast<uint32_t>(members.size()));
    putLe32(out, anyZip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(central.size()));
    putLe32(out, anyZip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(cdOffset));
    putLe16(out, 0);
    return out;
}

}  // namespace fixtures
