#include "archive/filelist.h"

#include <cstdio>
#include <type_traits>

namespace archives {
namespace {

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool isSurrogate(char32_t cp)
{
    return cp >= 0xD800 && cp <= 0xDFFF;
}

// Wide text to the ANSI code page (UTF-8 here). Characters that cannot be
// represented become "?", as the system's own conversion does.
std::string wideToAnsi(const std::u16string& w)
{
    std::string out;
    for (std::size_t k = 0; k < w.size(); ++k) {
        char32_t cp = w[k];
        if (cp >= 0xD800 && cp <= 0xDBFF && k + 1 < w.size() && w[k + 1] >= 0xDC00 && w[k + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[k + 1] - 0xDC00);
            ++k;
        } else if (isSurrogate(cp)) {
            cp = '?';
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string wideToAnsi(const std::wstring& w)
{
    if constexpr (sizeof(wchar_t) == 2) {
        return wideToAnsi(std::u16string(w.begin(), w.end()));
    } else {
        std::string out;
        for (wchar_t ch : w) {
            char32_t cp = char32_t(ch);
            appendUtf8(out, (cp > 0x10FFFF || isSurrogate(cp)) ? char32_t('?') : cp);
        }
        return out;
    }
}

void addName(TStringList& out, std::string name)
{
    if (!name.empty())
        out.push_back(std::move(name));
}

}  // namespace

std::string VariantToText(const Variant& v)
{
    return std::visit(
        [](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, bool>) {
                return x ? "True" : "False";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return std::to_string(x);
            } else if constexpr (std::is_same_v<T, double>) {
                char buf[40];
                std::snprintf(buf, sizeof buf, "%.15g", x);
                return buf;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return x;
            } else {
                // Unassigned, or an array nested where one text is expected.
                return {};
            }
        },
        v.value);
}

TStringList FileListToStrings(const FileList& list)
{
    TStringList out;
    for (const FileListItem& item : list) {
        std::visit(
            [&out](const auto& x) {
                using T = std::decay_t<decltype(x)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    addName(out, x);
                } else if constexpr (std::is_same_v<T, const char*>) {
                    if (x)
                        addName(out, x);
                } else if constexpr (std::is_same_v<T, CStringArray>) {
                    for (CStringArray p = x; p && *p; ++p)
                        addName(out, *p);
                } else if constexpr (std::is_same_v<T, TStringList>) {
                    for (const std::string& s : x)
                        addName(out, s);
                } else if constexpr (std::is_same_v<T, std::u16string> || std::is_same_v<T, std::wstring>) {
                    addName(out, wideToAnsi(x));
                } else if constexpr (std::is_same_v<T, Variant>) {
                    if (const auto* arr = std::get_if<Variant::Array>(&x.value)) {
                        for (const Variant& element : *arr)
                            addName(out, VariantToText(element));
                    } else {
                        addName(out, VariantToText(x));
                    }
                }
                // Numbers, Booleans and characters contribute nothing.
            },
            item);
    }
    return out;
}

}  // namespace archives
