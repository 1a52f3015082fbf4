#include "platform/sound_theme_places.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/desktop_files.h"
#include "platform/internal.h"
#include "platform/platform.h"

// After win32.h, whose TRUE and FALSE GLib then leaves alone.
#include "platform/gio_loader.h"

extern char** environ;

namespace platform::desktop {
namespace {

bool isFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// How long we wait on the session bus, directly or through a settings tool:
// a bus that hangs would otherwise hang the window that asked.
constexpr int kBusTimeoutMs = 2000;

// Whether the session has a bus: over it the settings daemon of Xfce owns
// its channel (a file written behind its back would be overwritten), and
// Plasma's programs hear of changed settings.
bool sessionBus()
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    return runtime && *runtime && ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// ---- GSettings: GNOME, MATE, Cinnamon ----

struct Unref {
    void operator()(void* p) const { gio()->object_unref(p); }
};
struct SchemaUnref {
    void operator()(GSettingsSchema* p) const { gio()->settings_schema_unref(p); }
};
using Settings = std::shared_ptr<GSettings>;

Settings soundSettings(const std::string& id)
{
    const GioFunctions* g = gio();
    GSettingsSchemaSource* source = g ? g->settings_schema_source_get_default() : nullptr;
    std::unique_ptr<GSettingsSchema, SchemaUnref> schema(
        source ? g->settings_schema_source_lookup(source, id.c_str(), TRUE) : nullptr);
    if (!schema || !g->settings_schema_has_key(schema.get(), "theme-name"))
        return nullptr;
    return Settings(g->settings_new_full(schema.get(), nullptr, nullptr), Unref());
}

ThemePlace gsettingsPlace(const std::string& id, Settings settings)
{
    ThemePlace place{id, id + " theme-name", nullptr, nullptr};
    place.read = [settings](ThemeChoice& choice) -> std::optional<std::string> {
        const GioFunctions* g = gio();
        gchar* value = g->settings_get_string(settings.get(), "theme-name");
        choice.theme = value ? value : "";
        g->free(value);
        GVariant* own = g->settings_get_user_value(settings.get(), "theme-name");
        choice.chosen = own != nullptr;
        if (own)
            g->variant_unref(own);
        return std::nullopt;
    };
    place.write = [settings, id](const ThemeChoice& choice) -> std::optional<std::string> {
        const GioFunctions* g = gio();
        bool ok = true;
        if (choice.chosen)
            ok = g->settings_set_string(settings.get(), "theme-name", choice.theme.c_str());
        else
            g->settings_reset(settings.get(), "theme-name");
        g->settings_sync();
        if (!ok)
            return id + " theme-name: 書き込みできません";
        return std::nullopt;
    };
    return place;
}

// ---- kdeglobals: Plasma ----

// Plasma's programs reread kdeglobals when told over the session bus which
// keys changed, as Plasma's own settings tools tell them after writing it.
// Best effort: without a bus nobody is listening. A connection of its own,
// as the shared one ends the process when the bus goes away.
// Cancels what still waits on the bus when the time is up.
class BusDeadline {
public:
    explicit BusDeadline(const GioFunctions* g) : m_g(g), m_cancellable(g->cancellable_new())
    {
        m_watch = std::thread([this] {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait_for(lock, std::chrono::milliseconds(kBusTimeoutMs), [this] { return m_finished; }))
                m_g->cancellable_cancel(m_cancellable);
        });
    }
    ~BusDeadline()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_changed.notify_one();
        m_watch.join();
        m_g->object_unref(m_cancellable);
    }
    BusDeadline(const BusDeadline&) = delete;
    BusDeadline& operator=(const BusDeadline&) = delete;
    GCancellable* cancellable() const { return m_cancellable; }

private:
    const GioFunctions* m_g;
    GCancellable* m_cancellable;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_finished = false;
    std::thread m_watch;
};

void announceKdeglobalsChange(const char* group, const char* key)
{
    const GioFunctions* g = gio();
    if (!g || !sessionBus())
        return;
    gchar* address = g->dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!address)
        return;
    BusDeadline deadline(g);
    auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                   G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    GDBusConnection* bus =
        g->dbus_connection_new_for_address_sync(address, flags, nullptr, deadline.cancellable(), nullptr);
    g->free(address);
    if (!bus)
        return;
    // a{saay}: group -> its changed keys, each key's bytes without a
    // terminating zero.
    GVariant* keys = g->variant_new_fixed_array(reinterpret_cast<const GVariantType*>("y"), key,
                                                std::char_traits<char>::length(key), 1);
    GVariant* keyList = g->variant_new_array(reinterpret_cast<const GVariantType*>("ay"), &keys, 1);
    GVariant* entry = g->variant_new_dict_entry(g->variant_new_string(group), keyList);
    GVariant* changes = g->variant_new_array(nullptr, &entry, 1);
    g->dbus_connection_emit_signal(bus, nullptr, "/kdeglobals", "org.kde.kconfig.notify", "ConfigChanged",
                                   g->variant_new_tuple(&changes, 1), nullptr);
    g->dbus_connection_flush_sync(bus, deadline.cancellable(), nullptr);
    g->dbus_connection_close_sync(bus, deadline.cancellable(), nullptr);
    g->object_unref(bus);
}

// ---- settings files edited in place ----

// How a desktop's settings file names the sound theme. Each answers a
// failure text (after the file's path) when the text is not one it can read.
struct ThemeFileFormat {
    // The theme the text names; nullopt for none.
    std::function<std::optional<std::string>(const std::string& text, std::optional<std::string>& theme)> read;
    // Names the theme in the text, or none for nullopt, keeping the rest.
    std::function<std::optional<std::string>(std::string& text, const std::optional<std::string>& theme)> edit;
    std::string fallback;           // what the desktop plays when the file names none
    std::function<void()> changed;  // after the file was rewritten
};

ThemePlace filePlace(const std::string& id, const std::string& path, const std::string& key, ThemeFileFormat format)
{
    ThemePlace place{id, path + " " + key, nullptr, nullptr};
    place.read = [path, format](ThemeChoice& choice) -> std::optional<std::string> {
        std::string text;
        if (!readIfExists(path, text))
            return errnoText(path, errno);
        std::optional<std::string> theme;
        if (auto bad = format.read(text, theme))
            return path + ": " + *bad;
        choice.chosen = theme && !theme->empty();
        choice.theme = choice.chosen ? *theme : format.fallback;
        return std::nullopt;
    };
    place.write = [path, format](const ThemeChoice& choice) -> std::optional<std::string> {
        // Read again right before writing, so that nothing the user or the
        // desktop wrote meanwhile is lost.
        std::string text;
        if (!readIfExists(path, text))
            return errnoText(path, errno);
        std::string edited = text;
        if (auto bad = format.edit(edited, choice.chosen ? std::optional(choice.theme) : std::nullopt))
            return path + ": " + *bad;
        if (edited == text)
            return std::nullopt;
        if (auto failed = writeFile(path, edited))
            return failed;
        if (format.changed)
            format.changed();
        return std::nullopt;
    };
    return place;
}

ThemePlace kdePlace(const std::string& path)
{
    auto parse = [](const std::string& text, std::optional<KeyFileText>& file) -> std::optional<std::string> {
        int bad = 0;
        file = KeyFileText::parse(text, bad);
        if (!file)
            return std::to_string(bad) + " 行目を読めません";
        return std::nullopt;
    };
    ThemeFileFormat format;
    format.read = [parse](const std::string& text, std::optional<std::string>& theme) -> std::optional<std::string> {
        std::optional<KeyFileText> file;
        if (auto bad = parse(text, file))
            return bad;
        theme = file->get("Sounds", "Theme");
        return std::nullopt;
    };
    format.edit = [parse](std::string& text, const std::optional<std::string>& theme) -> std::optional<std::string> {
        std::optional<KeyFileText> file;
        if (auto bad = parse(text, file))
            return bad;
        if (theme)
            file->set("Sounds", "Theme", *theme);
        else
            file->remove("Sounds", "Theme");
        text = file->text();
        return std::nullopt;
    };
    // What Plasma plays when the user chose nothing.
    format.fallback = "ocean";
    format.changed = [] { announceKdeglobalsChange("Sounds", "Theme"); };
    return filePlace("kde", path, "[Sounds] Theme", format);
}

// ---- xfconf channel xsettings: Xfce ----

constexpr char kXsettingsFile[] = "xfce4/xfconf/xfce-perchannel-xml/xsettings.xml";

std::string xmlEscape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string xmlUnescape(const std::string& text)
{
    static const std::pair<const char*, char> entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&')
            for (const auto& [name, c] : entities)
                if (text.compare(i, std::char_traits<char>::length(name), name) == 0) {
                    out += c;
                    i += std::char_traits<char>::length(name);
                    replaced = true;
                    break;
                }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

struct XmlTag {
    size_t begin = 0;  // at '<'
    size_t end = 0;    // one past '>'
    bool closing = false;
    bool empty = false;  // <.../>
    std::string element;
    std::string text;
};

std::optional<std::string> attribute(const std::string& tag, const std::string& name)
{
    for (size_t at = tag.find(name); at != std::string::npos; at = tag.find(name, at + 1)) {
        size_t p = at + name.size();
        if (at == 0 || (tag[at - 1] != ' ' && tag[at - 1] != '\t' && tag[at - 1] != '\n'))
            continue;
        while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t'))
            ++p;
        if (p >= tag.size() || tag[p] != '=')
            continue;
        ++p;
        while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t'))
            ++p;
        if (p >= tag.size() || (tag[p] != '"' && tag[p] != '\''))
            continue;
        size_t close = tag.find(tag[p], p + 1);
        if (close == std::string::npos)
            return std::nullopt;
        return xmlUnescape(tag.substr(p + 1, close - p - 1));
    }
    return std::nullopt;
}

// The element tags of the text in order; nullopt when it is not well formed
// enough to edit.
std::optional<std::vector<XmlTag>> xmlTags(const std::string& xml)
{
    std::vector<XmlTag> tags;
    for (size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at)) {
        if (xml.compare(at, 4, "<!--") == 0) {
            size_t end = xml.find("-->", at);
            if (end == std::string::npos)
                return std::nullopt;
            at = end + 3;
            continue;
        }
        if (xml.compare(at, 2, "<?") == 0 || xml.compare(at, 2, "<!") == 0) {
            size_t end = xml.find('>', at);
            if (end == std::string::npos)
                return std::nullopt;
            at = end + 1;
            continue;
        }
        // Quoted attribute values may hold '>'.
        size_t p = at + 1;
        char quote = 0;
        for (; p < xml.size(); ++p) {
            if (quote) {
                if (xml[p] == quote)
                    quote = 0;
            } else if (xml[p] == '"' || xml[p] == '\'') {
                quote = xml[p];
            } else if (xml[p] == '>') {
                break;
            }
        }
        if (p >= xml.size())
            return std::nullopt;
        XmlTag tag;
        tag.begin = at;
        tag.end = p + 1;
        tag.text = xml.substr(at, tag.end - at);
        tag.closing = xml[at + 1] == '/';
        tag.empty = xml[p - 1] == '/';
        size_t nameStart = at + (tag.closing ? 2 : 1);
        size_t nameEnd = xml.find_first_of(" \t\r\n/>", nameStart);
        tag.element = xml.substr(nameStart, nameEnd - nameStart);
        tags.push_back(tag);
        at = tag.end;
    }
    return tags;
}

struct XsettingsLayout {
    const XmlTag* channelClose = nullptr;
    const XmlTag* net = nullptr;  // the Net property's opening tag
    const XmlTag* netClose = nullptr;
    const XmlTag* sound = nullptr;  // Net/SoundThemeName's opening tag
    const XmlTag* soundClose = nullptr;
};

std::optional<XsettingsLayout> layoutOf(const std::vector<XmlTag>& tags)
{
    XsettingsLayout layout;
    std::vector<const XmlTag*> open;
    bool channel = false;
    for (const XmlTag& tag : tags) {
        if (tag.closing) {
            if (open.empty() || open.back()->element != tag.element)
                return std::nullopt;
            if (open.back() == layout.net)
                layout.netClose = &tag;
            if (open.back() == layout.sound)
                layout.soundClose = &tag;
            if (tag.element == "channel" && open.size() == 1)
                layout.channelClose = &tag;
            open.pop_back();
            continue;
        }
        if (open.empty()) {
            if (tag.element != "channel" || channel)
                return std::nullopt;
            channel = true;
        } else if (tag.element == "property") {
            std::string name = attribute(tag.text, "name").value_or("");
            if (open.size() == 1 && name == "Net" && !layout.net)
                layout.net = &tag;
            else if (open.size() == 2 && open.back() == layout.net && name == "SoundThemeName" && !layout.sound)
                layout.sound = &tag;
        }
        if (!tag.empty)
            open.push_back(&tag);
    }
    if (!open.empty() || !layout.channelClose)
        return std::nullopt;
    return layout;
}

// The blanks that begin the line of position `at`, when nothing else does.
std::string indentBefore(const std::string& xml, size_t at)
{
    size_t line = xml.rfind('\n', at == 0 ? 0 : at - 1);
    line = line == std::string::npos ? 0 : line + 1;
    std::string lead = xml.substr(line, at - line);
    return lead.find_first_not_of(" \t") == std::string::npos ? lead : std::string();
}

std::string soundTag(const std::string& theme)
{
    return "<property name=\"SoundThemeName\" type=\"string\" value=\"" + xmlEscape(theme) + "\"/>";
}

}  // namespace

std::optional<std::optional<std::string>> xsettingsSoundTheme(const std::string& xml)
{
    auto tags = xmlTags(xml);
    auto layout = tags ? layoutOf(*tags) : std::nullopt;
    if (!layout)
        return std::nullopt;
    std::optional<std::string> theme;
    if (layout->sound)
        theme = attribute(layout->sound->text, "value");
    return theme;
}

std::optional<std::string> withXsettingsSoundTheme(const std::string& xml, const std::optional<std::string>& theme)
{
    if (xml.find_first_not_of(" \t\r\n") == std::string::npos) {
        if (!theme)
            return xml;
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<channel name=\"xsettings\" version=\"1.0\">\n"
               "  <property name=\"Net\" type=\"empty\">\n    " +
               soundTag(*theme) + "\n  </property>\n</channel>\n";
    }
    auto tags = xmlTags(xml);
    auto layout = tags ? layoutOf(*tags) : std::nullopt;
    if (!layout)
        return std::nullopt;
    std::string out = xml;
    if (layout->sound) {
        size_t begin = layout->sound->begin;
        size_t end = layout->soundClose ? layout->soundClose->end : layout->sound->end;
        if (theme)
            return out.replace(begin, end - begin, soundTag(*theme));
        // The whole line goes when the property stood alone on it.
        std::string lead = indentBefore(xml, begin);
        if (!lead.empty() || (begin > 0 && xml[begin - 1] == '\n')) {
            begin -= lead.size();
            if (end < xml.size() && xml[end] == '\n')
                ++end;
        }
        return out.erase(begin, end - begin);
    }
    if (!theme)
        return out;
    if (layout->net && layout->netClose) {
        std::string lead = indentBefore(xml, layout->netClose->begin);
        std::string netLead = indentBefore(xml, layout->net->begin);
        if (!lead.empty() || xml[layout->netClose->begin - 1] == '\n')
            return out.insert(layout->netClose->begin - lead.size(), netLead + "  " + soundTag(*theme) + "\n");
        return out.insert(layout->netClose->begin, soundTag(*theme));
    }
    if (layout->net) {
        // <property name="Net" .../> gains its first child.
        const XmlTag& net = *layout->net;
        std::string lead = indentBefore(xml, net.begin);
        std::string open = net.text.substr(0, net.text.size() - 2);
        while (!open.empty() && (open.back() == ' ' || open.back() == '\t'))
            open.pop_back();
        return out.replace(net.begin, net.end - net.begin,
                           open + ">\n" + lead + "  " + soundTag(*theme) + "\n" + lead + "</property>");
    }
    size_t at = layout->channelClose->begin;
    std::string lead = indentBefore(xml, at);
    std::string block = "  <property name=\"Net\" type=\"empty\">\n    " + soundTag(*theme) + "\n  </property>\n";
    if (!lead.empty() || (at > 0 && xml[at - 1] == '\n'))
        return out.insert(at - lead.size(), block);
    return out.insert(at, "\n" + block);
}

namespace {

// Runs a program found on PATH; answers its exit status (-1 when it could
// not run or was stopped for taking too long) and what it wrote.
int runProgram(const std::vector<std::string>& args, std::string& output)
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    // A group of its own, so that what it started is stopped with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (rc != 0) {
        ::close(pipeEnds[0]);
        return -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusTimeoutMs);
    bool late = false;
    char buffer[1024];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd readable{pipeEnds[0], POLLIN, 0};
        int ready = left.count() > 0 ? ::poll(&readable, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            late = true;
            break;
        }
        ssize_t n = ready < 0 ? -1 : ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeEnds[0]);
    if (late) {
        ::kill(-pid, SIGKILL);
        output = std::to_string(kBusTimeoutMs / 1000) + " 秒待っても応答がありません";
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return !late && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

std::string firstLine(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    return line;
}

ThemePlace xfconfPlace()
{
    ThemePlace place{"xfce", "xfconf-query -c xsettings -p /Net/SoundThemeName", nullptr, nullptr};
    place.read = [label = place.label](ThemeChoice& choice) -> std::optional<std::string> {
        std::string out;
        int rc = runProgram({"xfconf-query", "-c", "xsettings", "-p", "/Net/SoundThemeName"}, out);
        if (rc == 0) {
            choice.theme = firstLine(out);
            choice.chosen = !choice.theme.empty();
        } else if (rc == 1 && out.find("does not exist") != std::string::npos) {
            choice.chosen = false;
        } else {
            return label + ": " + firstLine(out);
        }
        if (!choice.chosen)
            choice.theme = "freedesktop";
        return std::nullopt;
    };
    place.write = [label = place.label](const ThemeChoice& choice) -> std::optional<std::string> {
        std::string out;
        int rc = choice.chosen
                     ? runProgram({"xfconf-query", "-c", "xsettings", "-p", "/Net/SoundThemeName", "-n", "-t", "string",
                                   "-s", choice.theme},
                                  out)
                     : runProgram({"xfconf-query", "-c", "xsettings", "-p", "/Net/SoundThemeName", "-r"}, out);
        if (rc != 0)
            return label + ": " + firstLine(out);
        return std::nullopt;
    };
    return place;
}

// GTK plays this one when XSETTINGS names none.
constexpr char kXsettingsFallback[] = "freedesktop";

ThemePlace xsettingsFilePlace(const std::string& path)
{
    ThemeFileFormat format;
    format.read = [](const std::string& text, std::optional<std::string>& theme) -> std::optional<std::string> {
        auto named = text.empty() ? std::optional<std::optional<std::string>>(std::nullopt) : xsettingsSoundTheme(text);
        if (!named)
            return "読めない形式です";
        theme = *named;
        return std::nullopt;
    };
    format.edit = [](std::string& text, const std::optional<std::string>& theme) -> std::optional<std::string> {
        auto edited = withXsettingsSoundTheme(text, theme);
        if (!edited)
            return "読めない形式です";
        text = *edited;
        return std::nullopt;
    };
    format.fallback = kXsettingsFallback;
    return filePlace("xfce", path, "Net/SoundThemeName", format);
}

// ---- the XSETTINGS manager of other X11 sessions: its configuration file ----

constexpr char kXsettingsdKey[] = "Net/SoundThemeName";

// Where a setting's line names it: the name is the line's first word; blank
// lines and those starting with '#' hold none.
bool namesSetting(const std::string& line, const std::string& name)
{
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#' || line.compare(start, name.size(), name) != 0)
        return false;
    size_t after = start + name.size();
    return after == line.size() || line[after] == ' ' || line[after] == '\t' || line[after] == '\r';
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The quoted string value of a setting's line and where it ends (one past
// its closing quote); nullopt when the line holds none.
std::optional<std::string> quotedValue(const std::string& line, const std::string& name, size_t& begin, size_t& end)
{
    begin = line.find_first_not_of(" \t", line.find(name) + name.size());
    if (begin == std::string::npos || line[begin] != '"')
        return std::nullopt;
    std::string value;
    for (size_t i = begin + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            end = i + 1;
            return value;
        }
        if (line[i] == '\\' && i + 1 < line.size())
            ++i;
        value += line[i];
    }
    return std::nullopt;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// The manager rereads its file on SIGHUP. Ours only, found by name; best
// effort, as a manager that is not running reads the file when it starts.
void reloadXsettingsd()
{
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), &::closedir);
    if (!proc)
        return;
    while (dirent* e = ::readdir(proc.get())) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        std::string folder = std::string("/proc/") + e->d_name;
        struct stat st {};
        std::string name;
        if (::stat(folder.c_str(), &st) != 0 || st.st_uid != ::getuid() || !readIfExists(folder + "/comm", name))
            continue;
        if (name == "xsettingsd\n")
            ::kill(static_cast<pid_t>(pid), SIGHUP);
    }
}

ThemePlace xsettingsdPlace(const std::string& id, const std::string& path)
{
    ThemeFileFormat format;
    format.read = [](const std::string& text, std::optional<std::string>& theme) -> std::optional<std::string> {
        for (const std::string& line : linesOf(text))
            if (namesSetting(line, kXsettingsdKey)) {
                size_t begin = 0, end = 0;
                theme = quotedValue(line, kXsettingsdKey, begin, end);
                if (!theme)
                    return std::string(kXsettingsdKey) + " の値を読めません";
                return std::nullopt;
            }
        return std::nullopt;
    };
    format.edit = [](std::string& text, const std::optional<std::string>& theme) -> std::optional<std::string> {
        std::string out;
        bool found = false;
        std::stringstream in(text);
        for (std::string line; std::getline(in, line);) {
            bool last = in.eof();
            if (namesSetting(line, kXsettingsdKey) && !found) {
                found = true;
                // A value we cannot read is the user's: never overwritten or
                // removed. What follows the value (a comment) stays.
                size_t begin = 0, end = 0;
                if (!quotedValue(line, kXsettingsdKey, begin, end))
                    return std::string(kXsettingsdKey) + " の値を読めません";
                if (!theme)
                    continue;
                line.replace(begin, end - begin, quoted(*theme));
            }
            out += line + (last ? "" : "\n");
        }
        if (!found && theme)
            out += std::string(out.empty() || out.back() == '\n' ? "" : "\n") + kXsettingsdKey + " " + quoted(*theme) +
                   "\n";
        text = out;
        return std::nullopt;
    };
    format.fallback = kXsettingsFallback;
    format.changed = reloadXsettingsd;
    return filePlace(id, path, kXsettingsdKey, format);
}

bool xfceConfigured(const std::string& userFile)
{
    if (isFile(userFile))
        return true;
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::stringstream folders(dirs && *dirs ? dirs : "/etc/xdg");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && folder.front() == '/' && isFile(folder + "/" + kXsettingsFile))
            return true;
    return false;
}

}  // namespace

std::vector<std::string> soundSchemas()
{
    return overrides().soundSettingsSchemas.value_or(
        std::vector<std::string>{"org.gnome.desktop.sound", "org.mate.sound", "org.cinnamon.desktop.sound"});
}

std::vector<ThemePlace> themePlaces()
{
    std::vector<ThemePlace> places;
    for (const std::string& id : soundSchemas())
        if (Settings settings = soundSettings(id))
            places.push_back(gsettingsPlace(id, settings));
    std::string kdeglobals = configHome() + "/kdeglobals";
    if (isFile(kdeglobals))
        places.push_back(kdePlace(kdeglobals));
    std::string xsettings = configHome() + "/" + kXsettingsFile;
    if (xfceConfigured(xsettings))
        places.push_back(sessionBus() && onPath("xfconf-query") ? xfconfPlace() : xsettingsFilePlace(xsettings));
    // Its file has long been ~/.xsettingsd; later versions also read one in
    // the configuration folder. Whichever the user keeps is edited.
    std::string xsettingsd = homeFolder() + "/.xsettingsd";
    if (isFile(xsettingsd))
        places.push_back(xsettingsdPlace("xsettingsd", xsettingsd));
    std::string xsettingsdConf = configHome() + "/xsettingsd/xsettingsd.conf";
    if (isFile(xsettingsdConf))
        places.push_back(xsettingsdPlace("xsettingsd-conf", xsettingsdConf));
    return places;
}

}  // namespace platform::desktop
