// Hints are "short|long"; status bars show the long part.
#pragma once

#include <string>
#include <string_view>

namespace tidebell {

// The text after the first "|", or the whole hint when it has none.
std::string longHint(std::string_view hint);

}  // namespace tidebell
