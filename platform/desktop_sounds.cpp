// Sound events as the desktop plays them: the sound theme "tidebell" in the
// user's data folder holds a link to each assigned file under the event's
// sound-naming name, inherits the theme the user had, and is selected where
// each desktop configured here keeps its theme name.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sstream>

#include "platform/desktop.h"
#include "platform/desktop_files.h"
#include "platform/desktop_mirror.h"
#include "platform/internal.h"
#include "platform/platform.h"
#include "platform/sound_theme_places.h"

namespace platform::desktop {
namespace {

struct EventName {
    const char* app;
    const char* event;
    const char* sound;
};

// Events of the default scheme that the desktop has a sound for. The others
// (AppGPFault, DeviceFail, and Explorer's ActivatingDocument, BlockedPopup
// and MoveMenuItem) stay in the registry only.
constexpr EventName kEventNames[] = {
    {".Default", ".Default", "bell-window-system"},      {".Default", "Close", "window-close"},
    {".Default", "CriticalBatteryAlarm", "battery-low"}, {".Default", "DeviceConnect", "device-added"},
    {".Default", "DeviceDisconnect", "device-removed"},  {".Default", "LowBatteryAlarm", "battery-caution"},
    {".Default", "MailBeep", "message-new-email"},       {".Default", "Maximize", "window-maximized"},
    {".Default", "MenuCommand", "menu-click"},           {".Default", "MenuPopup", "menu-popup"},
    {".Default", "Minimize", "window-minimized"},        {".Default", "Open", "window-new"},
    {".Default", "PrintComplete", "complete-print"},     {".Default", "RestoreDown", "window-unmaximized"},
    {".Default", "RestoreUp", "window-unminimized"},     {".Default", "SystemAsterisk", "dialog-information"},
    {".Default", "SystemExclamation", "dialog-warning"}, {".Default", "SystemExit", "system-shutdown"},
    {".Default", "SystemHand", "dialog-error"},          {".Default", "SystemNotification", "message"},
    {".Default", "SystemQuestion", "dialog-question"},   {".Default", "SystemStart", "system-ready"},
    {".Default", "WindowsLogoff", "desktop-logout"},     {".Default", "WindowsLogon", "desktop-login"},
    {"Explorer", "EmptyRecycleBin", "trash-empty"},      {"Explorer", "Navigating", "link-pressed"},
};

// The sound theme lookup tries these suffixes; a link keeps the one its
// file has when the desktop knows it.
constexpr const char* kSuffixes[] = {".disabled", ".oga", ".ogg", ".wav"};
constexpr char kFallbackTheme[] = "freedesktop";

std::string themeFolder()
{
    return dataHome() + "/sounds/" + kSoundThemeName;
}

bool themeInstalled(const std::string& theme)
{
    struct stat st {};
    for (const std::string& folder : soundThemeFolders())
        if (::stat((folder + "/sounds/" + theme + "/index.theme").c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return true;
    return false;
}

std::string themeIndex(const std::string& parent)
{
    return "[Sound Theme]\n"
           "Name=TIDEBELL\n"
           "Comment=Sounds assigned to desktop events with TIDEBELL\n"
           "Inherits=" +
           parent +
           "\n"
           "Directories=stereo\n"
           "\n"
           "[stereo]\n"
           "OutputProfile=stereo\n";
}

std::string firstSoundSchema()
{
    std::vector<std::string> schemas = soundSchemas();
    return schemas.empty() ? "org.gnome.desktop.sound" : schemas.front();
}

// What a desktop chose before our theme, kept in our index.theme so that
// undoing brings it back: the theme, or nothing for the desktop's default.
std::string previousKey(const ThemePlace& place)
{
    return "X-TIDEBELL-Previous-" + place.id;
}

std::string selectFailureText(const std::string& detail)
{
    return "サウンドテーマ「" + std::string(kSoundThemeName) + "」を選択できませんでした。\n" + detail;
}

std::optional<KeyFileText> readIndex(const std::string& path)
{
    std::string text;
    readIfExists(path, text);
    int bad = 0;
    return KeyFileText::parse(text, bad);
}

// Writes index.theme (inheriting the theme the user had) and selects the
// theme on every desktop configured here; answers a failure that leaves the
// links usable.
std::optional<std::string> ensureTheme(std::string& selectFailure)
{
    std::string indexPath = themeFolder() + "/index.theme";
    std::string oldText;
    readIfExists(indexPath, oldText);
    auto old = readIndex(indexPath);
    auto oldValue = [&](const std::string& key) { return old ? old->get("Sound Theme", key) : std::nullopt; };

    struct Desktop {
        ThemePlace place;
        ThemeChoice choice;
    };
    std::vector<Desktop> desktops;
    std::vector<ThemePlace> places = themePlaces();
    if (places.empty())
        selectFailure = "デスクトップの設定 " + firstSoundSchema() + " がないため、サウンドテーマ「" + kSoundThemeName +
                        "」を選択できませんでした。デスクトップのサウンド設定で選んでください。";
    // Each desktop's theme is a parent, so that every desktop still hears
    // its own theme's sounds for the events we have none for; a theme
    // chosen since comes before the ones inherited already. Inheriting
    // ourselves would loop.
    std::vector<std::string> parents;
    auto addParent = [&](const std::string& theme) {
        if (!theme.empty() && theme != kSoundThemeName && theme.find(',') == std::string::npos &&
            std::find(parents.begin(), parents.end(), theme) == parents.end())
            parents.push_back(theme);
    };
    std::string remembered;
    for (ThemePlace& place : places) {
        ThemeChoice choice;
        auto bad = place.read(choice);
        if (bad || choice.theme == kSoundThemeName) {
            if (bad && selectFailure.empty())
                selectFailure = selectFailureText(*bad);
            // What it chose before stays remembered for undoing.
            if (auto previous = oldValue(previousKey(place)))
                remembered += previousKey(place) + "=" + *previous + "\n";
            continue;
        }
        addParent(choice.theme);
        remembered += previousKey(place) + "=" + (choice.chosen ? choice.theme : "") + "\n";
        desktops.push_back({std::move(place), choice});
    }
    std::stringstream inherited(oldValue("Inherits").value_or(""));
    for (std::string theme; std::getline(inherited, theme, ',');)
        addParent(theme);
    // Only installed themes are inherited: the sound theme lookup gives up
    // on a theme whose parent is missing, and none of our sounds would play.
    // A removed theme is still what undoing gives back.
    std::erase_if(parents, [](const std::string& theme) { return !themeInstalled(theme); });
    if (parents.empty())
        parents.push_back(kFallbackTheme);
    std::string parent;
    for (const std::string& theme : parents)
        parent += (parent.empty() ? "" : ",") + theme;

    std::string index = themeIndex(parent);
    index.insert(index.find("Directories="), remembered);
    if (index != oldText)
        if (auto failed = writeFile(indexPath, index))
            return failed;
    for (Desktop& d : desktops)
        if (auto bad = d.place.write(ThemeChoice{kSoundThemeName, true}); bad && selectFailure.empty())
            selectFailure = selectFailureText(*bad);
    return std::nullopt;
}

// Whether the theme has no sound left.
bool themeEmpty(const std::string& folder)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir)
        return true;
    while (dirent* e = ::readdir(dir.get()))
        if (e->d_name[0] != '.')
            return false;
    return true;
}

// The last sound is gone: every desktop that still plays our theme gets
// back what it chose before.
std::optional<std::string> restoreDesktops()
{
    std::string indexPath = themeFolder() + "/index.theme";
    std::string oldText;
    readIfExists(indexPath, oldText);
    auto index = readIndex(indexPath);
    if (!index)
        return std::nullopt;
    std::optional<std::string> failure;
    for (ThemePlace& place : themePlaces()) {
        auto previous = index->get("Sound Theme", previousKey(place));
        if (!previous)
            continue;
        ThemeChoice now;
        auto bad = place.read(now);
        if (!bad && now.theme == kSoundThemeName)
            bad = place.write(ThemeChoice{*previous, !previous->empty()});
        if (bad) {
            failure = failure.value_or(*bad);
            continue;
        }
        index->remove("Sound Theme", previousKey(place));
    }
    if (index->text() != oldText)
        if (auto bad = writeFile(indexPath, index->text()))
            failure = failure.value_or(*bad);
    return failure;
}

std::string suffixOf(const std::string& posixPath)
{
    size_t slash = posixPath.rfind('/');
    size_t dot = posixPath.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        std::string ext = detail::toLowerAscii(posixPath.substr(dot));
        if (ext == ".oga" || ext == ".ogg" || ext == ".wav")
            return ext;
    }
    return ".wav";
}

// Removes the theme's files of one sound name; the failure text if any stays.
std::optional<std::string> removeSound(const std::string& folder, const std::string& sound)
{
    for (const char* suffix : kSuffixes) {
        std::string path = folder + "/" + sound + suffix;
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return errnoText(path, errno);
    }
    return std::nullopt;
}

// Sound players keep a cache of their theme lookups that they check against
// the time of the "sounds" folders, not of the themes inside them.
void touchSoundsFolder()
{
    ::utimensat(AT_FDCWD, (dataHome() + "/sounds").c_str(), nullptr, 0);
}

}  // namespace

std::string soundNameOf(const std::string& app, const std::string& event)
{
    for (const EventName& e : kEventNames)
        if (detail::equalsNoCase(app, e.app) && detail::equalsNoCase(event, e.event))
            return e.sound;
    return {};
}

std::optional<std::string> assignEventSound(const std::string& app, const std::string& event,
                                            const std::string& windowsPath)
{
    std::string sound = soundNameOf(app, event);
    if (sound.empty())
        return std::nullopt;
    const std::string failed = "サウンドイベントをデスクトップのサウンドテーマに反映できませんでした。\n";
    std::string folder = themeFolder() + "/stereo";
    if (windowsPath.empty()) {
        // No sound in the scheme: the inherited theme's sound plays again.
        auto bad = removeSound(folder, sound);
        if (!bad && themeEmpty(folder))
            bad = restoreDesktops();
        touchSoundsFolder();
        if (bad)
            return failed + *bad;
        return std::nullopt;
    }
    std::string file = toPosixPath(windowsPath);
    if (file.empty())
        return failed + "「" + windowsPath + "」をこのコンピュータのパスに変換できませんでした。";

    if (auto bad = makeFolder(folder))
        return failed + *bad;
    std::string selectFailure;
    if (auto bad = ensureTheme(selectFailure))
        return failed + *bad;

    // A link, as the registry names the file rather than holding it: a later
    // change of the file is heard, a file that is gone lets the inherited
    // theme's sound play. It replaces the old one in one rename.
    std::string link = folder + "/" + sound + suffixOf(file);
    std::string temp = folder + "/." + sound + ".new";
    ::unlink(temp.c_str());
    if (::symlink(file.c_str(), temp.c_str()) != 0)
        return failed + errnoText(temp, errno);
    for (const char* suffix : kSuffixes) {
        std::string other = folder + "/" + sound + suffix;
        if (other != link)
            ::unlink(other.c_str());
    }
    if (::rename(temp.c_str(), link.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return failed + errnoText(link, error);
    }
    touchSoundsFolder();
    if (!selectFailure.empty())
        return selectFailure;
    return std::nullopt;
}

}  // namespace platform::desktop
