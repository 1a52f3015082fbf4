#include <gtest/gtest.h>

#include <cstdlib>

#include "migrate/migration.h"
#include "platform/desktop.h"
#include "tests/support/sandbox.h"

using testing_support::Sandbox;

namespace {

// The old settings key of a test, and the folder the tool runs in.
class Migration : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH] = {};
        GetCurrentDirectoryA(sizeof folder, folder);
        m_savedFolder = folder;
        std::filesystem::create_directories(workFolder());
        ASSERT_TRUE(SetCurrentDirectoryA(platform::toWindowsPath(workFolder()).c_str()));
    }
    void TearDown() override { SetCurrentDirectoryA(m_savedFolder.c_str()); }

    std::string workFolder() const { return box.root() + "/work"; }
    std::string iniFile() const { return workFolder() + "/TIDEBELL.INI"; }

    static HKEY createKey(const char* path)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
                  ERROR_SUCCESS);
        return key;
    }
    static void setNumber(HKEY key, const char* name, DWORD value)
    {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    static void setText(HKEY key, const char* name, const std::string& value)
    {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }
    static bool keyExists(const char* path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }
    std::string iniValue(const char* key) const
    {
        char value[256] = {};
        GetPrivateProfileStringA("TIDEBELL", key, "<none>", value, sizeof value,
                                 platform::toWindowsPath(iniFile()).c_str());
        return value;
    }
    std::vector<std::string> shownTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : box.boxes->calls) {
            EXPECT_EQ(shown.caption, migrate::kCaption);
            texts.push_back(shown.text);
        }
        return texts;
    }

    Sandbox box;

private:
    std::string m_savedFolder;
};

}  // namespace

TEST_F(Migration, NumbersBecomeSizeListsAndFlagsBecomeOneOrZero)
{
    HKEY key = createKey("Software\\VELK\\TIDEBELL");
    setNumber(key, "MainLeft", 10);
    setNumber(key, "MainTop", 20);
    setNumber(key, "MainWidth", 640);
    setNumber(key, "MainHeight", 480);
    setNumber(key, "LZHWidth", 400);
    setNumber(key, "LZHHeight", 300);
    setNumber(key, "SingleClick", 2);
    setNumber(key, "SaveSetting", 0);
    setNumber(key, "DeleteTemp", 0xFFFFFFFF);
    setText(key, "SoundEvent", "1");  // not a number: counts as missing
    RegCloseKey(key);
    Sandbox::writeFile(iniFile(), "[TIDEBELL]\nOther=kept\nMainSize=old\n");

    EXPECT_EQ(migrate::runMigration(), 0);

    EXPECT_EQ(iniValue("MainSize"), "10,20,640,480,-1");
    EXPECT_EQ(iniValue("LZHSize"), "400,300");
    EXPECT_EQ(iniValue("SaveSetting"), "0");
    EXPECT_EQ(iniValue("SingleClick"), "1");
    EXPECT_EQ(iniValue("DeleteTemp"), "1");
    EXPECT_EQ(iniValue("ShowMainToolBar"), "0");  // missing
    EXPECT_EQ(iniValue("ShowLZHStatusBar"), "0");
    EXPECT_EQ(iniValue("SoundEvent"), "0");
    EXPECT_EQ(iniValue("Other"), "kept");
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{migrate::kAskText, migrate::kFinishedText}));
    EXPECT_EQ(box.boxes->calls[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(box.boxes->calls[1].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_FALSE(keyExists("Software\\VELK\\TIDEBELL"));
    EXPECT_FALSE(keyExists("Software\\VELK"));
    EXPECT_TRUE(keyExists("Software"));
}

TEST_F(Migration, TextSizesAreCopiedUnchangedAndBadOnesFallBack)
{
    HKEY key = createKey("Software\\VELK\\TIDEBELL");
    setText(key, "MainSize", "1,2,3,4,5");
    setNumber(key, "MainLeft", 99);  // ignored while the text exists
    setText(key, "LZHSize", "1,2\nSaveSetting=0");
    RegCloseKey(key);

    migrate::runMigration();
    EXPECT_EQ(iniValue("MainSize"), "1,2,3,4,5");
    EXPECT_EQ(iniValue("LZHSize"), "-1,-1");  // a line break would add keys
    EXPECT_EQ(iniValue("SaveSetting"), "0");

    key = createKey("Software\\VELK\\TIDEBELL");
    setNumber(key, "MainSize", 7);                   // a number where text belongs
    setText(key, "LZHSize", std::string(300, '9'));  // longer than 256 bytes
    RegCloseKey(key);
    migrate::runMigration();
    EXPECT_EQ(iniValue("MainSize"), "-1,-1,-1,-1,-1");
    EXPECT_EQ(iniValue("LZHSize"), "-1,-1");
}

TEST_F(Migration, AnsweringNoChangesNothingAndASecondRunFindsNoKey)
{
    HKEY key = createKey("Software\\VELK\\TIDEBELL");
    setNumber(key, "SingleClick", 1);
    RegCloseKey(key);

    box.boxes->answers = {IDNO};
    EXPECT_EQ(migrate::runMigration(), 0);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{migrate::kAskText});
    EXPECT_FALSE(Sandbox::exists(iniFile()));
    EXPECT_TRUE(keyExists("Software\\VELK\\TIDEBELL"));

    migrate::runMigration();
    EXPECT_EQ(iniValue("SingleClick"), "1");
    box.boxes->calls.clear();
    const std::string before = Sandbox::readFile(iniFile());

    EXPECT_EQ(migrate::runMigration(), 0);
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{migrate::kAskText, migrate::kNoRegistryText}));
    EXPECT_EQ(box.boxes->calls[1].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(Sandbox::readFile(iniFile()), before);
}

TEST_F(Migration, OtherKeysBelowTheVendorKeyAreKept)
{
    HKEY key = createKey("Software\\VELK\\TIDEBELL");
    setNumber(key, "LZHWidth", static_cast<DWORD>(-5));
    RegCloseKey(key);
    RegCloseKey(createKey("Software\\VELK\\OtherTool"));
    migrate::runMigration();
    EXPECT_EQ(iniValue("LZHSize"), "-5,0");
    EXPECT_EQ(iniValue("MainSize"), "0,0,0,0,-1");
    EXPECT_FALSE(keyExists("Software\\VELK\\TIDEBELL"));
    EXPECT_TRUE(keyExists("Software\\VELK\\OtherTool"));

    // A settings key that has sub-keys cannot go, and so neither can its parent.
    RegCloseKey(createKey("Software\\VELK\\TIDEBELL\\Child"));
    box.boxes->calls.clear();
    migrate::runMigration();
    EXPECT_TRUE(keyExists("Software\\VELK\\TIDEBELL\\Child"));
    EXPECT_EQ(shownTexts().back(), migrate::kFinishedText);
}

// The old key is the only copy of the settings until the file holds them all:
// started in a folder no Windows path can name, or beside a file it may not
// replace, the tool says so and deletes nothing.
TEST_F(Migration, OldKeyStaysWhenTheFileCannotBeWritten)
{
    RegCloseKey(createKey("Software\\VELK\\TIDEBELL"));
    {
        tidebell_test::DeepFolder deep(workFolder());
        EXPECT_EQ(migrate::runMigration(), 0);
    }
    EXPECT_TRUE(keyExists("Software\\VELK\\TIDEBELL"));
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{migrate::kAskText, migrate::kWriteFailedText}));
    EXPECT_EQ(box.boxes->calls[1].type, static_cast<UINT>(MB_OK | MB_ICONERROR));

    ASSERT_TRUE(SetCurrentDirectoryA(platform::toWindowsPath(workFolder()).c_str()));
    Sandbox::writeFile(iniFile(), "[TIDEBELL]\n");
    std::filesystem::permissions(iniFile(), std::filesystem::perms::owner_read);
    box.boxes->calls.clear();
    migrate::runMigration();
    EXPECT_TRUE(keyExists("Software\\VELK\\TIDEBELL"));
    EXPECT_EQ(shownTexts().back(), migrate::kWriteFailedText);
}

// Started in an installed program's folder, which it may not write, the tool
// writes the file the program reads there: the user's settings file.
TEST_F(Migration, InAnInstalledProgramsFolderTheUsersSettingsFileIsWritten)
{
    const std::string config = box.root() + "/config";
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    HKEY key = createKey("Software\\VELK\\TIDEBELL");
    setNumber(key, "LZHWidth", 400);
    setNumber(key, "LZHHeight", 300);
    RegCloseKey(key);
    const bool usrBinExists = std::filesystem::exists("/usr/bin/TIDEBELL.INI");

    ASSERT_TRUE(SetCurrentDirectoryA(platform::toWindowsPath("/usr/bin").c_str()));
    migrate::runMigration();

    const std::string programReads =
        platform::settingsFileBeside(platform::toWindowsPath("/usr/bin") + "\\", "TIDEBELL.INI");
    EXPECT_EQ(platform::toPosixPath(programReads), config + "/tidebell/TIDEBELL.INI");
    char value[256] = {};
    GetPrivateProfileStringA("TIDEBELL", "LZHSize", "<none>", value, sizeof value, programReads.c_str());
    EXPECT_STREQ(value, "400,300");
    EXPECT_EQ(std::filesystem::exists("/usr/bin/TIDEBELL.INI"), usrBinExists);
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{migrate::kAskText, migrate::kFinishedText}));
    EXPECT_FALSE(keyExists("Software\\VELK\\TIDEBELL"));
    if (saved) {
        setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}
