// The shell verb of WAVE files as the file managers see it: a desktop entry
// for the WAVE MIME types, listed among the applications of those types
// through mimeapps.list's added associations - never as their default.
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/desktop.h"
#include "platform/desktop_files.h"
#include "platform/desktop_mirror.h"
#include "platform/internal.h"
#include "platform/platform.h"

// After win32.h, whose TRUE and FALSE GLib then leaves alone.
#include "platform/gio_loader.h"

namespace platform::desktop {
namespace {

constexpr const char* kWaveTypes[] = {"audio/wav", "audio/x-wav", "audio/vnd.wave", "audio/wave", "audio/x-pn-wav"};
constexpr char kEntryGroup[] = "Desktop Entry";
constexpr char kAdded[] = "Added Associations";
constexpr char kDefaults[] = "Default Applications";
// Defaults that installing wrote, "type:desktop-id;...", so that removing
// takes back exactly those the user has not changed since.
constexpr char kPinnedKey[] = "X-TIDEBELL-Pinned-Defaults";

std::string entryPath()
{
    return dataHome() + "/applications/" + kVerbDesktopId;
}
std::string mimeappsPath()
{
    return configHome() + "/mimeapps.list";
}

// Splits a Windows command line: blanks separate, double quotes group.
std::vector<std::string> commandWords(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

// One argument of Exec=, quoted when it holds a reserved character.
std::string execArgument(const std::string& word)
{
    std::string escaped;
    bool quote = word.empty();
    for (char c : word) {
        if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos)
            quote = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            escaped += '\\';
        escaped += c;
        if (c == '%')
            escaped += '%';
    }
    return quote ? "\"" + escaped + "\"" : escaped;
}

// A key file string value: backslashes and control characters escaped.
std::string keyFileString(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

std::optional<std::string> execLine(const std::string& command, std::string& exec)
{
    std::vector<std::string> words = commandWords(command);
    if (words.empty())
        return "「" + command + "」にプログラムがありません。";
    std::string program = toPosixPath(words[0]);
    if (program.empty())
        return "「" + words[0] + "」をこのコンピュータのパスに変換できませんでした。";
    exec = execArgument(program);
    for (size_t i = 1; i < words.size(); ++i) {
        // The shell's %1 (%L) is the selected file: one local file path.
        bool file = words[i] == "%1" || detail::equalsNoCase(words[i], "%L");
        exec += ' ';
        exec += file ? std::string("%f") : execArgument(words[i]);
    }
    return std::nullopt;
}

struct Pin {
    std::string type;
    std::string app;
};

std::vector<Pin> readPins(const std::string& entryText)
{
    std::vector<Pin> pins;
    int bad = 0;
    auto entry = KeyFileText::parse(entryText, bad);
    if (!entry)
        return pins;
    for (const std::string& item : splitList(entry->get(kEntryGroup, kPinnedKey).value_or(""))) {
        size_t colon = item.find(':');
        if (colon != std::string::npos)
            pins.push_back({item.substr(0, colon), item.substr(colon + 1)});
    }
    return pins;
}

// The application that opens files of `type` now, as the desktop decides it.
std::string currentDefault(const char* type)
{
    const GioFunctions* g = gio();
    GAppInfo* app = g ? g->app_info_get_default_for_type(type, FALSE) : nullptr;
    if (!app)
        return {};
    const char* id = g->app_info_get_id(app);
    std::string result = id ? id : "";
    g->object_unref(app);
    return result;
}

std::optional<KeyFileText> loadMimeapps(std::string& failure)
{
    std::string text;
    if (!readIfExists(mimeappsPath(), text)) {
        failure = errnoText(mimeappsPath(), errno);
        return std::nullopt;
    }
    int bad = 0;
    auto file = KeyFileText::parse(text, bad);
    if (!file)
        failure = mimeappsPath() + " の " + std::to_string(bad) +
                  " 行目を読み取れないため、このファイルは変更しませんでした。";
    return file;
}

}  // namespace

bool verbInstalled()
{
    return ::access(entryPath().c_str(), F_OK) == 0;
}

std::optional<std::string> installVerb(const Verb& verb)
{
    const std::string failed = "ファイルマネージャのメニュー「" + verb.caption + "」を登録できませんでした。\n";
    std::string exec;
    if (auto bad = execLine(verb.command, exec))
        return failed + *bad;

    std::string failure;
    std::optional<KeyFileText> mimeapps = loadMimeapps(failure);
    std::string oldEntry;
    readIfExists(entryPath(), oldEntry);
    std::vector<Pin> pins = readPins(oldEntry);

    // A newly associated application may become the default of a type that
    // has none set: keep the one that opens these files now.
    if (mimeapps) {
        for (const char* type : kWaveTypes) {
            if (mimeapps->get(kDefaults, type))
                continue;
            std::string app = currentDefault(type);
            if (app.empty() || app == kVerbDesktopId)
                continue;
            mimeapps->set(kDefaults, type, joinList({app}));
            pins.push_back({type, app});
        }
    }

    std::string types, pinned;
    for (const char* type : kWaveTypes)
        types += std::string(type) + ";";
    for (const Pin& p : pins)
        pinned += p.type + ":" + p.app + ";";
    std::string entry = std::string("[") + kEntryGroup +
                        "]\n"
                        "Type=Application\n"
                        "Version=1.4\n"
                        "Name=" +
                        keyFileString(verb.caption) +
                        "\n"
                        "Icon=tidebell\n"
                        "Exec=" +
                        keyFileString(exec) +
                        "\n"
                        "MimeType=" +
                        types +
                        "\n"
                        // A verb of WAVE files, not an application of the menus.
                        "NoDisplay=true\n"
                        "Terminal=false\n";
    if (!pinned.empty())
        entry += std::string(kPinnedKey) + "=" + pinned + "\n";
    if (auto bad = writeFile(entryPath(), entry))
        return failed + *bad;

    if (!mimeapps)
        return failed + failure;
    for (const char* type : kWaveTypes) {
        std::vector<std::string> apps = splitList(mimeapps->get(kAdded, type).value_or(""));
        if (std::find(apps.begin(), apps.end(), kVerbDesktopId) == apps.end()) {
            apps.push_back(kVerbDesktopId);
            mimeapps->set(kAdded, type, joinList(apps));
        }
    }
    if (auto bad = writeFile(mimeappsPath(), mimeapps->text()))
        return failed + *bad;
    return std::nullopt;
}

std::optional<std::string> removeVerb()
{
    const std::string failed = "ファイルマネージャのメニューを削除できませんでした。\n";
    std::string entryText;
    readIfExists(entryPath(), entryText);
    std::optional<std::string> problem;

    std::string failure;
    if (std::optional<KeyFileText> mimeapps = loadMimeapps(failure)) {
        std::string before = mimeapps->text();
        for (const char* type : kWaveTypes) {
            auto value = mimeapps->get(kAdded, type);
            if (!value)
                continue;
            std::vector<std::string> apps = splitList(*value);
            apps.erase(std::remove(apps.begin(), apps.end(), kVerbDesktopId), apps.end());
            if (apps.empty())
                mimeapps->remove(kAdded, type);
            else
                mimeapps->set(kAdded, type, joinList(apps));
        }
        for (const Pin& p : readPins(entryText))
            if (splitList(mimeapps->get(kDefaults, p.type).value_or("")) == std::vector<std::string>{p.app})
                mimeapps->remove(kDefaults, p.type);
        if (mimeapps->text() != before)
            problem = writeFile(mimeappsPath(), mimeapps->text());
    } else {
        problem = failure;
    }
    // The entry goes in any case: an association naming a missing entry is
    // ignored by the desktop.
    if (::unlink(entryPath().c_str()) != 0 && errno != ENOENT)
        problem = errnoText(entryPath(), errno);
    if (problem)
        return failed + *problem;
    return std::nullopt;
}

}  // namespace platform::desktop
