#include "migrate/migration.h"

#include <cstring>
#include <string>

#include "platform/desktop.h"
#include "platform/win32.h"

namespace migrate {

namespace {

constexpr char kSection[] = "TIDEBELL";
constexpr DWORD kTextSize = 256;

// Owns one open registry key.
class Key {
public:
    Key() = default;
    ~Key() { close(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool open(HKEY root, const char* path)
    {
        close();
        return RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &m_key) == ERROR_SUCCESS;
    }
    void close()
    {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
            m_key = nullptr;
        }
    }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

enum class TextRead { Found, Missing, Failed };

// A text value of at most 256 bytes. Anything but a terminated, single-line
// string counts as a failed read: a number's bytes or an unterminated buffer
// are no text, and a line break would add lines to the settings file.
TextRead readText(HKEY key, const char* name, char (&text)[kTextSize + 1])
{
    std::memset(text, 0, sizeof text);
    DWORD type = REG_NONE;
    DWORD size = kTextSize;
    const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size);
    if (result == ERROR_FILE_NOT_FOUND) {
        return TextRead::Missing;
    }
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return TextRead::Failed;
    }
    if (std::strpbrk(text, "\r\n") != nullptr) {
        return TextRead::Failed;
    }
    return TextRead::Found;
}

// A 32-bit value, or 0 when it is missing, unreadable or not a number.
LONG readNumber(HKEY key, const char* name)
{
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return 0;
    }
    return static_cast<LONG>(value);
}

// True when the key is in the file.
bool writeKey(const char* iniFile, const char* key, const char* value)
{
    return WritePrivateProfileStringA(kSection, key, value, iniFile) != FALSE;
}

bool copySize(HKEY key, const char* iniFile, const char* name, const char* const* parts, int partCount,
              const char* fallback)
{
    char text[kTextSize + 1];
    switch (readText(key, name, text)) {
    case TextRead::Found:
        return writeKey(iniFile, name, text);
    case TextRead::Missing: {
        LONG values[4] = {0, 0, 0, 0};
        for (int i = 0; i < partCount; ++i) {
            values[i] = readNumber(key, parts[i]);
        }
        char formatted[64];
        if (partCount == 4) {
            wsprintfA(formatted, "%ld,%ld,%ld,%ld,-1", values[0], values[1], values[2], values[3]);
        } else {
            wsprintfA(formatted, "%ld,%ld", values[0], values[1]);
        }
        return writeKey(iniFile, name, formatted);
    }
    case TextRead::Failed:
        break;
    }
    return writeKey(iniFile, name, fallback);
}

void say(const char* text, UINT icon = MB_ICONINFORMATION)
{
    MessageBoxA(nullptr, text, kCaption, MB_OK | icon);
}

}  // namespace

int runMigration()
{
    // The current folder as the platform reports it, with a "\" after it
    // unless it ends in one already (a drive root).
    char folder[kTextSize + 32] = {};
    // A folder that does not fit takes the file name alone, which names the
    // same file; one the platform cannot name at all (0) leaves that name to
    // fail, so the old settings stay.
    const DWORD length = GetCurrentDirectoryA(kTextSize, folder);
    if (length == 0 || length >= kTextSize) {
        folder[0] = '\0';
    }
    const std::size_t used = std::strlen(folder);
    if (used > 0 && folder[used - 1] != '\\') {
        lstrcatA(folder, "\\");
    }

    if (MessageBoxA(nullptr, kAskText, kCaption, MB_YESNO | MB_ICONQUESTION) == IDNO) {
        return 0;
    }

    Key settings;
    if (!settings.open(HKEY_CURRENT_USER, "Software\\VELK\\TIDEBELL")) {
        say(kNoRegistryText);
        return 0;
    }
    // The file the program reads when this is its folder: one it may not
    // write (an installed program's) sends both to the user's settings
    // folder, where the program looks then.
    const std::string target =
        used > 0 ? platform::settingsFileBeside(folder, "TIDEBELL.INI") : std::string("TIDEBELL.INI");
    const char* const iniFile = target.c_str();
    const char* const mainParts[] = {"MainLeft", "MainTop", "MainWidth", "MainHeight"};
    bool written = copySize(settings.get(), iniFile, "MainSize", mainParts, 4, "-1,-1,-1,-1,-1");
    const char* const lzhParts[] = {"LZHWidth", "LZHHeight"};
    written = copySize(settings.get(), iniFile, "LZHSize", lzhParts, 2, "-1,-1") && written;
    for (const char* flag : {"SaveSetting", "SingleClick", "DeleteTemp", "ShowMainToolBar", "ShowMainStatusBar",
                             "ShowLZHToolBar", "ShowLZHStatusBar", "SoundEvent"}) {
        written = writeKey(iniFile, flag, readNumber(settings.get(), flag) != 0 ? "1" : "0") && written;
    }
    settings.close();
    // The old key is the only copy until every setting is in the file.
    if (!written) {
        say(kWriteFailedText, MB_ICONERROR);
        return 0;
    }

    Key velk;
    if (velk.open(HKEY_CURRENT_USER, "Software\\VELK")) {
        // Fails, as it should, while TIDEBELL still has sub-keys.
        RegDeleteKeyA(velk.get(), "TIDEBELL");
        char name[kTextSize] = {};
        DWORD nameSize = kTextSize;
        if (RegEnumKeyExA(velk.get(), 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) == ERROR_NO_MORE_ITEMS) {
            velk.close();
            Key software;
            if (software.open(HKEY_CURRENT_USER, "Software")) {
                RegDeleteKeyA(software.get(), "VELK");
            }
        }
    }
    velk.close();
    say(kFinishedText);
    return 0;
}

}  // namespace migrate
