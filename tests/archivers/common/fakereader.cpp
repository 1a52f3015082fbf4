#include "tests/archivers/common/fakereader.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "archivers/common/crc.h"
#include "archivers/common/pathmap.h"

namespace fake {

namespace {

std::map<std::string, FakeArchive>& archives()
{
    static std::map<std::string, FakeArchive> map;
    return map;
}

std::string g_root;

std::string mapPath(std::string_view windows)
{
    std::string s(windows);
    if (g_root.empty())
        return "";
    if (s.size() >= 2 && (s[0] == 'C' || s[0] == 'c') && s[1] == ':')
        s = s.substr(2);
    else
        return "";
    std::replace(s.begin(), s.end(), '\\', '/');
    while (!s.empty() && s.front() == '/')
        s.erase(0, 1);
    return g_root + "/" + s;
}

class FakeReader : public arc::Reader {
public:
    explicit FakeReader(const FakeArchive& archive) : m_archive(archive)
    {
        for (const auto& e : archive.entries)
            m_entries.push_back(e.entry);
    }
    arc::Result open(const std::string&) override
    {
        if (m_archive.openStatus != arc::Status::Ok)
            return arc::Result::fail(m_archive.openStatus, "fake open failure");
        return arc::Result::success();
    }
    const std::vector<arc::Entry>& entries() const override { return m_entries; }
    arc::Result extract(size_t index, arc::Sink& sink) override
    {
        const FakeEntry& e = m_archive.entries.at(index);
        for (size_t pos = 0; pos < e.data.size(); pos += e.chunk) {
            const size_t n = std::min(e.chunk, e.data.size() - pos);
            if (!sink.write(e.data.data() + pos, n))
                return arc::Result::fail(arc::Status::Aborted, "sink refused");
        }
        if (e.failWith != arc::Status::Ok)
            return arc::Result::fail(e.failWith, "fake failure");
        return arc::Result::success();
    }

private:
    FakeArchive m_archive;
    std::vector<arc::Entry> m_entries;
};

std::unique_ptr<arc::Reader> makeFake(const std::string& posixPath)
{
    auto it = archives().find(posixPath);
    if (it == archives().end())
        return nullptr;
    return std::make_unique<FakeReader>(it->second);
}

int fakeArchiveType(const std::string& posixPath)
{
    return archives().count(posixPath) ? 1 : 0;
}

}  // namespace

const arc::LibraryDefinition kLha = {"FAKELHA.DLL", arc::Dialect::Lha, makeFake};
const arc::LibraryDefinition kZip = {"FAKEZIP.DLL", arc::Dialect::Zip, makeFake};
const arc::LibraryDefinition kTar = {"FAKETAR.DLL", arc::Dialect::Tar, makeFake, fakeArchiveType};

FakeEntry file(const std::string& name, const std::string& data, arc::CrcKind kind)
{
    FakeEntry f;
    f.entry.name = name;
    f.entry.size = data.size();
    f.entry.packedSize = data.size() / 2;
    f.entry.crcKind = kind;
    if (kind == arc::CrcKind::Crc32)
        f.entry.crc = arc::crc32Update(0, data.data(), data.size());
    if (kind == arc::CrcKind::Crc16)
        f.entry.crc = arc::crc16Update(0, data.data(), data.size());
    f.entry.method = "-lh5-";
    f.entry.dosDateTime = (uint32_t(44) << 25) | (1u << 21) | (2u << 16) | (3u << 11) | (4u << 5) | 5u;
    f.data = data;
    return f;
}

FakeEntry folder(const std::string& name)
{
    FakeEntry f;
    f.entry.name = name;
    f.entry.type = arc::EntryType::Directory;
    f.entry.attributes = 0x10;
    return f;
}

void put(const std::string& relative, FakeArchive archive)
{
    archives()[mapPath("C:\\" + relative)] = std::move(archive);
}
void clear()
{
    archives().clear();
}

TestRoot::TestRoot()
{
    g_root = m_dir.path();
    arc::setPathMapper(mapPath);
}

TestRoot::~TestRoot()
{
    arc::setPathMapper(nullptr);
    clear();
    g_root.clear();
}

std::string TestRoot::posix(const std::string& relative) const
{
    return g_root + "/" + relative;
}

std::string readFile(const std::string& posixPath)
{
    std::ifstream in(posixPath, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& posixPath, const std::string& data)
{
    std::ofstream out(posixPath, std::ios::binary | std::ios::trunc);
    out << data;
}

bool exists(const std::string& posixPath)
{
    struct stat st {};
    return ::lstat(posixPath.c_str(), &st) == 0;
}

std::vector<std::string> listFolder(const std::string& posixPath)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(posixPath.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace fake
