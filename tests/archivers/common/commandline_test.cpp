// The command lines the program's wrappers send, per dialect.
#include <gtest/gtest.h>

#include "archivers/common/commandline.h"

using namespace arc;

namespace {

std::optional<std::string> noFiles(const std::string&)
{
    return std::nullopt;
}

ParsedCommand parse(Dialect d, std::string_view line, bool withWord = true)
{
    return parseCommandLine(d, line, withWord, noFiles);
}

void expectRequest(const ParsedCommand& p, const std::string& archive, const std::string& dest,
                   std::vector<std::string> patterns, Overwrite overwrite, bool flat)
{
    ASSERT_EQ(p.code, ArcOk) << p.message;
    EXPECT_EQ(p.request.command, Command::Extract);
    EXPECT_EQ(p.request.archive, archive);
    EXPECT_EQ(p.request.destination, dest);
    EXPECT_EQ(p.request.patterns, patterns);
    EXPECT_EQ(p.request.overwrite, overwrite);
    EXPECT_EQ(p.request.flat, flat);
}

}  // namespace

TEST(CommandLine, TokensKeepQuotedBlanksAndDropQuotes)
{
    const auto t = tokenizeCommandLine("x  -jo\"a b\" \"C:\\my dir\\s.lzh\"\r\n\"\" last");
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].text, "x");
    EXPECT_EQ(t[1].text, "-joa b");
    EXPECT_FALSE(t[1].quoted);
    EXPECT_EQ(t[2].text, "C:\\my dir\\s.lzh");
    EXPECT_TRUE(t[2].quoted);
    EXPECT_EQ(t[3].text, "last");  // an empty "" is no token
}

TEST(CommandLine, LhaViewerExtractionIsFlatAndOverwrites)
{
    expectRequest(parse(Dialect::Lha, "x -+ -c1 -n1 -x0  \"C:\\s.lzh\" \"C:\\TEMP\\\" \"snd/a.wav\" "), "C:\\s.lzh",
                  "C:\\TEMP\\", {"snd/a.wav"}, Overwrite::Always, true);
}

TEST(CommandLine, LhaDefaultsKeepFoldersAndOverwriteOnlyNewer)
{
    expectRequest(parse(Dialect::Lha, "x -+  \"C:\\s.lzh\" \"C:\\TEMP\\\" \"snd\\a.wav\" "), "C:\\s.lzh", "C:\\TEMP\\",
                  {"snd/a.wav"}, Overwrite::IfNewer, false);
    expectRequest(parse(Dialect::Lha, "e \"C:\\s.lzh\" \"C:\\T\\\""), "C:\\s.lzh", "C:\\T\\", {}, Overwrite::IfNewer,
                  true);
    expectRequest(parse(Dialect::Lha, "E -x1 \"C:\\s.lzh\" \"C:\\T\\\""), "C:\\s.lzh", "C:\\T\\", {},
                  Overwrite::IfNewer, false);
}

TEST(CommandLine, LhaQuotedTextSwitchesAreNotOperands)
{
    // -w through AddDir, -jo through AddStr, -jx through AddFiles: all quoted.
    expectRequest(parse(Dialect::Lha, "x -+ -c1 \"-wC:\\work\\\" \"-joabc\" \"-jxskip.wav\" -jyc1 -gw1  \"C:\\s.lzh\" "
                                      "\"C:\\TEMP\\\" \"a.wav\" \"b.wav\" "),
                  "C:\\s.lzh", "C:\\TEMP\\", {"a.wav", "b.wav"}, Overwrite::Always, false);
}

TEST(CommandLine, LhaExtractMemLineHasNoCommandWord)
{
    expectRequest(parse(Dialect::Lha, " -+ -c1 -n1 -x0  \"C:\\s.lzh\" \"a.wav\" ", false), "C:\\s.lzh", "", {"a.wav"},
                  Overwrite::Always, true);
}

TEST(CommandLine, PackingAndOtherCommandsAreNotSupported)
{
    for (const char* line : {"u -+ \"C:\\s.lzh\" \"a.wav\"", "d \"C:\\s.lzh\" \"a.wav\"", "f \"C:\\s.lzh\"",
                             "s \"C:\\s.lzh\" \"C:\\T\\\"", "a \"C:\\s.lzh\""})
        EXPECT_EQ(parse(Dialect::Lha, line).code, ArcNotSupported) << line;
    EXPECT_EQ(parse(Dialect::Zip, "-d \"C:\\a.zip\" \"a.wav\"").code, ArcNotSupported);
    EXPECT_EQ(parse(Dialect::Cab, "-a \"C:\\a.cab\" \"a.wav\"").code, ArcNotSupported);
    EXPECT_EQ(parse(Dialect::Cab, "-f \"C:\\a.cab\" \"C:\\T\\\"").code, ArcNotSupported);
    EXPECT_EQ(parse(Dialect::Tar, "c -I  -f \"C:\\a.tar\" \"a.wav\"").code, ArcNotSupported);
    EXPECT_EQ(parse(Dialect::Tar, "foo -f \"C:\\a.tar\"").code, ArcNotSupported);
    // RAR switches that happen to come first in ExtractMem's line are no commands.
    expectRequest(parse(Dialect::Rar, " -s  \"C:\\a.rar\" \"a.wav\" ", false), "C:\\a.rar", "", {"a.wav"},
                  Overwrite::Always, false);
}

TEST(CommandLine, MissingArchiveOrEmptyLineIsBadCommand)
{
    EXPECT_EQ(parse(Dialect::Lha, "").code, ArcBadCommand);
    EXPECT_EQ(parse(Dialect::Lha, "   ").code, ArcBadCommand);
    EXPECT_EQ(parse(Dialect::Lha, "x -+ -c1").code, ArcBadCommand);
    EXPECT_EQ(parse(Dialect::Tar, "x -I -f").code, ArcBadCommand);
    EXPECT_EQ(parse(Dialect::Zip, "-x -o").code, ArcBadCommand);
}

TEST(CommandLine, ZipKeepsBracketEscapesForMatching)
{
    const auto p = parse(Dialect::Zip, "-x -o --i -j  \"C:\\a b.zip\" \"C:\\TEMP\\\" \"a/b[[]1].wav\" ");
    expectRequest(p, "C:\\a b.zip", "C:\\TEMP\\", {"a/b[[]1].wav"}, Overwrite::Always, true);
    EXPECT_TRUE(p.request.brackets);
    // Without -o nothing existing is replaced; without -j folders are kept.
    expectRequest(parse(Dialect::Zip, "-x  \"C:\\a.zip\" \"C:\\T\\\" \"x.wav\" "), "C:\\a.zip", "C:\\T\\", {"x.wav"},
                  Overwrite::Never, false);
    expectRequest(parse(Dialect::Zip, " -o --i -j  \"C:\\a.zip\" \"x.wav\" ", false), "C:\\a.zip", "", {"x.wav"},
                  Overwrite::Always, true);
}

TEST(CommandLine, CabSwitches)
{
    expectRequest(parse(Dialect::Cab, "-x -o -i -r -j -q  \"C:\\a.cab\" \"C:\\T\\\" \"a.wav\" "), "C:\\a.cab",
                  "C:\\T\\", {"a.wav"}, Overwrite::Always, true);
}

TEST(CommandLine, TarArchiveAndFolderComeFromSwitches)
{
    expectRequest(parse(Dialect::Tar,
                        "x -I --display-dialog=0 -g --check-all-path=1 --use-directory=0 -z9  -f \"C:\\a.tgz\" "
                        "-o \"C:\\TEMP\\\" \"a.wav\" "),
                  "C:\\a.tgz", "C:\\TEMP\\", {"a.wav"}, Overwrite::Always, true);
    expectRequest(parse(Dialect::Tar, "x -AH --use-directory=1 -B  -f \"C:\\a.tbz\" -o \"C:\\T\\\" "), "C:\\a.tbz",
                  "C:\\T\\", {}, Overwrite::Always, false);
    expectRequest(parse(Dialect::Tar, " -I --use-directory=0 -z  -f \"C:\\a.tgz\" \"d/a.wav\" ", false), "C:\\a.tgz",
                  "", {"d/a.wav"}, Overwrite::Always, true);
}

TEST(CommandLine, RarExtractAndFlatCommands)
{
    expectRequest(parse(Dialect::Rar, "-x -u  \"C:\\a.rar\" \"C:\\T\\\" \"a.wav\" "), "C:\\a.rar", "C:\\T\\", {"a.wav"},
                  Overwrite::IfNewer, false);
    expectRequest(parse(Dialect::Rar, "-e -y -s  \"C:\\a.rar\" \"C:\\T\\\" \"a.wav\" "), "C:\\a.rar", "C:\\T\\",
                  {"a.wav"}, Overwrite::Always, true);
}

TEST(CommandLine, ResponseFileNamesBecomePatterns)
{
    auto loader = [](const std::string& path) -> std::optional<std::string> {
        if (path == "C:\\resp.txt")
            return std::string("\"a.wav\"\r\n\"snd\\b c.wav\"\r\nplain.wav\n");
        return std::nullopt;
    };
    const auto p = parseCommandLine(Dialect::Lha, "x -+ \"C:\\s.lzh\" \"C:\\T\\\" \"@C:\\resp.txt\" ", true, loader);
    expectRequest(p, "C:\\s.lzh", "C:\\T\\", {"a.wav", "snd/b c.wav", "plain.wav"}, Overwrite::IfNewer, false);
    EXPECT_EQ(parseCommandLine(Dialect::Lha, "x \"C:\\s.lzh\" \"@C:\\missing.txt\"", true, loader).code, ArcBadCommand);
}
