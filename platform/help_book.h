// Help files on Linux: a help file named like "C:\...\TIDEBELL.HLP" stands
// for an HTML book, the folder "TIDEBELL.help" beside it (or, for an
// installed program, in ../share/tidebell/). The book's "contexts.map" maps
// context numbers to pages and pop-up topics, as a help file's map does:
//
//   # context  kind   file[#anchor]
//   0          page   index.html
//   31         popup  popup/31.html
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace platform {

struct HelpTopic {
    enum class Kind { Page, Popup } kind = Kind::Page;
    std::string file;    // POSIX path of the page or pop-up text
    std::string anchor;  // without "#"; may be empty
};

class HelpBook {
public:
    // The book a help file stands for; nothing when no folder of that name
    // exists or it has no readable map. `error` then says which folder was
    // looked for (UTF-8, for the user).
    static std::optional<HelpBook> open(const std::string& helpFileWindowsPath, std::string* error = nullptr);

    const std::string& folder() const { return m_folder; }
    // The topic of a context number; nothing when the map does not list it.
    std::optional<HelpTopic> topic(uint32_t context) const;
    // The contents: context 0 when the map lists it, else index.html.
    HelpTopic contents() const;

    // The map's lines; exposed so tests can check a book's map.
    static std::map<uint32_t, HelpTopic> parseMap(const std::string& text, const std::string& folder);

private:
    std::string m_folder;
    std::map<uint32_t, HelpTopic> m_topics;
};

// The contents of a pop-up topic file (UTF-8 HTML fragment); empty when it
// cannot be read.
std::string readHelpText(const std::string& posixPath);

}  // namespace platform
