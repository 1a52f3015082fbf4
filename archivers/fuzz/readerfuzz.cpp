// libFuzzer target over one format's Reader: the input is an archive file;
// it is opened, listed, every entry turned into a record and a safe name,
// and every file entry decoded through the CRC and size checks; then a
// reader asked for one name is held to the whole listing.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archivers/common/checkedsink.h"
#include "archivers/common/entryrecord.h"
#include "archivers/common/safepath.h"
#include "archivers/common/wildcard.h"
#include "archivers/fuzz/readerfuzz.h"

namespace {

// Stops decoding once an input has produced this much in total, so that
// highly compressed inputs stay fast.
class BudgetSink : public arc::Sink {
public:
    explicit BudgetSink(uint64_t& budget) : m_budget(budget) {}
    bool write(const void*, size_t size) override
    {
        if (size > m_budget)
            return false;
        m_budget -= size;
        return true;
    }

private:
    uint64_t& m_budget;
};

// A reader told which names are wanted must list what a whole listing
// lists under those names, and give the same result for their data.
void compareNamedReader(const std::string& path, const std::vector<arc::Entry>& all)
{
    if (all.empty())
        return;
    const arc::WildcardSet wanted({all.back().name});
    std::vector<size_t> expected;
    for (size_t i = 0; i < all.size(); ++i)
        if (wanted.matches(all[i].name))
            expected.push_back(i);
    auto named = arcFuzzMakeReader(path);
    named->listOnly(&wanted);
    if (!named->open(path).ok())
        __builtin_trap();
    std::vector<size_t> got;
    for (size_t i = 0; i < named->entries().size(); ++i)
        if (wanted.matches(named->entries()[i].name))
            got.push_back(i);
    if (got.size() != expected.size())
        __builtin_trap();
    for (size_t k = 0; k < got.size(); ++k)
        if (!(named->entries()[got[k]] == all[expected[k]]))
            __builtin_trap();
    if (got.empty() || all[expected[0]].type != arc::EntryType::File)
        return;
    auto whole = arcFuzzMakeReader(path);
    if (!whole->open(path).ok())
        __builtin_trap();
    arc::Status status[2];
    for (int side = 0; side < 2; ++side) {
        uint64_t budget = 4u << 20;
        BudgetSink sink(budget);
        arc::Reader& reader = side == 0 ? *whole : *named;
        const arc::Entry& entry = all[expected[0]];
        arc::CheckedSink checked(entry, sink);
        status[side] = checked.finish(reader.extract(side == 0 ? expected[0] : got[0], checked)).status;
    }
    if (status[0] != status[1])
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = memfd_create("archive", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (auto reader = arcFuzzMakeReader(path); reader && reader->open(path).ok()) {
        uint64_t budget = 32u << 20;
        const auto& entries = reader->entries();
        unsigned char record[arc::EntryRecordLayout::Size];
        for (size_t i = 0; i < entries.size(); ++i) {
            const arc::Entry& entry = entries[i];
            arc::fillEntryRecord(entry, record);
            (void)arc::safeComponents(entry.name);
            (void)arc::wildcardMatch("*.wav", entry.name);
            if (entry.type != arc::EntryType::File || budget == 0)
                continue;
            BudgetSink sink(budget);
            arc::CheckedSink checked(entry, sink);
            (void)checked.finish(reader->extract(i, checked));
        }
        compareNamedReader(path, entries);
    }
    close(fd);
    return 0;
}
