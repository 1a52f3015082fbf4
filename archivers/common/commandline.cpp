#include "archivers/common/commandline.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "archivers/common/pathmap.h"

namespace arc {

std::vector<Token> tokenizeCommandLine(std::string_view line)
{
    std::vector<Token> tokens;
    size_t i = 0;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < line.size()) {
        while (i < line.size() && blank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        Token t;
        t.quoted = line[i] == '"';
        bool inQuotes = false;
        while (i < line.size() && (inQuotes || !blank(line[i]))) {
            if (line[i] == '"')
                inQuotes = !inQuotes;
            else
                t.text += line[i];
            ++i;
        }
        // An empty "" names nothing (an unset or empty value).
        if (!t.text.empty())
            tokens.push_back(std::move(t));
    }
    return tokens;
}

std::optional<std::string> loadResponseFile(const std::string& windowsPath)
{
    constexpr size_t kLimit = 16u << 20;
    const std::string path = toPosix(windowsPath);
    if (path.empty())
        return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 || data.size() + static_cast<size_t>(n) > kLimit) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool endsWithSeparator(const std::string& s)
{
    return !s.empty() && (s.back() == '\\' || s.back() == '/');
}

std::string slashes(std::string s)
{
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

// Collects the plain (non-switch) tokens: archive, then a folder ending in
// "\" right after it, then patterns; "@file" expands to patterns.
class Operands {
public:
    Operands(ParsedCommand& out, const FileLoader& loader) : m_out(out), m_loader(loader) {}

    bool add(const Token& t)
    {
        CommandRequest& r = m_out.request;
        if (t.text.size() > 1 && t.text[0] == '@') {
            if (r.archive.empty())
                return fail("response file before the archive name");
            const auto content = m_loader ? m_loader(t.text.substr(1)) : std::nullopt;
            if (!content)
                return fail("cannot read response file " + t.text.substr(1));
            for (const Token& name : tokenizeCommandLine(*content))
                r.patterns.push_back(slashes(name.text));
            m_afterArchive = false;
            return true;
        }
        if (r.archive.empty() && !m_archiveFromSwitch) {
            r.archive = t.text;
            m_afterArchive = true;
            return true;
        }
        if (m_afterArchive && r.destination.empty() && endsWithSeparator(t.text)) {
            r.destination = t.text;
            m_afterArchive = false;
            return true;
        }
        m_afterArchive = false;
        r.patterns.push_back(slashes(t.text));
        return true;
    }
    void archiveFromSwitch(const std::string& name)
    {
        m_out.request.archive = name;
        m_archiveFromSwitch = true;
        m_afterArchive = true;
    }
    bool fail(std::string message)
    {
        m_out.code = ArcBadCommand;
        m_out.message = std::move(message);
        return false;
    }

private:
    ParsedCommand& m_out;
    const FileLoader& m_loader;
    bool m_afterArchive = false;
    bool m_archiveFromSwitch = false;
};

ParsedCommand notSupported(const std::string& word)
{
    ParsedCommand p;
    p.code = ArcNotSupported;
    p.message = "command not supported: " + word;
    return p;
}

// LHA: "x"/"e"/"t" + switches "-c1", "-x0", "-+", "-jo..." (quoted or not).
ParsedCommand parseLha(const std::vector<Token>& tokens, bool withCommandWord, const FileLoader& loader)
{
    ParsedCommand p;
    size_t i = 0;
    bool flatByWord = false;
    std::optional<bool> flatBySwitch;
    if (withCommandWord || (!tokens.empty() && !tokens[0].quoted && tokens[0].text.size() == 1 &&
                            std::string("xXeE").find(tokens[0].text[0]) != std::string::npos)) {
        if (tokens.empty())
            return Operands(p, loader).fail("empty command line"), p;
        const std::string word = lower(tokens[0].text);
        if (word == "x")
            flatByWord = false;
        else if (word == "e")
            flatByWord = true;
        else if (word == "t")
            p.request.command = Command::Test;
        else
            return notSupported(tokens[0].text);
        i = 1;
    }
    p.request.overwrite = Overwrite::IfNewer;
    Operands operands(p, loader);
    for (; i < tokens.size(); ++i) {
        const std::string& s = tokens[i].text;
        if (s.size() > 1 && s[0] == '-') {
            const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(s[1])));
            const std::string value = s.substr(2);
            if (letter == 'c')
                p.request.overwrite = (value.empty() || value != "0") ? Overwrite::Always : Overwrite::IfNewer;
            else if (letter == 'x')
                flatBySwitch = value == "0";
            // Every other switch (progress, messages, attributes, -j*, -g*) does
            // not change what is extracted where.
            continue;
        }
        if (!operands.add(tokens[i]))
            return p;
    }
    p.request.flat = flatBySwitch.value_or(flatByWord);
    return p;
}

// ZIP, CAB and RAR: an optional dash command first, then dash switches.
ParsedCommand parseDash(Dialect dialect, const std::vector<Token>& tokens, const FileLoader& loader)
{
    ParsedCommand p;
    CommandRequest& r = p.request;
    r.brackets = dialect == Dialect::Zip;
    r.overwrite = dialect == Dialect::Rar ? Overwrite::Always : Overwrite::Never;
    r.flat = false;
    Operands operands(p, loader);
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        const bool isSwitch = !t.quoted && t.text.size() > 1 && t.text[0] == '-';
        if (!isSwitch) {
            if (!operands.add(t))
                return p;
            continue;
        }
        const std::string s = lower(t.text);
        const bool first = i == 0;
        if (s == "-x") {
            if (!first)
                return operands.fail("misplaced -x"), p;
        } else if (s == "-e" && dialect == Dialect::Rar) {
            if (!first)
                return operands.fail("misplaced -e"), p;
            r.flat = true;
        } else if (s == "-t" && first) {
            r.command = Command::Test;
        } else if (s == "-o" || (dialect == Dialect::Rar && s == "-o+")) {
            r.overwrite = Overwrite::Always;
        } else if (s == "-n" && dialect != Dialect::Rar) {
            r.overwrite = Overwrite::Never;
        } else if (s == "-u" && dialect == Dialect::Rar) {
            r.overwrite = Overwrite::IfNewer;
        } else if (s == "-j" && dialect != Dialect::Rar) {
            r.flat = true;
        } else if (first && (s == "-a" || s == "-d" || s == "-f" || s == "-ru")) {
            // Packing, deleting, freshening, self-extractors.
            return notSupported(t.text);
        }
        // Other switches (--i, -i, -q, -r, -y, -s) only concern dialogs,
        // messages and recursion while packing.
    }
    return p;
}

// tar: "x" + "--use-directory=N", "-f ARCHIVE", "-o FOLDER", filters.
ParsedCommand parseTar(const std::vector<Token>& tokens, bool withCommandWord, const FileLoader& loader)
{
    ParsedCommand p;
    CommandRequest& r = p.request;
    r.overwrite = Overwrite::Always;
    Operands operands(p, loader);
    size_t i = 0;
    if (!tokens.empty() && !tokens[0].quoted) {
        const std::string word = lower(tokens[0].text);
        if (word == "x" || word == "-x" || word == "e") {
            i = 1;
        } else if (word == "t" || word == "-t") {
            r.command = Command::Test;
            i = 1;
        } else if (withCommandWord && word[0] != '-') {
            return notSupported(tokens[0].text);  // c (packing) and anything else
        }
    }
    for (; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.quoted || t.text.size() < 2 || t.text[0] != '-') {
            if (!operands.add(t))
                return p;
            continue;
        }
        const std::string s = lower(t.text);
        if (s == "-f" || s == "-o") {
            if (i + 1 >= tokens.size())
                return operands.fail(s + " without a value"), p;
            const std::string& value = tokens[++i].text;
            if (s == "-f")
                operands.archiveFromSwitch(value);
            else
                r.destination = value;
        } else if (s.rfind("--use-directory=", 0) == 0) {
            r.flat = s.substr(16) == "0";
        }
        // -z, -zN, -B, -BN, -AH, -I, -g, --check-all-path=N,
        // --display-dialog=N: compression and dialogs, read from the file.
    }
    return p;
}

}  // namespace

ParsedCommand parseCommandLine(Dialect dialect, std::string_view line, bool withCommandWord, const FileLoader& loader)
{
    const std::vector<Token> tokens = tokenizeCommandLine(line);
    ParsedCommand p;
    if (tokens.empty()) {
        p.code = ArcBadCommand;
        p.message = "empty command line";
        return p;
    }
    switch (dialect) {
    case Dialect::Lha:
        p = parseLha(tokens, withCommandWord, loader);
        break;
    case Dialect::Tar:
        p = parseTar(tokens, withCommandWord, loader);
        break;
    case Dialect::Zip:
    case Dialect::Cab:
    case Dialect::Rar:
        p = parseDash(dialect, tokens, loader);
        break;
    }
    if (p.code == ArcOk && p.request.archive.empty()) {
        p.code = ArcBadCommand;
        p.message = "no archive named";
    }
    return p;
}

}  // namespace arc
