// Code points to UTF-8.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "archivers/common/utf8.h"

TEST(Utf8, EachLengthsBoundsAndWhatIsNoCharacter)
{
    struct Case {
        uint32_t cp;
        std::string bytes;
    };
    const std::string replacement = "\xEF\xBF\xBD";
    const Case cases[] = {
        {0x00, std::string(1, '\0')},
        {0x41, "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0x3042, "\xE3\x81\x82"},  // あ
        {0xD7FF, "\xED\x9F\xBF"},
        {0xD800, replacement},  // surrogates are no characters
        {0xDBFF, replacement},
        {0xDC00, replacement},
        {0xDFFF, replacement},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1F3B5, "\xF0\x9F\x8E\xB5"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0x110000, replacement},  // past the last code point
        {0xFFFFFFFF, replacement},
    };
    for (const Case& c : cases) {
        std::string out = "x";
        arc::appendUtf8(out, c.cp);
        EXPECT_EQ(out, "x" + c.bytes) << std::hex << c.cp;
    }
}
