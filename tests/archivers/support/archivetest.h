// Test helpers shared by the LZH and RAR tests: reproducible data, the
// little-endian writers of the fixture builders, a temporary folder that
// takes archive bytes, and checks made on every library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "archivers/common/reader.h"
#include "tests/archivers/support/fixtures.h"

namespace fixtures {

// `n` reproducible bytes that do not compress.
inline std::string pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = char(seed >> 16);
    }
    return s;
}

// 2026-12-08 12:34:56 as a DOS stamp, date in the high word.
constexpr uint32_t kDosStamp = (uint32_t((2026 - 1980) << 9 | 12 << 5 | 8) << 16) | (12 << 11 | 34 << 5 | 28);

// The suffixes of the nine entries of the LZH and RAR libraries.
inline const char* const kNineEntries[] = {"",          "OpenArchive",  "CloseArchive",     "FindFirst",
                                           "FindNext",  "CheckArchive", "SetOwnerWindowEx", "KillOwnerWindowEx",
                                           "ExtractMem"};

class ArchiveFileTest : public ::testing::Test {
protected:
    // Writes archive bytes into the temporary folder; answers the path.
    std::string write(const std::string& bytes, const std::string& name = "t.arc")
    {
        const std::string path = dir.file(name);
        writeFile(path, bytes);
        return path;
    }
    static arc::Result extract(arc::Reader& reader, size_t index, std::string& out)
    {
        MemorySink sink;
        const arc::Result r = reader.extract(index, sink);
        out = sink.m_data;
        return r;
    }
    // Every .wav file below the temporary folder lies below `inside`; at
    // least one was written.
    void expectWavesOnlyInside(const std::string& inside)
    {
        int written = 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) {
            if (!e.is_regular_file() || e.path().extension() != ".wav")
                continue;
            EXPECT_EQ(e.path().string().rfind(inside + "/", 0), 0u) << e.path();
            ++written;
        }
        EXPECT_GT(written, 0);
    }

    // Opens `rounds` damaged copies of `archive` (bytes changed, mostly in
    // the headers, or cut short) and extracts every entry of those that
    // open: errors are fine, crashes, hangs and runaway output are not.
    void survivesDamage(arc::Reader& reader, const std::string& archive, int rounds)
    {
        std::mt19937 random(20261208);
        const std::string path = dir.file("damaged");
        for (int round = 0; round < rounds; ++round) {
            std::string bytes = archive;
            if (round % 5 == 4) {
                bytes.resize(random() % bytes.size());
            } else {
                for (unsigned n = 1 + random() % 4; n > 0; --n) {
                    const size_t at =
                        random() % 2 ? random() % std::min<size_t>(bytes.size(), 64) : random() % bytes.size();
                    bytes[at] = char(random());
                }
            }
            writeFile(path, bytes);
            if (!reader.open(path).ok())
                continue;
            for (size_t i = 0; i < reader.entries().size(); ++i) {
                MemorySink sink;
                sink.m_limit = 64u << 20;
                reader.extract(i, sink);
                EXPECT_LT(sink.m_data.size(), 64u << 20) << "round " << round;
            }
        }
    }

    TempDir dir;
};

}  // namespace fixtures
