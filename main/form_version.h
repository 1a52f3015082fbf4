// The about box (TFormVersion): title, icon, and the version and legal
// notice that the running executable's version resource carries.
#pragma once

#include <QDialog>
#include <string>

#include "core/window_layout.h"

class QLabel;
class QPushButton;

namespace tidebell {

class TFormVersion : public QDialog {
public:
    // `modulePath` is the Windows-style path whose version data is shown.
    TFormVersion(const WindowBounds& mainBounds, std::string modulePath, QWidget* owner = nullptr);

    QLabel* Image1;
    QLabel* Label_Title;
    QLabel* Label1;
    QLabel* Label_Version;
    QLabel* Label_Copy;
    QLabel* Label2;
    QLabel* Label_Mail;
    QLabel* Label_Mail2;
    QPushButton* Button1;

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    WindowBounds m_mainBounds;
    std::string m_modulePath;
};

// Shows the about box for the running executable modally, centred on
// `mainBounds`, and releases it when it closes.
void showAboutBox(const WindowBounds& mainBounds);

}  // namespace tidebell
