#include "archivers/common/wildcard.h"

namespace arc {

namespace {

size_t charLength(std::string_view s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t len = 1;
    if (c >= 0xF0) len = 4;
    else if (c >= 0xE0) len = 3;
    else if (c >= 0xC0) len = 2;
    return i + len <= s.size() ? len : s.size() - i;
}

char fold(char c) {
    if (c == '\\') return '/';
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameChar(std::string_view a, size_t ai, size_t alen, std::string_view b, size_t bi, size_t blen) {
    if (alen != blen) return false;
    for (size_t k = 0; k < alen; ++k)
        if (fold(a[ai + k]) != fold(b[bi + k])) return false;
    return true;
}

// Matches a class "[...]" starting at p[pi] against the character at
// n[ni..ni+nlen). Sets `end` past the class; false in `valid` when the class
// is not closed (then "[" is literal).
bool matchClass(std::string_view p, size_t pi, std::string_view n, size_t ni, size_t nlen, size_t& end,
                bool& valid) {
    size_t i = pi + 1;
    bool negate = false;
    if (i < p.size() && (p[i] == '!' || p[i] == '^')) {
        negate = true;
        ++i;
    }
    bool matched = false;
    bool first = true;
    while (i < p.size() && (p[i] != ']' || first)) {
        first = false;
        const size_t clen = charLength(p, i);
        if (clen == 1 && nlen == 1 && i + 2 < p.size() && p[i + 1] == '-' && p[i + 2] != ']') {
            const char lo = fold(p[i]), hi = fold(p[i + 2]), c = fold(n[ni]);
            if (lo <= c && c <= hi) matched = true;
            i += 3;
            continue;
        }
        if (sameChar(p, i, clen, n, ni, nlen)) matched = true;
        i += clen;
    }
    if (i >= p.size()) {
        valid = false;
        return false;
    }
    valid = true;
    end = i + 1;
    return matched != negate;
}

bool matchFrom(std::string_view p, size_t pi, std::string_view n, size_t ni, bool brackets) {
    // Iterative with one back-track point for the last "*" (linear enough for
    // names; no exponential blow-up on hostile patterns).
    size_t starP = std::string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size()) {
            const char pc = p[pi];
            const size_t nlen = charLength(n, ni);
            if (pc == '*') {
                starP = ++pi;
                starN = ni;
                continue;
            }
            if (pc == '?') {
                ++pi;
                ni += nlen;
                continue;
            }
            if (pc == '[' && brackets) {
                size_t end = 0;
                bool valid = false;
                const bool ok = matchClass(p, pi, n, ni, nlen, end, valid);
                if (valid) {
                    if (ok) {
                        pi = end;
                        ni += nlen;
                        continue;
                    }
                } else if (sameChar(p, pi, 1, n, ni, nlen)) {
                    ++pi;
                    ni += nlen;
                    continue;
                }
            } else {
                const size_t plen = charLength(p, pi);
                if (sameChar(p, pi, plen, n, ni, nlen)) {
                    pi += plen;
                    ni += nlen;
                    continue;
                }
            }
        }
        if (starP == std::string_view::npos) return false;
        pi = starP;
        starN += charLength(n, starN);
        ni = starN;
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

std::string_view trimFolderSlashes(std::string_view s) {
    while (!s.empty() && (s.back() == '/' || s.back() == '\\')) s.remove_suffix(1);
    while (!s.empty() && (s.front() == '/' || s.front() == '\\')) s.remove_prefix(1);
    return s;
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name, bool brackets) {
    pattern = trimFolderSlashes(pattern);
    name = trimFolderSlashes(name);
    if (pattern.empty() || pattern == "*" || pattern == "*.*") return true;
    if (pattern.find_first_of("/\\") == std::string_view::npos) {
        const size_t slash = name.find_last_of("/\\");
        if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    }
    return matchFrom(pattern, 0, name, 0, brackets);
}

WildcardSet::WildcardSet(std::vector<std::string> patterns, bool brackets)
    : m_patterns(std::move(patterns)), m_brackets(brackets) {}

int WildcardSet::firstMatch(std::string_view name) const {
    for (size_t i = 0; i < m_patterns.size(); ++i)
        if (wildcardMatch(m_patterns[i], name, m_brackets)) return static_cast<int>(i);
    return -1;
}

bool WildcardSet::matches(std::string_view name) const {
    return m_patterns.empty() || firstMatch(name) >= 0;
}

std::vector<std::string> splitWildcards(const char* text) {
    std::vector<std::string> out;
    if (!text) return out;
    std::string current;
    bool quoted = false, any = false;
    for (const char* p = text; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (*p == ' ' || *p == '\t')) {
            if (!current.empty()) out.push_back(current);
            current.clear();
            any = false;
        } else {
            current += *p;
            any = true;
        }
    }
    if (any && !current.empty()) out.push_back(current);
    return out;
}

}  // namespace arc
