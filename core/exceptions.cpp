#include "core/exceptions.h"

namespace tidebell {

std::string formatMessage(const std::string& format, const std::string& item)
{
    const auto at = format.find("%s");
    if (at == std::string::npos) {
        return format;
    }
    std::string text = format;
    text.replace(at, 2, item);
    return text;
}

}  // namespace tidebell
