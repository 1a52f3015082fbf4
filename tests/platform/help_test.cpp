#include <gtest/gtest.h>

#include <filesystem>

#include "platform/help_book.h"
#include "platform/platform.h"
#include "platform/qt/qt_help_service.h"
#include "tests/support/fake_services.h"
#include "tests/support/temp_dir.h"

using namespace platform;
using tidebell_test::FakeMessageBoxService;
using tidebell_test::ScopedService;
using tidebell_test::TempDir;

namespace {

constexpr char kMap[] = "# a comment\n"
                        "0 page index.html\n"
                        "4 page commands.html#menu\n"
                        "31 popup popup/31.html\n"
                        "32 popup popup/none.html\n"
                        "8 page ../outside.html\n"
                        "9 page /etc/passwd\n"
                        "x page bad.html\n"
                        "10 window odd.html\n";

// A program folder with a help book beside "TIDEBELL.HLP".
struct BookFolder {
    TempDir dir;
    std::string hlp;
    explicit BookFolder(const std::string& bookFolder = "bin/TIDEBELL.help")
    {
        std::filesystem::create_directories(dir.file("bin"));
        hlp = toWindowsPath(dir.file("bin/TIDEBELL.HLP"));
        if (bookFolder.empty())
            return;
        dir.write(bookFolder + "/contexts.map", kMap);
        dir.write(bookFolder + "/index.html", "<h1>目次</h1>");
        dir.write(bookFolder + "/commands.html", "<h1>コマンド</h1>");
        dir.write(bookFolder + "/popup/31.html", "<b>ファイル</b>のフルパスです。");
    }
};

struct Recorded {
    std::vector<QUrl> urls;
    std::vector<std::pair<QPoint, QString>> popups;
    bool browser = true;
};

QtHelpService serviceFor(Recorded& r)
{
    return QtHelpService(
        [&r](const QUrl& url) {
            r.urls.push_back(url);
            return r.browser;
        },
        [&r](const QPoint& at, const QString& html) { r.popups.emplace_back(at, html); });
}

}  // namespace

TEST(HelpBook, TheHelpFileStandsForTheBookBesideItOrInstalledBesideThePrograms)
{
    BookFolder beside;
    std::optional<HelpBook> book = HelpBook::open(beside.hlp);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->folder(), beside.dir.file("bin/TIDEBELL.help"));

    BookFolder installed("share/tidebell/TIDEBELL.help");
    book = HelpBook::open(installed.hlp);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->folder(), installed.dir.file("share/tidebell/TIDEBELL.help"));

    BookFolder none("");
    std::string error;
    EXPECT_FALSE(HelpBook::open(none.hlp, &error));
    EXPECT_NE(error.find(none.dir.file("bin/TIDEBELL.help")), std::string::npos) << error;
    EXPECT_FALSE(HelpBook::open("", &error));
}

TEST(HelpBook, TheMapGivesPagesAndPopupsAndKeepsTargetsInsideTheBook)
{
    const auto topics = HelpBook::parseMap(kMap, "/book");
    ASSERT_EQ(topics.size(), 4u);
    EXPECT_EQ(topics.at(4).file, "/book/commands.html");
    EXPECT_EQ(topics.at(4).anchor, "menu");
    EXPECT_EQ(topics.at(31).kind, HelpTopic::Kind::Popup);
    EXPECT_EQ(topics.count(8) + topics.count(9) + topics.count(10), 0u);
}

// The book the program ships: every context number the windows use leads to
// a page or a pop-up text that is there.
TEST(HelpBook, TheProgramsBookHasEveryContextTheWindowsAskFor)
{
    const std::string folder = TIDEBELL_HELP_SOURCE;
    const auto topics = HelpBook::parseMap(readHelpText(folder + "/contexts.map"), folder);
    for (uint32_t page : {0u, 3u, 4u, 5u, 6u, 7u}) {
        ASSERT_TRUE(topics.count(page)) << page;
        EXPECT_EQ(topics.at(page).kind, HelpTopic::Kind::Page) << page;
        EXPECT_NE(readHelpText(topics.at(page).file).find("<html lang=\"ja\">"), std::string::npos) << page;
    }
    for (uint32_t popup : {12u, 14u, 15u, 31u, 32u, 34u, 35u}) {
        ASSERT_TRUE(topics.count(popup)) << popup;
        EXPECT_EQ(topics.at(popup).kind, HelpTopic::Kind::Popup) << popup;
        EXPECT_FALSE(readHelpText(topics.at(popup).file).empty()) << popup;
    }
}

TEST(QtHelpService, ContextsOpenPagesInTheBrowserAndPopupsAtTheGivenPoint)
{
    BookFolder folder;
    ScopedService boxes(std::make_shared<FakeMessageBoxService>());
    Recorded r;
    QtHelpService help = serviceFor(r);

    EXPECT_FALSE(help.show(nullptr, "", HELP_CONTEXT, 0));  // no help file: nothing at all
    EXPECT_TRUE(r.urls.empty());

    EXPECT_TRUE(help.show(nullptr, folder.hlp, HELP_CONTEXT, 4));
    EXPECT_TRUE(help.show(nullptr, folder.hlp, HELP_CONTENTS, 0));
    ASSERT_EQ(r.urls.size(), 2u);
    EXPECT_EQ(r.urls[0].toLocalFile().toStdString(), folder.dir.file("bin/TIDEBELL.help/commands.html"));
    EXPECT_EQ(r.urls[0].fragment(), "menu");
    EXPECT_EQ(r.urls[1].toLocalFile().toStdString(), folder.dir.file("bin/TIDEBELL.help/index.html"));

    // The dialogs give the control's corner first; x and y may be negative
    // on a screen left of or above the primary one.
    EXPECT_TRUE(help.show(nullptr, folder.hlp, HELP_SETPOPUP_POS, (uintptr_t(200) << 16) | uint16_t(-30)));
    EXPECT_TRUE(help.show(nullptr, folder.hlp, HELP_CONTEXTPOPUP, 31));
    ASSERT_EQ(r.popups.size(), 1u);
    EXPECT_EQ(r.popups[0].first, QPoint(-30, 200));
    EXPECT_EQ(r.popups[0].second, QString::fromUtf8("<b>ファイル</b>のフルパスです。"));
    // A topic the book lacks still answers at the control, not silently.
    EXPECT_TRUE(help.show(nullptr, folder.hlp, HELP_SETPOPUP_POS, (10 << 16) | 10));
    EXPECT_FALSE(help.show(nullptr, folder.hlp, HELP_CONTEXTPOPUP, 32));
    ASSERT_EQ(r.popups.size(), 2u);
    EXPECT_TRUE(r.popups[1].second.contains("32"));
    EXPECT_TRUE(boxes->calls.empty());
}

TEST(QtHelpService, AMissingBookPageOrBrowserIsReportedInAnErrorBox)
{
    BookFolder folder;
    ScopedService boxes(std::make_shared<FakeMessageBoxService>());
    Recorded r;
    QtHelpService help = serviceFor(r);

    EXPECT_FALSE(help.show(nullptr, folder.hlp, HELP_CONTEXT, 7));  // not in the map
    std::filesystem::remove(folder.dir.file("bin/TIDEBELL.help/commands.html"));
    EXPECT_FALSE(help.show(nullptr, folder.hlp, HELP_CONTEXT, 4));  // listed, file gone
    r.browser = false;
    EXPECT_FALSE(help.show(nullptr, folder.hlp, HELP_CONTEXT, 0));
    BookFolder none("");
    EXPECT_FALSE(help.show(nullptr, none.hlp, HELP_CONTEXT, 0));

    ASSERT_EQ(boxes->calls.size(), 4u);
    for (const auto& call : boxes->calls)
        EXPECT_EQ(call.type, UINT(MB_OK | MB_ICONERROR)) << call.text;
    EXPECT_NE(boxes->calls[0].text.find("(7)"), std::string::npos) << boxes->calls[0].text;
    EXPECT_NE(boxes->calls[1].text.find("commands.html"), std::string::npos) << boxes->calls[1].text;
    EXPECT_NE(boxes->calls[2].text.find("ブラウザー"), std::string::npos) << boxes->calls[2].text;
    EXPECT_NE(boxes->calls[3].text.find("ヘルプが見つかりません"), std::string::npos) << boxes->calls[3].text;
    EXPECT_EQ(r.urls.size(), 1u);  // only the browser was asked, and it failed
}
