#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <filesystem>
#include <fstream>

#include "main/form_version.h"
#include "main/version_texts.h"
#include "platform/executable_version_service.h"
#include "platform/platform.h"
#include "platform/version_resource.h"
#include "tests/support/fake_services.h"
#include "tests/support/temp_dir.h"
#include "ui/window_font.h"

using tidebell::TFormVersion;
using tidebell_test::FakeVersionInfoService;
using tidebell_test::ScopedService;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// The build puts the version data into the program itself; the about box of
// the real program reads it from the file.
TEST(VersionData, TheBuiltProgramCarriesItsVersionResource)
{
    ScopedService version(std::make_shared<platform::ExecutableVersionInfoService>());
    const std::string program = platform::toWindowsPath(TIDEBELL_EXECUTABLE);
    const tidebell::VersionTexts texts = tidebell::readVersionTexts(program);
    EXPECT_EQ(texts.fileVersion, "1.20.2001.610");
    EXPECT_EQ(texts.legalCopyright, "Copyright (C) 2001-2026 TIDEBELL project");

    std::vector<char> block(GetFileVersionInfoSizeA(program.c_str(), nullptr));
    ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    EXPECT_EQ(*static_cast<DWORD*>(value), 0x03A40411u);
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041103a4\\ProductVersion", &value, &length));
    EXPECT_STREQ(static_cast<char*>(value), "1.20");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, 52u);
    EXPECT_EQ(static_cast<DWORD*>(value)[2], 0x00010014u);  // 1.20
    EXPECT_EQ(static_cast<DWORD*>(value)[3], 0x07D10262u);  // 2001.610
}

// The version functions work for any caller, as on Windows: nothing has to
// install a service first.
TEST(VersionData, TheVersionFunctionsReadAFileWithoutAnySetUp)
{
    const std::string program = platform::toWindowsPath(TIDEBELL_EXECUTABLE);
    SetLastError(0);
    const DWORD size = GetFileVersionInfoSizeA(program.c_str(), nullptr);
    EXPECT_GT(size, 0u) << "error " << GetLastError();
    EXPECT_EQ(tidebell::readVersionTexts(program).fileVersion, "1.20.2001.610");
}

TEST(VersionData, DamagedOrForeignFilesHaveNone)
{
    tidebell_test::TempDir dir;
    const std::string program = readFile(TIDEBELL_EXECUTABLE);
    ASSERT_GT(program.size(), 4096u);
    EXPECT_EQ(platform::readVersionSection(dir.write("text", "#!/bin/sh\necho\n")), "");
    EXPECT_EQ(platform::readVersionSection(dir.write("short", program.substr(0, 4096))), "");
    EXPECT_EQ(platform::readVersionSection(dir.file("missing")), "");
    // The section table said to lie far beyond the end of the file.
    std::string moved = program;
    for (int i = 0; i < 8; ++i)
        moved[0x28 + i] = static_cast<char>(i == 6 ? 0x7F : 0);
    EXPECT_EQ(platform::readVersionSection(dir.write("moved", moved)), "");
    // Headers that promise a huge table: nothing is allocated for it.
    std::string many = program;
    many[0x3A] = static_cast<char>(0xFF);
    many[0x3C] = many[0x3D] = static_cast<char>(0xFF);
    EXPECT_EQ(platform::readVersionSection(dir.write("many", many)), "");
}

TEST(AboutBox, LabelsShowTheFilesVersionInAnyLanguageAndItsOwnTextsOtherwise)
{
    ScopedService version(std::make_shared<FakeVersionInfoService>());
    platform::VersionResource english;
    english.translations = {0x04B00409};
    english.stringTables = {{"040904b0", {{"FileVersion", "10.20.2001.610"}, {"LegalCopyright", "© Example"}}}};
    version->blocks["C:\\english.exe"] = platform::encodeVersionResource(english);
    // A translation that names a table the file lacks, and a table without
    // its translation entry: neither is guessed at.
    platform::VersionResource mismatched = english;
    mismatched.translations = {0x03A40411};
    version->blocks["C:\\mismatched.exe"] = platform::encodeVersionResource(mismatched);
    platform::VersionResource untranslated = english;
    untranslated.translations.clear();
    version->blocks["C:\\untranslated.exe"] = platform::encodeVersionResource(untranslated);

    struct Case {
        const char* file;
        const char* version;
        const char* copyright;
    };
    for (const Case& c : {Case{"C:\\english.exe", "10.20.2001.610", "© Example"},
                          Case{"C:\\none.exe", "1.12", "著作権情報はありません"},
                          Case{"C:\\mismatched.exe", "1.12", "著作権情報はありません"},
                          Case{"C:\\untranslated.exe", "1.12", "著作権情報はありません"}}) {
        TFormVersion box({0, 0, 800, 600}, c.file);
        box.show();
        EXPECT_EQ(box.Label_Version->text(), QString::fromUtf8(c.version)) << c.file;
        EXPECT_EQ(box.Label_Copy->text(), QString::fromUtf8(c.copyright)) << c.file;
        EXPECT_EQ(box.Label_Title->text(), QStringLiteral("ねいろん for Win32"));
        EXPECT_FALSE(box.Image1->pixmap().isNull());
        for (QLabel* label : {box.Label_Mail, box.Label_Mail2})
            EXPECT_FALSE(label->text().contains('@')) << label->text().toStdString();
        // Whatever the file carries is shown whole: the label grows with it.
        for (QLabel* label : {box.Label_Title, box.Label_Version, box.Label_Copy, box.Label_Mail, box.Label_Mail2})
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                << label->text().toStdString();
        box.close();
    }

    // A notice longer than the dialog is cut at its edge, whole in the tooltip.
    platform::VersionResource wordy = english;
    const std::string notice = "Copyright (C) " + std::string(40, 'W') + " and everyone who helped";
    wordy.stringTables[0].strings[1].value = notice;
    version->blocks["C:\\wordy.exe"] = platform::encodeVersionResource(wordy);
    TFormVersion box({0, 0, 800, 600}, "C:\\wordy.exe");
    box.show();
    EXPECT_LE(box.Label_Copy->geometry().right(), box.width());
    EXPECT_TRUE(box.Label_Copy->text().endsWith(QChar(0x2026)));
    QTextDocument tip;
    tip.setHtml(box.Label_Copy->toolTip());
    EXPECT_EQ(tip.toPlainText().toStdString(), notice);
}

TEST(AboutBox, VersionDataWithMarkupIsShownAsItIs)
{
    ScopedService version(std::make_shared<FakeVersionInfoService>());
    platform::VersionResource marked;
    marked.translations = {0x04B00409};
    const std::string copyright = "<b>Bold</b> & <img src=\"/tmp/x.png\"> " + std::string(30, 'W');
    marked.stringTables = {{"040904b0", {{"FileVersion", "<i>2</i>"}, {"LegalCopyright", copyright}}}};
    version->blocks["C:\\marked.exe"] = platform::encodeVersionResource(marked);
    TFormVersion box({0, 0, 800, 600}, "C:\\marked.exe");
    box.show();
    EXPECT_EQ(box.Label_Version->text(), QStringLiteral("<i>2</i>"));
    for (QLabel* label : {box.Label_Title, box.Label_Version, box.Label_Copy, box.Label_Mail, box.Label_Mail2})
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    // Cut at the edge; the tooltip, which takes any tag for markup, shows
    // the whole text as it is.
    ASSERT_TRUE(box.Label_Copy->text().endsWith(QChar(0x2026)));
    QTextDocument tip;
    tip.setHtml(box.Label_Copy->toolTip());
    EXPECT_EQ(tip.toPlainText().toStdString(), copyright);
}

TEST(AboutBox, StandsCentredOnTheMainWindowAndClosesWithOk)
{
    TFormVersion box({100, 100, 640, 480}, "C:\\none.exe");
    box.show();
    const QRect frame = box.frameGeometry();
    EXPECT_EQ(box.size(), QSize(346, 113));
    EXPECT_EQ(frame.x(), 100 + (640 - frame.width()) / 2);
    EXPECT_EQ(frame.y(), 100 + (480 - frame.height()) / 2);
    box.Button1->click();
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST(WindowFont, TheWindowsFontResolvesToTheInstalledJapaneseGothic)
{
    tidebell::installFontAliases();
    const QFontInfo info(tidebell::windowFont());
    EXPECT_EQ(info.family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(info.pixelSize(), 12);
}
