#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/version_resource.h"
#include "tests/support/fake_services.h"

using namespace platform;
using tidebell_test::FakeVersionInfoService;
using tidebell_test::ScopedService;

namespace {

// The version functions over a resource, as a program reads them.
class VersionFile {
public:
    explicit VersionFile(const std::string& resource)
    {
        m_service->blocks["C:\\x.exe"] = resource;
        const DWORD size = GetFileVersionInfoSizeA("C:\\x.exe", nullptr);
        if (size == 0)
            return;
        m_block.resize(size);
        m_loaded = GetFileVersionInfoA("C:\\x.exe", 0, size, m_block.data());
    }
    bool loaded() const { return m_loaded; }
    std::optional<std::string> text(const char* path, UINT* length = nullptr)
    {
        void* value = nullptr;
        UINT n = 0;
        if (!VerQueryValueA(m_block.data(), path, &value, &n))
            return std::nullopt;
        if (length)
            *length = n;
        return std::string(static_cast<const char*>(value));
    }
    std::optional<std::string> binary(const char* path)
    {
        void* value = nullptr;
        UINT n = 0;
        if (!VerQueryValueA(m_block.data(), path, &value, &n))
            return std::nullopt;
        return std::string(static_cast<const char*>(value), n);
    }

private:
    ScopedService<FakeVersionInfoService> m_service{std::make_shared<FakeVersionInfoService>()};
    std::vector<char> m_block;
    bool m_loaded = false;
};

uint32_t dword(const std::string& bytes, size_t at)
{
    uint32_t n;
    std::memcpy(&n, bytes.data() + at, 4);
    return n;
}

void setWord(std::string& bytes, size_t at, uint16_t n)
{
    bytes[at] = static_cast<char>(n & 0xFF);
    bytes[at + 1] = static_cast<char>(n >> 8);
}

// Offset of the first node whose key is `key`, found by its UTF-16 bytes.
size_t nodeOf(const std::string& resource, std::u16string_view key)
{
    std::string pattern;
    for (char16_t c : key) {
        pattern += static_cast<char>(c & 0xFF);
        pattern += static_cast<char>(c >> 8);
    }
    const size_t at = resource.find(pattern);
    EXPECT_NE(at, std::string::npos);
    return at - 6;
}

VersionResource sample()
{
    VersionResource r;
    r.fixed = FixedFileInfo{};
    r.fixed->fileVersionMS = 0x00010014;
    r.fixed->fileVersionLS = 0x07D10262;
    r.translations = {0x04B00409};
    r.stringTables = {{"040904b0", {{"FileVersion", "2.5"}, {"LegalCopyright", "© 2026 鈴の音 🔔"}, {"Comments", ""}}}};
    return r;
}

}  // namespace

TEST(VersionResource, AnyLanguageAndCodePageReadsBackThroughTheVersionFunctions)
{
    VersionFile file(encodeVersionResource(sample()));
    ASSERT_TRUE(file.loaded());
    const std::string translation = file.binary("\\VarFileInfo\\Translation").value_or("");
    ASSERT_EQ(translation.size(), 4u);
    EXPECT_EQ(dword(translation, 0), 0x04B00409u);
    UINT length = 0;
    EXPECT_EQ(file.text("\\StringFileInfo\\040904b0\\FileVersion", &length), "2.5");
    EXPECT_EQ(length, 4u);
    // UTF-16 in the file, UTF-8 (the ANSI code page here) to the caller, a
    // character outside the BMP included.
    EXPECT_EQ(file.text("\\StringFileInfo\\040904B0\\legalcopyright"), "© 2026 鈴の音 🔔");
    EXPECT_EQ(file.text("\\StringFileInfo\\040904b0\\Comments"), "");
    EXPECT_EQ(file.text("\\StringFileInfo\\041103a4\\FileVersion"), std::nullopt);
    EXPECT_EQ(file.text("\\StringFileInfo\\040904b0\\FileVersion\\More"), std::nullopt);

    const std::string fixed = file.binary("\\").value_or("");
    ASSERT_EQ(fixed.size(), 52u);
    EXPECT_EQ(dword(fixed, 0), 0xFEEF04BDu);
    EXPECT_EQ(dword(fixed, 8), 0x00010014u);
    EXPECT_EQ(dword(fixed, 12), 0x07D10262u);
}

TEST(VersionResource, DamagedResourcesAnswerNothingAndReadNothingOutside)
{
    const std::string good = encodeVersionResource(sample());

    // A length beyond the bytes, or below a header: no version data at all.
    for (uint16_t length : {uint16_t(good.size() + 4), uint16_t(3)}) {
        std::string bad = good;
        setWord(bad, 0, length);
        EXPECT_FALSE(VersionFile(bad).loaded()) << length;
    }
    EXPECT_FALSE(VersionFile(good.substr(0, 4)).loaded());

    // A child that claims more than its parent holds, or nothing at all:
    // the walk stops there, the nodes before it still answer.
    for (uint16_t length : {uint16_t(0), uint16_t(0xFFF0)}) {
        std::string bad = good;
        setWord(bad, nodeOf(bad, u"LegalCopyright"), length);
        VersionFile file(bad);
        ASSERT_TRUE(file.loaded());
        EXPECT_EQ(file.text("\\StringFileInfo\\040904b0\\FileVersion"), "2.5");
        EXPECT_EQ(file.text("\\StringFileInfo\\040904b0\\LegalCopyright"), std::nullopt);
        EXPECT_EQ(file.text("\\StringFileInfo\\040904b0\\Comments"), std::nullopt);
    }

    // A key without its end.
    std::string keyless = good;
    const size_t table = nodeOf(keyless, u"040904b0");
    setWord(keyless, table, 6 + 4);  // the node ends inside its key
    EXPECT_EQ(VersionFile(keyless).text("\\StringFileInfo\\040904b0\\FileVersion"), std::nullopt);

    // A string whose value length counts bytes (as some resource compilers
    // write it) or runs past its node ends at the node or at its NUL.
    std::string wide = good;
    setWord(wide, nodeOf(wide, u"FileVersion") + 2, 0x7FFF);
    EXPECT_EQ(VersionFile(wide).text("\\StringFileInfo\\040904b0\\FileVersion"), "2.5");

    // No fixed information: "\" answers nothing.
    VersionResource bare = sample();
    bare.fixed.reset();
    EXPECT_EQ(VersionFile(encodeVersionResource(bare)).binary("\\"), std::nullopt);
}

TEST(VersionResource, VersionNumbersAndTextConversion)
{
    using Pair = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(parseVersionNumber("1.20.2001.610"), Pair(0x00010014, 0x07D10262));
    EXPECT_EQ(parseVersionNumber("1.20"), Pair(0x00010014, 0));
    for (const char* bad : {"", "1.2.3.4.5", "70000", "1..2", "1.2.", "a.b", "-1"})
        EXPECT_EQ(parseVersionNumber(bad), std::nullopt) << bad;

    EXPECT_EQ(utf8ToUtf16("鈴🔔"), u"鈴🔔");
    EXPECT_EQ(utf16ToUtf8(u"鈴🔔"), "鈴🔔");
    // Broken input never stops the conversion: each bad piece is U+FFFD.
    EXPECT_EQ(utf8ToUtf16("a\xFF"
                          "b\xE3\x81"),
              u"a\uFFFDb\uFFFD\uFFFD");
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}
