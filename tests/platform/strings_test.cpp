#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>

#include "platform/platform.h"

namespace {

TEST(WordSort, OrdersAsTheWindowsWordSort)
{
    const std::vector<std::string> expected = {".x", "ab", "a-b", "Alpha", "B", "beta", "gamma"};
    std::vector<std::string> shuffled = {"gamma", "B", "a-b", "beta", ".x", "Alpha", "ab"};
    std::sort(shuffled.begin(), shuffled.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpA(a.c_str(), b.c_str()) < 0; });
    EXPECT_EQ(shuffled, expected);
    for (size_t i = 0; i + 1 < expected.size(); ++i) {
        EXPECT_LT(lstrcmpA(expected[i].c_str(), expected[i + 1].c_str()), 0) << expected[i];
        EXPECT_GT(lstrcmpA(expected[i + 1].c_str(), expected[i].c_str()), 0) << expected[i];
    }
    EXPECT_EQ(lstrcmpA("same", "same"), 0);
    EXPECT_LT(lstrcmpA("ab", "Ab"), 0);   // lower case first
    EXPECT_GT(lstrcmpA("Ab", "a-b"), 0);  // case decides before the hyphen
    EXPECT_LT(lstrcmpA("1", "a"), 0);     // digits before letters
    EXPECT_LT(lstrcmpA("", "a"), 0);
    EXPECT_EQ(lstrcmpiA("ALPHA", "alpha"), 0);
    EXPECT_LT(lstrcmpiA("alpha", "Beta"), 0);
}

TEST(LstrFunctions, CopyConcatenateLength)
{
    char buffer[16];
    lstrcpyA(buffer, "abc");
    lstrcatA(buffer, "\\TIDEBELL");
    EXPECT_STREQ(buffer, "abc\\TIDEBELL");
    EXPECT_EQ(lstrlenA(buffer), 12);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    lstrcpynA(buffer, "abcdef", 4);
    EXPECT_STREQ(buffer, "abc");
}

TEST(Wsprintf, FormatsTheWindowsSubset)
{
    char buffer[1100];
    LONG a = -1, b = 640;
    EXPECT_EQ(wsprintfA(buffer, "%ld,%ld,%d,%u,-1", a, b, 3, 4u), 13);
    EXPECT_STREQ(buffer, "-1,640,3,4,-1");
    wsprintfA(buffer, "%s(%s) %c %x %X %05d %% %-3s|", "SYSTEM", "C:", 'z', 255u, 255u, 42, "a");
    EXPECT_STREQ(buffer, "SYSTEM(C:) z ff FF 00042 % a  |");
    std::string longText(2000, 'x');
    EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1023);  // at most 1024 bytes with the NUL
}

TEST(DoubleByte, ShiftJisTrailBytesAreNotBackslashes)
{
    // "表" in Shift-JIS is 0x95 0x5C: its second byte is the byte of "\".
    const char sjis[] = "a\x95\x5C";
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x95));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 'a'));
    EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, 0xE8));
    EXPECT_FALSE(platform::lastCharIs(sjis, '\\', 932));
    EXPECT_TRUE(platform::lastCharIs("a\x95\x5C\\", '\\', 932));
    EXPECT_TRUE(platform::lastCharIs("a\\", '\\', 932));
    EXPECT_FALSE(platform::lastCharIs("", '\\', 932));
    EXPECT_EQ(CharPrevExA(932, sjis, sjis + 3, 0), sjis + 1);
    EXPECT_EQ(CharNextExA(932, sjis + 1, 0), sjis + 3);
    EXPECT_EQ(CharPrevExA(932, sjis, sjis, 0), sjis);
    // A lead byte at the very end stands alone.
    const char cut[] = "\x95";
    EXPECT_EQ(CharNextExA(932, cut, 0), cut + 1);
}

TEST(DoubleByte, Utf8IsTheAnsiCodePage)
{
    EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    const char text[] = "a表\\";  // 'a', three bytes, '\'
    EXPECT_TRUE(platform::lastCharIs(text, '\\'));
    EXPECT_FALSE(platform::lastCharIs("a表", '\\'));
    EXPECT_EQ(CharPrevA(text, text + 4), text + 1);
    EXPECT_EQ(CharNextA(text + 1), text + 4);
    EXPECT_EQ(CharNextA(text + 5), text + 5);  // at the end it stays
    const char broken[] = "\xE8\x41";          // a lead byte without its continuation
    EXPECT_EQ(CharNextA(broken), broken + 1);
}

}  // namespace
