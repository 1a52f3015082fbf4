#include "archivers/common/wildcard.h"

#include <array>
#include <cstring>
#include <string.h>

namespace arc {

namespace {

size_t charLength(std::string_view s, size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    size_t len = 1;
    if (c >= 0xF0)
        len = 4;
    else if (c >= 0xE0)
        len = 3;
    else if (c >= 0xC0)
        len = 2;
    return i + len <= s.size() ? len : s.size() - i;
}

constexpr char foldByte(char c)
{
    if (c == '\\')
        return '/';
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// foldByte of every byte, looked up: extraction folds the names of every
// entry of the archive.
constexpr std::array<char, 256> kFolded = [] {
    std::array<char, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[static_cast<size_t>(b)] = foldByte(static_cast<char>(b));
    return t;
}();

char fold(char c)
{
    return kFolded[static_cast<unsigned char>(c)];
}

// Whether the folded bytes of `name` from `at` on start with `folded`.
bool foldedEqualAt(std::string_view name, size_t at, std::string_view folded)
{
    // Backwards: the names of one folder share their start.
    for (size_t i = folded.size(); i-- > 0;)
        if (fold(name[at + i]) != folded[i])
            return false;
    return true;
}

std::string folded(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = fold(c);
    return out;
}

// Does the class "[...]" (text from "[" to "]", already folded) take the
// folded character `c`?
bool classTakes(std::string_view cls, std::string_view c)
{
    size_t i = 1;
    bool negate = false;
    if (i < cls.size() && (cls[i] == '!' || cls[i] == '^')) {
        negate = true;
        ++i;
    }
    bool matched = false;
    bool first = true;
    const size_t end = cls.size() - 1;  // the closing "]"
    while (i < end && (cls[i] != ']' || first)) {
        first = false;
        const size_t clen = charLength(cls, i);
        if (clen == 1 && c.size() == 1 && i + 2 < end && cls[i + 1] == '-') {
            if (cls[i] <= c[0] && c[0] <= cls[i + 2])
                matched = true;
            i += 3;
            continue;
        }
        if (cls.substr(i, clen) == c)
            matched = true;
        i += clen;
    }
    return matched != negate;
}

// End of the class starting at p[i] ("["), past its "]"; npos when it is
// not closed (then "[" is a literal).
size_t classEnd(std::string_view p, size_t i)
{
    size_t k = i + 1;
    if (k < p.size() && (p[k] == '!' || p[k] == '^'))
        ++k;
    bool first = true;
    while (k < p.size() && (p[k] != ']' || first)) {
        first = false;
        k += charLength(p, k);
    }
    return k < p.size() ? k + 1 : std::string_view::npos;
}

}  // namespace

// A name as characters: the folded bytes and where each character starts.
struct WildcardPattern::Name {
    std::string text;
    std::vector<size_t> starts;  // one per character, plus text.size()
    size_t count() const { return starts.size() - 1; }
    std::string_view at(size_t k) const { return std::string_view(text).substr(starts[k], starts[k + 1] - starts[k]); }
};

WildcardPattern::WildcardPattern(std::string_view pattern, bool brackets)
{
    const std::string p = folded(trimFolderSlashes(pattern));
    m_all = p.empty() || p == "*" || p == "*.*";
    m_wholeName = p.find('/') != std::string::npos;
    Segment current;
    auto flush = [&] {
        m_segments.push_back(std::move(current));
        current = Segment();
    };
    for (size_t i = 0; i < p.size();) {
        if (p[i] == '*') {
            flush();
            while (i < p.size() && p[i] == '*')
                ++i;
            continue;
        }
        Unit u;
        if (p[i] == '?') {
            u.kind = Unit::Any;
            ++i;
        } else if (p[i] == '[' && brackets && classEnd(p, i) != std::string_view::npos) {
            const size_t end = classEnd(p, i);
            u.kind = Unit::Class;
            u.text = p.substr(i, end - i);
            i = end;
        } else {
            const size_t len = charLength(p, i);
            u.text = p.substr(i, len);
            i += len;
        }
        if (u.kind != Unit::Char)
            current.literal = false;
        current.units.push_back(std::move(u));
    }
    flush();
    for (Segment& s : m_segments)
        if (s.literal)
            for (const Unit& u : s.units)
                s.text += u.text;
    m_plain = m_segments.size() == 1 && m_segments.front().literal;
}

std::string_view WildcardPattern::trimFolderSlashes(std::string_view s)
{
    while (!s.empty() && (s.back() == '/' || s.back() == '\\'))
        s.remove_suffix(1);
    while (!s.empty() && (s.front() == '/' || s.front() == '\\'))
        s.remove_prefix(1);
    return s;
}

bool WildcardPattern::unitTakes(const Unit& u, std::string_view c)
{
    switch (u.kind) {
    case Unit::Any:
        return true;
    case Unit::Class:
        return classTakes(u.text, c);
    case Unit::Char:
        break;
    }
    return u.text == c;
}

bool WildcardPattern::matchesAt(const Segment& s, const Name& n, size_t at)
{
    if (s.units.size() > n.count() - at)
        return false;
    if (s.literal)
        return std::string_view(n.text).substr(n.starts[at], n.starts[at + s.units.size()] - n.starts[at]) == s.text;
    for (size_t k = 0; k < s.units.size(); ++k)
        if (!unitTakes(s.units[k], n.at(at + k)))
            return false;
    return true;
}

size_t WildcardPattern::find(const Segment& s, const Name& n, size_t from)
{
    const size_t m = s.units.size();
    if (m == 0)
        return from;
    if (s.literal) {
        // A linear search (two-way) on the bytes; a hit inside a character
        // is no hit.
        size_t byte = n.starts[from];
        while (byte + s.text.size() <= n.text.size()) {
            const void* hit = ::memmem(n.text.data() + byte, n.text.size() - byte, s.text.data(), s.text.size());
            if (!hit)
                return std::string_view::npos;
            const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - n.text.data());
            size_t lo = from, hi = n.count();
            while (lo < hi) {  // the character starting at byte `at`, if any
                const size_t mid = (lo + hi) / 2;
                if (n.starts[mid] < at)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            if (lo < n.count() && n.starts[lo] == at && matchesAt(s, n, lo))
                return lo;
            byte = at + 1;
        }
        return std::string_view::npos;
    }
    // Shift-and over characters: bit k of `state` says the last k+1
    // characters match the segment's first k+1 units. Each distinct
    // character's mask is worked out once.
    const size_t words = (m + 63) / 64;
    std::vector<uint64_t> state(words, 0), mask(words);
    std::vector<std::pair<std::string_view, std::vector<uint64_t>>> seen;
    for (size_t j = from; j < n.count(); ++j) {
        const std::string_view c = n.at(j);
        const std::vector<uint64_t>* cm = nullptr;
        for (const auto& [ch, bits] : seen)
            if (ch == c) {
                cm = &bits;
                break;
            }
        if (!cm) {
            std::fill(mask.begin(), mask.end(), 0);
            for (size_t k = 0; k < m; ++k)
                if (unitTakes(s.units[k], c))
                    mask[k / 64] |= uint64_t(1) << (k % 64);
            seen.emplace_back(c, mask);
            cm = &seen.back().second;
        }
        uint64_t carry = 1;
        for (size_t w = 0; w < words; ++w) {
            const uint64_t next = state[w] >> 63;
            state[w] = ((state[w] << 1) | carry) & (*cm)[w];
            carry = next;
        }
        if (state[(m - 1) / 64] & (uint64_t(1) << ((m - 1) % 64)))
            return j + 1 - m;
    }
    return std::string_view::npos;
}

bool WildcardPattern::matches(std::string_view nameText) const
{
    if (m_all)
        return true;
    nameText = trimFolderSlashes(nameText);
    if (!m_wholeName) {
        size_t start = nameText.size();
        while (start > 0 && nameText[start - 1] != '/' && nameText[start - 1] != '\\')
            --start;
        nameText.remove_prefix(start);
    }
    // Folding maps byte to byte, so equal folded bytes are equal
    // characters: a pattern without wildcards is compared in place, as
    // extraction tries the patterns against every name of the archive.
    if (m_plain) {
        const std::string& text = m_segments.front().text;
        return nameText.size() == text.size() && foldedEqualAt(nameText, 0, text);
    }
    return matchesParts(nameText);
}

bool WildcardPattern::matchesParts(std::string_view nameText) const
{
    // A name that matches starts with the folded bytes of a literal head
    // and ends with those of a literal tail: compared in place before the
    // name is split into characters.
    const Segment& head = m_segments.front();
    const Segment& tail = m_segments.back();
    if (head.literal && (head.text.size() > nameText.size() || !foldedEqualAt(nameText, 0, head.text)))
        return false;
    if (m_segments.size() > 1 && tail.literal &&
        (tail.text.size() > nameText.size() || !foldedEqualAt(nameText, nameText.size() - tail.text.size(), tail.text)))
        return false;
    Name n;
    n.text = folded(nameText);
    n.starts.reserve(n.text.size() + 1);
    for (size_t i = 0; i < n.text.size(); i += charLength(n.text, i))
        n.starts.push_back(i);
    n.starts.push_back(n.text.size());

    if (m_segments.size() == 1)  // no "*": the whole name, character for character
        return head.units.size() == n.count() && matchesAt(head, n, 0);
    size_t minimum = 0;
    for (const Segment& s : m_segments)
        minimum += s.units.size();
    if (minimum > n.count())
        return false;
    if (!matchesAt(head, n, 0) || !matchesAt(tail, n, n.count() - tail.units.size()))
        return false;
    // The segments between stars, each at its first place after the one
    // before: the first place is never worse than a later one.
    size_t at = head.units.size();
    const size_t end = n.count() - tail.units.size();
    for (size_t k = 1; k + 1 < m_segments.size(); ++k) {
        const size_t hit = find(m_segments[k], n, at);
        if (hit == std::string_view::npos || hit + m_segments[k].units.size() > end)
            return false;
        at = hit + m_segments[k].units.size();
    }
    return true;
}

bool wildcardMatch(std::string_view pattern, std::string_view name, bool brackets)
{
    return WildcardPattern(pattern, brackets).matches(name);
}

WildcardSet::WildcardSet(std::vector<std::string> patterns, bool brackets) : m_patterns(std::move(patterns))
{
    for (const std::string& p : m_patterns)
        m_compiled.emplace_back(p, brackets);
}

int WildcardSet::firstMatch(std::string_view name) const
{
    for (size_t i = 0; i < m_compiled.size(); ++i)
        if (m_compiled[i].matches(name))
            return static_cast<int>(i);
    return -1;
}

bool WildcardSet::matches(std::string_view name) const
{
    return m_patterns.empty() || firstMatch(name) >= 0;
}

std::vector<std::string> splitWildcards(const char* text)
{
    std::vector<std::string> out;
    if (!text)
        return out;
    std::string current;
    bool quoted = false, any = false;
    for (const char* p = text; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (*p == ' ' || *p == '\t')) {
            if (!current.empty())
                out.push_back(current);
            current.clear();
            any = false;
        } else {
            current += *p;
            any = true;
        }
    }
    if (any && !current.empty())
        out.push_back(current);
    return out;
}

}  // namespace arc
