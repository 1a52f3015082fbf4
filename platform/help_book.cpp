#include "platform/help_book.h"

#include <fstream>
#include <sstream>

#include "platform/internal.h"
#include "platform/platform.h"

namespace platform {
namespace {

constexpr char kMapName[] = "contexts.map";
constexpr std::streamsize kLargestText = 1 << 20;

std::optional<std::string> readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(static_cast<size_t>(kLargestText), '\0');
    in.read(text.data(), kLargestText);
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

}  // namespace

std::optional<HelpBook> HelpBook::open(const std::string& helpFileWindowsPath, std::string* error)
{
    const std::string helpFile = toPosixPath(helpFileWindowsPath);
    const size_t slash = helpFile.find_last_of('/');
    if (helpFile.empty() || slash == std::string::npos || slash + 1 == helpFile.size()) {
        if (error)
            *error = "ヘルプファイルの場所がわかりません: " + helpFileWindowsPath;
        return std::nullopt;
    }
    std::string name = helpFile.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    const std::string folder = helpFile.substr(0, slash);
    const std::string besideIt = detail::posixJoin(folder, name + ".help");
    const std::string installed = detail::posixJoin(detail::posixParent(folder), "share/tidebell/" + name + ".help");
    for (const std::string& candidate : {besideIt, installed}) {
        if (!detail::posixIsDirectory(candidate))
            continue;
        const std::optional<std::string> map = readText(detail::posixJoin(candidate, kMapName));
        if (!map)
            continue;
        HelpBook book;
        book.m_folder = candidate;
        book.m_topics = parseMap(*map, candidate);
        return book;
    }
    if (error)
        *error = "ヘルプが見つかりません。\n" + besideIt + " にヘルプ (" + kMapName + ") がありません";
    return std::nullopt;
}

std::map<uint32_t, HelpTopic> HelpBook::parseMap(const std::string& text, const std::string& folder)
{
    std::map<uint32_t, HelpTopic> topics;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string number, kind, target;
        if (!(fields >> number >> kind >> target) || number[0] == '#')
            continue;
        uint32_t context = 0;
        try {
            size_t used = 0;
            const unsigned long n = std::stoul(number, &used);
            if (used != number.size() || n > 0xFFFFFFFFul)
                continue;
            context = static_cast<uint32_t>(n);
        } catch (const std::exception&) {
            continue;
        }
        // Pages stay inside the book: no absolute paths, no way up.
        if (target[0] == '/' || target.find("..") != std::string::npos)
            continue;
        HelpTopic topic;
        if (kind == "page")
            topic.kind = HelpTopic::Kind::Page;
        else if (kind == "popup")
            topic.kind = HelpTopic::Kind::Popup;
        else
            continue;
        const size_t hash = target.find('#');
        topic.file = detail::posixJoin(folder, target.substr(0, hash));
        if (hash != std::string::npos)
            topic.anchor = target.substr(hash + 1);
        topics.emplace(context, std::move(topic));
    }
    return topics;
}

std::optional<HelpTopic> HelpBook::topic(uint32_t context) const
{
    auto it = m_topics.find(context);
    if (it == m_topics.end())
        return std::nullopt;
    return it->second;
}

HelpTopic HelpBook::contents() const
{
    std::optional<HelpTopic> first = topic(0);
    if (first && first->kind == HelpTopic::Kind::Page)
        return *first;
    return HelpTopic{HelpTopic::Kind::Page, detail::posixJoin(m_folder, "index.html"), {}};
}

std::string readHelpText(const std::string& posixPath)
{
    return readText(posixPath).value_or(std::string());
}

}  // namespace platform
