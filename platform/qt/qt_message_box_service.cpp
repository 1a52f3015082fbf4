#include "platform/qt/qt_message_box_service.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

int QtMessageBoxService::show(HWND, const std::string& text, const std::string& caption, UINT type)
{
    QMessageBox box(QApplication::activeWindow());
    // Without a caption the box is the application's own.
    box.setWindowTitle(caption.empty() ? QApplication::applicationName() : QString::fromUtf8(caption.c_str()));
    // Texts carry file names, archive contents and system messages: never
    // markup, whatever "<" they hold.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromUtf8(text.c_str()));
    switch (type & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    struct Button {
        QMessageBox::StandardButton button;
        const char* caption;
        int answer;
    };
    std::vector<Button> buttons;
    switch (type & 0xF) {
    case MB_OKCANCEL:
        buttons = {{QMessageBox::Ok, "OK", IDOK}, {QMessageBox::Cancel, "キャンセル", IDCANCEL}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{QMessageBox::Yes, "はい(&Y)", IDYES},
                   {QMessageBox::No, "いいえ(&N)", IDNO},
                   {QMessageBox::Cancel, "キャンセル", IDCANCEL}};
        break;
    case MB_YESNO:
        buttons = {{QMessageBox::Yes, "はい(&Y)", IDYES}, {QMessageBox::No, "いいえ(&N)", IDNO}};
        break;
    default:
        buttons = {{QMessageBox::Ok, "OK", IDOK}};
        break;
    }
    size_t defaultIndex = (type & 0xF00) == MB_DEFBUTTON2 ? 1 : (type & 0xF00) == MB_DEFBUTTON3 ? 2 : 0;
    if (defaultIndex >= buttons.size())
        defaultIndex = 0;
    QMessageBox::StandardButtons set;
    for (const auto& b : buttons)
        set |= b.button;
    box.setStandardButtons(set);
    for (const auto& b : buttons)
        box.button(b.button)->setText(QString::fromUtf8(b.caption));
    box.setDefaultButton(buttons[defaultIndex].button);
    // Closing the box with Escape or the frame answers as Windows does: Cancel
    // when there is one, otherwise OK or No.
    const bool hasCancel = set.testFlag(QMessageBox::Cancel);
    box.setEscapeButton(hasCancel ? QMessageBox::Cancel : buttons.back().button);
    int pressed = box.exec();
    for (const auto& b : buttons)
        if (pressed == b.button)
            return b.answer;
    return hasCancel ? IDCANCEL : buttons.back().answer;
}

}  // namespace platform
