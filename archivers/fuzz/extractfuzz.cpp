// libFuzzer target over safe extraction: the input describes an archive's
// entries (one per line: a type letter, the name, a TAB, the data; type f
// file, d folder, l link, x broken data) and the first byte picks flat or
// with folders. After each run nothing may exist beside the destination
// folder, and nothing inside it may be a link or a leftover temporary file.
#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "archivers/common/crc.h"
#include "archivers/common/extractor.h"
#include "archivers/common/pathmap.h"
#include "archivers/common/safepath.h"

namespace {

std::string g_root;
std::set<std::string> g_entryParts;  // names the entries may create

class ScriptReader : public arc::Reader {
public:
    explicit ScriptReader(const std::string& script)
    {
        size_t pos = 0;
        while (pos < script.size() && m_entries.size() < 64) {
            size_t end = script.find('\n', pos);
            if (end == std::string::npos)
                end = script.size();
            const std::string line = script.substr(pos, end - pos);
            pos = end + 1;
            if (line.empty())
                continue;
            const size_t tab = line.find('\t');
            arc::Entry e;
            e.name = line.substr(1, tab == std::string::npos ? std::string::npos : tab - 1);
            std::string data = tab == std::string::npos ? "" : line.substr(tab + 1);
            e.type = line[0] == 'd'   ? arc::EntryType::Directory
                     : line[0] == 'l' ? arc::EntryType::Symlink
                                      : arc::EntryType::File;
            e.size = data.size();
            e.crcKind = arc::CrcKind::Crc32;
            e.crc = arc::crc32Update(0, data.data(), data.size());
            if (line[0] == 'x')
                data += "!";
            m_entries.push_back(e);
            m_data.push_back(data);
        }
    }
    arc::Result open(const std::string&) override { return arc::Result::success(); }
    const std::vector<arc::Entry>& entries() const override { return m_entries; }
    arc::Result extract(size_t index, arc::Sink& sink) override
    {
        const std::string& d = m_data[index];
        if (!sink.write(d.data(), d.size()))
            return arc::Result::fail(arc::Status::Aborted, "refused");
        return arc::Result::success();
    }

private:
    std::vector<arc::Entry> m_entries;
    std::vector<std::string> m_data;
};

std::string mapPath(std::string_view windows)
{
    std::string s(windows.substr(windows.size() >= 2 ? 2 : 0));
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return g_root + "/" + s;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*)
{
    return ::remove(path);
}

void check(bool ok, const std::string& what)
{
    if (!ok) {
        std::fprintf(stderr, "extraction escaped or left garbage: %s\n", what.c_str());
        std::abort();
    }
}

int checkEntry(const char* path, const struct stat* st, int, struct FTW*)
{
    const std::string p = path;
    check(!S_ISLNK(st->st_mode), "link " + p);
    const std::string base = p.substr(p.find_last_of('/') + 1);
    check(base.find(".part") == std::string::npos || g_entryParts.count(base), "temporary file " + p);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_root.empty()) {
        char templ[] = "/tmp/arc-extract-fuzz-XXXXXX";
        if (!mkdtemp(templ))
            return 0;
        g_root = templ;
        arc::setPathMapper(mapPath);
        std::atexit([] { nftw(g_root.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); });
    }
    if (size == 0)
        return 0;
    const std::string dest = g_root + "/dest";
    nftw(dest.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);

    ScriptReader reader(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    g_entryParts.clear();
    for (const arc::Entry& e : reader.entries())
        for (const std::string& part : arc::safeComponents(e.name))
            g_entryParts.insert(part);
    arc::CommandRequest request;
    request.flat = data[0] & 1;
    request.overwrite = arc::Overwrite::Always;
    arc::ExtractTarget target{dest, "C:\\dest\\"};
    arc::Progress progress(nullptr, "C:\\fuzz.lzh");
    arc::OutputText output;
    (void)arc::extractEntries(reader, request, target, progress, output);

    if (DIR* d = opendir(g_root.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            check(n == "." || n == ".." || n == "dest", "outside the destination: " + n);
        }
        closedir(d);
    }
    nftw(dest.c_str(), checkEntry, 16, FTW_PHYS);
    return 0;
}
