// An in-memory Reader and a library definition over it, for the common
// code's tests. Archives are registered by POSIX path; the test path mapper
// turns "C:\x" into <root>/x.
#pragma once

#include <string>
#include <vector>

#include "archivers/common/library.h"
#include "tests/support/temp_dir.h"

namespace fake {

struct FakeEntry {
    arc::Entry entry;
    std::string data;                        // what extract() writes
    size_t chunk = 4096;                     // bytes per Sink::write
    arc::Status failWith = arc::Status::Ok;  // extract() fails after writing the data
};

// Makes a file entry whose size and CRC-32 match `data`.
FakeEntry file(const std::string& name, const std::string& data, arc::CrcKind kind = arc::CrcKind::Crc32);
FakeEntry folder(const std::string& name);

struct FakeArchive {
    std::vector<FakeEntry> entries;
    arc::Status openStatus = arc::Status::Ok;
};

// Registers the archive reachable as "C:\<relative>" (relative with "\").
void put(const std::string& relative, FakeArchive archive);
void clear();

// Per-test: a fresh root folder that "C:\" maps to, and the path mapper
// installed; both undone on destruction.
class TestRoot {
public:
    TestRoot();
    ~TestRoot();
    std::string posix(const std::string& relative) const;  // "a/b" -> <root>/a/b

private:
    tidebell_test::TempDir m_dir;
};

extern const arc::LibraryDefinition kLha;
extern const arc::LibraryDefinition kZip;
extern const arc::LibraryDefinition kTar;

std::string readFile(const std::string& posixPath);
void writeFile(const std::string& posixPath, const std::string& data);
bool exists(const std::string& posixPath);
// Names in a folder (not recursive), sorted.
std::vector<std::string> listFolder(const std::string& posixPath);

}  // namespace fake
