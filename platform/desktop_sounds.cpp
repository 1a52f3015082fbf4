// Sound events as the desktop plays them: the sound theme "tidebell" in the
// user's data folder holds a link to each assigned file under the event's
// sound-naming name, inherits the theme the user had, and is selected where
// the desktop keeps its theme name in GSettings.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/desktop.h"
#include "platform/desktop_files.h"
#include "platform/desktop_mirror.h"
#include "platform/internal.h"
#include "platform/platform.h"

// After win32.h, whose TRUE and FALSE GLib then leaves alone.
#include "platform/gio_loader.h"

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
    {".Default", ".Default", "bell-window-system"},
    {".Default", "Close", "window-close"},
    {".Default", "CriticalBatteryAlarm", "battery-low"},
    {".Default", "DeviceConnect", "device-added"},
    {".Default", "DeviceDisconnect", "device-removed"},
    {".Default", "LowBatteryAlarm", "battery-caution"},
    {".Default", "MailBeep", "message-new-email"},
    {".Default", "Maximize", "window-maximized"},
    {".Default", "MenuCommand", "menu-click"},
    {".Default", "MenuPopup", "menu-popup"},
    {".Default", "Minimize", "window-minimized"},
    {".Default", "Open", "window-new"},
    {".Default", "PrintComplete", "complete-print"},
    {".Default", "RestoreDown", "window-unmaximized"},
    {".Default", "RestoreUp", "window-unminimized"},
    {".Default", "SystemAsterisk", "dialog-information"},
    {".Default", "SystemExclamation", "dialog-warning"},
    {".Default", "SystemExit", "system-shutdown"},
    {".Default", "SystemHand", "dialog-error"},
    {".Default", "SystemNotification", "message"},
    {".Default", "SystemQuestion", "dialog-question"},
    {".Default", "SystemStart", "system-ready"},
    {".Default", "WindowsLogoff", "desktop-logout"},
    {".Default", "WindowsLogon", "desktop-login"},
    {"Explorer", "EmptyRecycleBin", "trash-empty"},
    {"Explorer", "Navigating", "link-pressed"},
};

// The sound theme lookup tries these suffixes; a link keeps the one its
// file has when the desktop knows it.
constexpr const char* kSuffixes[] = {".disabled", ".oga", ".ogg", ".wav"};
constexpr char kFallbackTheme[] = "freedesktop";

std::string themeFolder() { return dataHome() + "/sounds/" + kSoundThemeName; }

struct Unref {
    void operator()(void* p) const { gio()->object_unref(p); }
};
struct SchemaUnref {
    void operator()(GSettingsSchema* p) const { gio()->settings_schema_unref(p); }
};

// The desktop's sound settings, when its schema is installed.
std::unique_ptr<GSettings, Unref> soundSettings(std::string& failure)
{
    std::string id = overrides().soundSettingsSchema.value_or("org.gnome.desktop.sound");
    const GioFunctions* g = gio();
    GSettingsSchemaSource* source = g ? g->settings_schema_source_get_default() : nullptr;
    std::unique_ptr<GSettingsSchema, SchemaUnref> schema(
        source ? g->settings_schema_source_lookup(source, id.c_str(), TRUE) : nullptr);
    if (!schema || !g->settings_schema_has_key(schema.get(), "theme-name")) {
        failure = "デスクトップの設定 " + id +
                  " がないため、サウンドテーマ「" + kSoundThemeName +
                  "」を選択できませんでした。デスクトップのサウンド設定で選んでください。";
        return nullptr;
    }
    return std::unique_ptr<GSettings, Unref>(g->settings_new_full(schema.get(), nullptr, nullptr));
}

std::string settingText(GSettings* settings, const char* key)
{
    gchar* value = gio()->settings_get_string(settings, key);
    std::string text = value ? value : "";
    gio()->free(value);
    return text;
}

std::string themeIndex(const std::string& parent)
{
    return "[Sound Theme]\n"
           "Name=TIDEBELL\n"
           "Comment=Sounds assigned to desktop events with TIDEBELL\n"
           "Inherits=" + parent + "\n"
           "Directories=stereo\n"
           "\n"
           "[stereo]\n"
           "OutputProfile=stereo\n";
}

// Writes index.theme (inheriting the theme the user had) and selects the
// theme; answers a failure that leaves the links usable.
std::optional<std::string> ensureTheme(std::string& selectFailure)
{
    std::string indexPath = themeFolder() + "/index.theme";
    std::string oldIndex;
    readIfExists(indexPath, oldIndex);
    int bad = 0;
    auto old = KeyFileText::parse(oldIndex, bad);
    std::string parent = old ? old->get("Sound Theme", "Inherits").value_or("") : "";

    auto settings = soundSettings(selectFailure);
    std::string current = settings ? settingText(settings.get(), "theme-name") : "";
    // Inheriting ourselves would loop; a theme chosen since is the new parent.
    if (!current.empty() && current != kSoundThemeName)
        parent = current;
    if (parent.empty() || parent == kSoundThemeName)
        parent = kFallbackTheme;

    std::string index = themeIndex(parent);
    if (index != oldIndex)
        if (auto failed = writeFile(indexPath, index))
            return failed;
    if (settings && current != kSoundThemeName) {
        if (!gio()->settings_set_string(settings.get(), "theme-name", kSoundThemeName))
            selectFailure = "サウンドテーマ「" + std::string(kSoundThemeName) + "」を選択できませんでした。";
        gio()->settings_sync();
    }
    return std::nullopt;
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
