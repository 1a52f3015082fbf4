// File-name patterns as the LHA tool reads them: "*" any run of characters,
// "?" one character (a UTF-8 sequence counts as one), letters without case.
// A pattern without a folder part matches the last part of every name
// ("*.wav" finds "snd/a.wav" and "B.WAV"); one with a folder part matches the
// whole name. "*.*" matches every name, with or without a dot. "\" and "/"
// both separate folders. With brackets on (the ZIP dialect), "[abc]", "[a-z]"
// and "[!abc]" are character classes, so "[[]" is a literal "[".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace arc {

bool wildcardMatch(std::string_view pattern, std::string_view name, bool brackets = false);

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
    bool m_brackets = false;
};

// Splits a FindFirst wildcard argument into patterns: blanks separate them,
// double quotes keep blanks inside one. Empty or null: no pattern (all).
std::vector<std::string> splitWildcards(const char* text);

}  // namespace arc
