// String functions: the Windows word sort, the lstr* family, wsprintfA and
// the character walking of the ANSI code page (UTF-8 here) and of code page
// 932 (Shift-JIS).
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/internal.h"
#include "platform/platform.h"

namespace {

// The word sort compares in three rounds: letters and symbols without case
// (hyphen and apostrophe left out), then case (lower case first), then where
// the hyphens and apostrophes stood.
bool ignoredAtFirst(unsigned char c)
{
    return c == '-' || c == '\'';
}

int primaryWeight(unsigned char c)
{
    static constexpr std::string_view symbols = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
    if (c < 0x20)
        return c;
    if (auto at = symbols.find(static_cast<char>(c)); at != std::string_view::npos)
        return 100 + static_cast<int>(at);
    if (c >= '0' && c <= '9')
        return 200 + (c - '0');
    if (c >= 'a' && c <= 'z')
        return 300 + (c - 'a');
    if (c >= 'A' && c <= 'Z')
        return 300 + (c - 'A');
    return 1000 + c;  // other bytes (UTF-8 sequences) after the letters, in code order
}

// Each round walks both texts side by side, so that a sort of many names
// allocates nothing.
int sign(int value)
{
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

// The next byte at or after i that the first rounds weigh, or the end.
size_t nextWeighed(const char* s, size_t i)
{
    while (s[i] && ignoredAtFirst(static_cast<unsigned char>(s[i])))
        ++i;
    return i;
}

// The next hyphen or apostrophe at or after i, or the end.
size_t nextIgnored(const char* s, size_t i)
{
    while (s[i] && !ignoredAtFirst(static_cast<unsigned char>(s[i])))
        ++i;
    return i;
}

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

int wordSort(const char* a, const char* b, bool withCase)
{
    a = a ? a : "";
    b = b ? b : "";
    // Letters and symbols without case; a text that is a prefix of the
    // other comes first.
    for (size_t i = nextWeighed(a, 0), j = nextWeighed(b, 0);; i = nextWeighed(a, i + 1), j = nextWeighed(b, j + 1)) {
        if (!a[i] || !b[j]) {
            if (a[i] || b[j])
                return a[i] ? 1 : -1;
            break;
        }
        if (int r = primaryWeight(static_cast<unsigned char>(a[i])) - primaryWeight(static_cast<unsigned char>(b[j])))
            return sign(r);
    }
    // Case: both texts weigh the same characters now, lower case first.
    if (withCase) {
        for (size_t i = nextWeighed(a, 0), j = nextWeighed(b, 0); a[i] && b[j];
             i = nextWeighed(a, i + 1), j = nextWeighed(b, j + 1)) {
            if (isUpper(a[i]) != isUpper(b[j]))
                return isUpper(a[i]) ? 1 : -1;
        }
    }
    // Where the hyphens and apostrophes stood, then which they were.
    for (size_t i = nextIgnored(a, 0), j = nextIgnored(b, 0);; i = nextIgnored(a, i + 1), j = nextIgnored(b, j + 1)) {
        if (!a[i] || !b[j]) {
            if (a[i] || b[j])
                return a[i] ? 1 : -1;
            return 0;
        }
        if (i != j)
            return i < j ? -1 : 1;
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
    }
}

bool isSjisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isUtf8(UINT codePage)
{
    return codePage == CP_ACP || codePage == CP_UTF8;
}

size_t utf8Length(unsigned char c)
{
    if (c >= 0xC0 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF7)
        return 4;
    return 1;
}

// Start of the next character of text at p, which is not at its end.
const char* nextChar(UINT codePage, const char* p)
{
    auto c = static_cast<unsigned char>(*p);
    if (codePage == 932)
        return (isSjisLead(c) && p[1]) ? p + 2 : p + 1;
    if (isUtf8(codePage)) {
        size_t n = utf8Length(c);
        size_t i = 1;
        while (i < n && (static_cast<unsigned char>(p[i]) & 0xC0) == 0x80)
            ++i;
        return i == n ? p + n : p + 1;
    }
    return p + 1;
}

}  // namespace

extern "C" UINT GetACP(void)
{
    return CP_UTF8;
}

extern "C" int lstrcmpA(LPCSTR a, LPCSTR b)
{
    return wordSort(a, b, true);
}
extern "C" int lstrcmpiA(LPCSTR a, LPCSTR b)
{
    return wordSort(a, b, false);
}
extern "C" int lstrlenA(LPCSTR s)
{
    return s ? static_cast<int>(std::strlen(s)) : 0;
}

extern "C" LPSTR lstrcpyA(LPSTR dest, LPCSTR src)
{
    if (!dest || !src)
        return nullptr;
    return std::strcpy(dest, src);
}

extern "C" LPSTR lstrcpynA(LPSTR dest, LPCSTR src, int size)
{
    if (!dest || !src || size <= 0)
        return dest;
    int i = 0;
    for (; i < size - 1 && src[i]; ++i)
        dest[i] = src[i];
    dest[i] = '\0';
    return dest;
}

extern "C" LPSTR lstrcatA(LPSTR dest, LPCSTR src)
{
    if (!dest || !src)
        return nullptr;
    return std::strcat(dest, src);
}

extern "C" int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    constexpr size_t limit = 1024;
    if (!buffer || !format)
        return 0;
    std::string out;
    va_list args;
    va_start(args, format);
    for (const char* p = format; *p && out.size() < limit; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        // %[-][0][width][.precision][l|h]type
        std::string spec = "%";
        const char* q = p + 1;
        while (*q == '-' || *q == '0' || *q == '#')
            spec += *q++;
        while (*q >= '0' && *q <= '9')
            spec += *q++;
        if (*q == '.') {
            spec += *q++;
            while (*q >= '0' && *q <= '9')
                spec += *q++;
        }
        while (*q == 'l' || *q == 'h')
            ++q;  // LONG and DWORD are 32 bits, as on Windows
        char piece[limit + 1];
        piece[0] = '\0';
        switch (*q) {
        case 's':
        case 'S': {
            const char* s = va_arg(args, const char*);
            std::snprintf(piece, sizeof piece, (spec + "s").c_str(), s ? s : "(null)");
            break;
        }
        case 'd':
        case 'i':
            std::snprintf(piece, sizeof piece, (spec + "d").c_str(), va_arg(args, int));
            break;
        case 'u':
        case 'x':
        case 'X':
            std::snprintf(piece, sizeof piece, (spec + *q).c_str(), va_arg(args, unsigned));
            break;
        case 'c':
            std::snprintf(piece, sizeof piece, (spec + "c").c_str(), va_arg(args, int));
            break;
        case '%':
            std::strcpy(piece, "%");
            break;
        case '\0':
            --q;
            break;
        default:
            std::snprintf(piece, sizeof piece, "%c", *q);  // unknown types print themselves
            break;
        }
        out += piece;
        p = q;
    }
    va_end(args);
    if (out.size() > limit - 1)
        out.resize(limit - 1);
    std::memcpy(buffer, out.c_str(), out.size() + 1);
    return static_cast<int>(out.size());
}

extern "C" BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte)
{
    return codePage == 932 && isSjisLead(byte) ? TRUE : FALSE;
}

extern "C" LPSTR CharNextExA(WORD codePage, LPCSTR current, DWORD)
{
    if (!current || !*current)
        return const_cast<LPSTR>(current);
    return const_cast<LPSTR>(nextChar(codePage, current));
}

extern "C" LPSTR CharPrevExA(WORD codePage, LPCSTR start, LPCSTR current, DWORD)
{
    if (!start || !current || current <= start)
        return const_cast<LPSTR>(start);
    if (isUtf8(codePage)) {
        // UTF-8 can be walked backwards: skip continuation bytes.
        const char* q = current - 1;
        while (q > start && current - q < 4 && (static_cast<unsigned char>(*q) & 0xC0) == 0x80)
            --q;
        if (nextChar(codePage, q) == current)
            return const_cast<LPSTR>(q);
        return const_cast<LPSTR>(current - 1);
    }
    // A Shift-JIS trail byte can look like any ASCII byte: walk from the start.
    const char* p = start;
    for (;;) {
        const char* next = *p ? nextChar(codePage, p) : p + 1;
        if (next >= current)
            return const_cast<LPSTR>(p);
        p = next;
    }
}

extern "C" LPSTR CharPrevA(LPCSTR start, LPCSTR current)
{
    return CharPrevExA(CP_ACP, start, current, 0);
}
extern "C" LPSTR CharNextA(LPCSTR current)
{
    return CharNextExA(CP_ACP, current, 0);
}

namespace platform {

void detail::appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool lastCharIs(std::string_view text, char c, UINT codePage)
{
    if (text.empty())
        return false;
    const char* start = text.data();
    const char* end = start + text.size();
    if (isUtf8(codePage))
        return static_cast<unsigned char>(c) < 0x80 && text.back() == c;
    const char* last = start;
    for (const char* p = start; p < end;) {
        last = p;
        p = (codePage == 932 && isSjisLead(static_cast<unsigned char>(*p)) && p + 1 < end) ? p + 2 : p + 1;
    }
    return end - last == 1 && *last == c;
}

}  // namespace platform
