#include "archive/filelist.h"

#include <gtest/gtest.h>

using namespace archives;

TEST(FileList, EveryKindContributesItsNamesInOrder)
{
    const char* argv[] = {"p1", "", "p2", nullptr, "after-null"};
    const CStringArray nullArray = nullptr;
    const char* nullText = nullptr;
    const FileList list = {
        std::string("text"),
        "cstr",
        nullText,
        argv,
        nullArray,
        TStringList{"s1", "", "s2"},
        std::u16string(u"wide\u3042"),
        std::u16string(u"\U0001F600"),
        std::wstring(L"w\u8868"),
        Variant(7),
        Variant(std::string("var")),
        Variant(Variant::Array{Variant(1), Variant("two"), Variant(2.5), Variant(), Variant(true)}),
        Variant(),
        5,
        std::int64_t(6),
        true,
        'c',
        1.5,
    };
    const TStringList expected = {
        "text", "cstr", "p1", "p2",  "s1",  "s2",  "wide\xE3\x81\x82", "\xF0\x9F\x98\x80", "w\xE8\xA1\xA8",
        "7",    "var",  "1",  "two", "2.5", "True"};
    EXPECT_EQ(FileListToStrings(list), expected);
}

TEST(FileList, BrokenWideTextDoesNotBreakConversion)
{
    // A lone surrogate cannot be represented: it becomes "?" as in the
    // system's own conversion, the rest of the name survives.
    const std::u16string lone = {u'a', char16_t(0xD800), u'b'};
    EXPECT_EQ(FileListToStrings({lone}), TStringList{"a?b"});
}
