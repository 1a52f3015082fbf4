// libFuzzer target over one format's Reader: the input is an archive file;
// it is opened, listed, every entry turned into a record and a safe name,
// and every file entry decoded through the CRC and size checks.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

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
    bool write(const void*, size_t size) override {
        if (size > m_budget) return false;
        m_budget -= size;
        return true;
    }

private:
    uint64_t& m_budget;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("archive", MFD_CLOEXEC);
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
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
            if (entry.type != arc::EntryType::File || budget == 0) continue;
            BudgetSink sink(budget);
            arc::CheckedSink checked(entry, sink);
            (void)checked.finish(reader->extract(i, checked));
        }
    }
    close(fd);
    return 0;
}
