// File-name patterns as the LHA tool reads them: "*" any run of characters,
// "?" one character (a UTF-8 sequence counts as one), letters without case.
// A pattern without a folder part matches the last part of every name
// ("*.wav" finds "snd/a.wav" and "B.WAV"); one with a folder part matches the
// whole name. "*.*" matches every name, with or without a dot. "\" and "/"
// both separate folders. With brackets on (the ZIP dialect), "[abc]", "[a-z]"
// and "[!abc]" are character classes, so "[[]" is a literal "[".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace arc {

//
// Matching costs about the length of the name and the pattern together
// (never their product): a pattern without wildcards compares as a string,
// the parts between stars are each searched once, left to right.
bool wildcardMatch(std::string_view pattern, std::string_view name, bool brackets = false);

// One pattern, prepared once for many names.
class WildcardPattern {
public:
    explicit WildcardPattern(std::string_view pattern, bool brackets = false);
    bool matches(std::string_view name) const;

private:
    struct Unit {
        enum Kind : uint8_t { Char, Any, Class } kind = Char;
        std::string text;  // the character, or the whole class "[...]" (folded)
    };
    struct Segment {  // what stands between two stars
        std::vector<Unit> units;
        bool literal = true;
        std::string text;  // the characters of a literal segment
    };
    struct Name;

    static std::string_view trimFolderSlashes(std::string_view s);
    static bool unitTakes(const Unit& u, std::string_view c);
    static bool matchesAt(const Segment& s, const Name& n, size_t at);
    // First character index at or after `from` where `s` matches, or npos.
    static size_t find(const Segment& s, const Name& n, size_t from);
    // matches() for a pattern with wildcards, given the part of the name it is held to.
    bool matchesParts(std::string_view nameText) const;

    std::vector<Segment> m_segments;  // at least one; n stars make n + 1
    bool m_all = false;               // "", "*" or "*.*"
    bool m_wholeName = false;         // the pattern names folders
    bool m_plain = false;             // no wildcard: one literal segment
};

class WildcardSet {
public:
    WildcardSet() = default;  // matches everything
    explicit WildcardSet(std::vector<std::string> patterns, bool brackets = false);

    // True when no pattern was given or any pattern matches.
    bool matches(std::string_view name) const;
    bool empty() const { return m_patterns.empty(); }
    const std::vector<std::string>& patterns() const { return m_patterns; }
    // Index of the first pattern matching `name`, or -1.
    int firstMatch(std::string_view name) const;

private:
    std::vector<std::string> m_patterns;
    std::vector<WildcardPattern> m_compiled;
};

// Splits a FindFirst wildcard argument into patterns: blanks separate them,
// double quotes keep blanks inside one. Empty or null: no pattern (all).
std::vector<std::string> splitWildcards(const char* text);

}  // namespace arc
