// Test support for the libarchive-based libraries: temporary folders, the
// fixture tools (bsdtar, 7zz, gcab, sox, ...) and a ZIP writer for what no
// tool writes (raw Shift-JIS names, ZIP64 records, zstd and xz methods,
// damaged entries).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archivers/common/reader.h"
#include "tests/support/bytes.h"
#include "tests/support/temp_dir.h"

namespace fixtures {

// The tests' one temporary folder, removed with everything in it afterwards.
using TempDir = tidebell_test::TempDir;

bool haveTool(const std::string& name);
// Runs a /bin/sh command line with output discarded; true on exit status 0.
bool run(const std::string& shellCommand);
std::string quote(const std::string& s);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view data);
uint32_t crc32Of(std::string_view data);

// A short WAVE file made by sox; returns its bytes (empty when sox failed).
std::string makeWave(const std::string& path, double seconds, int frequency);

// Little-endian fields for hand-written archives.
using tidebell_test::putLe16;
using tidebell_test::putLe32;

struct ZipMember {
    ZipMember() = default;
    ZipMember(std::string name, std::string data, std::string packedData = {}, uint16_t m = 0, uint16_t f = 0,
              uint16_t made = 0x0014, bool z64 = false)
        : rawName(std::move(name)), original(std::move(data)), packed(std::move(packedData)), method(m), flags(f),
          madeBy(made), zip64(z64)
    {
    }
    std::string rawName;   // stored as is
    std::string original;  // uncompressed bytes (CRC and size are taken from it)
    std::string packed;    // stored bytes; empty means `original` stored
    uint16_t method = 0;
    uint16_t flags = 0;                 // bit 11: name is UTF-8
    uint16_t madeBy = 0x0014;           // DOS, version 2.0
    bool zip64 = false;                 // sizes and offset only in a ZIP64 extra field
    std::string localName;              // name in the local header when it differs from the central one
    std::string unicodePath;            // UTF-8 name for an Info-ZIP Unicode Path field
    bool unicodePathLocalOnly = false;  // that field in the local header alone
};

// ZIP file bytes with a central directory (and ZIP64 end records when any
// member asks for ZIP64).
// `reverseDirectory` writes the central records in the opposite order of the
// data.
std::string buildZip(const std::vector<ZipMember>& members, bool reverseDirectory = false);

// A cabinet as a Japanese Windows tool writes it: names as given (Shift-JIS
// with "\" between folders, no UTF-8 attribute), data blocks without
// checksums; by default one uncompressed folder. `folderPerFile` gives each
// file a folder of its own, `mszip` compresses each data block, `damaged`
// makes every MSZIP block undecodable, `invalidBlock` replaces each
// folder's blocks by one whose stored and original lengths disagree (which
// an uncompressed block never may), even for a folder of empty files.
struct CabLayout {
    bool folderPerFile = false;
    bool mszip = false;
    bool damaged = false;
    bool invalidBlock = false;
};
std::string buildCab(const std::vector<std::pair<std::string, std::string>>& files, CabLayout layout = {});

// A lone compressed file made by bsdtar's raw format; `filter` is its
// option ("-z" gzip, "-j" bzip2, "-J" xz, "--zstd"). True on success.
bool compressFile(const std::string& filter, const std::string& in, const std::string& out);
// `data` compressed that way (empty on failure).
std::string compressWith(const std::string& filter, std::string_view data, const TempDir& dir);

class MemorySink : public arc::Sink {
public:
    bool write(const void* data, size_t size) override
    {
        m_data.append(static_cast<const char*>(data), size);
        return m_limit == 0 || m_data.size() < m_limit;
    }
    std::string m_data;
    size_t m_limit = 0;  // refuse once this many bytes arrived (0: never)
};

}  // namespace fixtures

#define REQUIRE_TOOL(name)                                                                                             \
    if (!::fixtures::haveTool(name))                                                                                   \
    GTEST_SKIP() << "fixture tool " << (name) << " is not installed"
