// Wildcards, safe names, entry records, name decoding, checksums.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "archivers/common/checkedsink.h"
#include "archivers/common/crc.h"
#include "archivers/common/entryrecord.h"
#include "archivers/common/outputtext.h"
#include "archivers/common/reader.h"
#include "archivers/common/safepath.h"
#include "archivers/common/wildcard.h"

using namespace arc;

TEST(Wildcard, PatternWithoutFolderMatchesEveryFolderWithoutCase)
{
    EXPECT_TRUE(wildcardMatch("*.wav", "snd/a.wav"));
    EXPECT_TRUE(wildcardMatch("*.wav", "B.WAV"));
    EXPECT_TRUE(wildcardMatch("*.WAV", "deep/er/c.wav"));
    EXPECT_FALSE(wildcardMatch("*.wav", "a.wave"));
    EXPECT_FALSE(wildcardMatch("*.wav", "snd.wav/readme"));
    EXPECT_TRUE(wildcardMatch("a?.wav", "ab.wav"));
    EXPECT_FALSE(wildcardMatch("a?.wav", "a.wav"));
    // "?" takes one character, also a Japanese one (three UTF-8 bytes).
    EXPECT_TRUE(wildcardMatch("?.wav", "\xE9\x9F\xB3.wav"));
    EXPECT_TRUE(wildcardMatch("*.*", "README"));
    EXPECT_TRUE(wildcardMatch("*", "a/b/c"));
    EXPECT_TRUE(wildcardMatch("", "anything"));
}

TEST(Wildcard, PatternWithFolderMatchesWholeName)
{
    EXPECT_TRUE(wildcardMatch("snd/a.wav", "snd/a.wav"));
    EXPECT_TRUE(wildcardMatch("SND\\A.WAV", "snd/a.wav"));
    EXPECT_FALSE(wildcardMatch("snd/a.wav", "other/snd/a.wav"));
    EXPECT_TRUE(wildcardMatch("snd/*.wav", "snd/x.wav"));
    EXPECT_FALSE(wildcardMatch("snd/*.wav", "x.wav"));
}

TEST(Wildcard, BracketsOnlyInZipDialect)
{
    EXPECT_TRUE(wildcardMatch("a/b[[]1].wav", "a/b[1].wav", true));
    EXPECT_FALSE(wildcardMatch("a/b[[]1].wav", "a/b[1].wav", false));
    EXPECT_TRUE(wildcardMatch("b[[]1].wav", "b[1].wav", true));
    EXPECT_TRUE(wildcardMatch("[a-c]x", "Bx", true));
    EXPECT_FALSE(wildcardMatch("[!a-c]x", "bx", true));
    EXPECT_TRUE(wildcardMatch("[a", "[a", true));  // unclosed: literal
    EXPECT_TRUE(wildcardMatch("b[1].wav", "b[1].wav", false));
}

TEST(Wildcard, PartsBetweenStarsMatchInOrder)
{
    EXPECT_TRUE(wildcardMatch("*ab*ab", "xabyab"));
    EXPECT_FALSE(wildcardMatch("*ab*ab", "xab"));
    EXPECT_TRUE(wildcardMatch("a*a", "a\xE9\x9F\xB3"
                                     "a"));
    EXPECT_FALSE(wildcardMatch("a*a", "a"));
    EXPECT_TRUE(wildcardMatch("*?b?*", "aaXbY"));
    EXPECT_TRUE(wildcardMatch("*\xE9\x9F\xB3?", "x\xE9\x9F\xB3\xE9\x9F\xB3"));
    EXPECT_TRUE(wildcardMatch("*[0-9][0-9]*.wav", "take12b.WAV", true));
    EXPECT_FALSE(wildcardMatch("*[0-9][0-9]*.wav", "take1b2.wav", true));
    EXPECT_TRUE(wildcardMatch("*[!a]b", "aacb", true));
    EXPECT_TRUE(wildcardMatch("a**b", "ab"));
    // A part inside a character's bytes is no match.
    EXPECT_FALSE(wildcardMatch("*\x9F\xB3*", "\xE9\x9F\xB3"));
}

namespace {

// The pattern with each character other than "*", "?" and the separators
// made a class of its own: the same matches, found by the general matcher
// rather than by comparing bytes in place.
std::string asClasses(std::string_view pattern)
{
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        const auto c = static_cast<unsigned char>(pattern[i]);
        const size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        const std::string_view ch = pattern.substr(i, len);
        if (ch == "*" || ch == "?" || ch == "/" || ch == "\\")
            out += ch;
        else
            out += "[" + std::string(ch) + "]";
        i += len;
    }
    return out;
}

}  // namespace

TEST(Wildcard, LiteralPartsComparedInPlaceAgreeWithTheGeneralMatcher)
{
    // Patterns without wildcards, and the literal start and end of those
    // with stars, are compared byte for byte before (or instead of)
    // matching character by character: case, "\\" against "/", slashes at
    // either end, trailing dots, UTF-8 and Shift-JIS bytes (whose second
    // byte may be "\\") must come out as the general matcher has them.
    const std::vector<std::string> patterns = {"snd/s09999.wav",   "SND\\S09999.WAV", "\\snd\\s09999.wav\\",
                                               "s09999.wav",       "s09999.wav.",     "a.wav",
                                               "\xE9\x9F\xB3.wav", "*.wav",           "s0*",
                                               "snd/*9.wav",       "*9.wav",          "s*9*.WAV",
                                               "snd/s0999?.wav",   "a.wav*",          "*a.wav"};
    const std::vector<std::string> names = {"snd/s09999.wav",
                                            "s09999.wav",
                                            "snd/s09998.wav",
                                            "SND\\S09999.WAV",
                                            "snd\\s09999.wav",
                                            "snd/S09999.Wav",
                                            "snd/s09999.wav.",
                                            "snd/s09999.wav/",
                                            "/snd/s09999.wav",
                                            "snd//s09999.wav",
                                            "x/snd/s09999.wav",
                                            "snd/s09999.wa",
                                            "snd/s09999.wavx",
                                            "s09999.wav\\",
                                            "snd/\xE9\x9F\xB3.wav",
                                            "\xE9\x9F\xB3.WAV",
                                            "\x95\x5C"
                                            "a.wav",
                                            "snd/\x95\x5C"
                                            "a.wav",
                                            "a.wav",
                                            "A.WAV",
                                            "a.wav.",
                                            ".wav",
                                            "s0.wav",
                                            "",
                                            "/",
                                            "snd/"};
    for (const std::string& pattern : patterns) {
        const std::string general = asClasses(pattern);
        for (const std::string& name : names) {
            const bool expected = wildcardMatch(general, name, true);
            EXPECT_EQ(wildcardMatch(pattern, name, true), expected) << pattern << " / " << general << " on " << name;
            EXPECT_EQ(wildcardMatch(pattern, name, false), expected) << pattern << " on " << name;
        }
    }
    // What they agree on.
    EXPECT_TRUE(wildcardMatch("snd/s09999.wav", "SND\\S09999.WAV"));
    EXPECT_TRUE(wildcardMatch("s09999.wav", "x/snd\\S09999.wav"));
    EXPECT_FALSE(wildcardMatch("s09999.wav", "s09999.wav."));
    EXPECT_FALSE(wildcardMatch("s09999.wav.", "s09999.wav"));
    EXPECT_TRUE(wildcardMatch("snd/s09999.wav", "/snd/s09999.wav/"));
    EXPECT_TRUE(wildcardMatch("*.wav", "\xE9\x9F\xB3.WAV"));
}

TEST(Wildcard, HostilePatternsAndNamesCostAboutTheirLength)
{
    // Every one of these took quadratic time or worse per name (a listed
    // name handed back as the pattern may hold "*").
    const std::string name = std::string(10000, 'a') + ".wav";
    EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*b", name));
    const std::string star = "*" + std::string(5000, 'a') + "b.wav";
    const std::string questions = "*" + std::string(3000, '?') + "b*";
    const std::string middle = "a*" + std::string(5000, 'a') + "b*a";
    for (int i = 0; i < 200; ++i) {
        EXPECT_FALSE(wildcardMatch(star, name));
        EXPECT_FALSE(wildcardMatch(questions, name));
        EXPECT_FALSE(wildcardMatch(middle, name));
        EXPECT_TRUE(wildcardMatch(name, name));
    }
    EXPECT_TRUE(wildcardMatch(star, std::string(9000, 'a') + "b.wav"));
}

TEST(Wildcard, SetSplitsOnBlanksAndHonoursQuotes)
{
    EXPECT_EQ(splitWildcards("*.wav  *.lzh"), (std::vector<std::string>{"*.wav", "*.lzh"}));
    EXPECT_EQ(splitWildcards("\"my file.wav\""), (std::vector<std::string>{"my file.wav"}));
    EXPECT_TRUE(splitWildcards(nullptr).empty());
    const WildcardSet set(splitWildcards("*.wav *.txt"));
    EXPECT_TRUE(set.matches("x/A.TXT"));
    EXPECT_FALSE(set.matches("x.lzh"));
    EXPECT_TRUE(WildcardSet().matches("whatever"));
}

TEST(SafePath, HostileNamesStayBelowTheDestination)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(safeComponents("../../etc/passwd"), (V{"etc", "passwd"}));
    EXPECT_EQ(safeComponents("/abs/x"), (V{"abs", "x"}));
    EXPECT_EQ(safeComponents("C:\\Windows\\x.dll"), (V{"Windows", "x.dll"}));
    EXPECT_EQ(safeComponents("c:x.wav"), (V{"x.wav"}));
    EXPECT_EQ(safeComponents("a\\..\\..\\b"), (V{"a", "b"}));
    EXPECT_EQ(safeComponents("a/./b//c"), (V{"a", "b", "c"}));
    EXPECT_EQ(safeComponents(".. /x"), (V{"x"}));
    EXPECT_EQ(safeComponents("a\x01"
                             "b"),
              (V{"a_b"}));
    EXPECT_EQ(safeComponents("d/C:/x"), (V{"d", "C:", "x"}));  // not at the start: an ordinary name
    EXPECT_TRUE(safeComponents("../..").empty());
    EXPECT_TRUE(safeComponents("").empty());
}

TEST(EntryRecord, LayoutHoldsSizesCrcDateNameAndTexts)
{
    Entry e;
    e.name = "snd/\xE9\x9F\xB3.wav";
    e.size = 0x100000002ull;
    e.packedSize = 0x80000001ull;
    e.crc = 0xDEADBEEF;
    e.crcKind = CrcKind::Crc32;
    e.dosDateTime = 0x12345678;
    e.attributes = 0x21;
    e.method = "Deflate64";
    unsigned char rec[558];
    std::memset(rec, 0xCC, sizeof rec);
    fillEntryRecord(e, rec);
    auto u32 = [&](size_t o) {
        return uint32_t(rec[o]) | uint32_t(rec[o + 1]) << 8 | uint32_t(rec[o + 2]) << 16 | uint32_t(rec[o + 3]) << 24;
    };
    auto u16 = [&](size_t o) { return uint16_t(rec[o] | rec[o + 1] << 8); };
    EXPECT_EQ(u32(0), 2u);
    EXPECT_EQ(u32(20), 1u);
    EXPECT_EQ(u32(4), 0x80000001u);
    EXPECT_EQ(u32(8), 0xDEADBEEFu);
    EXPECT_EQ(u16(12), 500u);
    EXPECT_EQ(u16(14), 0x1234u);
    EXPECT_EQ(u16(16), 0x5678u);
    EXPECT_EQ(rec[18], 0x21);
    EXPECT_EQ(rec[19], 2);
    EXPECT_STREQ(reinterpret_cast<char*>(rec + 26), "snd/\xE9\x9F\xB3.wav");
    EXPECT_STREQ(reinterpret_cast<char*>(rec + 539), "r---a");
    EXPECT_STREQ(reinterpret_cast<char*>(rec + 547), "Deflate");
    EXPECT_EQ(rec[557], 0);
}

TEST(EntryRecord, LongNameIsCutAtACharacterBoundary)
{
    Entry e;
    e.name = "a";
    for (int i = 0; i < 300; ++i)
        e.name += "\xE9\x9F\xB3";
    unsigned char rec[558];
    fillEntryRecord(e, rec);
    const size_t len = strnlen(reinterpret_cast<char*>(rec + 26), 513);
    EXPECT_LE(len, 512u);
    EXPECT_EQ((len - 1) % 3, 0u);
}

TEST(Names, ShiftJisBecomesUtf8AndUtf8Stays)
{
    EXPECT_EQ(nameToUtf8("\x89\xb9\x8a\x79/a.wav"), "\xE9\x9F\xB3\xE6\xA5\xBD/a.wav");  // 音楽
    EXPECT_EQ(nameToUtf8("\xE9\x9F\xB3.wav"), "\xE9\x9F\xB3.wav");
    EXPECT_EQ(shiftJisToUtf8("a\\b"), "a\\b");  // 0x5C stays a backslash in code page 932
    // Undecodable bytes are marked, the rest still comes through.
    EXPECT_EQ(nameToUtf8("x\xFF"
                         "y"),
              "x\xEF\xBF\xBDy");
    EXPECT_EQ(nameToUtf8("end\x89"), "end\xEF\xBF\xBD");
}

TEST(Names, PlainAsciiAndHighByteChecksSeeEveryByte)
{
    // Both look at eight bytes at a time: every length and every place of
    // the byte that decides must be seen.
    for (size_t length = 0; length <= 20; ++length) {
        const std::string plain(length, 'a');
        EXPECT_TRUE(plainAsciiName(plain)) << length;
        EXPECT_FALSE(holdsHighByteOr(plain, '?')) << length;
        for (size_t at = 0; at < length; ++at) {
            for (const char b : {'\0', '?', '\x7F', '\x80', '\xC3', '\xFF'}) {
                std::string name = plain;
                name[at] = b;
                const bool high = static_cast<unsigned char>(b) >= 0x80;
                EXPECT_EQ(plainAsciiName(name), !high && b != '\0') << length << " " << at << " " << int(b);
                EXPECT_EQ(holdsHighByteOr(name, '?'), high || b == '?') << length << " " << at << " " << int(b);
            }
        }
    }
}

TEST(Crc, KnownCheckValues)
{
    EXPECT_EQ(crc16Update(0, "123456789", 9), 0xBB3D);
    EXPECT_EQ(crc32Update(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32Update(crc32Update(0, "1234", 4), "56789", 5), 0xCBF43926u);

    // CRC-16 eight bytes at a time, against the bit by bit definition, at
    // every length and split around the eight-byte steps.
    std::string data;
    for (int i = 0; i < 70; ++i)
        data += char(i * 37 + 11);
    auto bitwise = [](uint16_t crc, const std::string& bytes) {
        for (unsigned char b : bytes) {
            crc ^= b;
            for (int k = 0; k < 8; ++k)
                crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
        }
        return crc;
    };
    for (size_t n = 0; n <= data.size(); ++n) {
        const std::string part = data.substr(0, n);
        ASSERT_EQ(crc16Update(0x1234, part.data(), n), bitwise(0x1234, part)) << n;
        const size_t cut = n / 3;
        ASSERT_EQ(crc16Update(crc16Update(0, part.data(), cut), part.data() + cut, n - cut), bitwise(0, part)) << n;
    }
}

TEST(CheckedSink, RefusesMoreThanTheSizeAndJudgesCrcAndSize)
{
    Entry e;
    e.size = 4;
    e.crcKind = CrcKind::Crc16;
    e.crc = crc16Update(0, "abcd", 4);
    NullSink null;
    {
        CheckedSink s(e, null);
        EXPECT_TRUE(s.write("abcd", 4));
        EXPECT_TRUE(s.finish(Result::success()).ok());
    }
    {
        CheckedSink s(e, null);
        EXPECT_FALSE(s.write("abcde", 5));
        EXPECT_EQ(s.written(), 0u);
        EXPECT_EQ(s.finish(Result::success()).status, Status::CrcError);
    }
    {
        CheckedSink s(e, null);
        EXPECT_TRUE(s.write("abc", 3));
        EXPECT_EQ(s.finish(Result::success()).status, Status::CrcError);  // short
    }
    {
        CheckedSink s(e, null);
        EXPECT_TRUE(s.write("abce", 4));
        EXPECT_EQ(s.finish(Result::success()).status, Status::CrcError);
    }
    {
        CheckedSink s(e, null);
        EXPECT_TRUE(s.write("abcd", 4));
        EXPECT_EQ(s.finish(Result::fail(Status::Corrupt, "x")).status, Status::Corrupt);
    }
}

TEST(OutputText, CutToBufferAtCharacterBoundaryAndTerminated)
{
    OutputText out;
    out.line("\xE9\x9F\xB3\xE9\x9F\xB3");
    char buf[5];
    std::memset(buf, 'x', sizeof buf);
    out.copyTo(buf, sizeof buf);
    EXPECT_STREQ(buf, "\xE9\x9F\xB3");
    out.copyTo(nullptr, 0);  // allowed
    char one[1] = {'x'};
    out.copyTo(one, 1);
    EXPECT_EQ(one[0], 0);
}
