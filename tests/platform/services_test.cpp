#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "platform/platform.h"
#include "platform/qt/qt_message_box_service.h"
#include "platform/terminal_message_box.h"
#include "platform/version_resource.h"
#include "tests/support/fake_services.h"
#include "tests/support/temp_dir.h"

using namespace tidebell_test;

namespace {

TEST(Services, CallsGoToTheInstalledDoubles)
{
    ScopedService box(std::make_shared<FakeMessageBoxService>());
    box->answers = {IDNO};
    EXPECT_EQ(MessageBoxA(nullptr, "実行しますか？", "ねいろん", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "done", "title", MB_OK), IDOK);
    ASSERT_EQ(box->calls.size(), 2u);
    EXPECT_EQ(box->calls[0].text, "実行しますか？");
    EXPECT_EQ(box->calls[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));

    {
        ScopedService sound(std::make_shared<FakeSoundService>());
        EXPECT_TRUE(sndPlaySoundA("C:\\a.wav", SND_ASYNC));
        EXPECT_TRUE(sndPlaySoundA(nullptr, 0));  // stop
        ASSERT_EQ(sound->calls.size(), 2u);
        EXPECT_EQ(sound->calls[0].path, "C:\\a.wav");
        EXPECT_EQ(sound->calls[1].path, "");
    }
    {
        ScopedService<platform::SoundService> none(nullptr);
        EXPECT_FALSE(sndPlaySoundA("C:\\a.wav", SND_ASYNC));
    }

    {
        ScopedService help(std::make_shared<FakeHelpService>());
        EXPECT_TRUE(WinHelpA(nullptr, "C:\\TIDEBELL.HLP", HELP_CONTEXT, 6));
        ASSERT_EQ(help->calls.size(), 1u);
        EXPECT_EQ(help->calls[0].data, 6u);
    }
    EXPECT_FALSE(WinHelpA(nullptr, "C:\\TIDEBELL.HLP", HELP_CONTEXT, 6));
}

// The program prepares the sound service once its window shows; the call
// must not wait for the preparation, which runs on a thread of its own.
class SlowToPrepare : public FakeSoundService {
public:
    void prepare() override
    {
        std::unique_lock lock(mutex);
        preparedOn = std::this_thread::get_id();
        released.wait(lock, [&] { return release; });
        prepared = true;
        done.notify_all();
    }
    std::mutex mutex;
    std::condition_variable released, done;
    bool release = false, prepared = false;
    std::thread::id preparedOn;
};

TEST(Services, SoundIsPreparedInTheBackgroundOnce)
{
    auto sound = std::make_shared<SlowToPrepare>();
    ScopedService<platform::SoundService> installed(sound);
    platform::prepareSoundService();  // returns while the preparation waits
    platform::prepareSoundService();
    {
        std::unique_lock lock(sound->mutex);
        EXPECT_FALSE(sound->prepared);
        sound->release = true;
        sound->released.notify_all();
        ASSERT_TRUE(sound->done.wait_for(lock, std::chrono::seconds(10), [&] { return sound->prepared; }));
        EXPECT_NE(sound->preparedOn, std::this_thread::get_id());
    }
    EXPECT_TRUE(sndPlaySoundA("C:\\a.wav", SND_ASYNC));
    EXPECT_EQ(sound->calls.size(), 1u);
}

TEST(Services, VersionDataThroughTheVersionFunctions)
{
    EXPECT_EQ(GetFileVersionInfoSizeA("C:\\x.exe", nullptr), 0u);  // no such file: no data
    ScopedService version(std::make_shared<FakeVersionInfoService>());
    platform::VersionResource resource;
    resource.translations = {0x03A40411};  // language 0x0411, code page 0x03A4
    resource.stringTables = {{"041103a4", {{"FileVersion", "1.20.2001.610"}}}};
    version->blocks["C:\\TIDEBELL"] = platform::encodeVersionResource(resource);
    EXPECT_EQ(GetFileVersionInfoSizeA("C:\\other", nullptr), 0u);
    DWORD handle = 1;
    DWORD size = GetFileVersionInfoSizeA("C:\\TIDEBELL", &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<char> block(size);
    EXPECT_FALSE(GetFileVersionInfoA("C:\\TIDEBELL", 0, size - 1, block.data()));
    ASSERT_TRUE(GetFileVersionInfoA("C:\\TIDEBELL", 0, size, block.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    DWORD entry;
    std::memcpy(&entry, value, 4);
    EXPECT_EQ(entry & 0xFFFF, 0x0411u);
    EXPECT_EQ(entry >> 16, 0x03A4u);
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041103A4\\FileVersion", &value, &length));
    EXPECT_STREQ(static_cast<char*>(value), "1.20.2001.610");
    EXPECT_EQ(length, 14u);
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\041103a4\\LegalCopyright", &value, &length));
}

TEST(Services, TerminalBoxAnswersTheDefaultButtonWithoutAUser)
{
    using platform::TerminalMessageBoxService;
    EXPECT_EQ(TerminalMessageBoxService::defaultAnswer(MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(TerminalMessageBoxService::defaultAnswer(MB_YESNO), IDYES);
    EXPECT_EQ(TerminalMessageBoxService::defaultAnswer(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(TerminalMessageBoxService::defaultAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(TerminalMessageBoxService::defaultAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(TerminalMessageBoxService::defaultAnswer(MB_OK | MB_DEFBUTTON2), IDOK);
}

TEST(Services, WithoutAServiceTheTerminalBoxAnswersWhenNoOneCanBeAsked)
{
    auto previous = platform::setMessageBoxService(nullptr);
    int savedStdin = ::dup(STDIN_FILENO);
    int devNull = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(devNull, 0);
    ::dup2(devNull, STDIN_FILENO);
    testing::internal::CaptureStderr();
    int answer = MessageBoxA(nullptr, "移行が終了しました。", "ねいろん", MB_YESNO | MB_DEFBUTTON2);
    std::string shown = testing::internal::GetCapturedStderr();
    ::dup2(savedStdin, STDIN_FILENO);
    ::close(savedStdin);
    ::close(devNull);
    platform::setMessageBoxService(previous);
    EXPECT_EQ(answer, IDNO);
    EXPECT_NE(shown.find("ねいろん"), std::string::npos);
    EXPECT_NE(shown.find("移行が終了しました。"), std::string::npos);
}

TEST(Services, PipedAnswersAreReadAndSilenceIsNeverConsent)
{
    using platform::TerminalMessageBoxService;
    auto ask = [](const std::string& input, UINT type) {
        std::istringstream in(input);
        TerminalMessageBoxService box(in, false);
        testing::internal::CaptureStderr();
        int answer = box.show(nullptr, "実行しますか？", "ねいろん", type);
        testing::internal::GetCapturedStderr();
        return answer;
    };
    EXPECT_EQ(ask("y\n", MB_YESNO), IDYES);
    EXPECT_EQ(ask("n\n", MB_YESNO), IDNO);
    // Yes is the default button, but no answer at all must not migrate anything.
    EXPECT_EQ(ask("", MB_YESNO), IDNO);
    EXPECT_EQ(ask("\n", MB_YESNO), IDNO);
    EXPECT_EQ(ask("maybe\n", MB_YESNO), IDNO);
    EXPECT_EQ(ask("", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(ask("", MB_OK), IDOK);
}

TEST(Arguments, SurroundingQuotesAreRemoved)
{
    char program[] = "TIDEBELL", quoted[] = "\"C:\\a b.wav\"", inner[] = "a\"b";
    char* argv[] = {program, quoted, inner, nullptr};
    platform::setArguments(3, argv);
    EXPECT_EQ(platform::paramCount(), 2);
    EXPECT_EQ(platform::paramStr(1), "C:\\a b.wav");
    EXPECT_EQ(platform::paramStr(2), "a\"b");
    EXPECT_EQ(platform::paramStr(3), "");
    platform::setArguments(0, nullptr);
    EXPECT_EQ(platform::paramCount(), 0);
}

TEST(Arguments, ALinuxPathOfAnExistingFileComesInItsDriveLetterForm)
{
    tidebell_test::TempDir dir;
    std::string file = dir.write("鈴 の音.wav", "");
    std::string quoted = "\"" + file + "\"", missing = dir.file("none.wav");
    char program[] = "TIDEBELL";
    char* argv[] = {program, file.data(), quoted.data(), missing.data(), nullptr};
    platform::setArguments(4, argv);
    const std::string expected = platform::toWindowsPath(file);
    EXPECT_EQ(expected, dir.windows("鈴 の音.wav"));
    EXPECT_EQ(expected.rfind("C:\\", 0), 0u) << expected;
    EXPECT_EQ(platform::paramStr(1), expected);
    EXPECT_EQ(platform::paramStr(2), expected);
    // A name that does not exist is not a file to translate: it stays as given.
    EXPECT_EQ(platform::paramStr(3), missing);
    platform::setArguments(0, nullptr);
}

TEST(Services, QtBoxShowsTheFlagsAndAnswersTheButtonPressed)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");  // also when run by hand without a display
    int argc = 1;
    char name[] = "platform_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QString seenTitle, seenText;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::No)->click();
    });
    platform::QtMessageBoxService service;
    int answer = service.show(nullptr, "移行しますか？", "ねいろん", MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(seenTitle, QString::fromUtf8("ねいろん"));
    EXPECT_EQ(seenText, QString::fromUtf8("移行しますか？"));
    EXPECT_EQ(seenIcon, QMessageBox::Question);
    EXPECT_EQ(buttons, 2);

    // Texts hold file names and system messages: a tag in one is text.
    Qt::TextFormat format = Qt::RichText;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        format = label->textFormat();
        shown = label->text();
        box->button(QMessageBox::Ok)->click();
    });
    service.show(nullptr, "<b>bell</b>.wav: <img src=\"/tmp/x.png\">", "ねいろん", MB_OK);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, QStringLiteral("<b>bell</b>.wav: <img src=\"/tmp/x.png\">"));
}

}  // namespace
