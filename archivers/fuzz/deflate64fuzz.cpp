// libFuzzer target for the Deflate64 decoder: the input is a raw stream,
// decoded into a sink that stops after a budget so that long matches stay fast.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archivers/libarchive/inflate.h"

namespace {

class BudgetSink : public arc::Sink {
public:
    bool write(const void*, size_t size) override
    {
        if (size > m_budget)
            return false;
        m_budget -= size;
        return true;
    }

private:
    size_t m_budget = size_t(64) << 20;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t pos = 0;
    // Small reads, so that refills happen inside codes and stored blocks.
    const arc::ByteSource source = [&](uint8_t* buf, size_t capacity) {
        const size_t n = std::min({capacity, size - pos, size_t(7)});
        std::memcpy(buf, data + pos, n);
        pos += n;
        return n;
    };
    BudgetSink sink;
    arc::inflateRaw(arc::DeflateVariant::Deflate64, source, sink);
    return 0;
}
