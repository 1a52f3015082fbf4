// settings-migrator: message boxes on the desktop when there is one, the same
// questions on the terminal otherwise. Exit code 0 in every case.
#include <QApplication>
#include <iostream>
#include <memory>

#include "migrate/migration.h"
#include "migrate/terminal_message_box.h"
#include "platform/platform.h"
#include "platform/services.h"

namespace {

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int runOnTerminal()
{
    platform::setMessageBoxService(std::make_shared<migrate::TerminalMessageBox>(std::cin, std::cout));
    return migrate::runMigration();
}

}  // namespace

int main(int argc, char** argv)
{
    platform::setArguments(argc, argv);
    if (!hasDisplay()) {
        return runOnTerminal();
    }
    // A display that cannot be reached falls back to the offscreen platform
    // instead of aborting; the terminal then asks.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                       ? "xcb;offscreen"
                                       : "wayland;xcb;offscreen");
    }
    QApplication app(argc, argv);
    const QString platformName = QGuiApplication::platformName();
    if (platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal")) {
        return runOnTerminal();
    }
    // Qt message boxes (installed here once the Qt service is available).
    return migrate::runMigration();
}
