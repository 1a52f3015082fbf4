// The program itself, started with arguments by the one-shot test. When the
// application exists it arms a check that reports the modal dialog on
// standard output and closes it, as a user pressing Cancel would.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>

#include "main/form_main.h"
#include "main/program.h"
#include "sound_events/form_events.h"

namespace {

void reportAndClose()
{
    auto* dialog = dynamic_cast<tidebell::TFormEvents*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
        QTimer::singleShot(10, reportAndClose);
        return;
    }
    bool mainWindowShown = false;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        mainWindowShown |= dynamic_cast<tidebell::TFormMain*>(window) != nullptr && window->isVisible();
    }
    std::printf("file=%s\nmain window shown=%d\n", dialog->StaticText1->text().toUtf8().constData(),
                mainWindowShown ? 1 : 0);
    std::fflush(stdout);
    dialog->reject();
}

void armCheck()
{
    QTimer::singleShot(0, reportAndClose);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(armCheck)

int main(int argc, char** argv)
{
    return tidebell::runProgram(argc, argv);
}
