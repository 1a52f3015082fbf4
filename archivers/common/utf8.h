// Code points to UTF-8, for names a format stores in UTF-16 or as numbers.
#pragma once

#include <cstdint>
#include <string>

namespace arc {

// Appends `codePoint` as UTF-8. What is no character (a surrogate, a value
// past U+10FFFF) becomes U+FFFD, so that the result is always valid UTF-8.
void appendUtf8(std::string& out, uint32_t codePoint);

}  // namespace arc
