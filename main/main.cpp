// Program entry: one-shot sound event mode with an argument, the main window
// without.
#include <QApplication>
#include <memory>

#include "main/app_title.h"
#include "main/form_main.h"
#include "main/startup.h"
#include "main/window_support.h"
#include "platform/platform.h"
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
    platform::setMessageBoxService(std::make_shared<platform::QtMessageBoxService>());
    tidebell::ApplicationHints hints(state);
    app.installEventFilter(&hints);
    tidebell::TFormMain form(state);
    form.show();
    return app.exec();
}
