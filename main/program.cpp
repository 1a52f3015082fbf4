#include "main/program.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <memory>

#include "core/app_title.h"
#include "main/form_main.h"
#include "main/startup.h"
#include "platform/platform.h"
#include "platform/services.h"
#include "platform/qt/qt_help_service.h"
#include "platform/qt/qt_message_box_service.h"
#include "sound_events/sound_event_dialog.h"
#include "ui/images.h"
#include "ui/window_font.h"
#include "ui/window_support.h"

namespace tidebell {

namespace {

WindowBounds screenArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return WindowBounds{0, 0, kMainDesignWidth, kMainDesignHeight};
    }
    const QRect area = screen->availableGeometry();
    return WindowBounds{area.x(), area.y(), area.width(), area.height()};
}

}  // namespace

int runProgram(int argc, char** argv)
{
    // Our arguments are the process's own, before the toolkit takes its
    // options out of them.
    platform::setArguments(argc, argv);
    platform::pinLocalTimeZone();
    const std::optional<std::string> windowSystem =
        preferredWindowSystem([](const char* name) { return qEnvironmentVariable(name).toStdString(); });
    if (windowSystem) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*windowSystem));
    }
    QApplication app(argc, argv);
    // The choice was the toolkit's alone: the programs we start (the help
    // browser) choose their own.
    if (windowSystem) {
        qunsetenv("QT_QPA_PLATFORM");
    }
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setWindowIcon(programIcon());
    installFontAliases();
    QApplication::setFont(windowFont());
    platform::setMessageBoxService(std::make_shared<platform::QtMessageBoxService>());
    platform::setHelpService(std::make_shared<platform::QtHelpService>());
    SharedState state;
    ApplicationHints hints(state);
    app.installEventFilter(&hints);

    if (decideStartup(platform::paramCount()) == StartupMode::CommandLine) {
        return runCommandLineMode(
            state, [](SharedState& s) { showSoundEventDialog(s, mainWindowDesignBounds(screenArea())); });
    }
    TFormMain form(state);
    form.show();
    // Once the window is up, the sound service gets ready in the background:
    // the first double click then plays at once.
    QTimer::singleShot(0, &form, [] { platform::prepareSoundService(); });
    return app.exec();
}

}  // namespace tidebell
