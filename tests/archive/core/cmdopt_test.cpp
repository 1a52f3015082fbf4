#include "archive/cmdopt.h"

#include <gtest/gtest.h>

#include "archive/archiveroptions.h"
#include "tests/support/temp_dir.h"

using namespace archives;

namespace {

std::string textOf(void (*fill)(TCmdOpt&), bool spaceBeforeValue = false)
{
    TCmdOpt cmd;
    cmd.SpaceBeforeValue = spaceBeforeValue;
    fill(cmd);
    return cmd.Text;
}

}  // namespace

TEST(CmdOpt, NumberAndBooleanSwitches)
{
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddNum("c", 1); }), " -c1");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddNum("c", -1); }), "");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddNum("c", 0); }), " -c0");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddNum("jyc", 127); }), " -jyc127");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddNum("c", -2); }), " -c-2");
    EXPECT_EQ(textOf([](TCmdOpt& c) {
                  c.AddBool("r", true);
                  c.AddBool("x", false);
              }),
              " -r");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.Add(""); }), " ");
    EXPECT_EQ(textOf([](TCmdOpt& c) {
                  c.Add("e");
                  c.Add("");
                  c.Add("x");
              }),
              " e  x");
}

TEST(CmdOpt, TextSwitchForms)
{
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("jo", "abc"); }), " \"-joabc\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("jo", "abc"); }, true), " -jo \"abc\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("jo", ""); }), " \"-jo\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("jo", ""); }, true), " -jo \"\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("jo", UnsetText); }), "");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("jo", UnsetText); }, true), "");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("", "abc"); }), " \"abc\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("", "abc"); }, true), " \"abc\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr(" o", "d"); }), " \"od\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr(" o", "d"); }, true), " o \"d\"");
    // Quotes inside a value are not escaped.
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddStr("", "a\"b"); }), " \"a\"b\"");
}

TEST(CmdOpt, FolderGetsExactlyOneTrailingBackslash)
{
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddDir("", "C:\\tmp"); }), " \"C:\\tmp\\\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddDir("", "C:\\tmp\\"); }), " \"C:\\tmp\\\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddDir("w", "C:\\tmp"); }), " \"-wC:\\tmp\\\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddDir("", ""); }), "");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddDir("w", UnsetText); }), "");
    // A folder ending in a multi-byte character still gets its separator.
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddDir("", "C:\\表"); }), " \"C:\\表\\\"");
    EXPECT_EQ(textOf([](TCmdOpt& c) { c.AddDir("", "C:\\表\\"); }), " \"C:\\表\\\"");
}

TEST(CmdOpt, AddFilesCountsOnlyNamesItContributes)
{
    TCmdOpt cmd;
    const int n = cmd.AddFiles("", {std::string(), TStringList{"a.wav", "b\\c.wav"}, 42});
    EXPECT_EQ(n, 2);
    EXPECT_EQ(cmd.Text, " \"a.wav\" \"b\\c.wav\"");

    TCmdOpt named;
    EXPECT_EQ(named.AddFiles("jx", {TStringList{"*.txt"}}), 1);
    EXPECT_EQ(named.Text, " \"-jx*.txt\"");

    TCmdOpt none;
    EXPECT_EQ(none.AddFiles("", {}), 0);
    EXPECT_EQ(none.Text, "");
}

TEST(CmdOpt, ResponseFileBytesAndToken)
{
    tidebell_test::TempDir dir;
    dir.write("list.rsp", std::string(200, 'x'));  // longer than what follows: must be replaced
    const std::string path = dir.windows("list.rsp");

    TCmdOpt cmd;
    cmd.Add("e");
    const int n = cmd.AddResFile({"a.wav", std::string(), std::string("音\\b c.wav")}, path);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(dir.read("list.rsp"), "\"a.wav\"\r\n\"音\\b c.wav\"\r\n");
    EXPECT_EQ(cmd.Text, " e \"@" + path + "\"");
}

TEST(CmdOpt, EmptyResponseFileStillNamed)
{
    tidebell_test::TempDir dir;
    const std::string path = dir.windows("empty.rsp");
    TCmdOpt cmd;
    EXPECT_EQ(cmd.AddResFile({7, false}, path), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("empty.rsp")));
    EXPECT_EQ(dir.read("empty.rsp"), "");
    EXPECT_EQ(cmd.Text, " \"@" + path + "\"");
}

TEST(CmdOpt, ResponseFileFailureLeavesTextAlone)
{
    tidebell_test::TempDir dir;
    TCmdOpt cmd;
    cmd.Add("e");
    EXPECT_THROW(cmd.AddResFile({"a.wav"}, dir.windows("missing\\list.rsp")), EFileError);
    EXPECT_EQ(cmd.Text, " e");
}

TEST(CmdOpt, NameConverterAppliesInlineAndInResponseFile)
{
    auto upper = [](const std::string& s) {
        std::string r = s;
        for (char& ch : r)
            if (ch >= 'a' && ch <= 'z')
                ch = char(ch - 'a' + 'A');
        return r;
    };
    TCmdOpt inlineCmd;
    inlineCmd.NameConverter = upper;
    inlineCmd.AddFiles("", {"a.wav"});
    inlineCmd.AddFileName("jx", "b.txt");
    EXPECT_EQ(inlineCmd.Text, " \"A.WAV\" \"-jxB.TXT\"");
    EXPECT_EQ(inlineCmd.ConvertName("x"), "X");

    tidebell_test::TempDir dir;
    TCmdOpt resCmd;
    resCmd.NameConverter = upper;
    resCmd.AddResFile({"a.wav"}, dir.windows("r.rsp"));
    EXPECT_EQ(dir.read("r.rsp"), "\"A.WAV\"\r\n");
    // The response file's own name is not a file list entry: not converted.
    EXPECT_EQ(resCmd.Text, " \"@" + dir.windows("r.rsp") + "\"");
}
