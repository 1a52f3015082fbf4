#include "core/hint_text.h"

namespace tidebell {

std::string longHint(std::string_view hint)
{
    const auto bar = hint.find('|');
    return std::string(bar == std::string_view::npos ? hint : hint.substr(bar + 1));
}

}  // namespace tidebell
