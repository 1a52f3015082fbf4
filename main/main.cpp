// Program entry: one-shot sound event mode with an argument, the main window
// without.
#include <QApplication>

#include "main/app_title.h"
#include "main/form_main.h"
#include "main/startup.h"
#include "platform/platform.h"

int main(int argc, char** argv)
{
    platform::setArguments(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tidebell::kApplicationTitle));

    tidebell::SharedState state;
    if (tidebell::decideStartup(platform::paramCount()) == tidebell::StartupMode::CommandLine) {
        return tidebell::runCommandLineMode(state);
    }
    tidebell::TFormMain form(state);
    form.show();
    return app.exec();
}
