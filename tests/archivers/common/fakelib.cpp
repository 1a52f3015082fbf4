// A complete archiver library over a trivial text format, built exactly as
// the real ones are, so that tests can load it and drive its C entries.
// Format: the line "TBFAKE", then one "name<TAB>data" line per file.
#include <fstream>
#include <sstream>

#include "archivers/common/crc.h"
#include "archivers/common/library.h"

namespace {

class LineReader : public arc::Reader {
public:
    arc::Result open(const std::string& posixPath) override
    {
        std::ifstream in(posixPath, std::ios::binary);
        std::string line;
        if (!std::getline(in, line) || line != "TBFAKE")
            return arc::Result::fail(arc::Status::NotArchive, "no magic");
        while (std::getline(in, line)) {
            const size_t tab = line.find('\t');
            if (tab == std::string::npos)
                return arc::Result::fail(arc::Status::Corrupt, "line without tab");
            arc::Entry e;
            e.name = line.substr(0, tab);
            m_data.push_back(line.substr(tab + 1));
            e.size = m_data.back().size();
            e.packedSize = e.size;
            e.crcKind = arc::CrcKind::Crc32;
            e.crc = arc::crc32Update(0, m_data.back().data(), m_data.back().size());
            e.method = "-fk0-";
            m_entries.push_back(e);
        }
        return arc::Result::success();
    }
    const std::vector<arc::Entry>& entries() const override { return m_entries; }
    arc::Result extract(size_t index, arc::Sink& sink) override
    {
        const std::string& d = m_data.at(index);
        if (!sink.write(d.data(), d.size()))
            return arc::Result::fail(arc::Status::Aborted, "stopped");
        return arc::Result::success();
    }

private:
    std::vector<arc::Entry> m_entries;
    std::vector<std::string> m_data;
};

std::unique_ptr<arc::Reader> makeReader(const std::string&)
{
    return std::make_unique<LineReader>();
}
int archiveType(const std::string& posixPath)
{
    return LineReader().open(posixPath).ok() ? 1 : 0;
}

const arc::LibraryDefinition kFake = {"FAKEARC.DLL", arc::Dialect::Lha, makeReader, archiveType};

}  // namespace

ARC_DEFINE_LIBRARY(Fake, kFake)
ARC_DEFINE_EXTRACTMEM(Fake, kFake)
ARC_DEFINE_GETARCHIVETYPE(Fake, kFake)
