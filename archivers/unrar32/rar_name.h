// RAR 2.x to 4 keep a Unicode file name as the OEM name, a zero byte and a
// compact UTF-16 encoding that refers back to the OEM bytes.
#pragma once

#include <string>
#include <string_view>

namespace arc {

// The UTF-8 form of the encoded name; empty when `encoded` holds nothing
// usable. Unpaired surrogates become U+FFFD.
std::string decodeRarUnicodeName(std::string_view oem, std::string_view encoded);

}  // namespace arc
