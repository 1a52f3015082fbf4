#include "archivers/common/safepath.h"

namespace arc {

std::vector<std::string> safeComponents(std::string_view name)
{
    std::vector<std::string> parts;
    std::string current;
    auto flush = [&] {
        // "." and ".." (also with trailing blanks or dots, which Windows
        // ignores) never name a real child.
        const bool onlyDots = !current.empty() && current.find_first_not_of(". ") == std::string::npos;
        // A drive designator ("C:") only at the very start.
        const bool drive = parts.empty() && current.size() == 2 && current[1] == ':' &&
                           ((current[0] | 0x20) >= 'a' && (current[0] | 0x20) <= 'z');
        if (!current.empty() && !onlyDots && !drive)
            parts.push_back(current);
        current.clear();
    };
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '/' || c == '\\') {
            flush();
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            current += '_';
        } else {
            current += c;
            // "C:name" (drive-relative): drop the drive, keep the name.
            if (parts.empty() && current.size() == 2 && c == ':' && i + 1 < name.size() && name[i + 1] != '/' &&
                name[i + 1] != '\\' && ((current[0] | 0x20) >= 'a' && (current[0] | 0x20) <= 'z'))
                current.clear();
        }
    }
    flush();
    return parts;
}

}  // namespace arc
