// settings-migrator: message boxes on the desktop when there is one; without
// one the platform's default message box asks the same texts on the terminal.
// Exit code 0 in every case.
#include <QApplication>
#include <memory>

#include "migrate/migration.h"
#include "platform/platform.h"
#include "platform/qt/qt_message_box_service.h"

namespace {

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv)
{
    platform::setArguments(argc, argv);
    if (!hasDisplay()) {
        return migrate::runMigration();
    }
    // A display that cannot be reached falls back to the offscreen platform
    // instead of aborting; the terminal then asks.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM",
                qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "xcb;offscreen" : "wayland;xcb;offscreen");
    }
    QApplication app(argc, argv);
    const QString platformName = QGuiApplication::platformName();
    if (platformName != QLatin1String("offscreen") && platformName != QLatin1String("minimal")) {
        platform::setMessageBoxService(std::make_shared<platform::QtMessageBoxService>());
    }
    return migrate::runMigration();
}
