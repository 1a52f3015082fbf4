// libFuzzer target over everything that reads command-line text: the
// dialects' parsers (with a response file holding the input as well), the
// wildcard matcher, the safe-name rules and the name decoder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "archivers/common/commandline.h"
#include "archivers/common/safepath.h"
#include "archivers/common/wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto loader = [&](const std::string&) -> std::optional<std::string> { return text; };
    for (arc::Dialect d :
         {arc::Dialect::Lha, arc::Dialect::Zip, arc::Dialect::Cab, arc::Dialect::Tar, arc::Dialect::Rar}) {
        for (bool withWord : {true, false}) {
            const arc::ParsedCommand p = arc::parseCommandLine(d, text, withWord, loader);
            for (const std::string& pattern : p.request.patterns) {
                (void)arc::wildcardMatch(pattern, text, p.request.brackets);
                (void)arc::wildcardMatch(text, pattern, p.request.brackets);
            }
        }
    }
    const size_t half = size / 2;
    (void)arc::wildcardMatch(text.substr(0, half), text.substr(half), true);
    (void)arc::splitWildcards(text.c_str());
    (void)arc::safeComponents(text);
    (void)arc::nameToUtf8(text);
    return 0;
}
