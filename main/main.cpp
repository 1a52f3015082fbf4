// Program entry: one-shot sound event mode with an argument, the main window
// without.
#include <QApplication>
#include <memory>

#include "main/app_title.h"
#include "main/form_main.h"
#include "main/images.h"
#include "main/startup.h"
#include "main/window_font.h"
#include "main/window_support.h"
#include "platform/executable_version_service.h"
#include "platform/platform.h"
#include "platform/qt/qt_help_service.h"
#include "platform/qt/qt_message_box_service.h"

int main(int argc, char** argv)
{
    platform::setArguments(argc, argv);
    tidebell::SharedState state;
    if (tidebell::decideStartup(platform::paramCount()) == tidebell::StartupMode::CommandLine) {
        return tidebell::runCommandLineMode(state);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tidebell::kApplicationTitle));
    QApplication::setWindowIcon(tidebell::programIcon());
    tidebell::installFontAliases();
    QApplication::setFont(tidebell::windowFont());
    platform::setMessageBoxService(std::make_shared<platform::QtMessageBoxService>());
    platform::setHelpService(std::make_shared<platform::QtHelpService>());
    platform::setVersionInfoService(std::make_shared<platform::ExecutableVersionInfoService>());
    tidebell::ApplicationHints hints(state);
    app.installEventFilter(&hints);
    tidebell::TFormMain form(state);
    form.show();
    return app.exec();
}
