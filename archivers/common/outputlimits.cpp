#include "archivers/common/outputlimits.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace arc {

bool OutputLimits::ratioAllows(uint64_t data, uint64_t packed) const
{
    if (data <= ratioFloor)
        return true;
    if (packed == 0)
        return true;  // nothing to measure against (the disk reserve still holds)
    return packed > UINT64_MAX / maxRatio || data <= packed * maxRatio;
}

uint64_t OutputLimits::reserveFor(uint64_t total) const
{
    const uint64_t share = total / 100 * reservePercent;
    return share > reserveBytes ? share : reserveBytes;
}

OutputLimits currentOutputLimits()
{
    OutputLimits limits;
    const char* text = std::getenv("TIDEBELL_ARCHIVER_LIMITS");
    if (!text)
        return limits;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const size_t equals = item.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = item.substr(0, equals);
        const std::string number(item.substr(equals + 1));
        char* end = nullptr;
        const unsigned long long value = std::strtoull(number.c_str(), &end, 10);
        if (number.empty() || *end)
            continue;
        if (key == "ratio-floor" && value < limits.ratioFloor)
            limits.ratioFloor = value;
        if (key == "reserve" && value > limits.reserveBytes)
            limits.reserveBytes = value;
    }
    return limits;
}

}  // namespace arc
