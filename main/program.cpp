#include "main/program.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <memory>

#include "core/app_title.h"
#include "main/form_main.h"
#include "main/startup.h"
#include "platform/executable_version_service.h"
#include "platform/platform.h"
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setWindowIcon(programIcon());
    installFontAliases();
    QApplication::setFont(windowFont());
    platform::setMessageBoxService(std::make_shared<platform::QtMessageBoxService>());
    platform::setHelpService(std::make_shared<platform::QtHelpService>());
    platform::setVersionInfoService(std::make_shared<platform::ExecutableVersionInfoService>());
    SharedState state;
    ApplicationHints hints(state);
    app.installEventFilter(&hints);

    if (decideStartup(platform::paramCount()) == StartupMode::CommandLine) {
        return runCommandLineMode(state, [](SharedState& s) {
            showSoundEventDialog(s, mainWindowDesignBounds(screenArea()));
        });
    }
    TFormMain form(state);
    form.show();
    return app.exec();
}

}  // namespace tidebell
