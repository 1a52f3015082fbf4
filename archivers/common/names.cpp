// Stored names to UTF-8 (declared in reader.h).
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>

#include "archivers/common/reader.h"

namespace arc {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool isValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else
            return false;
        if (i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += len;
    }
    return true;
}

// One converter per thread: iconv_open is too slow to run per name of a
// 10,000-entry listing.
class Cp932Converter {
public:
    Cp932Converter() : m_cd(iconv_open("UTF-8", "CP932")) {}
    ~Cp932Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    std::string convert(std::string_view raw)
    {
        std::string out;
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            // No converter: keep ASCII, mark the rest.
            for (char c : raw)
                out += (static_cast<unsigned char>(c) < 0x80) ? std::string(1, c) : std::string(kReplacement);
            return out;
        }
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string in(raw);
        char* inPtr = in.data();
        size_t inLeft = in.size();
        char buffer[1024];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t r = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (r != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            // EILSEQ or a truncated last character: mark one byte and go on.
            out += kReplacement;
            ++inPtr;
            --inLeft;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t m_cd;
};

// A NUL would end the name in a listing's C string while the file is
// written under the whole name: it becomes "_" as other control characters
// do when the file is written.
std::string withoutNul(std::string name)
{
    std::replace(name.begin(), name.end(), '\0', '_');
    return name;
}

}  // namespace

std::string shiftJisToUtf8(std::string_view raw)
{
    thread_local Cp932Converter converter;
    return withoutNul(converter.convert(raw));
}

std::string nameToUtf8(std::string_view raw)
{
    if (isValidUtf8(raw))
        return withoutNul(std::string(raw));
    return shiftJisToUtf8(raw);
}

}  // namespace arc
