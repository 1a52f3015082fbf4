// The registry's shell verb and sound events as the Linux desktop sees them:
// private XDG folders, the memory GSettings backend, the freedesktop tools
// and libcanberra playing into ALSA's null device.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/desktop.h"
#include "platform/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wave_bytes.h"

// After win32.h, whose TRUE and FALSE GLib then leaves alone.
#include <canberra.h>
#include <gio/gio.h>

namespace fs = std::filesystem;

namespace {

// One set of XDG folders for the whole process: GLib reads them once.
const tidebell_test::TempDir& world()
{
    static tidebell_test::TempDir dir;
    static bool ready = [] {
        ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", dir.file("etc").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (dir.file("system") + ":/usr/share").c_str(), 1);
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
        ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
        ::setenv("HOME", dir.file("home").c_str(), 1);
        ::unsetenv("XDG_CURRENT_DESKTOP");
        // No session bus: the Xfce settings are a file unless a test starts a bus.
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::unsetenv("XDG_RUNTIME_DIR");
        // A player that opens WAVE files before the verb exists.
        dir.write("system/applications/player.desktop", "[Desktop Entry]\nType=Application\nName=Player\nExec=true %f\n"
                                                        "MimeType=audio/x-wav;audio/wav;\n");
        dir.write("system/applications/mimeinfo.cache",
                  "[MIME Cache]\naudio/x-wav=player.desktop;\naudio/wav=player.desktop;\n");
        // ALSA without a sound card: libcanberra plays into the null device.
        dir.write("asound.conf", "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        ::setenv("ALSA_CONFIG_PATH", dir.file("asound.conf").c_str(), 1);
        return true;
    }();
    (void)ready;
    return dir;
}

std::string run(const std::string& command)
{
    std::string out;
    if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

bool haveSoundSettings()
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.sound", TRUE) : nullptr;
    if (schema)
        g_settings_schema_unref(schema);
    return schema != nullptr;
}

bool haveTool(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null").c_str()) == 0;
}

class DesktopTest : public testing::Test {
protected:
    void SetUp() override
    {
        const auto& w = world();
        for (const char* sub : {"data", "config", "files", "home"}) {
            std::error_code ec;
            fs::permissions(w.file(sub), fs::perms::owner_all, ec);
            fs::remove_all(w.file(sub), ec);
            fs::create_directories(w.file(sub));
        }
        platform::overrides().registryFile = w.file("files/registry.reg");
        platform::overrides().desktopMirror = true;
    }
    void TearDown() override { platform::overrides() = m_saved; }

    static std::string data(const std::string& rest) { return world().file("data/" + rest); }
    static std::string config(const std::string& rest) { return world().file("config/" + rest); }
    static std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void write(const std::string& path, const std::string& text)
    {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    static HKEY create(HKEY root, const char* path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
        return key;
    }
    static LONG setDefault(HKEY root, const char* path, const std::string& text)
    {
        HKEY key = create(root, path);
        LONG rc = RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
        return rc;
    }
    static bool opens(HKEY root, const char* path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    static std::string readDefault(HKEY root, const char* path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return "<none>";
        char buffer[1024] = {};
        DWORD size = sizeof buffer;
        LONG rc = RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? buffer : "<none>";
    }

    // What the options dialog writes and deletes.
    static LONG setVerb(const std::string& program)
    {
        EXPECT_EQ(setDefault(HKEY_CLASSES_ROOT, "SoundRec\\shell\\events", "サウンドイベント設定"), ERROR_SUCCESS);
        return setDefault(HKEY_CLASSES_ROOT, "SoundRec\\shell\\events\\command",
                          "\"" + platform::toWindowsPath(program) + "\" \"%1\"");
    }
    static LONG deleteVerb()
    {
        HKEY shell = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "SoundRec\\shell", 0, KEY_ALL_ACCESS, &shell) != ERROR_SUCCESS)
            return ERROR_FILE_NOT_FOUND;
        RegDeleteKeyA(shell, "events\\command");
        LONG rc = RegDeleteKeyA(shell, "events");
        RegCloseKey(shell);
        return rc;
    }
    static std::string entry() { return data("applications/" + std::string(platform::kVerbDesktopId)); }

    platform::Overrides m_saved = platform::overrides();
};

const char kUserMimeapps[] = "# kept by the user\n"
                             "[Default Applications]\n"
                             "text/plain=vim.desktop;\n"
                             "\n"
                             "[Added Associations]\n"
                             "audio/x-wav=other.desktop;\n"
                             "image/png=viewer.desktop;\n";

TEST_F(DesktopTest, VerbBecomesAnAssociatedApplicationOfWaveFilesAndGoesWithItsKey)
{
    write(config("mimeapps.list"), kUserMimeapps);
    // The desktop lists an entry only when its program exists; its path
    // needs the quoting of Exec= and of the key file.
    std::string program = world().file("files/my programs $HOME/TIDEBELL");
    write(program, "#!/bin/sh\n");
    fs::permissions(program, fs::perms::owner_all);

    ASSERT_EQ(setVerb(program), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");

    std::string text = read(entry());
    EXPECT_NE(text.find("Name=サウンドイベント設定\n"), std::string::npos) << text;
    std::string quoted = world().file("files/my programs \\\\$HOME/TIDEBELL");
    EXPECT_NE(text.find("Exec=\"" + quoted + "\" %f\n"), std::string::npos) << text;
    EXPECT_NE(text.find("audio/x-wav;"), std::string::npos);
    if (haveTool("desktop-file-validate")) {
        EXPECT_EQ(run("desktop-file-validate '" + entry() + "'"), "");
    }

    // The user's lines stay; the verb is added after the user's own choice.
    std::string mimeapps = read(config("mimeapps.list"));
    EXPECT_EQ(mimeapps.rfind("# kept by the user\n[Default Applications]\ntext/plain=vim.desktop;\n", 0), 0u)
        << mimeapps;
    EXPECT_NE(mimeapps.find("audio/x-wav=other.desktop;tidebell-sound-event.desktop;\n"), std::string::npos)
        << mimeapps;
    EXPECT_NE(mimeapps.find("image/png=viewer.desktop;\n"), std::string::npos);

    // The file managers list it for WAVE files, and it never becomes what
    // opens them.
    if (haveTool("gio")) {
        for (const char* type : {"audio/x-wav", "audio/wav"}) {
            std::string gio = run(std::string("gio mime ") + type);
            EXPECT_NE(gio.find("Recommended applications:"), std::string::npos) << gio;
            EXPECT_NE(gio.find("tidebell-sound-event.desktop"), std::string::npos) << gio;
            EXPECT_NE(gio.find(std::string("Default application for “") + type + "”: player.desktop"),
                      std::string::npos)
                << gio;
        }
    }
    if (haveTool("xdg-mime")) {
        EXPECT_EQ(run("xdg-mime query default audio/x-wav"), "player.desktop\n");
    }

    // Writing it again (another program path) changes the entry only.
    ASSERT_EQ(setVerb(program + "2"), ERROR_SUCCESS);
    EXPECT_NE(read(entry()).find("TIDEBELL2\" %f"), std::string::npos);
    EXPECT_EQ(read(config("mimeapps.list")), mimeapps);

    // Deleting the key as the options dialog does takes back all of it.
    EXPECT_EQ(deleteVerb(), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_EQ(read(config("mimeapps.list")), kUserMimeapps);
    EXPECT_FALSE(opens(HKEY_CLASSES_ROOT, "SoundRec\\shell\\events"));
}

TEST_F(DesktopTest, VerbLeftOnTheDesktopShowsAsPresentAndCanBeRemoved)
{
    ASSERT_EQ(setVerb("/opt/t/TIDEBELL"), ERROR_SUCCESS);
    ASSERT_TRUE(fs::exists(entry()));
    // A new registry without the verb, the desktop entry still there.
    platform::overrides().registryFile = world().file("files/other.reg");
    EXPECT_TRUE(opens(HKEY_CLASSES_ROOT, "\\SoundRec\\shell\\events"));
    EXPECT_FALSE(opens(HKEY_CLASSES_ROOT, "SoundRec\\shell\\events\\command"));
    EXPECT_FALSE(opens(HKEY_CLASSES_ROOT, "OtherType\\shell\\events"));

    EXPECT_EQ(deleteVerb(), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_FALSE(opens(HKEY_CLASSES_ROOT, "SoundRec\\shell\\events"));
    EXPECT_EQ(deleteVerb(), ERROR_FILE_NOT_FOUND);
}

TEST_F(DesktopTest, BrokenDesktopConfigurationKeepsTheRegistryAndTheUsersFiles)
{
    // A mimeapps.list we cannot read is reported and left as it is.
    const std::string broken = "[Added Associations]\nthis is not a key file line\n";
    write(config("mimeapps.list"), broken);
    EXPECT_EQ(setVerb("/opt/t/TIDEBELL"), ERROR_SUCCESS);
    EXPECT_NE(readDefault(HKEY_CLASSES_ROOT, "SoundRec\\shell\\events\\command"), "<none>");
    EXPECT_NE(platform::lastDesktopNotice().find("mimeapps.list の 2 行目"), std::string::npos)
        << platform::lastDesktopNotice();
    EXPECT_EQ(read(config("mimeapps.list")), broken);
    EXPECT_EQ(deleteVerb(), ERROR_SUCCESS);
    EXPECT_EQ(read(config("mimeapps.list")), broken);

    // A data folder we cannot write into: the registry still takes the verb.
    fs::remove(config("mimeapps.list"));
    fs::remove_all(data("applications"));
    write(data("applications"), "not a folder");
    std::vector<std::string> notices;
    auto previous = platform::setDesktopNoticeHandler([&](const std::string& m) { notices.push_back(m); });
    EXPECT_EQ(setVerb("/opt/t/TIDEBELL"), ERROR_SUCCESS);
    platform::setDesktopNoticeHandler(previous);
    EXPECT_EQ(readDefault(HKEY_CLASSES_ROOT, "SoundRec\\shell\\events"), "サウンドイベント設定");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("「サウンドイベント設定」を登録できませんでした"), std::string::npos) << notices[0];
    EXPECT_EQ(read(data("applications")), "not a folder");
    EXPECT_FALSE(fs::exists(config("mimeapps.list")));
}

// Plays an event as a desktop does: the theme GSettings names, looked up by
// libcanberra in a process of its own. Answers the canberra result.
int playEventOfTheme(const char* sound, const std::string& theme)
{
    fs::remove_all(world().file("cache"));
    std::string out = run(std::string(CANBERRA_PLAY) + " " + sound + " '" + theme + "'");
    return out.empty() ? -1000 : std::atoi(out.c_str());
}

std::string themeOf(const char* schema)
{
    GSettings* settings = g_settings_new(schema);
    gchar* theme = g_settings_get_string(settings, "theme-name");
    std::string text = theme;
    g_free(theme);
    g_object_unref(settings);
    return text;
}

int playEvent(const char* sound)
{
    return playEventOfTheme(sound, themeOf("org.gnome.desktop.sound"));
}

std::string wave()
{
    // 10 ms of silence, 8 kHz mono 8-bit.
    return tidebell_test::pcmWave(std::string(80, '\x80'));
}

TEST_F(DesktopTest, AssignedSoundPlaysForTheDesktopEventThroughTheSelectedTheme)
{
    if (!haveSoundSettings())
        GTEST_SKIP() << "the desktop's sound settings schema is not installed";
    GSettings* settings = g_settings_new("org.gnome.desktop.sound");
    g_settings_set_string(settings, "theme-name", "freedesktop");
    const char* login = "AppEvents\\Schemes\\Apps\\.Default\\WindowsLogon\\.Current";
    std::string file = world().file("files/ログオン.wav");
    write(file, wave());
    // The freedesktop theme has no login sound.
    EXPECT_EQ(playEvent("desktop-login"), CA_ERROR_NOTFOUND);

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, login, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    std::string link = data("sounds/tidebell/stereo/desktop-login.wav");
    EXPECT_EQ(fs::read_symlink(link).string(), file);
    EXPECT_NE(read(data("sounds/tidebell/index.theme")).find("Inherits=freedesktop\n"), std::string::npos);
    gchar* theme = g_settings_get_string(settings, "theme-name");
    EXPECT_STREQ(theme, "tidebell");
    g_free(theme);
    EXPECT_EQ(playEvent("desktop-login"), CA_SUCCESS);

    // A second assignment keeps the inherited theme; an empty one takes the
    // sound away again; a file that is gone is not found.
    std::string ogg = world().file("files/b.OGG");
    write(ogg, "");
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, login, platform::toWindowsPath(ogg)), ERROR_SUCCESS);
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(data("sounds/tidebell/stereo/desktop-login.ogg")));
    EXPECT_NE(read(data("sounds/tidebell/index.theme")).find("Inherits=freedesktop\n"), std::string::npos);
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, login, ""), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_empty(data("sounds/tidebell/stereo")));
    EXPECT_EQ(playEvent("desktop-login"), CA_ERROR_NOTFOUND);
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, login, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_EQ(playEvent("desktop-login"), CA_SUCCESS);
    fs::remove(file);
    EXPECT_EQ(playEvent("desktop-login"), CA_ERROR_NOTFOUND);

    // An event without a desktop counterpart stays in the registry only.
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\.Default\\AppGPFault\\.Current", "C:\\x.wav"),
              ERROR_SUCCESS);
    EXPECT_EQ(fs::directory_iterator(data("sounds/tidebell/stereo"))->path().filename(), "desktop-login.wav");
    EXPECT_EQ(std::distance(fs::directory_iterator(data("sounds/tidebell/stereo")), fs::directory_iterator()), 1);
    g_object_unref(settings);
}

bool haveSchema(const char* id)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
    if (schema)
        g_settings_schema_unref(schema);
    return schema != nullptr;
}

// A user's own theme with one sound of its own.
void writeOwnTheme(const std::string& name, const char* sound)
{
    std::ofstream(world().file("files/x")) << "";
    fs::create_directories(world().file("data/sounds/" + name + "/stereo"));
    std::ofstream(world().file("data/sounds/" + name + "/index.theme"))
        << "[Sound Theme]\nName=" << name << "\nDirectories=stereo\n\n[stereo]\nOutputProfile=stereo\n";
    std::ofstream(world().file("data/sounds/" + name + "/stereo/" + sound + ".wav"), std::ios::binary) << wave();
}

bool userSet(const char* schema)
{
    GSettings* settings = g_settings_new(schema);
    GVariant* value = g_settings_get_user_value(settings, "theme-name");
    g_object_unref(settings);
    if (value)
        g_variant_unref(value);
    return value != nullptr;
}

void setTheme(const char* schema, const char* theme)
{
    GSettings* settings = g_settings_new(schema);
    if (theme)
        g_settings_set_string(settings, "theme-name", theme);
    else
        g_settings_reset(settings, "theme-name");
    g_object_unref(settings);
}

const char* const kLogin = "AppEvents\\Schemes\\Apps\\.Default\\WindowsLogon\\.Current";

// A private session bus for the rest of the process; answers its process id.
int startSessionBus()
{
    std::string bus = run("dbus-daemon --session --fork --print-address=1 --print-pid=1");
    std::string address = bus.substr(0, bus.find('\n'));
    int pid = std::atoi(bus.substr(bus.find('\n') + 1).c_str());
    if (pid > 0)
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    return pid;
}

// Polls until the condition holds or five seconds passed.
template <typename Condition> bool waitFor(Condition condition)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

TEST_F(DesktopTest, PreviousThemeThatIsNotInstalledStillLetsTheAssignedSoundPlay)
{
    if (!haveSoundSettings())
        GTEST_SKIP() << "the desktop's sound settings schema is not installed";
    // A theme the user once chose and has since removed: the sound theme
    // lookup gives up on a theme whose parent is missing.
    setTheme("org.gnome.desktop.sound", "removed-long-ago");
    std::string file = world().file("files/login.wav");
    write(file, wave());

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    EXPECT_EQ(themeOf("org.gnome.desktop.sound"), "tidebell");
    EXPECT_EQ(playEvent("desktop-login"), CA_SUCCESS);
    // It is still what undoing gives back.
    const std::string index = read(data("sounds/tidebell/index.theme"));
    EXPECT_NE(index.find("X-TIDEBELL-Previous-org.gnome.desktop.sound=removed-long-ago\n"), std::string::npos) << index;
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, ""), ERROR_SUCCESS);
    EXPECT_EQ(themeOf("org.gnome.desktop.sound"), "removed-long-ago");
}

TEST_F(DesktopTest, GnomeMateAndCinnamonPlayTheAssignedSoundAndGetTheirThemesBack)
{
    for (const char* id : {"org.gnome.desktop.sound", "org.mate.sound", "org.cinnamon.desktop.sound"})
        if (!haveSchema(id))
            GTEST_SKIP() << id << " is not installed";
    writeOwnTheme("mine", "dialog-information");
    setTheme("org.gnome.desktop.sound", "freedesktop");
    setTheme("org.mate.sound", "mine");
    setTheme("org.cinnamon.desktop.sound", nullptr);
    std::string file = world().file("files/login.wav");
    write(file, wave());

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    for (const char* id : {"org.gnome.desktop.sound", "org.mate.sound", "org.cinnamon.desktop.sound"}) {
        EXPECT_EQ(themeOf(id), "tidebell") << id;
        EXPECT_EQ(playEventOfTheme("desktop-login", themeOf(id)), CA_SUCCESS) << id;
    }
    // Each desktop's own theme stays a parent: MATE's sound still plays.
    EXPECT_NE(read(data("sounds/tidebell/index.theme")).find("Inherits=freedesktop,mine\n"), std::string::npos);
    EXPECT_EQ(playEventOfTheme("dialog-information", themeOf("org.mate.sound")), CA_SUCCESS);

    // Taking the last sound away gives every desktop its own choice back,
    // the default where the user had chosen none.
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, ""), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    EXPECT_EQ(themeOf("org.gnome.desktop.sound"), "freedesktop");
    EXPECT_TRUE(userSet("org.gnome.desktop.sound"));
    EXPECT_EQ(themeOf("org.mate.sound"), "mine");
    EXPECT_FALSE(userSet("org.cinnamon.desktop.sound"));

    // A theme the user chose meanwhile is the user's: undoing leaves it.
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    setTheme("org.cinnamon.desktop.sound", "other");
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, ""), ERROR_SUCCESS);
    EXPECT_EQ(themeOf("org.cinnamon.desktop.sound"), "other");
    EXPECT_EQ(themeOf("org.mate.sound"), "mine");
}

TEST_F(DesktopTest, PlasmaAndXfceFilesNameTheThemeAndKeepEverythingElse)
{
    if (!haveTool("kreadconfig5") || !haveTool("xfconf-query") || !haveTool("dbus-run-session"))
        GTEST_SKIP() << "the KDE config reader or xfconf is not installed";
    platform::overrides().soundSettingsSchemas = std::vector<std::string>{};
    writeOwnTheme("oxygen", "dialog-information");
    const std::string kde = "# the user's\n[General]\nColorScheme=BreezeDark\n\n[Sounds]\nEnable=true\nTheme=oxygen\n\n"
                            "[WM]\nactiveBlend=#ffffff\n";
    const std::string xfce =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<channel name=\"xsettings\" version=\"1.0\">\n"
        "  <!-- the user's -->\n  <property name=\"Net\" type=\"empty\">\n"
        "    <property name=\"ThemeName\" type=\"string\" value=\"Adwaita\"/>\n"
        "  </property>\n  <property name=\"Gtk\" type=\"empty\"/>\n</channel>\n";
    const std::string xfcePath = config("xfce4/xfconf/xfce-perchannel-xml/xsettings.xml");
    write(config("kdeglobals"), kde);
    write(xfcePath, xfce);
    auto kdeTheme = [] { return run("kreadconfig5 --file kdeglobals --group Sounds --key Theme"); };
    auto xfceQuery = [](const char* property) {
        // The daemons' own chatter on standard error is not the answer.
        return run(std::string("sh -c 'dbus-run-session -- xfconf-query -c xsettings -p ") + property +
                   " 2>/dev/null'");
    };
    std::string file = world().file("files/login.wav");
    write(file, wave());

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    EXPECT_EQ(kdeTheme(), "tidebell\n");
    EXPECT_EQ(run("kreadconfig5 --file kdeglobals --group WM --key activeBlend"), "#ffffff\n");
    EXPECT_EQ(xfceQuery("/Net/SoundThemeName"), "tidebell\n");
    EXPECT_EQ(xfceQuery("/Net/ThemeName"), "Adwaita\n");
    EXPECT_NE(read(xfcePath).find("<!-- the user's -->"), std::string::npos);
    EXPECT_NE(read(config("kdeglobals")).find("# the user's\n"), std::string::npos);
    // Played through the theme each desktop's own tool names.
    auto named = [](std::string answer) { return answer.substr(0, answer.find('\n')); };
    EXPECT_EQ(playEventOfTheme("desktop-login", named(kdeTheme())), CA_SUCCESS);
    EXPECT_EQ(playEventOfTheme("desktop-login", named(xfceQuery("/Net/SoundThemeName"))), CA_SUCCESS);
    EXPECT_NE(read(data("sounds/tidebell/index.theme")).find("Inherits=oxygen,freedesktop\n"), std::string::npos);
    EXPECT_EQ(playEventOfTheme("dialog-information", named(kdeTheme())), CA_SUCCESS);

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, ""), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    EXPECT_EQ(read(config("kdeglobals")), kde);
    EXPECT_EQ(read(xfcePath), xfce);

    // A file neither desktop would read is left as it is; the other desktop
    // still gets the theme.
    const std::string broken = "stray line\n[Sounds]\nTheme=oxygen\n";
    write(config("kdeglobals"), broken);
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_NE(platform::lastDesktopNotice().find("サウンドテーマ「tidebell」を選択できませんでした。"),
              std::string::npos);
    EXPECT_NE(platform::lastDesktopNotice().find("kdeglobals"), std::string::npos);
    EXPECT_EQ(read(config("kdeglobals")), broken);
    EXPECT_EQ(xfceQuery("/Net/SoundThemeName"), "tidebell\n");
    EXPECT_TRUE(fs::is_symlink(data("sounds/tidebell/stereo/desktop-login.wav")));
}

TEST_F(DesktopTest, RunningXfceSettingsDaemonIsAskedThroughXfconf)
{
    if (!haveTool("xfconf-query") || !haveTool("dbus-daemon"))
        GTEST_SKIP() << "xfconf or D-Bus is not installed";
    platform::overrides().soundSettingsSchemas = std::vector<std::string>{};
    write(config("xfce4/xfconf/xfce-perchannel-xml/xsettings.xml"),
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channel name=\"xsettings\" version=\"1.0\">\n</channel>\n");
    int pid = startSessionBus();
    ASSERT_GT(pid, 0);
    std::string file = world().file("files/login.wav");
    write(file, wave());

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    EXPECT_EQ(run("xfconf-query -c xsettings -p /Net/SoundThemeName"), "tidebell\n");
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, ""), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    EXPECT_NE(run("xfconf-query -c xsettings -p /Net/SoundThemeName").find("does not exist"), std::string::npos);

    ::kill(pid, SIGTERM);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// Plasma's programs hear which keys of kdeglobals changed, as from Plasma's
// own settings tools: group -> keys, each key's bytes.
void recordConfigChanged(GDBusConnection*, const gchar*, const gchar* path, const gchar*, const gchar*,
                         GVariant* parameters, gpointer heard)
{
    std::string text = std::string(path) + " " + g_variant_get_type_string(parameters);
    GVariant* changes = g_variant_get_child_value(parameters, 0);
    GVariantIter groups;
    g_variant_iter_init(&groups, changes);
    const gchar* group = nullptr;
    GVariant* keys = nullptr;
    while (g_variant_iter_next(&groups, "{&s@aay}", &group, &keys)) {
        for (gsize i = 0; i < g_variant_n_children(keys); ++i) {
            GVariant* key = g_variant_get_child_value(keys, i);
            gsize size = 0;
            auto bytes = static_cast<const char*>(g_variant_get_fixed_array(key, &size, 1));
            text += " " + std::string(group) + ":" + std::string(bytes, size);
            g_variant_unref(key);
        }
        g_variant_unref(keys);
    }
    g_variant_unref(changes);
    static_cast<std::vector<std::string>*>(heard)->push_back(text);
}

TEST_F(DesktopTest, PlasmaIsToldOverTheSessionBusWhenItsSoundThemeChanges)
{
    if (!haveTool("dbus-daemon"))
        GTEST_SKIP() << "D-Bus is not installed";
    platform::overrides().soundSettingsSchemas = std::vector<std::string>{};
    write(config("kdeglobals"), "[Sounds]\nTheme=oxygen\n");
    int pid = startSessionBus();
    ASSERT_GT(pid, 0);
    GDBusConnection* listener = g_dbus_connection_new_for_address_sync(
        std::getenv("DBUS_SESSION_BUS_ADDRESS"),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    ASSERT_NE(listener, nullptr);
    std::vector<std::string> heard;
    g_dbus_connection_signal_subscribe(listener, nullptr, "org.kde.kconfig.notify", "ConfigChanged", nullptr, nullptr,
                                       G_DBUS_SIGNAL_FLAGS_NONE, recordConfigChanged, &heard, nullptr);
    // A call answered after the bus took the subscription.
    GVariant* id =
        g_dbus_connection_call_sync(listener, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                    "GetId", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    ASSERT_NE(id, nullptr);
    g_variant_unref(id);
    std::string file = world().file("files/login.wav");
    write(file, wave());

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    ASSERT_TRUE(waitFor([&] { return !heard.empty(); }));
    EXPECT_EQ(heard[0], "/kdeglobals (a{saay}) Sounds:Theme");
    // A second sound leaves kdeglobals as it is: nothing to tell.
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\.Default\\WindowsLogoff\\.Current",
                         platform::toWindowsPath(file)),
              ERROR_SUCCESS);
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\.Default\\WindowsLogoff\\.Current", ""),
              ERROR_SUCCESS);
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, ""), ERROR_SUCCESS);
    EXPECT_EQ(read(config("kdeglobals")), "[Sounds]\nTheme=oxygen\n");
    ASSERT_TRUE(waitFor([&] { return heard.size() >= 2; }));
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1], "/kdeglobals (a{saay}) Sounds:Theme");

    g_object_unref(listener);
    ::kill(pid, SIGTERM);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST_F(DesktopTest, XsettingsdFilesNameTheThemeKeepTheUsersLinesAndTheManagerRereadsThem)
{
    platform::overrides().soundSettingsSchemas = std::vector<std::string>{};
    writeOwnTheme("oxygen", "dialog-information");
    const std::string home = world().file("home/.xsettingsd");
    const std::string conf = config("xsettingsd/xsettingsd.conf");
    const std::string mine = "# the user's\nNet/ThemeName \"Adwaita\"\n\nNet/SoundThemeName \"oxygen\"  # mine\n"
                             "Xft/DPI 98304";
    const std::string other = "Xft/Antialias 1\n";
    write(home, mine);
    write(conf, other);
    // A stand-in for the running manager that notes each request to reread.
    const std::string manager = world().file("files/bin/xsettingsd");
    const std::string rereads = world().file("files/rereads");
    write(manager, "#!/bin/sh\ntrap 'echo reread >> " + rereads + "' HUP\ntouch " + rereads +
                       "\nwhile :; do sleep 0.05; done\n");
    fs::permissions(manager, fs::perms::owner_all);
    int managerPid = std::atoi(run(manager + " >/dev/null 2>&1 & echo $!").c_str());
    ASSERT_GT(managerPid, 0);
    ASSERT_TRUE(waitFor([&] { return fs::exists(rereads); }));
    std::string file = world().file("files/login.wav");
    write(file, wave());

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    EXPECT_EQ(read(home), "# the user's\nNet/ThemeName \"Adwaita\"\n\nNet/SoundThemeName \"tidebell\"  # mine\n"
                          "Xft/DPI 98304");
    EXPECT_EQ(read(conf), "Xft/Antialias 1\nNet/SoundThemeName \"tidebell\"\n");
    EXPECT_TRUE(waitFor([&] { return read(rereads).find("reread") != std::string::npos; }));
    EXPECT_NE(read(data("sounds/tidebell/index.theme")).find("Inherits=oxygen,freedesktop\n"), std::string::npos);
    EXPECT_EQ(playEventOfTheme("desktop-login", "tidebell"), CA_SUCCESS);

    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, ""), ERROR_SUCCESS);
    EXPECT_EQ(platform::lastDesktopNotice(), "");
    EXPECT_EQ(read(home), mine);
    EXPECT_EQ(read(conf), other);

    // A value the manager would not take either stays as it is.
    const std::string broken = "Net/SoundThemeName oxygen\n";
    write(home, broken);
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_NE(platform::lastDesktopNotice().find("サウンドテーマ「tidebell」を選択できませんでした。"),
              std::string::npos);
    EXPECT_NE(platform::lastDesktopNotice().find(home), std::string::npos) << platform::lastDesktopNotice();
    EXPECT_EQ(read(home), broken);
    EXPECT_EQ(read(conf), "Xft/Antialias 1\nNet/SoundThemeName \"tidebell\"\n");

    ::kill(managerPid, SIGKILL);
}

TEST_F(DesktopTest, SessionBusThatHangsIsGivenUpAndXfconfReported)
{
    platform::overrides().soundSettingsSchemas = std::vector<std::string>{};
    write(config("kdeglobals"), "[Sounds]\nTheme=oxygen\n");
    write(config("xfce4/xfconf/xfce-perchannel-xml/xsettings.xml"),
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channel name=\"xsettings\" version=\"1.0\">\n</channel>\n");
    // A session bus that hangs: the query waits far longer than anyone would.
    const std::string sleeper = world().file("files/sleeper");
    write(world().file("files/bin/xfconf-query"), "#!/bin/sh\nsleep 60 &\necho $! > " + sleeper + "\nwait\n");
    fs::permissions(world().file("files/bin/xfconf-query"), fs::perms::owner_all);
    ::setenv("PATH", (world().file("files/bin") + ":" + std::getenv("PATH")).c_str(), 1);
    // A bus that takes connections and never answers them.
    const std::string socketPath = world().file("files/bus");
    int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listening, 4), 0);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socketPath).c_str(), 1);
    std::string file = world().file("files/login.wav");
    write(file, wave());

    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, kLogin, platform::toWindowsPath(file)), ERROR_SUCCESS);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_NE(platform::lastDesktopNotice().find("サウンドテーマ「tidebell」を選択できませんでした。"),
              std::string::npos);
    EXPECT_NE(platform::lastDesktopNotice().find("xfconf-query"), std::string::npos) << platform::lastDesktopNotice();
    EXPECT_NE(platform::lastDesktopNotice().find("応答がありません"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(data("sounds/tidebell/stereo/desktop-login.wav")));
    // Plasma's file was written; that nobody heard of it is no failure.
    EXPECT_EQ(read(config("kdeglobals")), "[Sounds]\nTheme=tidebell\n");
    EXPECT_EQ(platform::lastDesktopNotice().find("kdeglobals"), std::string::npos);
    // Nothing it started is left running.
    std::string stat = "/proc/" + read(sleeper).substr(0, read(sleeper).find('\n')) + "/stat";
    EXPECT_TRUE(waitFor([&] {
        std::string text = read(stat);
        return text.empty() || text.find(") Z") != std::string::npos;
    })) << read(stat);
    ::close(listening);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST_F(DesktopTest, SoundEventsWithoutSettingsSchemaOrWritableFolderStillReachTheRegistry)
{
    const char* warning = "AppEvents\\Schemes\\Apps\\.Default\\SystemExclamation\\.Current";
    std::string file = world().file("files/a.wav");
    write(file, wave());

    platform::overrides().soundSettingsSchemas = std::vector<std::string>{"org.example.absent"};
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, warning, platform::toWindowsPath(file)), ERROR_SUCCESS);
    EXPECT_NE(platform::lastDesktopNotice().find("org.example.absent"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(data("sounds/tidebell/stereo/dialog-warning.wav")));
    EXPECT_NE(read(data("sounds/tidebell/index.theme")).find("Inherits=freedesktop\n"), std::string::npos);

    fs::remove_all(data("sounds"));
    write(data("sounds"), "not a folder");
    ASSERT_EQ(setDefault(HKEY_CURRENT_USER, warning, "C:\\other.wav"), ERROR_SUCCESS);
    EXPECT_EQ(readDefault(HKEY_CURRENT_USER, warning), "C:\\other.wav");
    EXPECT_NE(platform::lastDesktopNotice().find("サウンドテーマに反映できませんでした"), std::string::npos);
    EXPECT_EQ(read(data("sounds")), "not a folder");
}

TEST_F(DesktopTest, SettingsFileStaysBesideAWritableProgramOnly)
{
    std::string folder = platform::toWindowsPath(world().file("files")) + "\\";
    EXPECT_EQ(platform::settingsFileBeside(folder, "TIDEBELL.INI"), folder + "TIDEBELL.INI");
    std::string installed = platform::settingsFileBeside(platform::toWindowsPath("/usr/bin") + "\\", "TIDEBELL.INI");
    EXPECT_EQ(platform::toPosixPath(installed), config("tidebell/TIDEBELL.INI"));
    EXPECT_TRUE(fs::is_directory(config("tidebell")));
}

}  // namespace
