#include <gtest/gtest.h>

#include <cstring>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "platform/platform.h"
#include "platform/registry_store.h"
#include "tests/support/stopped_writer.h"
#include "tests/support/temp_dir.h"

using tidebell_test::ScopedPlatformFiles;
using tidebell_test::TempDir;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedPlatformFiles files{dir};
    std::string registryFile = *platform::overrides().registryFile;

    HKEY create(HKEY root, const char* path, DWORD* disposition = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    LONG open(HKEY root, const char* path, HKEY* key) { return RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, key); }
    static void setString(HKEY key, const char* name, const std::string& value)
    {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)),
                  ERROR_SUCCESS);
    }
    static std::string getString(HKEY key, const char* name)
    {
        char buffer[512];
        DWORD size = sizeof buffer, type = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
            return "<missing>";
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(size, std::strlen(buffer) + 1);
        return buffer;
    }
    static std::vector<std::string> subKeys(HKEY key)
    {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            EXPECT_EQ(rc, ERROR_SUCCESS);
            if (rc != ERROR_SUCCESS)
                break;
            EXPECT_EQ(size, std::strlen(name));
            names.push_back(name);
        }
        return names;
    }
};

TEST_F(RegistryTest, KeysCompareWithoutCaseKeepSpellingAndEnumerateInOrder)
{
    DWORD disposition = 0;
    HKEY parent = create(HKEY_CURRENT_USER, "Software\\Test", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(create(HKEY_CURRENT_USER, "SOFTWARE\\TEST", &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    for (const char* name : {"beta", "Alpha", "_under", "gamma", "Zulu", "ALPHA"})
        RegCloseKey(create(parent, name));
    EXPECT_EQ(subKeys(parent), (std::vector<std::string>{"Alpha", "beta", "gamma", "Zulu", "_under"}));

    HKEY software;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "software", &software), ERROR_SUCCESS);
    EXPECT_EQ(subKeys(software), std::vector<std::string>{"Test"});  // spelling as first created
    RegCloseKey(software);
    RegCloseKey(parent);

    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(open(HKEY_CURRENT_USER, "Software\\Nothing", &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
}

TEST_F(RegistryTest, DefaultAndNamedValuesOfStringAndNumberType)
{
    HKEY key = create(HKEY_CLASSES_ROOT, "\\Type\\shell\\events");  // leading "\" is accepted
    EXPECT_EQ(getString(key, nullptr), "<missing>");
    setString(key, nullptr, "サウンドイベント設定");
    setString(key, "Name", "value");
    EXPECT_EQ(getString(key, ""), "サウンドイベント設定");
    EXPECT_EQ(getString(key, "NAME"), "value");

    DWORD number = 0xDEADBEEF;
    ASSERT_EQ(RegSetValueExA(key, "Num", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), ERROR_SUCCESS);
    DWORD out = 0, size = sizeof out, type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "num", nullptr, &type, reinterpret_cast<BYTE*>(&out), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(out, 0xDEADBEEFu);

    // Asking for the size, and a buffer too small.
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    char small[3];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);

    EXPECT_EQ(RegDeleteValueA(key, "name"), ERROR_SUCCESS);
    EXPECT_EQ(getString(key, "Name"), "<missing>");
    RegCloseKey(key);

    // Values survive in the file, in the export text format.
    std::string text = dir.read("config/tidebell/registry.reg");
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00", 0), 0u);
    EXPECT_NE(
        text.find("[HKEY_CLASSES_ROOT\\Type\\shell\\events]\n@=\"サウンドイベント設定\"\n\"Num\"=dword:deadbeef\n"),
        std::string::npos);
}

TEST_F(RegistryTest, DeleteRules)
{
    HKEY top = create(HKEY_CURRENT_USER, "Software\\VELK");
    RegCloseKey(create(top, "TIDEBELL\\Deep\\Deeper"));
    EXPECT_EQ(RegDeleteKeyA(top, "TIDEBELL"), ERROR_KEY_HAS_CHILDREN);
    EXPECT_EQ(RegDeleteKeyA(top, "tidebell\\deep\\deeper"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(top, "Missing"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(create(top, "TIDEBELL\\Deep\\Deeper"));
    EXPECT_EQ(RegDeleteTreeA(top, "TIDEBELL"), ERROR_SUCCESS);
    EXPECT_TRUE(subKeys(top).empty());

    // A handle to a deleted key reports it instead of touching another key.
    HKEY child = create(top, "Gone");
    ASSERT_EQ(RegDeleteKeyA(top, "Gone"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(child, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_KEY_DELETED);
    RegCloseKey(child);
    RegCloseKey(top);
    EXPECT_EQ(RegCloseKey(top), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, FirstUseSeedsSoundSchemeAndWaveType)
{
    HKEY apps;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps", &apps), ERROR_SUCCESS);
    EXPECT_EQ(subKeys(apps), (std::vector<std::string>{".Default", "Explorer"}));
    HKEY app;
    ASSERT_EQ(open(apps, ".Default", &app), ERROR_SUCCESS);
    EXPECT_FALSE(getString(app, nullptr).empty());
    std::vector<std::string> events = subKeys(app);
    EXPECT_GE(events.size(), 10u);
    for (const auto& event : events) {
        HKEY current, label;
        ASSERT_EQ(open(app, (event + "\\.Current").c_str(), &current), ERROR_SUCCESS) << event;
        RegCloseKey(current);
        ASSERT_EQ(open(HKEY_CURRENT_USER, ("AppEvents\\EventLabels\\" + event).c_str(), &label), ERROR_SUCCESS);
        EXPECT_FALSE(getString(label, nullptr).empty()) << event;
        RegCloseKey(label);
    }
    RegCloseKey(app);
    RegCloseKey(apps);

    HKEY wav, shell;
    ASSERT_EQ(open(HKEY_CLASSES_ROOT, ".wav", &wav), ERROR_SUCCESS);
    std::string type = getString(wav, nullptr);
    RegCloseKey(wav);
    ASSERT_EQ(open(HKEY_CLASSES_ROOT, (type + "\\shell").c_str(), &shell), ERROR_SUCCESS);
    RegCloseKey(shell);
}

// A writer of the registry file killed with kill -9 mid-write leaves its
// temporary file; the next write removes it at once.
TEST_F(RegistryTest, KilledWritersTemporaryFileGoesAtTheNextWrite)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Test");
    const std::string big(4 << 20, 'v');
    const std::string folder = registryFile.substr(0, registryFile.rfind('/'));
    {
        tidebell_test::StoppedWriter killed(folder, [&] { setString(key, "big", big); });
        ASSERT_TRUE(killed.caught());
    }
    ASSERT_EQ(tidebell_test::temporaryFiles(folder).size(), 1u);
    setString(key, "small", "1");
    EXPECT_TRUE(tidebell_test::temporaryFiles(folder).empty());
    EXPECT_EQ(getString(key, "small"), "1");
    RegCloseKey(key);
}

TEST_F(RegistryTest, CorruptOrUnreadableFileFailsAndIsLeftAlone)
{
    const std::string corrupt = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n@=broken\n";
    dir.write("config/tidebell/registry.reg", corrupt);
    HKEY key = nullptr;
    EXPECT_EQ(open(HKEY_CURRENT_USER, "A", &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, "B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_NE(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
    EXPECT_EQ(dir.read("config/tidebell/registry.reg"), corrupt);

    dir.write("config/tidebell/registry.reg", "not a registry at all");
    EXPECT_EQ(open(HKEY_CURRENT_USER, "A", &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(dir.read("config/tidebell/registry.reg"), "not a registry at all");

    if (::geteuid() != 0) {  // root reads files whatever their mode
        dir.write("config/tidebell/registry.reg", "Windows Registry Editor Version 5.00\n");
        ::chmod(registryFile.c_str(), 0);
        EXPECT_EQ(open(HKEY_CURRENT_USER, "A", &key), ERROR_CANTREAD);
        ::chmod(registryFile.c_str(), 0600);
    }
}

TEST_F(RegistryTest, TextFormRoundTripsUnusualValues)
{
    HKEY key = create(HKEY_CURRENT_USER, "Odd]Name\\with \"quotes\"");
    setString(key, "back\\slash", "C:\\path\\\"quoted\"");
    setString(key, "multi", "line one\r\nline two");
    BYTE binary[] = {0, 1, 0xFF};
    ASSERT_EQ(RegSetValueExA(key, "bin", 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
    RegCloseKey(key);

    // Another process's view: parse the file afresh by pointing at a copy.
    std::string copy = dir.write("copy.reg", dir.read("config/tidebell/registry.reg"));
    platform::overrides().registryFile = copy;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "odd]name\\WITH \"QUOTES\"", &key), ERROR_SUCCESS);
    EXPECT_EQ(getString(key, "back\\slash"), "C:\\path\\\"quoted\"");
    EXPECT_EQ(getString(key, "multi"), "line one\r\nline two");
    BYTE out[8];
    DWORD size = sizeof out, type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "bin", nullptr, &type, out, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(size, 3u);
    EXPECT_EQ(std::memcmp(out, binary, 3), 0);
    RegCloseKey(key);
}

// Two processes adding values at the same time: every value of both must be
// in the file afterwards.
TEST_F(RegistryTest, TwoWritingProcessesLoseNothing)
{
    RegCloseKey(create(HKEY_CURRENT_USER, "Shared"));
    constexpr int perProcess = 40;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int failures = 0;
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, "Shared", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
                ::_exit(100);
            for (int i = 0; i < perProcess; ++i) {
                std::string name = "p" + std::to_string(c) + "_" + std::to_string(i);
                DWORD v = static_cast<DWORD>(i);
                failures += RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) != 0;
            }
            ::_exit(failures);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    HKEY key;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Shared", &key), ERROR_SUCCESS);
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u * perProcess);
    RegCloseKey(key);
}

}  // namespace

namespace {

// Damaged registry files (bytes changed, cut, duplicated) must be refused or
// read, never crash; what is read must survive its own text form.
TEST(RegistryText, DamagedFilesAreRefusedOrReadConsistently)
{
    const std::string original = platform::RegistryStore::seed().text() +
                                 "[HKEY_CURRENT_USER\\X]\n\"bin\"=hex:00,01,\\\n  ff\n\"n\"=dword:0000000a\n";
    ASSERT_TRUE(platform::RegistryTree::parse(original));
    std::mt19937 random(20010610);
    const char interesting[] = "[]\\\"=@:,\n\r\0x";
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        std::string text = original;
        int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            size_t at = random() % text.size();
            switch (random() % 3) {
            case 0:
                text[at] = interesting[random() % (sizeof interesting - 1)];
                break;
            case 1:
                text.resize(at);
                break;
            default:
                text.insert(at, text.substr(at, random() % 40));
                break;
            }
        }
        auto tree = platform::RegistryTree::parse(text);
        if (!tree) {
            ++refused;
            continue;
        }
        auto again = platform::RegistryTree::parse(tree->text());
        ASSERT_TRUE(again) << text;
        EXPECT_EQ(again->text(), tree->text());
    }
    EXPECT_GT(refused, 0);
    EXPECT_FALSE(platform::RegistryTree::parse(
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER]\n@=hex(1ffffffffffffffffffff):00\n"));
}

}  // namespace
